#pragma once

#include "BufferStream.h"

#include "pluginterfaces/base/smartpointer.h"

#include <string>

namespace kelo::testhost {

/// A plain stream holding `text`, cursor at the start.
Steinberg::IPtr<host::BufferStream> streamFrom(const std::string& text);

/// The whole content of any IBStream: seeks to the start and reads until a
/// read reports no bytes (or fails). The cursor ends at the end.
std::string contentOf(Steinberg::IBStream* stream);

}  // namespace kelo::testhost
