#include "BufferStream.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace kelo::host {

using namespace Steinberg;

BufferStream::BufferStream(std::string initial) : content(std::move(initial)) {}

void BufferStream::assign(std::string newContent) {
  content = std::move(newContent);
  cursor = 0;
}

int32 BufferStream::take(void* buffer, int32 limit) {
  if (!buffer || limit <= 0 || cursor >= static_cast<int64>(content.size())) return 0;
  const int64 available = static_cast<int64>(content.size()) - cursor;
  const int32 count = static_cast<int32>(std::min<int64>(limit, available));
  std::memcpy(buffer, content.data() + cursor, static_cast<size_t>(count));
  cursor += count;
  return count;
}

void BufferStream::put(const void* buffer, int32 count) {
  if (!buffer || count <= 0) return;
  const size_t end = static_cast<size_t>(cursor) + static_cast<size_t>(count);
  if (content.size() < end) content.resize(end);
  std::memcpy(&content[static_cast<size_t>(cursor)], buffer, static_cast<size_t>(count));
  cursor = static_cast<int64>(end);
}

tresult PLUGIN_API BufferStream::read(void* buffer, int32 numBytes, int32* numBytesRead) {
  ++reads;
  const int32 count = take(buffer, numBytes);
  if (numBytesRead) *numBytesRead = count;
  return kResultOk;
}

tresult PLUGIN_API BufferStream::write(void* buffer, int32 numBytes, int32* numBytesWritten) {
  ++writes;
  if (!buffer && numBytes > 0) return kInvalidArgument;
  put(buffer, numBytes);
  if (numBytesWritten) *numBytesWritten = std::max<int32>(numBytes, 0);
  return kResultOk;
}

tresult PLUGIN_API BufferStream::seek(int64 pos, int32 mode, int64* result) {
  int64 base = 0;
  switch (mode) {
    case kIBSeekSet:
      base = 0;
      break;
    case kIBSeekCur:
      base = cursor;
      break;
    case kIBSeekEnd:
      base = static_cast<int64>(content.size());
      break;
    default:
      return kInvalidArgument;
  }
  if (base + pos < 0) return kResultFalse;
  cursor = base + pos;
  if (result) *result = cursor;
  return kResultOk;
}

tresult PLUGIN_API BufferStream::tell(int64* pos) {
  if (!pos) return kInvalidArgument;
  *pos = cursor;
  return kResultOk;
}

tresult PLUGIN_API BufferStream::queryInterface(const TUID iid, void** obj) {
  if (!obj) return kInvalidArgument;
  QUERY_INTERFACE(iid, obj, FUnknown::iid, IBStream)
  QUERY_INTERFACE(iid, obj, IBStream::iid, IBStream)
  *obj = nullptr;
  return kNoInterface;
}

uint32 PLUGIN_API BufferStream::addRef() {
  return static_cast<uint32>(FUnknownPrivate::atomicAdd(references, 1));
}

uint32 PLUGIN_API BufferStream::release() {
  const int32 left = FUnknownPrivate::atomicAdd(references, -1);
  if (left == 0) delete this;
  return static_cast<uint32>(left);
}

}  // namespace kelo::host
