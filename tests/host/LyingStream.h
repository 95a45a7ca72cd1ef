#pragma once

#include "BufferStream.h"

namespace kelo::testhost {

/// A stream that claims more than it does: while bytes remain, each read
/// copies at most the asked number of bytes (never past the caller's buffer)
/// but reports `extra` bytes more than were asked, with kResultOk. Once the
/// content is exhausted it reports 0, so a reader that believes it still
/// ends. A careful reader refuses the first oversized report.
class LyingStream : public host::BufferStream {
 public:
  explicit LyingStream(std::string content = {}, Steinberg::int32 extra = 1);

  Steinberg::tresult PLUGIN_API read(void* buffer, Steinberg::int32 numBytes,
                                     Steinberg::int32* numBytesRead) SMTG_OVERRIDE;

 private:
  Steinberg::int32 extra;
};

}  // namespace kelo::testhost
