// Stands in for the window toolkit's error box in tests: records what would have been shown.
#include "support/recording_message_box.h"

#include "message_box.h"

namespace testing_support {

std::vector<ShownMessage>& shownMessages() {
  static std::vector<ShownMessage> messages;
  return messages;
}

}  // namespace testing_support

void showErrorBox(WindowHandle window, const char* message) {
  testing_support::shownMessages().push_back({window, message});
}
