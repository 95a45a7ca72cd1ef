#pragma once

#include "pluginterfaces/vst/ivstmessage.h"

#include <map>
#include <string>

namespace kelo::webhosttest {

// Stands between the two components: counts every message by ID and hands it
// on to `target`. Not reference counted: it must outlive both connections.
class MessageRelay : public Steinberg::Vst::IConnectionPoint {
 public:
  explicit MessageRelay(Steinberg::Vst::IConnectionPoint* target) : target(target) {}
  virtual ~MessageRelay() = default;

  int count(const std::string& id) const { return counts.count(id) ? counts.at(id) : 0; }

  Steinberg::tresult PLUGIN_API connect(IConnectionPoint*) override { return Steinberg::kResultOk; }
  Steinberg::tresult PLUGIN_API disconnect(IConnectionPoint*) override { return Steinberg::kResultOk; }
  Steinberg::tresult PLUGIN_API notify(Steinberg::Vst::IMessage* message) override {
    if (const char* id = message->getMessageID()) ++counts[id];
    return target->notify(message);
  }
  Steinberg::tresult PLUGIN_API queryInterface(const Steinberg::TUID iid, void** obj) override {
    QUERY_INTERFACE(iid, obj, Steinberg::FUnknown::iid, IConnectionPoint)
    QUERY_INTERFACE(iid, obj, IConnectionPoint::iid, IConnectionPoint)
    *obj = nullptr;
    return Steinberg::kNoInterface;
  }
  Steinberg::uint32 PLUGIN_API addRef() override { return 1; }
  Steinberg::uint32 PLUGIN_API release() override { return 1; }

 private:
  IConnectionPoint* target;
  std::map<std::string, int> counts;
};

}  // namespace kelo::webhosttest
