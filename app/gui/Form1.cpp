#include "Form1.h"

#include "Artwork.h"
#include "FrmSkype.h"
#include "QtPlatform.h"

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

namespace velloquin::gui {

namespace {

// The client area, in pixels.
constexpr int kClientWidth = 569;
constexpr int kClientHeight = 393;

// Where the drawn decoration sits.
const QRect kTopBand(0, 0, kClientWidth, 42);
const QRect kBottomBand(0, 352, kClientWidth, kClientHeight - 352);
const QRect kStepsFrame(16, 72, 312, 46);
const QRect kHowToFrame(332, 72, 221, 46);
const QPoint kStepsIconAt(24, 80);
const QPoint kProgressIconAt(16, 205);

const QColor kTitleBandTop(0x2b, 0x79, 0xc9);
const QColor kTitleBandBottom(0x16, 0x52, 0x96);
const QColor kLinkColour(0x10, 0x5c, 0xc0);

template <class W> W* Place(W* widget, const char* name, QRect geometry, const QFont& font) {
    widget->setObjectName(name);
    widget->setGeometry(geometry);
    widget->setFont(font);
    return widget;
}

QLabel* AddLabel(QWidget* parent, const char* name, const QString& text, QRect geometry,
                 const QFont& font = FormFont(8.25)) {
    auto* label = Place(new QLabel(text, parent), name, geometry, font);
    // Labels keep their text at the top left and wrap it at their width.
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    FitFontToWidth(label, text);
    label->setWordWrap(true);
    return label;
}

} // namespace

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
    setWindowTitle(app::kWindowTitle);
    setWindowIcon(ProgramIcon());
    setFixedSize(kClientWidth, kClientHeight);
    setFont(FormFont(8.25));

    if (!services.files) services.files = (ownFiles_ = std::make_unique<QtFileDialog>(this)).get();
    if (!services.folders)
        services.folders = (ownFolders_ = std::make_unique<QtFolderPicker>(this)).get();
    if (!services.messages)
        services.messages = (ownMessages_ = std::make_unique<QtMessageBox>(this)).get();
    if (!services.pump) services.pump = (ownPump_ = std::make_unique<QtWindowPump>()).get();
    if (!services.shell) services.shell = (ownShell_ = std::make_unique<QtShell>()).get();
    if (services.programFolder.empty())
        services.programFolder = QCoreApplication::applicationDirPath().toStdString();
    logic_ = std::make_unique<app::FormLogic>(
        app::FormLogic::Platform{*services.files, *services.folders, *services.messages,
                                 *services.pump, *services.shell, services.programFolder},
        *this, *this);

    BuildControls();
    Form_Load();

    // In the middle of the screen that the window opens on.
    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

Form1::~Form1() = default;

void Form1::BuildControls() {
    lblTitle_ =
        AddLabel(this, "lblTitle", app::kAppTitle, QRect(16, 8, 417, 25), FormFont(14.25, true));
    QPalette titlePalette = lblTitle_->palette();
    titlePalette.setColor(QPalette::WindowText, Qt::white);
    lblTitle_->setPalette(titlePalette);

    AddLabel(this, "Label7",
             "First backup all Skype contacts to a .vcf file  : ", QRect(48, 80, 281, 31));
    AddLabel(this, "Label5", "(And then convert exported .vcf file to Outlook/Excel file)",
             QRect(48, 95, 281, 17));

    Label6_ = Place(new ClickLabel("How to Backup Skype Contacts", this), "Label6",
                    QRect(336, 85, 201, 17), FormFont(9, true));
    Label6_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    FitFontToWidth(Label6_, Label6_->text());
    QPalette linkPalette = Label6_->palette();
    linkPalette.setColor(QPalette::WindowText, kLinkColour);
    Label6_->setPalette(linkPalette);
    Label6_->setCursor(HelpLinkCursor());
    connect(Label6_, &ClickLabel::clicked, this, &Form1::Label6_Click);

    AddLabel(this, "Label4", "Select vCard (.vcf) File(s)", QRect(16, 128, 569, 17));
    txtvCFPath_ = Place(new QLineEdit(this), "txtvCFPath", QRect(16, 144, 393, 25), font());
    CmdBrowse_ = Place(new QPushButton("Browse vCard File...", this), "CmdBrowse",
                       QRect(416, 144, 137, 25), font());
    connect(CmdBrowse_, &QPushButton::clicked, this, &Form1::CmdBrowse_Click);

    AddLabel(this, "Label1", "Saving Contact(s)...", QRect(16, 184, 569, 17));
    LblProgessCurrent_ =
        AddLabel(this, "LblProgessCurrent", "(0) Contacts Saved", QRect(48, 208, 537, 17));

    // Containers take their children in their own coordinates: Frame1 sits at
    // 16, 232 and Picture1 at 24, 248 in the window.
    Frame1_ =
        Place(new QGroupBox(" Saving Options ", this), "Frame1", QRect(16, 232, 537, 57), font());
    auto* Picture1 =
        Place(new QWidget(Frame1_), "Picture1", QRect(24 - 16, 248 - 232, 457, 33), font());
    OptXLS_ = Place(new QRadioButton("Excel/CSV (.xls)", Picture1), "OptXLS",
                    QRect(0, 256 - 248, 121, 17), font());
    OptPST_ = Place(new QRadioButton("Outlook (.pst)", Picture1), "OptPST",
                    QRect(216 - 24, 256 - 248, 121, 17), font());
    auto* outputGroup = new QButtonGroup(this);
    outputGroup->setObjectName("outputGroup");
    outputGroup->addButton(OptXLS_);
    outputGroup->addButton(OptPST_);
    OptXLS_->setChecked(true);

    CmdSplit_ = Place(new QPushButton("Convert Skype Contacts", this), "CmdSplit",
                      QRect(168, 304, 241, 41), FormFont(14.25));
    CmdSplit_->setEnabled(false);
    connect(CmdSplit_, &QPushButton::clicked, this, &Form1::CmdSplit_Click);

    Picture3_ = Place(new ClickPanel(this), "Picture3", QRect(8, 360, 761, 33), font());
    Picture3_->setFocusPolicy(Qt::StrongFocus);
    connect(Picture3_, &ClickPanel::clicked, this, &Form1::Picture3_Click);
    CmdHelp_ = Place(new QPushButton("&Help Manual", Picture3_), "CmdHelp",
                     QRect(16 - 8, 0, 113, 25), font());
    connect(CmdHelp_, &QPushButton::clicked, this, &Form1::CmdHelp_Click);
    cmdEnd_ =
        Place(new QPushButton("E&xit", Picture3_), "cmdEnd", QRect(456 - 8, 0, 97, 25), font());
    connect(cmdEnd_, &QPushButton::clicked, this, &Form1::cmdEnd_Click);

    // Beyond the right edge of the client area: not seen, but present and
    // reachable with the keyboard.
    Command1_ = Place(new QPushButton("Browse Folder...", this), "Command1",
                      QRect(752, 344, 137, 25), font());
    connect(Command1_, &QPushButton::clicked, this, &Form1::Command1_Click);
    OptNormal_ =
        Place(new QRadioButton("Normal Mode", this), "OptNormal", QRect(608, 240, 121, 17), font());
    OptAdvance_ = Place(new QRadioButton("Advance Mode", this), "OptAdvance",
                        QRect(760, 240, 105, 17), FormFont(8.25, true));
    auto* modeGroup = new QButtonGroup(this);
    modeGroup->setObjectName("modeGroup");
    modeGroup->addButton(OptNormal_);
    modeGroup->addButton(OptAdvance_);
    OptNormal_->setChecked(true);
    AddLabel(this, "Label2", "(If Normal Mode fails to import vCards)", QRect(872, 242, 377, 17));

    // Labels and the group boxes take no focus; the rest go in this order.
    Picture1->setFocusPolicy(Qt::NoFocus);
    QWidget* order[] = {txtvCFPath_, CmdBrowse_, CmdSplit_,   Picture3_, CmdHelp_, cmdEnd_,
                        Command1_,   OptNormal_, OptAdvance_, OptPST_,   OptXLS_};
    for (size_t i = 0; i + 1 < std::size(order); ++i)
        setTabOrder(order[i], order[i + 1]);
    txtvCFPath_->setFocus();
}

void Form1::Form_Load() {
    logic_->Form_Load();
}

void Form1::paintEvent(QPaintEvent* /*event*/) {
    QPainter p(this);
    QLinearGradient top(0, kTopBand.top(), 0, kTopBand.bottom());
    top.setColorAt(0, kTitleBandTop);
    top.setColorAt(1, kTitleBandBottom);
    p.fillRect(kTopBand, top);

    QLinearGradient bottom(0, kBottomBand.top(), 0, kBottomBand.bottom());
    bottom.setColorAt(0, QColor(0xdc, 0xe4, 0xee));
    bottom.setColorAt(1, QColor(0xc4, 0xd0, 0xde));
    p.fillRect(kBottomBand, bottom);
    p.setPen(QColor(0xa9, 0xb8, 0xca));
    p.drawLine(kBottomBand.topLeft(), kBottomBand.topRight());

    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QColor(0xb4, 0xc2, 0xd3));
    p.setBrush(QColor(0xfa, 0xfb, 0xfd));
    for (const QRect& frame : {kStepsFrame, kHowToFrame})
        p.drawRoundedRect(QRectF(frame).adjusted(0.5, 0.5, -0.5, -0.5), 4, 4);
    p.setRenderHint(QPainter::Antialiasing, false);

    p.drawPixmap(kStepsIconAt, StepsIcon());
    p.drawPixmap(kProgressIconAt, ProgressIcon());
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
void Form1::SelectOptAdvance() {
    OptAdvance_->setChecked(true);
}

void Form1::SetProgressCaption(const std::string& caption) {
    LblProgessCurrent_->setText(QString::fromStdString(caption));
}

void Form1::SetCmdSplitEnabled(bool enabled) {
    CmdSplit_->setEnabled(enabled);
}

void Form1::SetRunUnderWay(bool underWay) {
    // The run lets the window work while it reads; these would change what it
    // reads or writes, or end the program under it.
    for (QWidget* control : std::initializer_list<QWidget*>{CmdBrowse_, Command1_, OptXLS_, OptPST_,
                                                            OptNormal_, OptAdvance_, cmdEnd_})
        control->setEnabled(!underWay);
}

void Form1::CmdBrowse_Click() {
    logic_->CmdBrowse_Click();
}

void Form1::Command1_Click() {
    logic_->Command1_Click();
}

void Form1::CmdSplit_Click() {
    logic_->CmdSplit_Click();
    // The window was closed while the run went on: now that its output is
    // closed, the program may end.
    if (logic_->CloseAfterRun()) close();
}

void Form1::Label6_Click() {
    if (!frmSkype_) frmSkype_ = new FrmSkype(this);
    if (Run().RunUnderWay()) {
        // Shown without waiting for it, so that the run goes on reading.
        frmSkype_->open();
        return;
    }
    frmSkype_->exec();
}

void Form1::Picture3_Click() {
    logic_->Picture3_Click();
}

void Form1::CmdHelp_Click() {
    logic_->CmdHelp_Click();
}

void Form1::cmdEnd_Click() {
    // The main window is the program's last window: closing it ends the program.
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
