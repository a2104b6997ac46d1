// The library's entry: opens the files, runs the bookmark lines through the conversion, and puts
// the finished page in place.
#include <cstdio>
#include <memory>
#include <string>

#include "convert.h"
#include "line_reader.h"
#include "page_file.h"
#include "page_stream.h"
#include "page_writer.h"
#include "quillcore.h"

namespace {

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// The page under construction: removed again unless it was put in place.
class PendingPage {
 public:
  PendingPage(std::FILE* file, std::string path) : file_(file), path_(std::move(path)) {}
  ~PendingPage() {
    if (file_) std::fclose(file_);
    if (!placed_) std::remove(path_.c_str());
  }
  PendingPage(const PendingPage&) = delete;
  PendingPage& operator=(const PendingPage&) = delete;

  std::FILE* file() const { return file_; }

  // Closes the file and moves it over `destination`. False when either fails.
  bool placeAt(const char* destination) {
    bool closed = std::fclose(file_) == 0;
    file_ = nullptr;
    placed_ = closed && replaceFile(path_.c_str(), destination);
    return placed_;
  }

 private:
  std::FILE* file_;
  std::string path_;
  bool placed_ = false;
};

bool convert(const char* inputPath, const char* outputPath, const char* templatePath) {
  File bookmarks(openRegularFile(inputPath));
  if (!bookmarks) return false;
  // Refused before anything is created: a page that is a folder or read-only stays as it is.
  if (!pageWritable(outputPath)) return false;
  std::string tempPath;
  std::FILE* tempFile = createFileBeside(outputPath, tempPath);
  if (tempFile == nullptr) return false;
  PendingPage pending(tempFile, std::move(tempPath));

  PageStream page(pending.file());
  if (!copyTemplate(page, templatePath)) return false;

  LineReader reader(bookmarks.get());
  if (!convertLines(reader, page)) return false;
  bookmarks.reset();
  if (!page.flush()) return false;
  return pending.placeAt(outputPath);
}

}  // namespace

extern "C" QUILLCORE_API bool readAndWrite(const char* inputPath, const char* outputPath,
                                           const char* templatePath) {
  if (inputPath == nullptr || outputPath == nullptr || templatePath == nullptr) return false;
  // Nothing may escape through the C boundary: running out of memory for a huge line ends the
  // conversion like any other failure.
  try {
    return convert(inputPath, outputPath, templatePath);
  } catch (...) {
    return false;
  }
}
