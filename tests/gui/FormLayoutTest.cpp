// The layout table that both windows are built from: its own consistency.
// What each window makes of it (places, focus order, the controls locked
// during a run) is checked on the window: Form1Test for Qt, tests/windows
// for Win32.
#include "app/FormLayout.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace {

using velloquin::app::ControlKind;
using velloquin::app::ControlLayout;
using velloquin::app::WindowLayout;

TEST(FormLayout, EveryWindowIsConsistent) {
    for (const WindowLayout* window :
         {&velloquin::app::Form1Layout(), &velloquin::app::FrmSkypeLayout()}) {
        SCOPED_TRACE(window->name);
        std::set<std::string> seen;
        std::set<int> tabs;
        for (const ControlLayout& c : window->controls) {
            EXPECT_TRUE(seen.insert(c.name).second) << "two controls named " << c.name;
            if (c.tabIndex >= 0) {
                EXPECT_TRUE(tabs.insert(c.tabIndex).second) << c.name;
            }
            if (!c.container) continue;
            // A container comes first (the windows build in table order) and
            // holds its controls inside its own rectangle.
            const ControlLayout* box = velloquin::app::FindControl(*window, c.container);
            ASSERT_NE(box, nullptr) << c.name;
            EXPECT_TRUE(seen.count(box->name)) << c.name << " comes before its container";
            EXPECT_TRUE(box->kind == ControlKind::Panel || box->kind == ControlKind::GroupBox);
            EXPECT_TRUE(c.at.left >= box->at.left && c.at.top >= box->at.top &&
                        c.at.Right() <= box->at.Right() && c.at.Bottom() <= box->at.Bottom())
                << c.name << " leaves " << box->name;
        }
        EXPECT_EQ(velloquin::app::FocusOrder(*window).empty(),
                  window->name != std::string("Form1"));
        // Each option group has exactly one option selected.
        for (int group : {1, 2}) {
            int options = 0, selected = 0;
            for (const ControlLayout& c : window->controls)
                if (c.kind == ControlKind::OptionButton && c.optionGroup == group)
                    ++options, selected += c.selected;
            if (options) {
                EXPECT_EQ(selected, 1) << "group " << group;
            }
        }
    }
}

} // namespace
