// Writes everything that reaches the tree page: the template's lines, the tree lines of every
// recognised bookmark line, and the trailer.
//
// A folder becomes an anchor with a folder picture whose link runs the template's script
// functions Display and ImageChange, followed by a block that holds the folder's contents and
// starts hidden; a link becomes an anchor to its address; a list end closes a block. Titles and
// addresses go in exactly as the bookmark file has them.
#pragma once

#include <cstdint>
#include <string_view>

#include "classifier.h"
#include "page_stream.h"

// One step of indentation: three non-breaking spaces with two blanks between them.
inline constexpr std::string_view IndentUnit = "&#160; &#160; &#160;";

// The number of the last folder written: 0 when the library is loaded, one up for every
// folder, never reset while the library stays loaded. It ties a folder's anchor to its picture
// ("img" n) and its block ("display" n).
extern std::int32_t folderSerial;

// Copies the template at `templatePath` line by line into the page, each line ended by CR LF
// and cut at a zero byte inside it. False when the template cannot be opened or a read fails,
// in which case the page must not be used.
bool copyTemplate(PageStream& page, const char* templatePath);

// Writes the tree lines for one classified bookmark line (none for an Ignored line).
void writeEntry(PageStream& page, LineKind kind, const BookmarkEntry& entry);

// Writes the line that closes the page body and the document.
void writeTrailer(PageStream& page);
