// Every text the program shows, in one place.
#pragma once

inline constexpr const char* kErrorCaption = "Error";
inline constexpr const char* kOpenFailedMessage = "Error: failed to open file";
inline constexpr const char* kGenerateFailedMessage = "Error: failed to generate file";
