#include "StreamText.h"

#include <algorithm>

namespace kelo::testhost {

using namespace Steinberg;

namespace {
constexpr int32 kReadBlock = 4096;
}

IPtr<host::BufferStream> streamFrom(const std::string& text) {
  return owned(new host::BufferStream(text));
}

std::string contentOf(IBStream* stream) {
  std::string text;
  if (!stream) return text;
  stream->seek(0, IBStream::kIBSeekSet, nullptr);
  char block[kReadBlock];
  for (;;) {
    int32 count = 0;
    if (stream->read(block, kReadBlock, &count) != kResultOk || count <= 0) break;
    text.append(block, static_cast<size_t>(std::min(count, kReadBlock)));
  }
  return text;
}

}  // namespace kelo::testhost
