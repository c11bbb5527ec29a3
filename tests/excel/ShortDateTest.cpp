#include "excel/ShortDate.h"

#include <gtest/gtest.h>

namespace velloquin::excel {
namespace {

// A locale whose time_get tells a given order, as glibc's never does.
template <std::time_base::dateorder Order> struct OrderFacet : std::time_get<char> {
    dateorder do_date_order() const override { return Order; }
};

template <std::time_base::dateorder Order> std::locale WithOrder() {
    return std::locale(std::locale::classic(), new OrderFacet<Order>);
}

// A locale that writes its dates as D.M.YYYY but does not tell the order.
struct DottedDates : std::time_put<char> {
    iter_type do_put(iter_type out, std::ios_base&, char, const std::tm* t, char,
                     char) const override {
        const std::string text = std::to_string(t->tm_mday) + "." + std::to_string(t->tm_mon + 1) +
                                 "." + std::to_string(t->tm_year + 1900);
        return std::copy(text.begin(), text.end(), out);
    }
};

TEST(ShortDate, OrderComesFromTheLocale) {
    EXPECT_EQ(LocaleDateOrder(std::locale(std::locale::classic(), new DottedDates)),
              DateOrder::DayMonthYear);
    EXPECT_EQ(LocaleDateOrder(WithOrder<std::time_base::dmy>()), DateOrder::DayMonthYear);
    EXPECT_EQ(LocaleDateOrder(WithOrder<std::time_base::ymd>()), DateOrder::YearMonthDay);
    // The classic locale writes %x as 11/22/33.
    EXPECT_EQ(LocaleDateOrder(std::locale::classic()), DateOrder::MonthDayYear);

    EXPECT_EQ(DateOrderFromSample("22.11.2033"), DateOrder::DayMonthYear);
    EXPECT_EQ(DateOrderFromSample("2033-11-22"), DateOrder::YearMonthDay);
    EXPECT_EQ(DateOrderFromSample("2033/22/11"), DateOrder::YearDayMonth);
    EXPECT_EQ(DateOrderFromSample("11/22/33"), DateOrder::MonthDayYear);
    EXPECT_EQ(DateOrderFromSample("22 Nov 2033"), std::nullopt);
    EXPECT_EQ(DateOrderFromSample(""), std::nullopt);
}

TEST(ShortDate, TextOfADate) {
    const double may7th1984 = 30809; // 7 May 1984
    EXPECT_EQ(ShortDateText(may7th1984, WithOrder<std::time_base::dmy>()), "7/5/1984");
    EXPECT_EQ(ShortDateText(may7th1984, WithOrder<std::time_base::ymd>()), "1984/5/7");
    EXPECT_EQ(ShortDateText(may7th1984, WithOrder<std::time_base::no_order>()), "5/7/1984");
    EXPECT_EQ(ShortDateText(may7th1984 + 0.99, std::locale::classic()), "5/7/1984");
    EXPECT_EQ(ShortDateText(0, std::locale::classic()), "");
    EXPECT_EQ(ShortDateText(0), "");
    // Calendar edges: the first day, a leap day, before 1900, a four-digit year.
    EXPECT_EQ(ShortDateText(1, std::locale::classic()), "12/31/1899");
    EXPECT_EQ(ShortDateText(-1.5, std::locale::classic()), "12/29/1899");
    EXPECT_EQ(ShortDateText(36585, std::locale::classic()), "2/29/2000");
    EXPECT_EQ(ShortDateText(-657434, std::locale::classic()), "1/1/0100");
    EXPECT_EQ(ShortDateText(2958465, std::locale::classic()), "12/31/9999");
    EXPECT_EQ(ShortDateText(2958466, std::locale::classic()), "");
}

TEST(ShortDate, ValueTextAddsTheTimeOfDay) {
    EXPECT_EQ(DateValueText(30809), ShortDateText(30809));
    EXPECT_EQ(DateValueText(30809.5), ShortDateText(30809) + " 12:00:00");
    // Rounded to the second; a time that rounds up to midnight is the next day.
    EXPECT_EQ(DateValueText(30809 + 3661.4 / 86400), ShortDateText(30809) + " 01:01:01");
    EXPECT_EQ(DateValueText(30809.9999999), ShortDateText(30810));
    EXPECT_EQ(DateValueText(0), "00:00:00");
    EXPECT_EQ(DateValueText(0.25), "06:00:00");
    EXPECT_EQ(DateValueText(1e10), std::nullopt);
}

} // namespace
} // namespace velloquin::excel
