#include "BundlePath.h"

namespace kelo::testhost {

std::string builtBundlePath() {
#ifdef KELO_BUILT_BUNDLE
  return KELO_BUILT_BUNDLE;
#else
  return {};
#endif
}

}  // namespace kelo::testhost
