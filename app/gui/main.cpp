// The program: the main window and nothing else.
#include "Artwork.h"
#include "Form1.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QApplication::setApplicationName("Velloquin");
    QApplication::setWindowIcon(velloquin::gui::ProgramIcon());
    velloquin::gui::Form1 form;
    form.show();
    return QApplication::exec();
}
