// The error box: the message, the caption "Error", a single OK button, no icon, owned by the
// main window. Returns when the user dismisses it. One implementation per window toolkit.
#pragma once

#include "platform.h"

void showErrorBox(WindowHandle window, const char* message);
