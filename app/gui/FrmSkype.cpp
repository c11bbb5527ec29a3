#include "FrmSkype.h"

#include "Artwork.h"

#include <QLabel>

namespace velloquin::gui {

namespace {

QLabel* AddLabel(QWidget* parent, const char* name, const QString& text, QRect geometry,
                 const QFont& font) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setGeometry(geometry);
    label->setFont(font);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    FitFontToWidth(label, text);
    return label;
}

} // namespace

FrmSkype::FrmSkype(QWidget* owner)
    // A dialog of its owner: no taskbar entry, centred on the owner, and only
    // a close button in the title bar.
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                         Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint) {
    setObjectName("FrmSkype");
    setWindowTitle("Skype Contacts Backup");
    setModal(true);
    setFixedSize(428, 353);
    setFont(FormFont(8.25));

    AddLabel(this, "lblTitle", "Steps to Export / Backup Skype Contacts to File",
             QRect(16, 8, 417, 25), FormFont(14.25, true));
    AddLabel(this, "Label1", "1. Open Skype", QRect(16, 40, 417, 17), FormFont(8.25));
    AddLabel(this, "Label2", "2. Navigate to Contacts -> Advanced -> Backup Contacts to File...",
             QRect(16, 64, 417, 17), FormFont(8.25));
    auto* image = new QLabel(this);
    image->setObjectName("Image1");
    image->setGeometry(16, 96, 395, 245);
    image->setPixmap(InstructionPicture());
}

} // namespace velloquin::gui
