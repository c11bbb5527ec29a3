#include "Form1.h"

#include "Artwork.h"
#include "FrmSkype.h"
#include "QtPlatform.h"
#include "app/FormLayout.h"

#include <QButtonGroup>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLineEdit>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStandardPaths>

#include <map>
#include <string>
#include <string_view>

namespace velloquin::gui {

void ClickLabel::mousePressEvent(QMouseEvent* event) {
    event->accept();
}

void ClickLabel::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit clicked();
}

void ClickPanel::mousePressEvent(QMouseEvent* event) {
    event->accept();
}

void ClickPanel::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit clicked();
}

Form1::Form1(Services services)
    : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                           Qt::WindowCloseButtonHint) {
    setObjectName("Form1");
    setWindowTitle(app::Form1Layout().title);
    setWindowIcon(ProgramIcon());
    setFixedSize(app::Form1Layout().clientWidth, app::Form1Layout().clientHeight);
    setFont(FormFont(8.25));

    if (!services.files) services.files = (ownFiles_ = std::make_unique<QtFileDialog>(this)).get();
    if (!services.folders)
        services.folders = (ownFolders_ = std::make_unique<QtFolderPicker>(this)).get();
    if (!services.messages)
        services.messages = (ownMessages_ = std::make_unique<QtMessageBox>(this)).get();
    if (!services.pump) services.pump = (ownPump_ = std::make_unique<QtWindowPump>()).get();
    if (!services.shell) services.shell = (ownShell_ = std::make_unique<QtShell>()).get();
    if (!services.saveFiles)
        services.saveFiles = (ownSaveFiles_ = std::make_unique<QtSaveFileDialog>(this)).get();
    if (services.programFolder.empty())
        services.programFolder = QCoreApplication::applicationDirPath().toStdString();
    logic_ = std::make_unique<app::FormLogic>(
        app::FormLogic::Platform{
            *services.files, *services.folders, *services.messages, *services.pump, *services.shell,
            services.programFolder,
            QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation).toStdString(),
            services.saveFiles},
        *this, *this);

    BuildControls();
    Form_Load();

    // In the middle of the screen that the window opens on.
    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

Form1::~Form1() = default;

void Form1::BuildControls() {
    // Everything about the controls but what they do comes from the shared
    // table; the Win32 window reads the same one.
    const app::WindowLayout& layout = app::Form1Layout();
    std::map<std::string, QWidget*, std::less<>>& made = controls_;
    std::map<int, QButtonGroup*> groups;
    for (const app::ControlLayout& c : layout.controls) {
        QWidget* parent = this;
        QPoint origin(0, 0);
        if (c.container) {
            // Containers take their children in their own coordinates.
            parent = made.at(c.container);
            const app::ControlLayout* container = app::FindControl(layout, c.container);
            origin = QPoint(container->at.left, container->at.top);
        }
        const QRect geometry(c.at.left - origin.x(), c.at.top - origin.y(), c.at.width,
                             c.at.height);
        const QString caption = QString::fromUtf8(c.caption);
        QWidget* widget = nullptr;
        switch (c.kind) {
        case app::ControlKind::Label: {
            const bool link = std::string_view(c.name) == app::kLinkLabel;
            QLabel* label = nullptr;
            if (c.action != app::ControlAction::None) {
                auto* clickable = new ClickLabel(caption, parent);
                connect(clickable, &ClickLabel::clicked, this,
                        [this, action = c.action] { logic_->Click(action); });
                label = clickable;
            } else {
                label = new QLabel(caption, parent);
            }
            // Labels keep their text at the top left and wrap it at their width.
            label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
            label->setWordWrap(!link);
            widget = label;
            break;
        }
        case app::ControlKind::TextBox:
            widget = new QLineEdit(caption, parent);
            break;
        case app::ControlKind::Button: {
            auto* button = new QPushButton(caption, parent);
            connect(button, &QPushButton::clicked, this,
                    [this, action = c.action] { logic_->Click(action); });
            widget = button;
            break;
        }
        case app::ControlKind::GroupBox:
            widget = new QGroupBox(caption, parent);
            break;
        case app::ControlKind::Panel:
            if (c.action != app::ControlAction::None) {
                auto* panel = new ClickPanel(parent);
                connect(panel, &ClickPanel::clicked, this,
                        [this, action = c.action] { logic_->Click(action); });
                widget = panel;
            } else {
                widget = new QWidget(parent);
            }
            break;
        case app::ControlKind::OptionButton: {
            auto* option = new QRadioButton(caption, parent);
            QButtonGroup*& group = groups[c.optionGroup];
            if (!group) {
                group = new QButtonGroup(this);
                group->setObjectName(c.optionGroup == 1 ? "outputGroup" : "modeGroup");
            }
            group->addButton(option);
            option->setChecked(c.selected);
            widget = option;
            break;
        }
        case app::ControlKind::Picture:
            widget = new QLabel(parent);
            break;
        }
        widget->setObjectName(c.name);
        widget->setGeometry(geometry);
        widget->setFont(FormFont(c.font.points, c.font.bold));
        widget->setEnabled(c.enabled);
        if (c.kind == app::ControlKind::Panel)
            widget->setFocusPolicy(c.tabIndex >= 0 ? Qt::StrongFocus : Qt::NoFocus);
        if (c.textColour != app::kDefaultText) {
            QPalette palette = widget->palette();
            palette.setColor(QPalette::WindowText, QColor::fromRgb(c.textColour));
            widget->setPalette(palette);
        }
        if (c.kind == app::ControlKind::Label) FitFontToWidth(widget, caption);
        made[c.name] = widget;
    }

    auto find = [&](const char* name) { return made.at(name); };
    Label6_ = static_cast<ClickLabel*>(find(app::kLinkLabel));
    txtvCFPath_ = static_cast<QLineEdit*>(find("txtvCFPath"));
    LblProgessCurrent_ = static_cast<QLabel*>(find("LblProgessCurrent"));
    OptXLS_ = static_cast<QRadioButton*>(find("OptXLS"));
    OptPST_ = static_cast<QRadioButton*>(find("OptPST"));
    CmdSplit_ = static_cast<QPushButton*>(find("CmdSplit"));
    OptNormal_ = static_cast<QRadioButton*>(find("OptNormal"));
    OptAdvance_ = static_cast<QRadioButton*>(find("OptAdvance"));
    Label6_->setCursor(HelpLinkCursor());

    const auto order = app::FocusOrder(layout);
    for (size_t i = 0; i + 1 < order.size(); ++i)
        setTabOrder(find(order[i]->name), find(order[i + 1]->name));
    txtvCFPath_->setFocus();
}

void Form1::Form_Load() {
    logic_->Form_Load();
}

void Form1::paintEvent(QPaintEvent* /*event*/) {
    const app::Decoration& d = app::Form1Decoration();
    auto rect = [](const app::LayoutRect& r) { return QRect(r.left, r.top, r.width, r.height); };
    auto colour = [](app::LayoutColour c) { return QColor::fromRgb(c); };
    QPainter p(this);
    const QRect topBand = rect(d.topBand);
    QLinearGradient top(0, topBand.top(), 0, topBand.bottom());
    top.setColorAt(0, colour(d.topBandFrom));
    top.setColorAt(1, colour(d.topBandTo));
    p.fillRect(topBand, top);

    const QRect bottomBand = rect(d.bottomBand);
    QLinearGradient bottom(0, bottomBand.top(), 0, bottomBand.bottom());
    bottom.setColorAt(0, colour(d.bottomBandFrom));
    bottom.setColorAt(1, colour(d.bottomBandTo));
    p.fillRect(bottomBand, bottom);
    p.setPen(colour(d.bottomBandLine));
    p.drawLine(bottomBand.topLeft(), bottomBand.topRight());

    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(colour(d.frameLine));
    p.setBrush(colour(d.frameFill));
    for (const app::LayoutRect& frame : d.frames)
        p.drawRoundedRect(QRectF(rect(frame)).adjusted(0.5, 0.5, -0.5, -0.5), 4, 4);
    p.setRenderHint(QPainter::Antialiasing, false);

    p.drawPixmap(rect(d.stepsIcon).topLeft(), StepsIcon());
    p.drawPixmap(rect(d.progressIcon).topLeft(), ProgressIcon());
}

void Form1::SetPathText(const std::string& text) {
    txtvCFPath_->setText(QString::fromStdString(text));
}

std::string Form1::PathText() {
    return txtvCFPath_->text().toStdString();
}

bool Form1::OptXLS() {
    return OptXLS_->isChecked();
}
bool Form1::OptPST() {
    return OptPST_->isChecked();
}
bool Form1::OptNormal() {
    return OptNormal_->isChecked();
}
bool Form1::OptAdvance() {
    return OptAdvance_->isChecked();
}

void Form1::SetProgressCaption(const std::string& caption) {
    LblProgessCurrent_->setText(QString::fromStdString(caption));
}

void Form1::SetCmdSplitEnabled(bool enabled) {
    CmdSplit_->setEnabled(enabled);
}

void Form1::SetRunUnderWay(bool /*underWay*/) {
    // FormLogic locks the controls through SetControlEnabled.
}

void Form1::SetControlEnabled(const app::ControlLayout& control, bool enabled) {
    controls_.at(control.name)->setEnabled(enabled);
}

void Form1::ShowInstructions(bool modal) {
    if (!frmSkype_) frmSkype_ = new FrmSkype(this);
    if (modal)
        frmSkype_->exec();
    else
        frmSkype_->open(); // shown without waiting for it
}

void Form1::CloseWindow() {
    close();
}

void Form1::closeEvent(QCloseEvent* event) {
    if (logic_->QueryClose()) {
        if (frmSkype_) frmSkype_->close();
        event->accept();
    } else {
        event->ignore();
    }
}

} // namespace velloquin::gui
