// Path splitting with the code page's double-byte characters kept whole.
#include "path_split.h"

PathParts splitPath(std::string_view path, const platform::PathRules& rules) {
  PathParts parts;
  std::string_view rest = path;
  if (path.size() >= 2 && path[1] == ':') {
    parts.drive = path.substr(0, 2);
    rest = path.substr(2);
  }
  std::size_t afterSeparator = 0;              // just after the last separator
  std::size_t lastDot = std::string_view::npos;
  for (std::size_t i = 0; i < rest.size(); ++i) {
    auto byte = static_cast<unsigned char>(rest[i]);
    if (rules.isLeadByte(byte)) {
      ++i;  // the trail byte is part of this character; a lead byte at the very end ends the scan
      continue;
    }
    if (rules.separators.find(rest[i]) != std::string_view::npos) {
      afterSeparator = i + 1;
    } else if (rest[i] == '.') {
      lastDot = i;
    }
  }
  parts.directory = rest.substr(0, afterSeparator);
  if (lastDot != std::string_view::npos && lastDot >= afterSeparator) {
    parts.name = rest.substr(afterSeparator, lastDot - afterSeparator);
    parts.extension = rest.substr(lastDot);
  } else {
    parts.name = rest.substr(afterSeparator);
  }
  return parts;
}
