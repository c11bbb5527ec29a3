// The main window on Windows: native controls built from the shared layout
// table, its clicks handed to the same FormLogic and ConversionRun as the Qt
// window's.
#pragma once

#include "Win32Platform.h"
#include "app/FormLayout.h"
#include "app/FormLogic.h"

#include <map>
#include <memory>
#include <utility>
#include <vector>

namespace velloquin::win32 {

class InstructionWindow;

// The fonts of a layout table at one resolution, made once each.
class LayoutFonts {
  public:
    explicit LayoutFonts(int dpi) : dpi_(dpi) {}
    ~LayoutFonts();
    LayoutFonts(const LayoutFonts&) = delete;
    LayoutFonts& operator=(const LayoutFonts&) = delete;
    HFONT For(const app::LayoutFont& font);
    // The resolution of the window's geometry at which these fonts' captions
    // fit (app::FittingDpi, measured with GetTextExtentPoint32).
    int FittingDpi(const app::WindowLayout& window);

  private:
    int dpi_;
    std::map<std::pair<double, bool>, HFONT> fonts_;
};

class MainWindow : public app::FormControls, public app::RunControls {
  public:
    // `dpi` is the resolution of the fonts; 0 takes the screen's.
    explicit MainWindow(HINSTANCE instance, int dpi = 0);
    ~MainWindow() override;

    bool Create(int showCommand);
    HWND Handle() const { return hwnd_; }
    // The window's own keyboard handling (Tab order, option groups, access
    // keys); true when the message was used.
    bool PreTranslate(MSG& msg);

    // FormControls.
    void SetPathText(const std::string& text) override;
    std::string PathText() override;
    void SetControlEnabled(const app::ControlLayout& control, bool enabled) override;
    void ShowInstructions(bool modal) override;
    void CloseWindow() override;
    // RunControls (SetCmdSplitEnabled serves both).
    bool OptXLS() override;
    bool OptPST() override;
    bool OptNormal() override;
    bool OptAdvance() override;
    void SetProgressCaption(const std::string& caption) override;
    void SetCmdSplitEnabled(bool enabled) override;
    void SetRunUnderWay(bool underWay) override;

  private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);

    void BuildControls();
    HWND Control(const char* name) const;
    const app::ControlLayout* LayoutOf(HWND control) const;
    void OnCommand(int index, int code);
    void Select(const app::ControlLayout& option);
    void Paint(HDC dc);
    HBRUSH LabelBackground(HWND control, HDC dc);

    HINSTANCE instance_;
    HWND hwnd_ = nullptr;
    int dpi_;            // of the fonts
    int layoutDpi_ = 96; // of the geometry, where captions need more room
    const app::WindowLayout& layout_;
    std::vector<HWND> controls_; // in the order of the layout table
    std::unique_ptr<LayoutFonts> fonts_;
    HBRUSH faceBrush_ = nullptr;
    HBRUSH frameBrush_ = nullptr;
    HICON programIcon_ = nullptr;
    HICON smallProgramIcon_ = nullptr;
    HICON stepsIcon_ = nullptr;
    HICON progressIcon_ = nullptr;
    HCURSOR linkCursor_ = nullptr;

    std::unique_ptr<Win32FileDialog> files_;
    std::unique_ptr<Win32SaveFileDialog> saveFiles_;
    std::unique_ptr<Win32FolderPicker> folders_;
    std::unique_ptr<Win32MessageBox> messages_;
    std::unique_ptr<Win32WindowPump> pump_;
    std::unique_ptr<Win32Shell> shell_;
    std::unique_ptr<app::FormLogic> logic_;
    std::unique_ptr<InstructionWindow> frmSkype_;
};

// Pixels of the layout (at 96 dots per inch) at the screen's resolution.
int Scale(int pixels, int dpi);
// A font of the layout at the screen's resolution.
HFONT CreateLayoutFont(const app::LayoutFont& font, int dpi);
// The room a control's caption takes in that font (a label's only; others
// give a zero size).
app::LayoutSize CaptionNeed(const app::ControlLayout& control, HFONT font);
// Creates one control of a layout table as a child window.
HWND CreateLayoutControl(HINSTANCE instance, HWND parent, const app::ControlLayout& control,
                         POINT parentOrigin, int id, int dpi, HFONT font);
// The class of borderless panels that pass their children's notifications on
// and report a click on their free area to their parent.
void RegisterPanelClass(HINSTANCE instance);
inline constexpr int kPanelClicked = 0x7001; // WM_COMMAND notification code
// The main window's controls have the identifiers from this one on, in the
// order of the layout table, so that other programs (accessibility tools, the
// window tests) can tell them apart.
inline constexpr int kFirstMainControlId = 1000;

} // namespace velloquin::win32
