#pragma once

#include <string>

namespace kelo::testhost {

/// The built Kelo module of this build tree (the shared object inside
/// Kelo.vst3), or an empty string when the build has no module target;
/// tests then pass a path of their own (a bundle folder works as well).
std::string builtBundlePath();

}  // namespace kelo::testhost
