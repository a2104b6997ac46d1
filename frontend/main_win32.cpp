// The Windows program: one modal dialog that hands every drop to the drop handling.
#include <windows.h>

#include "drop_handler.h"
#include "platform.h"
#include "resource.h"

HINSTANCE appInstance = nullptr;

// Answers five messages and returns 0 for every message, so that the dialog manager does the
// rest (and sets no initial focus).
INT_PTR CALLBACK mainDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG: {
      HICON icon = LoadIconA(appInstance, MAKEINTRESOURCEA(IDI_MAIN));
      SendMessageA(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
      SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_SHOWWINDOW);
      break;
    }
    case WM_COMMAND:
      // Only the Close button ends the dialog; the cancel command (Escape) does not.
      if (LOWORD(wParam) == IDCLOSE) EndDialog(window, 0);
      break;
    case WM_CLOSE:
      EndDialog(window, 0);
      break;
    case WM_DROPFILES:
      handleDrop(window, reinterpret_cast<HDROP>(wParam));
      break;
    default:
      break;
  }
  return 0;
}

// The command line and the show command are not used; the exit code is 0 however the dialog
// ends, even when it cannot be created.
int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  appInstance = instance;
  generatorPath = platform::libraryBesideProgram();
  DialogBoxParamA(appInstance, MAKEINTRESOURCEA(IDD_MAIN), nullptr, mainDialogProc, 0);
  return 0;
}
