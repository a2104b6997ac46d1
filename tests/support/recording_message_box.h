// The messages that the drop handling showed during a test, in order.
#pragma once

#include <string>
#include <vector>

#include "platform.h"

namespace testing_support {

struct ShownMessage {
  WindowHandle owner;
  std::string text;
};

std::vector<ShownMessage>& shownMessages();

}  // namespace testing_support
