// The error box on Windows.
#include <windows.h>

#include "message_box.h"
#include "messages.h"

void showErrorBox(WindowHandle window, const char* message) {
  MessageBoxA(static_cast<HWND>(window), message, kErrorCaption, MB_OK);
}
