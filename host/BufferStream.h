#pragma once

#include "pluginterfaces/base/ibstream.h"

#include <string>

namespace kelo::host {

/// A memory IBStream that behaves as a well-mannered host's: reads deliver
/// as much as asked while bytes remain, writes grow the buffer, seek and tell
/// work. The written bytes are open to the test. The chunked, failing and
/// lying streams derive from it and change one call each.
/// Created with a reference count of 1 (use Steinberg::owned (new ...)).
class BufferStream : public Steinberg::IBStream {
 public:
  BufferStream() = default;
  explicit BufferStream(std::string content);
  virtual ~BufferStream() = default;

  /// Everything in the stream, whatever the cursor.
  const std::string& bytes() const { return content; }
  /// Replaces the content and moves the cursor to the start.
  void assign(std::string newContent);
  void rewind() { cursor = 0; }
  Steinberg::int64 position() const { return cursor; }
  /// read and write calls so far.
  int readCalls() const { return reads; }
  int writeCalls() const { return writes; }

  //--- IBStream
  Steinberg::tresult PLUGIN_API read(void* buffer, Steinberg::int32 numBytes,
                                     Steinberg::int32* numBytesRead) SMTG_OVERRIDE;
  Steinberg::tresult PLUGIN_API write(void* buffer, Steinberg::int32 numBytes,
                                      Steinberg::int32* numBytesWritten) SMTG_OVERRIDE;
  Steinberg::tresult PLUGIN_API seek(Steinberg::int64 pos, Steinberg::int32 mode,
                                     Steinberg::int64* result) SMTG_OVERRIDE;
  Steinberg::tresult PLUGIN_API tell(Steinberg::int64* pos) SMTG_OVERRIDE;

  Steinberg::tresult PLUGIN_API queryInterface(const Steinberg::TUID iid, void** obj) SMTG_OVERRIDE;
  Steinberg::uint32 PLUGIN_API addRef() SMTG_OVERRIDE;
  Steinberg::uint32 PLUGIN_API release() SMTG_OVERRIDE;

 protected:
  /// Copies up to `limit` bytes from the cursor into `buffer`, advances
  /// the cursor and answers how many were copied.
  Steinberg::int32 take(void* buffer, Steinberg::int32 limit);
  /// Writes `count` bytes at the cursor, growing the content.
  void put(const void* buffer, Steinberg::int32 count);

  std::string content;
  Steinberg::int64 cursor = 0;
  int reads = 0;
  int writes = 0;

 private:
  Steinberg::int32 references = 1;
};

}  // namespace kelo::host
