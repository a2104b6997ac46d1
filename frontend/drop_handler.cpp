// The drop handling, written once over the platform layer.
#include "drop_handler.h"

#include <initializer_list>

#include "message_box.h"
#include "messages.h"
#include "path_split.h"
#include "quillcore.h"

std::string droppedPath;
std::string outputDir;
std::string generatorPath;

namespace {

constexpr const char* kOutputFolderName = "Quillmap";
constexpr const char* kPageName = "Quillmap.htm";
constexpr const char* kTemplateName = "source_normal.htm";
constexpr const char* kEntryName = "readAndWrite";
constexpr std::initializer_list<const char*> kPictures = {"folder1.gif", "folder2.gif"};

bool fitsLimit(std::size_t length, std::size_t limit) { return limit == 0 || length <= limit; }

}  // namespace

bool getDroppedFile(DropHandle drop) {
  if (platform::dropCount(drop) == 0) {
    platform::finishDrop(drop);
    return false;
  }
  // Asked for the length first: a path the platform cannot hold whole is refused, never cut.
  if (!fitsLimit(platform::firstDroppedPathLength(drop), platform::droppedPathLimit())) {
    platform::finishDrop(drop);
    return false;
  }
  droppedPath = platform::firstDroppedPath(drop);
  platform::finishDrop(drop);
  // A path that the lookup cannot find (a drive root, a file removed meanwhile) is no file to
  // convert either.
  return platform::pathKind(droppedPath) == platform::PathKind::File;
}

bool getHtmlFileDir(const std::string& path) {
  PathParts parts = splitPath(path, platform::pathRules());
  outputDir = parts.drive + parts.directory;
  return parts.extension == ".htm" || parts.extension == ".html";
}

bool callGenerator(const std::string& inputPath, const std::string& pagePath) {
  LibraryHandle library = platform::loadLibrary(generatorPath);
  if (library == nullptr) return false;
  void* entry = platform::findSymbol(library, kEntryName);
  bool converted = false;
  if (entry != nullptr) {
    auto readAndWrite = reinterpret_cast<ReadAndWriteFunction>(entry);
    converted = readAndWrite(inputPath.c_str(), pagePath.c_str(), kTemplateName);
  }
  platform::unloadLibrary(library);
  return converted;
}

void handleDrop(WindowHandle window, DropHandle drop) {
  if (!getDroppedFile(drop) || !getHtmlFileDir(droppedPath)) {
    showErrorBox(window, kOpenFailedMessage);
    return;
  }
  // The output folder's name ends with the platform's separator, so file names follow it.
  outputDir += kOutputFolderName;
  outputDir += platform::pathRules().separators.front();

  // Every path below must fit the platform's limit; one that would not is refused before
  // anything is created. The page's name is the longest of the three.
  if (!fitsLimit(outputDir.size() + std::char_traits<char>::length(kPageName),
                 platform::outputPathLimit())) {
    showErrorBox(window, kGenerateFailedMessage);
    return;
  }

  platform::createDirectory(outputDir);
  std::string filePath;
  for (const char* picture : kPictures) {
    filePath = outputDir + picture;
    platform::copyFileNoOverwrite(picture, filePath);
  }
  filePath = outputDir + kPageName;
  if (callGenerator(droppedPath, filePath)) return;

  platform::removeDirectory(outputDir);
  showErrorBox(window, kGenerateFailedMessage);
}
