#pragma once

#include "pluginterfaces/vst/ivstmessage.h"

#include <atomic>

namespace kelo::preview {

/// The host's proxy between the two components' connection points, as many
/// DAWs place one: it hands every message on to `target` and counts the
/// page's polls ("KeloPoll"), so the preview can tell whether an editor is
/// alive. UI thread only; owned by the host, which outlives the connection.
class ConnectionProxy : public Steinberg::Vst::IConnectionPoint {
 public:
  explicit ConnectionProxy(Steinberg::Vst::IConnectionPoint* target) : target(target) {}
  virtual ~ConnectionProxy() = default;

  long polls() const { return pollCount.load(); }

  Steinberg::tresult PLUGIN_API connect(Steinberg::Vst::IConnectionPoint*) SMTG_OVERRIDE;
  Steinberg::tresult PLUGIN_API disconnect(Steinberg::Vst::IConnectionPoint*) SMTG_OVERRIDE;
  Steinberg::tresult PLUGIN_API notify(Steinberg::Vst::IMessage* message) SMTG_OVERRIDE;

  Steinberg::tresult PLUGIN_API queryInterface(const Steinberg::TUID iid, void** obj) SMTG_OVERRIDE;
  Steinberg::uint32 PLUGIN_API addRef() SMTG_OVERRIDE { return 1; }
  Steinberg::uint32 PLUGIN_API release() SMTG_OVERRIDE { return 1; }

 private:
  Steinberg::Vst::IConnectionPoint* target;
  std::atomic<long> pollCount{0};
};

}  // namespace kelo::preview
