// Splits a path into drive, directory, file name and extension, character by character in the
// system code page, the way the drop handling decides where a dropped file lies and what its
// extension is.
#pragma once

#include <string>
#include <string_view>

#include "platform.h"

struct PathParts {
  std::string drive;      // "C:" when the path's second character is ":", else empty
  std::string directory;  // up to and including the last separator; empty when there is none
  std::string name;       // between the directory and the extension
  std::string extension;  // from the last dot after the last separator, dot included; or empty
};

PathParts splitPath(std::string_view path, const platform::PathRules& rules);
