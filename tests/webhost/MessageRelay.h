#pragma once

#include "pluginterfaces/vst/ivstmessage.h"

#include <map>
#include <string>

namespace kelo::webhosttest {

// A connection point standing between the two components: every message
// sent to it is counted by ID and handed on to `target`, so a test sees the
// traffic the page's polls cause. Lives on the stack; reference counting is
// a no-op, so it must outlive both components' connections.
class MessageRelay : public Steinberg::Vst::IConnectionPoint {
 public:
  explicit MessageRelay(Steinberg::Vst::IConnectionPoint* target) : target(target) {}
  virtual ~MessageRelay() = default;

  int count(const std::string& id) const;

  Steinberg::tresult PLUGIN_API connect(Steinberg::Vst::IConnectionPoint*) SMTG_OVERRIDE;
  Steinberg::tresult PLUGIN_API disconnect(Steinberg::Vst::IConnectionPoint*) SMTG_OVERRIDE;
  Steinberg::tresult PLUGIN_API notify(Steinberg::Vst::IMessage* message) SMTG_OVERRIDE;

  Steinberg::tresult PLUGIN_API queryInterface(const Steinberg::TUID iid, void** obj) SMTG_OVERRIDE;
  Steinberg::uint32 PLUGIN_API addRef() SMTG_OVERRIDE { return 1; }
  Steinberg::uint32 PLUGIN_API release() SMTG_OVERRIDE { return 1; }

 private:
  Steinberg::Vst::IConnectionPoint* target;
  std::map<std::string, int> counts;
};

}  // namespace kelo::webhosttest
