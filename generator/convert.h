// The conversion itself, apart from any file: bookmark lines in, tree lines and the trailer out.
// The export opens the files around it; a caller that holds the bookmarks and the page in
// memory can run it just the same.
#pragma once

#include "line_reader.h"
#include "page_stream.h"

// Reads every line of `bookmarks`, classifies it and writes its tree lines to `page`, then the
// trailer. The page must already hold the template. Folder numbers and nesting depth carry on
// from wherever nestingDepth and folderSerial stand. False when reading the bookmarks fails;
// the trailer is then left out and the page must not be used. The page is not flushed.
bool convertLines(LineReader& bookmarks, PageStream& page);
