// A second reading of the conversion rules, kept as plain as it can be so that it is easy to
// check by eye: the fuzz target and its replay compare every page the library makes with the
// page this makes. It shares no code with the library.
#pragma once

#include <string>
#include <string_view>

// The tree lines and the trailer for the bookmark file `bookmarks`, each line ended by CR LF,
// as the library writes them after the template, starting at nesting depth 1 with no folder
// numbered yet.
std::string referenceTreeLines(std::string_view bookmarks);
