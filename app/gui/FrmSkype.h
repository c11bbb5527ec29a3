// The instruction window: how to make the backup that the program reads.
#pragma once

#include <QDialog>

namespace velloquin::gui {

class FrmSkype : public QDialog {
    Q_OBJECT
  public:
    explicit FrmSkype(QWidget* owner);
};

} // namespace velloquin::gui
