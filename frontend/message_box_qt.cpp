// The error box on Linux: a modal message box owned by the main window.
#include <QMessageBox>
#include <QWidget>

#include "message_box.h"
#include "messages.h"

void showErrorBox(WindowHandle window, const char* message) {
  QMessageBox box(QMessageBox::NoIcon, kErrorCaption, QString::fromUtf8(message), QMessageBox::Ok,
                  static_cast<QWidget*>(window));
  box.exec();
}
