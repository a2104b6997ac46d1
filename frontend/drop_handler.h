// What happens when a file is dropped on the main window: the checks on the dropped item, the
// output folder "Quillmap" beside it with the two folder pictures, the conversion by the
// library (loaded for this drop alone), and the error box when something fails.
#pragma once

#include <string>

#include "platform.h"

// The first dropped path, rewritten by every drop.
extern std::string droppedPath;
// The base directory of the dropped file, then the output folder path; rewritten by every drop.
extern std::string outputDir;
// The conversion library loaded for every drop. The program sets it once at start to the
// library beside its own file (platform::libraryBesideProgram()), so that no copy planted in
// the current directory or on a search path is ever loaded.
extern std::string generatorPath;

// Handles one drop to its end, showing any error in a box owned by `window`.
void handleDrop(WindowHandle window, DropHandle drop);

// Sets droppedPath to the first dropped item, and releases the drop. False when the drop holds
// no item, when the item is a folder or anything else that is no regular file, when it cannot
// be looked up, or when its path is too long.
bool getDroppedFile(DropHandle drop);

// Sets outputDir to the drive and directory of `path`. True when the path's extension is
// exactly ".htm" or ".html".
bool getHtmlFileDir(const std::string& path);

// Loads the library, converts `inputPath` into the page `pagePath` with the template
// "source_normal.htm" from the current directory, and unloads the library. True on success.
bool callGenerator(const std::string& inputPath, const std::string& pagePath);
