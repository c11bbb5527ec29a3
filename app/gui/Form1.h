// The main window. Its controls carry the names they are known by (the object
// name of each widget); what they do lives in FormLogic and ConversionRun.
#pragma once

#include "app/FormLogic.h"

#include <QFrame>
#include <QLabel>
#include <QWidget>

#include <map>
#include <memory>
#include <string>

class QButtonGroup;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace velloquin::gui {

class FrmSkype;

// A label that reports clicks, for the link to the instructions.
class ClickLabel : public QLabel {
    Q_OBJECT
  public:
    using QLabel::QLabel;
  signals:
    void clicked();

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
};

// A panel that reports clicks on its free area (its buttons keep their own).
class ClickPanel : public QFrame {
    Q_OBJECT
  public:
    using QFrame::QFrame;
  signals:
    void clicked();

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
};

// The window's platform services; each one left empty is done with Qt.
struct FormServices {
    app::FileDialog* files = nullptr;
    app::FolderPicker* folders = nullptr;
    app::MessageBox* messages = nullptr;
    app::WindowPump* pump = nullptr;
    app::Shell* shell = nullptr;
    // Where the Help Manual is looked for; empty: the program's own folder.
    std::string programFolder;
    app::SaveFileDialog* saveFiles = nullptr;
};

class Form1 : public QWidget, public app::FormControls, public app::RunControls {
    Q_OBJECT
  public:
    using Services = FormServices;
    explicit Form1(Services services = {});
    ~Form1() override;

    app::FormLogic& Logic() { return *logic_; }
    app::ConversionRun& Run() { return logic_->Run(); }

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

  protected:
    void closeEvent(QCloseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

  private:
    void BuildControls();
    void Form_Load();

    std::unique_ptr<app::FileDialog> ownFiles_;
    std::unique_ptr<app::FolderPicker> ownFolders_;
    std::unique_ptr<app::MessageBox> ownMessages_;
    std::unique_ptr<app::WindowPump> ownPump_;
    std::unique_ptr<app::Shell> ownShell_;
    std::unique_ptr<app::SaveFileDialog> ownSaveFiles_;
    std::unique_ptr<app::FormLogic> logic_;

    ClickLabel* Label6_ = nullptr;
    QLineEdit* txtvCFPath_ = nullptr;
    QLabel* LblProgessCurrent_ = nullptr;
    QRadioButton* OptXLS_ = nullptr;
    QRadioButton* OptPST_ = nullptr;
    QPushButton* CmdSplit_ = nullptr;
    QRadioButton* OptNormal_ = nullptr;
    QRadioButton* OptAdvance_ = nullptr;
    FrmSkype* frmSkype_ = nullptr;
    std::map<std::string, QWidget*, std::less<>> controls_; // by their names in the table
};

} // namespace velloquin::gui
