// The token WebView2's add_* event registrations hand back.
#pragma once

#include <cstdint>

struct EventRegistrationToken {
  int64_t value;
};
