#include "Artwork.h"

#include "app/FormLayout.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QImageReader>
#include <QWidget>

#include <algorithm>

// A static library's resources are registered by hand; the macro must stand
// outside any namespace.
static void RegisterArtwork() {
    Q_INIT_RESOURCE(artwork);
}

namespace velloquin::gui {

namespace {

// The pictures are compiled in as Qt resources under ":/art/".
QString ArtFile(const char* name) {
    static const bool registered = (RegisterArtwork(), true);
    (void)registered;
    return QString(":/art/") + name;
}

} // namespace

QFont FormFont(double pointSize, bool bold) {
    static const QFont base = [] {
        const QStringList families = QFontDatabase::families();
        QFont font;
        if (families.contains("Tahoma")) {
            font.setFamily("Tahoma");
        } else if (families.contains("Liberation Sans")) {
            // Its widths come nearest Tahoma's among the faces a Linux system
            // usually has, so the texts fit the sizes the window was laid out for.
            font.setFamily("Liberation Sans");
        } else if (families.contains("DejaVu Sans")) {
            // Drawn on Verdana's lines, as Tahoma is; narrowed like Tahoma.
            font.setFamily("DejaVu Sans");
            font.setStretch(QFont::SemiCondensed);
        } else {
            font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
        }
        font.setStyleHint(QFont::SansSerif);
        return font;
    }();
    QFont font = base;
    font.setPointSizeF(pointSize);
    font.setBold(bold);
    return font;
}

void FitFontToWidth(QWidget* widget, const QString& text) {
    int room = widget->contentsRect().width();
    // Only the part inside the window shows.
    if (const QWidget* parent = widget->parentWidget(); parent && widget->x() < parent->width())
        room = std::min(room, parent->width() - widget->x() - 8);
    QFont font = widget->font();
    for (int attempt = 0; attempt < 4; ++attempt) {
        const int needed = QFontMetrics(font).horizontalAdvance(text);
        if (needed <= room) break;
        const int stretch = font.stretch() == QFont::AnyStretch ? 100 : font.stretch();
        font.setStretch(std::max(50, stretch * room / needed - 1));
    }
    widget->setFont(font);
}

QIcon ProgramIcon() {
    return QIcon(ArtFile(app::kProgramIconFile));
}

QPixmap StepsIcon() {
    return QPixmap(ArtFile(app::kStepsIconFile));
}

QPixmap ProgressIcon() {
    return QPixmap(ArtFile(app::kProgressIconFile));
}

QCursor HelpLinkCursor() {
    // Qt reads the cursor file as an icon; the hot spot is the file's own.
    return QCursor(QPixmap(ArtFile(app::kLinkCursorFile)), app::kLinkCursorHotSpotX,
                   app::kLinkCursorHotSpotY);
}

QPixmap InstructionPicture() {
    return QPixmap(ArtFile(app::kInstructionFile));
}

} // namespace velloquin::gui
