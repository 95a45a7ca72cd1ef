#pragma once

#include "BufferStream.h"

#include <vector>

namespace kelo::testhost {

/// A stream that hands out its bytes in small pieces: each read delivers at
/// most the next chunk size of a rotation (1, 7, 13 by default) and reports
/// that it read fewer bytes than asked, with kResultOk, as a network or
/// archive stream of a real host may. A reader that stops at the first short
/// read, or that trusts the asked size, loses bytes. Writes behave normally.
class ChunkedStream : public host::BufferStream {
 public:
  static const std::vector<Steinberg::int32> kDefaultChunks;

  explicit ChunkedStream(std::string content = {}, std::vector<Steinberg::int32> chunks = kDefaultChunks);

  Steinberg::tresult PLUGIN_API read(void* buffer, Steinberg::int32 numBytes,
                                     Steinberg::int32* numBytesRead) SMTG_OVERRIDE;

 private:
  std::vector<Steinberg::int32> chunks;
  size_t next = 0;
};

}  // namespace kelo::testhost
