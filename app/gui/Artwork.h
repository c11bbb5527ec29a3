// The program's pictures, drawn at run time so that no image file has to be
// found next to the executable: the window icon, the two small icons of the
// main window, the pointer over the instruction link and the instruction
// picture of the backup window.
#pragma once

#include <QCursor>
#include <QFont>
#include <QIcon>
#include <QPixmap>
#include <QString>

class QWidget;

namespace velloquin::gui {

// Tahoma where it is installed, otherwise the nearest face the system has.
QFont FormFont(double pointSize, bool bold = false);

// Narrows the widget's font, keeping its size, until the text fits the
// widget's width: a stand-in face may run wider than the one the window was
// laid out for.
void FitFontToWidth(QWidget* widget, const QString& text);

QIcon ProgramIcon();
QPixmap StepsIcon();          // 16 x 16, before the backup instructions
QPixmap ProgressIcon();       // 22 x 22, before the progress label
QCursor HelpLinkCursor();     // 32 x 32
QPixmap InstructionPicture(); // 395 x 245: the menu path to the backup command

} // namespace velloquin::gui
