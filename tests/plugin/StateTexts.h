// Texts the plug-in's tests compare against, written out once as a host or
// the page sees them (not taken from the plug-in's own constants).
#pragma once

#include <cstddef>
#include <string>

namespace kelo::testing {

// The default document's saved form, byte for byte.
inline const std::string kDefaultText =
    R"({"autoFill":true,"barsPerLine":2,"displayMode":0,"language":0,"nextLine":true,"script":"","timerTicks":1,"timerUnit":2,"version":2})";

// The largest saved state, "KeloState" payload or page write accepted.
inline constexpr std::size_t kMaxStateBytes = 8388608;

}  // namespace kelo::testing
