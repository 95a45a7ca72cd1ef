// The saved-state framing shared by both components: the document's compact
// text, UTF-8, nothing before or after it, at most kMaxStateBytes.
#pragma once

#include "StateDocument.h"

#include "pluginterfaces/base/ftypes.h"
#include "pluginterfaces/base/ibstream.h"

namespace kelo {

// kInvalidArgument for a null stream; kResultOk only when the whole text was
// written in one call; kResultFalse otherwise. Never throws.
Steinberg::tresult writeStateStream(Steinberg::IBStream* stream, const json& document);

// Reads, parses and normalises a whole saved state. On any failure returns
// false and leaves `out` untouched. Never throws.
bool readStateStream(Steinberg::IBStream* stream, json& out);

}  // namespace kelo
