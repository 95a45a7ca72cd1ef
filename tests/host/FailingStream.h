#pragma once

#include "BufferStream.h"

namespace kelo::testhost {

/// A stream whose storage has gone wrong.
/// - kFail: read and write answer kResultFalse and report 0 bytes; nothing
///   is read or stored.
/// - kShortWrite: write answers kResultOk but stores and reports `shortBy`
///   bytes fewer than asked (at least 0), as a full disk does; reads work.
class FailingStream : public host::BufferStream {
 public:
  enum class Mode { kFail, kShortWrite };

  explicit FailingStream(Mode mode = Mode::kFail, std::string content = {}, Steinberg::int32 shortBy = 1);

  Steinberg::tresult PLUGIN_API read(void* buffer, Steinberg::int32 numBytes,
                                     Steinberg::int32* numBytesRead) SMTG_OVERRIDE;
  Steinberg::tresult PLUGIN_API write(void* buffer, Steinberg::int32 numBytes,
                                      Steinberg::int32* numBytesWritten) SMTG_OVERRIDE;

 private:
  Mode mode;
  Steinberg::int32 shortBy;
};

}  // namespace kelo::testhost
