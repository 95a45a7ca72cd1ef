#include "FailingStream.h"

#include <algorithm>
#include <utility>

namespace kelo::testhost {

using namespace Steinberg;

FailingStream::FailingStream(Mode failureMode, std::string initial, int32 shortfall)
    : host::BufferStream(std::move(initial)), mode(failureMode), shortBy(std::max<int32>(shortfall, 1)) {}

tresult PLUGIN_API FailingStream::read(void* buffer, int32 numBytes, int32* numBytesRead) {
  if (mode == Mode::kShortWrite) return host::BufferStream::read(buffer, numBytes, numBytesRead);
  ++reads;
  if (numBytesRead) *numBytesRead = 0;
  return kResultFalse;
}

tresult PLUGIN_API FailingStream::write(void* buffer, int32 numBytes, int32* numBytesWritten) {
  ++writes;
  if (mode == Mode::kFail) {
    if (numBytesWritten) *numBytesWritten = 0;
    return kResultFalse;
  }
  const int32 stored = std::max<int32>(numBytes - shortBy, 0);
  put(buffer, stored);
  if (numBytesWritten) *numBytesWritten = stored;
  return kResultOk;
}

}  // namespace kelo::testhost
