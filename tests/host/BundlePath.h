#pragma once

#include <string>

namespace kelo::testhost {

/// The built Kelo module of this build tree, or an empty string when the
/// build has no module target (tests then skip or pass their own path).
inline std::string builtBundlePath ()
{
#ifdef KELO_BUNDLE_PATH
	return KELO_BUNDLE_PATH;
#else
	return {};
#endif
}

} // namespace kelo::testhost
