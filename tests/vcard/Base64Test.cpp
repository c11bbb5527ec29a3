#include "vcard/Base64.h"

#include <gtest/gtest.h>

#include <string>

namespace velloquin {
namespace {

struct DecodeCase {
    const char* input;
    std::string expected;
};

class Base64DecodeTest : public testing::TestWithParam<DecodeCase> {};

TEST_P(Base64DecodeTest, GivesTheBytes) {
    const auto decoded = Base64Decode(GetParam().input);
    ASSERT_TRUE(decoded.has_value()) << GetParam().input;
    EXPECT_EQ(*decoded, GetParam().expected) << GetParam().input;
}

using namespace std::string_literals;

INSTANTIATE_TEST_SUITE_P(Cases, Base64DecodeTest,
                         testing::Values(DecodeCase{"YWJj", "abc"}, DecodeCase{"YWI=", "ab"},
                                         DecodeCase{"YQ==", "a"}, DecodeCase{"YWJjZA==", "abcd"},
                                         // A short last group without "=" still gives three bytes.
                                         DecodeCase{"YWJjZA", "abcd\0\0"s},
                                         DecodeCase{"YWJjZGU", "abcde\0"s},
                                         DecodeCase{"YW Jj", "abc"}, DecodeCase{"YW\r\nJj", "abc"},
                                         DecodeCase{"Y\tW\nJ j", "abc"}, DecodeCase{"", ""},
                                         // "=" in the middle of a group still drops one byte.
                                         DecodeCase{"Y=Jj", "`\x02"s}, DecodeCase{"Y===", ""},
                                         DecodeCase{"/+/+", "\xFF\xEF\xFE"s},
                                         DecodeCase{"AAAA", "\0\0\0"s}));

TEST(Base64DecodeFailure, RejectsTextWithoutMeaning) {
    for (const char* input : {"====", "YWJj====", "YW:j", "YWJj\r", "YWJj-_", "\xC3\xA9YWJ"}) {
        std::string why;
        EXPECT_FALSE(Base64Decode(input, &why).has_value()) << input;
        EXPECT_FALSE(why.empty()) << input;
    }
}

TEST(Base64DecodeLarge, DecodesMegabytesOfText) {
    // Four megabytes of Base64 in one card must decode in one pass.
    std::string text;
    for (int i = 0; i < 1 << 20; ++i)
        text += "YWJj";
    const auto decoded = Base64Decode(text);
    ASSERT_TRUE(decoded.has_value());
    EXPECT_EQ(decoded->size(), 3u << 20);
    EXPECT_EQ(decoded->substr(decoded->size() - 3), "abc");
}

} // namespace
} // namespace velloquin
