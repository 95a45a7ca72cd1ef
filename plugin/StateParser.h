// Reads the text of a saved state or a "KeloState" payload into a normalised
// document without building what normalizeState would throw away: values of
// unknown keys are only checked for well-formedness, legacy "bars" are joined
// into one line per bar while they are read, and nesting deeper than any
// document ever held is refused as soon as it is seen. So no text of up to
// kMaxStateBytes costs much more time or memory than a plain one.
#pragma once

#include "StateDocument.h"

#include <cstddef>

namespace kelo {

// Deeper than the legacy form's four levels, with room for keys no Kelo reads.
inline constexpr std::size_t kMaxStateDepth = 64;

// Parses `size` bytes as one JSON value and normalises it. Throws on a text
// holding a NUL byte, on a parse error, on nesting beyond kMaxStateDepth and
// on everything normalizeState refuses.
json parseStateText(const char* text, std::size_t size);

}  // namespace kelo
