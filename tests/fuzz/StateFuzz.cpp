// Any bytes as a saved state: reading never crashes, a stream that hands
// the bytes over in small pieces gives the same answer as one that does not,
// and whatever is accepted is a complete document that reads back as itself.
#include "ChunkedStream.h"
#include "StateStream.h"

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

void require(bool condition) {
  if (!condition) std::abort();
}

bool readBytes(kelo::host::BufferStream* stream, kelo::json& out) {
  const bool ok = kelo::readStateStream(stream, out);
  stream->release();
  return ok;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  // The first byte chooses the size of the pieces a read hands over; the rest is the state.
  const Steinberg::int32 piece = 1 + data[0] % 64;
  const std::string bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
  kelo::json document = "untouched";
  kelo::json inPieces = "untouched";
  const bool accepted = readBytes(new kelo::host::BufferStream(bytes), document);
  require(readBytes(new kelo::testhost::ChunkedStream(bytes, {piece}), inPieces) == accepted && inPieces == document);
  if (!accepted) {
    require(document == "untouched");
    return 0;
  }
  require(document.is_object() && document.size() == 9 && document["nextLine"].is_boolean());
  const int ticks = document["timerTicks"].get<int>();
  const int unit = document["timerUnit"].get<int>();
  const int language = document["language"].get<int>();
  require(ticks >= 1 && ticks <= 256 && unit >= 0 && unit <= 3 && language >= 0 && language <= 5);
  require(document["version"] == 2 && document["script"].is_string());

  const std::string text = kelo::stateText(document);
  require(text.size() <= kelo::kMaxStateBytes);
  kelo::json again;
  require(readBytes(new kelo::host::BufferStream(text), again) && again == document);
  return 0;
}
