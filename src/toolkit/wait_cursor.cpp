#include "toolkit/wait_cursor.h"

#include <QApplication>
#include <QCursor>

namespace toolkit {

WaitCursor::WaitCursor() {
  QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
}

WaitCursor::~WaitCursor() {
  QApplication::restoreOverrideCursor();
}

}  // namespace toolkit
