// The two windows as data: every control with its name, kind, caption,
// place, font and place in the focus order, the decoration and the pictures.
// Both front ends (Qt on Linux, Win32 on Windows) build their windows from
// these tables, so the windows cannot drift apart.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string_view>

namespace velloquin::app {

enum class ControlKind {
    Label,
    TextBox,      // one line
    Button,       // push button
    GroupBox,     // framed, with a caption
    Panel,        // borderless container
    OptionButton, // one of a group
    Picture,      // shows one of the pictures below
};

// What a control's click does. The front ends hand it to FormLogic::Click
// as it is, so that both windows do the same with the same control.
enum class ControlAction {
    None,         // shows or marks a choice only
    Browse,       // chooses a backup file
    BrowseFolder, // chooses a folder of backups
    Convert,      // runs the conversion
    WebLink,      // opens the product's web page
    Help,         // opens the Help Manual
    Instructions, // shows how to back the contacts up
    End,          // closes the window, and with it the program
};

// Pixels (at 15 twips a pixel) within the window's client area; a control
// inside a container is given in the window's coordinates too.
struct LayoutRect {
    int left;
    int top;
    int width;
    int height;
    int Right() const { return left + width; }
    int Bottom() const { return top + height; }
};

struct LayoutFont {
    double points; // Tahoma
    bool bold;
};

inline constexpr LayoutFont kFormFont{8.25, false};
inline constexpr const char* kFontFace = "Tahoma";

// Colours as 0xRRGGBB.
using LayoutColour = uint32_t;

struct ControlLayout {
    const char* name;
    ControlKind kind;
    const char* caption;   // as shown; "&" marks the access key
    LayoutRect at;         //
    LayoutFont font;       //
    const char* container; // the control holding this one, or nullptr for the window
    int tabIndex;          // place in the keyboard focus order; -1: takes no focus
    int optionGroup;       // option buttons of one group share a number; 0: none
    bool selected;         // option buttons: selected when the window opens
    bool enabled;          // when the window opens
    bool lockedDuringRun;  // disabled while a run is under way (it would change the run)
    LayoutColour textColour;
    ControlAction action;
};

inline constexpr LayoutColour kDefaultText = 0x000000;

// The window's drawn decoration; it has no behaviour.
struct Decoration {
    LayoutRect topBand; // behind the title, a vertical gradient
    LayoutColour topBandFrom, topBandTo;
    LayoutRect bottomBand; // behind Picture3, a vertical gradient with a line on top
    LayoutColour bottomBandFrom, bottomBandTo, bottomBandLine;
    LayoutRect frames[2]; // around Label7 and Label5, around Label6: rounded
    LayoutColour frameLine, frameFill;
    LayoutRect stepsIcon;    // 16 x 16, before Label7
    LayoutRect progressIcon; // 22 x 22, before LblProgessCurrent
};

struct WindowLayout {
    const char* name;
    const char* title;
    int clientWidth;
    int clientHeight;
    std::span<const ControlLayout> controls;
};

const WindowLayout& Form1Layout();
const WindowLayout& FrmSkypeLayout();
const Decoration& Form1Decoration();

// The control of that name, or nullptr.
const ControlLayout* FindControl(const WindowLayout& window, std::string_view name);

// The controls that take the focus, in the order the Tab key visits them.
std::span<const ControlLayout* const> FocusOrder(const WindowLayout& window);

// True when no part of the control lies within the client area: it exists and
// works, but the user does not see it.
bool OutsideVisibleArea(const WindowLayout& window, const ControlLayout& control);

// Pixels of the table (at 96 dots per inch) at another resolution, rounded to
// the nearest.
int ScaleToDpi(int pixels, int dpi);

struct LayoutSize {
    int width;
    int height;
};

// The resolution to lay a window's geometry out at, so that no caption is cut:
// `dpi` itself while every caption fits its control there, else the least
// resolution above it at which all fit (at most twice `dpi`). Fonts stay at
// `dpi`; only the geometry grows, all of it by the same factor, so the window
// keeps its drawing. `need` gives the size that a control's caption takes in
// its font at `dpi`, or a zero size for a control not to fit. A caption fits
// when the part of its control inside the client area, short of 8 pixels at
// the right edge, holds it; controls wholly outside are left out.
int FittingDpi(const WindowLayout& window, int dpi,
               const std::function<LayoutSize(const ControlLayout&)>& need);

// The label that shows its own pointer while the mouse is over it.
inline constexpr const char* kLinkLabel = "Label6";

// The pictures, as files under app/art/ that both front ends load (the Qt
// window from its resources, the Win32 window from the executable's).
inline constexpr const char* kProgramIconFile = "velloquin.ico"; // 16 to 128 pixels
inline constexpr const char* kStepsIconFile = "steps.ico";       // 16 x 16
inline constexpr const char* kProgressIconFile = "progress.ico"; // 22 x 22
inline constexpr const char* kLinkCursorFile = "help-link.cur";  // 32 x 32
inline constexpr int kLinkCursorHotSpotX = 1;
inline constexpr int kLinkCursorHotSpotY = 1;
inline constexpr const char* kInstructionFile = "instruction.bmp"; // 395 x 245, Image1

} // namespace velloquin::app
