// The conversion loop.
#include "convert.h"

#include <cstddef>

#include "classifier.h"
#include "page_writer.h"

bool convertLines(LineReader& bookmarks, PageStream& page) {
  // One record for the whole bookmark file: a line overwrites only what its kind sets.
  BookmarkEntry entry;
  std::size_t length = 0;
  while (char* line = bookmarks.next(&length)) {
    LineKind kind = classifyLine(entry, line);
    writeEntry(page, kind, entry);
  }
  if (bookmarks.failed()) return false;
  writeTrailer(page);
  return true;
}
