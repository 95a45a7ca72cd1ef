#include "LyingStream.h"

#include <algorithm>
#include <utility>

namespace kelo::testhost {

using namespace Steinberg;

LyingStream::LyingStream(std::string initial, int32 overstatement)
    : host::BufferStream(std::move(initial)), extra(std::max<int32>(overstatement, 1)) {}

tresult PLUGIN_API LyingStream::read(void* buffer, int32 numBytes, int32* numBytesRead) {
  ++reads;
  const int32 count = take(buffer, numBytes);
  if (numBytesRead) *numBytesRead = count > 0 ? numBytes + extra : 0;
  return kResultOk;
}

}  // namespace kelo::testhost
