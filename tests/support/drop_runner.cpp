// A tiny program around the drop handling, for tests that start it as a process of its own
// (and copy it to where they like): drops the file named by its one argument as the program
// would, with the library beside this program's file, and prints each message shown on a line.
#include <cstdio>
#include <string>
#include <vector>

#include "drop_handler.h"
#include "support/recording_message_box.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: drop_runner FILE\n");
    return 2;
  }
  generatorPath = platform::libraryBesideProgram();
  std::vector<std::string> paths = {argv[1]};
  handleDrop(reinterpret_cast<WindowHandle>(1), &paths);
  for (const auto& message : testing_support::shownMessages()) {
    std::printf("%s\n", message.text.c_str());
  }
  return 0;
}
