#include "ChunkedStream.h"

#include <algorithm>
#include <utility>

namespace kelo::testhost {

using namespace Steinberg;

const std::vector<int32> ChunkedStream::kDefaultChunks{1, 7, 13};

ChunkedStream::ChunkedStream(std::string initial, std::vector<int32> chunkSizes)
    : host::BufferStream(std::move(initial)), chunks(std::move(chunkSizes)) {
  // A rotation without a positive size would never deliver anything.
  chunks.erase(std::remove_if(chunks.begin(), chunks.end(), [](int32 size) { return size <= 0; }), chunks.end());
  if (chunks.empty()) chunks = kDefaultChunks;
}

tresult PLUGIN_API ChunkedStream::read(void* buffer, int32 numBytes, int32* numBytesRead) {
  ++reads;
  const int32 chunk = chunks[next];
  next = (next + 1) % chunks.size();
  const int32 count = take(buffer, std::min(numBytes, chunk));
  if (numBytesRead) *numBytesRead = count;
  return kResultOk;
}

}  // namespace kelo::testhost
