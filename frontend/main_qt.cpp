// The Linux program: one window that hands every drop to the drop handling.
#include <QApplication>

#include "drop_handler.h"
#include "main_window.h"
#include "platform.h"

// The command line is not read (Qt is given none of it either); the exit code is 0 however
// the window is closed.
int main(int, char** argv) {
  int qtArgc = 1;
  char* qtArgv[] = {argv[0], nullptr};
  QApplication application(qtArgc, qtArgv);
  generatorPath = platform::libraryBesideProgram();
  MainWindow window;
  window.show();
  application.exec();
  return 0;
}
