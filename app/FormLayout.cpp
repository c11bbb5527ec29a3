#include "FormLayout.h"

#include "ConversionRun.h"
#include "FormLogic.h"

#include <algorithm>
#include <array>
#include <utility>
#include <vector>

namespace velloquin::app {

namespace {

constexpr LayoutFont kTitleFont{14.25, true};
constexpr LayoutFont kLinkFont{9, true};
constexpr LayoutFont kConvertFont{14.25, false};
constexpr LayoutFont kBold{8.25, true};
constexpr LayoutColour kWhite = 0xFFFFFF;
constexpr LayoutColour kLink = 0x105CC0;
constexpr int kNoFocus = -1;

using K = ControlKind;
using A = ControlAction;

// Focus order: txtvCFPath, CmdBrowse, CmdSplit, Picture3, CmdHelp, cmdEnd,
// Command1, OptNormal, OptAdvance, OptPST, OptXLS.
// name, kind, caption, at, font, container, tab, group, selected, enabled, locked, colour,
// action
constexpr std::array kForm1Controls = {
    ControlLayout{"lblTitle",
                  K::Label,
                  kAppTitle,
                  {16, 8, 417, 25},
                  kTitleFont,
                  nullptr,
                  kNoFocus,
                  0,
                  false,
                  true,
                  false,
                  kWhite,
                  A::None},
    ControlLayout{"Label7",
                  K::Label,
                  "First backup all Skype contacts to a .vcf file  : ",
                  {48, 80, 281, 31},
                  kFormFont,
                  nullptr,
                  kNoFocus,
                  0,
                  false,
                  true,
                  false,
                  kDefaultText,
                  A::None},
    ControlLayout{"Label5",
                  K::Label,
                  "(And then convert exported .vcf file to Outlook/Excel file)",
                  {48, 95, 281, 17},
                  kFormFont,
                  nullptr,
                  kNoFocus,
                  0,
                  false,
                  true,
                  false,
                  kDefaultText,
                  A::None},
    ControlLayout{"Label6",
                  K::Label,
                  "How to Backup Skype Contacts",
                  {336, 85, 201, 17},
                  kLinkFont,
                  nullptr,
                  kNoFocus,
                  0,
                  false,
                  true,
                  false,
                  kLink,
                  A::Instructions},
    ControlLayout{"Label4",
                  K::Label,
                  "Select vCard (.vcf) File(s)",
                  {16, 128, 569, 17},
                  kFormFont,
                  nullptr,
                  kNoFocus,
                  0,
                  false,
                  true,
                  false,
                  kDefaultText,
                  A::None},
    ControlLayout{"txtvCFPath",
                  K::TextBox,
                  "",
                  {16, 144, 393, 25},
                  kFormFont,
                  nullptr,
                  0,
                  0,
                  false,
                  true,
                  false,
                  kDefaultText,
                  A::None},
    ControlLayout{"CmdBrowse",
                  K::Button,
                  "Browse vCard File...",
                  {416, 144, 137, 25},
                  kFormFont,
                  nullptr,
                  1,
                  0,
                  false,
                  true,
                  true,
                  kDefaultText,
                  A::Browse},
    ControlLayout{"Label1",
                  K::Label,
                  "Saving Contact(s)...",
                  {16, 184, 569, 17},
                  kFormFont,
                  nullptr,
                  kNoFocus,
                  0,
                  false,
                  true,
                  false,
                  kDefaultText,
                  A::None},
    ControlLayout{"LblProgessCurrent",
                  K::Label,
                  "(0) Contacts Saved",
                  {48, 208, 537, 17},
                  kFormFont,
                  nullptr,
                  kNoFocus,
                  0,
                  false,
                  true,
                  false,
                  kDefaultText,
                  A::None},
    ControlLayout{"Frame1",
                  K::GroupBox,
                  " Saving Options ",
                  {16, 232, 537, 57},
                  kFormFont,
                  nullptr,
                  kNoFocus,
                  0,
                  false,
                  true,
                  false,
                  kDefaultText,
                  A::None},
    ControlLayout{"Picture1",
                  K::Panel,
                  "",
                  {24, 248, 457, 33},
                  kFormFont,
                  "Frame1",
                  kNoFocus,
                  0,
                  false,
                  true,
                  false,
                  kDefaultText,
                  A::None},
    ControlLayout{"OptXLS",
                  K::OptionButton,
                  "Excel/CSV (.xls)",
                  {24, 256, 121, 17},
                  kFormFont,
                  "Picture1",
                  10,
                  1,
                  true,
                  true,
                  true,
                  kDefaultText,
                  A::None},
    ControlLayout{"OptPST",
                  K::OptionButton,
                  "Outlook (.pst)",
                  {216, 256, 121, 17},
                  kFormFont,
                  "Picture1",
                  9,
                  1,
                  false,
                  true,
                  true,
                  kDefaultText,
                  A::None},
    ControlLayout{"CmdSplit",
                  K::Button,
                  "Convert Skype Contacts",
                  {168, 304, 241, 41},
                  kConvertFont,
                  nullptr,
                  2,
                  0,
                  false,
                  false,
                  false,
                  kDefaultText,
                  A::Convert},
    ControlLayout{"Picture3",
                  K::Panel,
                  "",
                  {8, 360, 761, 33},
                  kFormFont,
                  nullptr,
                  3,
                  0,
                  false,
                  true,
                  false,
                  kDefaultText,
                  A::WebLink},
    ControlLayout{"CmdHelp",
                  K::Button,
                  "&Help Manual",
                  {16, 360, 113, 25},
                  kFormFont,
                  "Picture3",
                  4,
                  0,
                  false,
                  true,
                  false,
                  kDefaultText,
                  A::Help},
    ControlLayout{"cmdEnd",
                  K::Button,
                  "E&xit",
                  {456, 360, 97, 25},
                  kFormFont,
                  "Picture3",
                  5,
                  0,
                  false,
                  true,
                  true,
                  kDefaultText,
                  A::End},
    // Beyond the right edge of the client area.
    ControlLayout{"Command1",
                  K::Button,
                  "Browse Folder...",
                  {752, 344, 137, 25},
                  kFormFont,
                  nullptr,
                  6,
                  0,
                  false,
                  true,
                  true,
                  kDefaultText,
                  A::BrowseFolder},
    ControlLayout{"OptNormal",
                  K::OptionButton,
                  "Normal Mode",
                  {608, 240, 121, 17},
                  kFormFont,
                  nullptr,
                  7,
                  2,
                  true,
                  true,
                  true,
                  kDefaultText,
                  A::None},
    ControlLayout{"OptAdvance",
                  K::OptionButton,
                  "Advance Mode",
                  {760, 240, 105, 17},
                  kBold,
                  nullptr,
                  8,
                  2,
                  false,
                  true,
                  true,
                  kDefaultText,
                  A::None},
    ControlLayout{"Label2",
                  K::Label,
                  "(If Normal Mode fails to import vCards)",
                  {872, 242, 377, 17},
                  kFormFont,
                  nullptr,
                  kNoFocus,
                  0,
                  false,
                  true,
                  false,
                  kDefaultText,
                  A::None},
};

constexpr std::array kFrmSkypeControls = {
    ControlLayout{"lblTitle",
                  K::Label,
                  "Steps to Export / Backup Skype Contacts to File",
                  {16, 8, 417, 25},
                  kTitleFont,
                  nullptr,
                  kNoFocus,
                  0,
                  false,
                  true,
                  false,
                  kDefaultText,
                  A::None},
    ControlLayout{"Label1",
                  K::Label,
                  "1. Open Skype",
                  {16, 40, 417, 17},
                  kFormFont,
                  nullptr,
                  kNoFocus,
                  0,
                  false,
                  true,
                  false,
                  kDefaultText,
                  A::None},
    ControlLayout{"Label2",
                  K::Label,
                  "2. Navigate to Contacts -> Advanced -> Backup Contacts to File...",
                  {16, 64, 417, 17},
                  kFormFont,
                  nullptr,
                  kNoFocus,
                  0,
                  false,
                  true,
                  false,
                  kDefaultText,
                  A::None},
    ControlLayout{"Image1",
                  K::Picture,
                  kInstructionFile,
                  {16, 96, 395, 245},
                  kFormFont,
                  nullptr,
                  kNoFocus,
                  0,
                  false,
                  true,
                  false,
                  kDefaultText,
                  A::None},
};

constexpr int kForm1Width = 569;
constexpr int kForm1Height = 393;

const WindowLayout kForm1{"Form1", kWindowTitle, kForm1Width, kForm1Height, kForm1Controls};
const WindowLayout kFrmSkype{"FrmSkype", "Skype Contacts Backup", 428, 353, kFrmSkypeControls};

constexpr Decoration kForm1Decoration{
    {0, 0, kForm1Width, 42},
    0x2B79C9,
    0x165296,
    {0, 352, kForm1Width, kForm1Height - 352},
    0xDCE4EE,
    0xC4D0DE,
    0xA9B8CA,
    {{16, 72, 312, 46}, {332, 72, 221, 46}},
    0xB4C2D3,
    0xFAFBFD,
    {24, 80, 16, 16},
    {16, 205, 22, 22},
};

} // namespace

const WindowLayout& Form1Layout() {
    return kForm1;
}

const WindowLayout& FrmSkypeLayout() {
    return kFrmSkype;
}

const Decoration& Form1Decoration() {
    return kForm1Decoration;
}

const ControlLayout* FindControl(const WindowLayout& window, std::string_view name) {
    for (const ControlLayout& control : window.controls)
        if (name == control.name) return &control;
    return nullptr;
}

std::span<const ControlLayout* const> FocusOrder(const WindowLayout& window) {
    // Built once per window; the tables never change.
    static const auto build = [](const WindowLayout& w) {
        std::vector<const ControlLayout*> order;
        for (const ControlLayout& control : w.controls)
            if (control.tabIndex >= 0) order.push_back(&control);
        std::sort(order.begin(), order.end(), [](const ControlLayout* a, const ControlLayout* b) {
            return a->tabIndex < b->tabIndex;
        });
        return order;
    };
    static const std::vector<const ControlLayout*> form1 = build(kForm1);
    static const std::vector<const ControlLayout*> frmSkype = build(kFrmSkype);
    if (&window == &kForm1) return form1;
    if (&window == &kFrmSkype) return frmSkype;
    return {};
}

bool OutsideVisibleArea(const WindowLayout& window, const ControlLayout& control) {
    return control.at.left >= window.clientWidth || control.at.top >= window.clientHeight ||
           control.at.Right() <= 0 || control.at.Bottom() <= 0;
}

int ScaleToDpi(int pixels, int dpi) {
    const int64_t product = int64_t{pixels} * dpi;
    return static_cast<int>(product >= 0 ? (product + 48) / 96 : -((-product + 48) / 96));
}

int FittingDpi(const WindowLayout& window, int dpi,
               const std::function<LayoutSize(const ControlLayout&)>& need) {
    constexpr int kEdgeMargin = 8;
    std::vector<std::pair<const ControlLayout*, LayoutSize>> captions;
    for (const ControlLayout& control : window.controls) {
        if (OutsideVisibleArea(window, control)) continue;
        const LayoutSize size = need(control);
        if (size.width > 0 || size.height > 0) captions.emplace_back(&control, size);
    }
    auto fits = [&](int at) {
        for (const auto& [control, size] : captions) {
            // What lies beyond the window's edge is not seen, and a caption
            // that runs up to the edge looks cut.
            const LayoutRect& r = control->at;
            const int right = std::min(r.Right(), window.clientWidth - kEdgeMargin);
            const int bottom = std::min(r.Bottom(), window.clientHeight);
            if (ScaleToDpi(right, at) - ScaleToDpi(r.left, at) < size.width ||
                ScaleToDpi(bottom, at) - ScaleToDpi(r.top, at) < size.height)
                return false;
        }
        return true;
    };
    // A caption that cannot fit even at twice the size is not worth a window
    // that large.
    for (int at = dpi; at < 2 * dpi; ++at)
        if (fits(at)) return at;
    return 2 * dpi;
}

} // namespace velloquin::app
