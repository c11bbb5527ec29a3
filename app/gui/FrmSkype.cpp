#include "FrmSkype.h"

#include "Artwork.h"
#include "app/FormLayout.h"

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
    const app::WindowLayout& layout = app::FrmSkypeLayout();
    setObjectName(layout.name);
    setWindowTitle(layout.title);
    setModal(true);
    setFixedSize(layout.clientWidth, layout.clientHeight);
    setFont(FormFont(app::kFormFont.points, app::kFormFont.bold));

    for (const app::ControlLayout& c : layout.controls) {
        const QRect geometry(c.at.left, c.at.top, c.at.width, c.at.height);
        if (c.kind == app::ControlKind::Picture) {
            auto* image = new QLabel(this);
            image->setObjectName(c.name);
            image->setGeometry(geometry);
            image->setPixmap(InstructionPicture());
        } else {
            AddLabel(this, c.name, QString::fromUtf8(c.caption), geometry,
                     FormFont(c.font.points, c.font.bold));
        }
    }
}

} // namespace velloquin::gui
