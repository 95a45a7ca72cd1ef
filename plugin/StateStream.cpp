#include "StateStream.h"

#include "StateParser.h"

#include <string>

namespace kelo {

using namespace Steinberg;

namespace {
constexpr int32 kReadChunkBytes = 4096;
}

tresult writeStateStream(IBStream* stream, const json& document) {
  if (!stream) return kInvalidArgument;
  try {
    const std::string text = stateText(document);
    if (text.size() > kMaxStateBytes) return kResultFalse;
    const auto length = static_cast<int32>(text.size());
    int32 written = 0;
    // The stream interface takes a non-const buffer but only reads it.
    tresult result = stream->write(const_cast<char*>(text.data()), length, &written);
    return result == kResultOk && written == length ? kResultOk : kResultFalse;
  } catch (...) {
    return kResultFalse;
  }
}

bool readStateStream(IBStream* stream, json& out) {
  if (!stream) return false;
  try {
    std::string text;
    char buffer[kReadChunkBytes];
    for (;;) {
      int32 count = 0;
      // A host's own status code is not trusted; the reported count is.
      stream->read(buffer, kReadChunkBytes, &count);
      if (count <= 0) break;
      if (count > kReadChunkBytes || text.size() + static_cast<std::size_t>(count) > kMaxStateBytes) return false;
      text.append(buffer, static_cast<std::size_t>(count));
    }
    json document = parseStateText(text.data(), text.size());
    out.swap(document);
    return true;
  } catch (...) {
    return false;
  }
}

}  // namespace kelo
