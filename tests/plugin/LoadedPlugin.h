// Test fixtures over the built module: one plug-in instance made as a host
// makes it, and a processor alone whose messages go to a recording peer.
#pragma once

#include "Module.h"
#include "PluginInstance.h"
#include "RecordingPeer.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace kelo::testing {

// A host's UTF-16 name as text, for names that are plain ASCII.
inline std::string utf8(const Steinberg::char16* text) {
  std::string result;
  for (; *text; ++text) result += static_cast<char>(*text);
  return result;
}

class LoadedPlugin : public ::testing::Test {
 protected:
  host::Module module{KELO_BUNDLE_PATH};
  std::unique_ptr<host::PluginInstance> instance;

  void SetUp() override { load({}); }

  void load(const host::InstanceOptions& options) {
    ASSERT_TRUE(module.loaded()) << module.lastError();
    instance = std::make_unique<host::PluginInstance>(module, options);
    ASSERT_TRUE(instance->ok()) << instance->lastError();
  }
};

// The processor unconnected to its controller; a peer records what it sends.
class LoneProcessor : public LoadedPlugin {
 protected:
  testhost::RecordingPeer peer;

  void SetUp() override {
    host::InstanceOptions options;
    options.connect = false;
    load(options);
    if (HasFatalFailure()) return;
    ASSERT_EQ(peer.attach(instance->processorConnection()), Steinberg::kResultOk);
  }

  void TearDown() override { peer.detach(); }
};

}  // namespace kelo::testing
