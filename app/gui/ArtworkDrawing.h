// How the program's pictures were drawn. The windows load the files under
// app/art/ that velloquin-artwork-export writes from these; they are kept to
// redraw the pictures when they change.
#pragma once

#include <QCursor>
#include <QIcon>
#include <QPixmap>

namespace velloquin::gui {

QIcon DrawProgramIcon();          // 16 to 128 pixels
QPixmap DrawStepsIcon();          // 16 x 16
QPixmap DrawProgressIcon();       // 22 x 22
QCursor DrawLinkCursor();         // 32 x 32, hot spot 1, 1
QPixmap DrawInstructionPicture(); // 395 x 245

} // namespace velloquin::gui
