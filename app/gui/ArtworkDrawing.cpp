#include "ArtworkDrawing.h"

#include "Artwork.h"

#include <QFontMetrics>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QStringList>

#include <algorithm>

namespace velloquin::gui {

namespace {

const QColor kBlue(0x1f, 0x6f, 0xc5);
const QColor kDarkBlue(0x12, 0x4a, 0x8c);
const QColor kGreen(0x2e, 0x9a, 0x4a);
const QColor kInk(0x20, 0x20, 0x20);
const QColor kMenuBack(0xf4, 0xf4, 0xf4);
const QColor kHighlight(0x33, 0x8f, 0xe8);
const QColor kMark(0xd9, 0x3a, 0x2b);

QPixmap Transparent(int width, int height) {
    QPixmap pixmap(width, height);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

// The program's mark: a contact card handing its contents to a sheet, on a
// blue tile. Drawn on a 64-unit grid and scaled to the size asked for.
QPixmap IconPixmap(int size) {
    QPixmap pixmap = Transparent(size, size);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 64.0, size / 64.0);

    QLinearGradient tile(0, 0, 0, 64);
    tile.setColorAt(0, kBlue.lighter(125));
    tile.setColorAt(1, kDarkBlue);
    p.setPen(Qt::NoPen);
    p.setBrush(tile);
    p.drawRoundedRect(QRectF(1, 1, 62, 62), 12, 12);

    // The sheet, lower right: a white page with a green header and a grid.
    QRectF sheet(28, 26, 30, 32);
    p.setBrush(Qt::white);
    p.drawRoundedRect(sheet, 3, 3);
    p.setBrush(kGreen);
    p.drawRect(QRectF(28, 26, 30, 7));
    p.setPen(QPen(QColor(0x9a, 0xb0, 0x9f), 1.5));
    for (double y = 40; y < 58; y += 6)
        p.drawLine(QPointF(30, y), QPointF(56, y));
    p.drawLine(QPointF(39, 33), QPointF(39, 56));
    p.drawLine(QPointF(48, 33), QPointF(48, 56));

    // The card, upper left, with its person.
    p.setPen(QPen(kDarkBlue, 2));
    p.setBrush(QColor(0xfd, 0xfd, 0xfd));
    p.drawRoundedRect(QRectF(6, 8, 30, 22), 3, 3);
    p.setPen(Qt::NoPen);
    p.setBrush(kBlue);
    p.drawEllipse(QRectF(10, 11, 8, 8));
    p.drawChord(QRectF(8, 19, 12, 12), 0, 180 * 16);
    p.setBrush(QColor(0xa0, 0xb8, 0xd8));
    p.drawRect(QRectF(22, 13, 11, 3));
    p.drawRect(QRectF(22, 19, 9, 3));

    // The arrow from card to sheet.
    p.setBrush(QColor(0xff, 0xc8, 0x3d));
    QPolygonF arrow;
    arrow << QPointF(12, 34) << QPointF(18, 34) << QPointF(18, 42) << QPointF(22, 42)
          << QPointF(15, 52) << QPointF(8, 42) << QPointF(12, 42);
    p.drawPolygon(arrow);
    return pixmap;
}

// A menu of the instruction picture: a framed list of items, one of them
// highlighted; returns the rectangle of each item.
QVector<QRect> DrawMenu(QPainter& p, const QRect& frame, const QStringList& items, int highlighted,
                        int arrowItem, int itemHeight) {
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 50));
    p.drawRect(frame.translated(3, 3));
    p.setPen(QColor(0x97, 0x97, 0x97));
    p.setBrush(kMenuBack);
    p.drawRect(frame.adjusted(0, 0, -1, -1));
    QVector<QRect> rects;
    int y = frame.top() + 3;
    for (int i = 0; i < items.size(); ++i) {
        if (items[i].isEmpty()) { // separator
            p.setPen(QColor(0xd0, 0xd0, 0xd0));
            p.drawLine(frame.left() + 6, y + 3, frame.right() - 6, y + 3);
            rects.push_back(QRect(frame.left(), y, frame.width(), 7));
            y += 7;
            continue;
        }
        QRect item(frame.left() + 2, y, frame.width() - 4, itemHeight);
        if (i == highlighted) {
            p.setPen(Qt::NoPen);
            p.setBrush(kHighlight);
            p.drawRect(item);
        }
        p.setPen(i == highlighted ? Qt::white : kInk);
        p.drawText(item.adjusted(20, 0, -14, 0), Qt::AlignVCenter | Qt::AlignLeft, items[i]);
        if (i == arrowItem) {
            p.setBrush(i == highlighted ? Qt::white : kInk);
            p.setPen(Qt::NoPen);
            int cx = item.right() - 9;
            int cy = item.center().y();
            QPolygon tip;
            tip << QPoint(cx, cy - 4) << QPoint(cx + 4, cy) << QPoint(cx, cy + 4);
            p.drawPolygon(tip);
        }
        rects.push_back(item);
        y += itemHeight;
    }
    return rects;
}

// A numbered red disc that marks one step of the path.
void DrawStepMark(QPainter& p, QPoint centre, int number) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Qt::white, 1.5));
    p.setBrush(kMark);
    p.drawEllipse(QPointF(centre), 8, 8);
    QFont font = p.font();
    font.setBold(true);
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(QRect(centre.x() - 8, centre.y() - 8, 17, 17), Qt::AlignCenter,
               QString::number(number));
    p.restore();
}

void DrawArrowPointer(QPainter& p, QPointF tip, double scale) {
    QPolygonF arrow;
    arrow << QPointF(0, 0) << QPointF(0, 16) << QPointF(4, 12.5) << QPointF(7, 19)
          << QPointF(9.5, 18) << QPointF(6.5, 11.5) << QPointF(11.5, 11.5);
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.translate(tip);
    p.scale(scale, scale);
    p.setPen(QPen(Qt::black, 1.0 / scale * 1.1));
    p.setBrush(Qt::white);
    p.drawPolygon(arrow);
    p.restore();
}

} // namespace

QIcon DrawProgramIcon() {
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128})
        icon.addPixmap(IconPixmap(size));
    return icon;
}

QPixmap DrawStepsIcon() {
    // A page with a downward arrow: the backup to be made first.
    QPixmap pixmap = Transparent(16, 16);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0x70, 0x70, 0x70), 1));
    p.setBrush(Qt::white);
    QPolygonF page;
    page << QPointF(2.5, 0.5) << QPointF(10, 0.5) << QPointF(13.5, 4) << QPointF(13.5, 15.5)
         << QPointF(2.5, 15.5);
    p.drawPolygon(page);
    p.setPen(Qt::NoPen);
    p.setBrush(kBlue);
    QPolygonF arrow;
    arrow << QPointF(6.5, 4) << QPointF(9.5, 4) << QPointF(9.5, 8.5) << QPointF(12, 8.5)
          << QPointF(8, 13) << QPointF(4, 8.5) << QPointF(6.5, 8.5);
    p.drawPolygon(arrow);
    return pixmap;
}

QPixmap DrawProgressIcon() {
    // Two turning arrows: contacts on their way.
    QPixmap pixmap = Transparent(22, 22);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    QRectF ring(3.5, 3.5, 15, 15);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(kGreen, 3, Qt::SolidLine, Qt::FlatCap));
    p.drawArc(ring, 20 * 16, 140 * 16);
    p.setPen(QPen(kBlue, 3, Qt::SolidLine, Qt::FlatCap));
    p.drawArc(ring, 200 * 16, 140 * 16);
    p.setPen(Qt::NoPen);
    p.setBrush(kGreen);
    QPolygonF head1;
    head1 << QPointF(1, 10) << QPointF(8, 10) << QPointF(4.5, 14.5);
    p.drawPolygon(head1);
    p.setBrush(kBlue);
    QPolygonF head2;
    head2 << QPointF(21, 12) << QPointF(14, 12) << QPointF(17.5, 7.5);
    p.drawPolygon(head2);
    return pixmap;
}

QCursor DrawLinkCursor() {
    // An arrow with a small question disc: this text explains something.
    QPixmap pixmap = Transparent(32, 32);
    QPainter p(&pixmap);
    DrawArrowPointer(p, QPointF(1, 1), 1.2);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Qt::white, 1.5));
    p.setBrush(kBlue);
    p.drawEllipse(QRectF(15.5, 15.5, 15, 15));
    QFont font("DejaVu Sans");
    font.setPixelSize(12);
    font.setBold(true);
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(QRectF(15.5, 15.5, 15, 15), Qt::AlignCenter, "?");
    p.end();
    return QCursor(pixmap, 1, 1);
}

QPixmap DrawInstructionPicture() {
    const int width = 395;
    const int height = 245;
    QPixmap pixmap(width, height);
    pixmap.fill(QColor(0xd9, 0xe3, 0xee));
    QPainter p(&pixmap);
    QFont font = FormFont(8.25);
    p.setFont(font);
    const QFontMetrics metrics(font);

    // The program's window.
    const QRect window(6, 6, width - 12, height - 12);
    p.setPen(QColor(0x6d, 0x85, 0xa3));
    p.setBrush(Qt::white);
    p.drawRect(window.adjusted(0, 0, -1, -1));
    QLinearGradient titleBar(0, window.top(), 0, window.top() + 22);
    titleBar.setColorAt(0, kBlue.lighter(115));
    titleBar.setColorAt(1, kBlue);
    p.fillRect(QRect(window.left() + 1, window.top() + 1, window.width() - 2, 21), titleBar);
    QFont titleFont = FormFont(8.25, true);
    p.setFont(titleFont);
    p.setPen(Qt::white);
    p.drawText(QRect(window.left() + 10, window.top() + 1, 200, 21), Qt::AlignVCenter, "Skype");
    for (int i = 0; i < 3; ++i) { // the window's buttons
        QRect button(window.right() - 20 - i * 18, window.top() + 6, 12, 11);
        p.setPen(QColor(255, 255, 255, 200));
        p.setBrush(Qt::NoBrush);
        p.drawRect(button);
    }
    p.setFont(font);

    // The menu bar, "Contacts" pressed.
    const QRect menuBar(window.left() + 1, window.top() + 22, window.width() - 2, 20);
    p.fillRect(menuBar, kMenuBack);
    p.setPen(QColor(0xd8, 0xd8, 0xd8));
    p.drawLine(menuBar.bottomLeft(), menuBar.bottomRight());
    const QStringList menus = {"Skype", "Contacts", "Conversation", "Call",
                               "View",  "Tools",    "Help"};
    int x = menuBar.left() + 4;
    QRect contactsItem;
    for (const QString& menu : menus) {
        QRect item(x, menuBar.top() + 1, metrics.horizontalAdvance(menu) + 14, 18);
        if (menu == "Contacts") {
            contactsItem = item;
            p.setPen(QColor(0x7a, 0xa7, 0xd8));
            p.setBrush(QColor(0xd2, 0xe5, 0xf8));
            p.drawRect(item.adjusted(0, 0, -1, -1));
        }
        p.setPen(kInk);
        p.drawText(item, Qt::AlignCenter, menu);
        x = item.right() + 1;
    }

    // The contact list behind the menus.
    for (int row = 0; row < 7; ++row) {
        const int y = menuBar.bottom() + 12 + row * 26;
        p.setPen(Qt::NoPen);
        p.setRenderHint(QPainter::Antialiasing);
        p.setBrush(QColor(0xc9, 0xd6, 0xe4));
        p.drawEllipse(QRect(window.left() + 12, y, 18, 18));
        p.setRenderHint(QPainter::Antialiasing, false);
        p.setBrush(QColor(0xe3, 0xe8, 0xee));
        p.drawRect(QRect(window.left() + 38, y + 2, 90 - (row * 17) % 40, 6));
        p.drawRect(QRect(window.left() + 38, y + 11, 60 - (row * 11) % 30, 4));
    }

    // The Contacts menu, "Advanced" open.
    const QStringList contactsMenu = {"Add a Contact...",
                                      "Create a Group...",
                                      "Contact Lists",
                                      "Sort Contacts by",
                                      "",
                                      "Hide Contacts Who",
                                      "Show Outlook Contacts",
                                      "",
                                      "Advanced"};
    const int itemHeight = 19;
    int menuWidth = 0;
    for (const QString& item : contactsMenu)
        menuWidth = std::max(menuWidth, metrics.horizontalAdvance(item));
    menuWidth += 40;
    int menuHeight = 6;
    for (const QString& item : contactsMenu)
        menuHeight += item.isEmpty() ? 7 : itemHeight;
    const QRect dropDown(contactsItem.left(), contactsItem.bottom() + 1, menuWidth, menuHeight);
    const int advanced = static_cast<int>(contactsMenu.size()) - 1;
    const QVector<QRect> items =
        DrawMenu(p, dropDown, contactsMenu, advanced, advanced, itemHeight);

    // Its Advanced submenu, "Backup Contacts to File..." chosen.
    const QStringList advancedMenu = {"Send Contacts...", "Backup Contacts to File...",
                                      "Restore Contacts from File..."};
    int subWidth = 0;
    for (const QString& item : advancedMenu)
        subWidth = std::max(subWidth, metrics.horizontalAdvance(item));
    subWidth += 44;
    const QRect advancedItem = items[advanced];
    // Beside the menu, or over its edge where the window ends first.
    const int subLeft = std::min(dropDown.right() - 2, window.right() - 6 - subWidth);
    const QRect subMenu(subLeft, advancedItem.top() - 3, subWidth,
                        6 + itemHeight * static_cast<int>(advancedMenu.size()));
    const QVector<QRect> subItems = DrawMenu(p, subMenu, advancedMenu, 1, -1, itemHeight);

    // The path, step by step, and the pointer on its last step.
    DrawStepMark(p, QPoint(contactsItem.center().x(), contactsItem.top() - 10), 1);
    DrawStepMark(p, QPoint(advancedItem.left() + 9, advancedItem.center().y()), 2);
    DrawStepMark(p, QPoint(subItems[1].left() + 9, subItems[1].center().y()), 3);
    DrawArrowPointer(p,
                     QPointF(subItems[1].left() + 26 + metrics.horizontalAdvance(advancedMenu[1]),
                             subItems[1].center().y() - 2),
                     1.0);
    return pixmap;
}

} // namespace velloquin::gui
