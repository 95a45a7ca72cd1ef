#include "MessageRelay.h"

namespace kelo::webhosttest {

using namespace Steinberg;

int MessageRelay::count(const std::string& id) const {
  auto it = counts.find(id);
  return it == counts.end() ? 0 : it->second;
}

tresult PLUGIN_API MessageRelay::connect(Vst::IConnectionPoint*) {
  return kResultOk;
}

tresult PLUGIN_API MessageRelay::disconnect(Vst::IConnectionPoint*) {
  return kResultOk;
}

tresult PLUGIN_API MessageRelay::notify(Vst::IMessage* message) {
  if (!message) return kInvalidArgument;
  if (const char* id = message->getMessageID()) ++counts[id];
  return target ? target->notify(message) : kResultFalse;
}

tresult PLUGIN_API MessageRelay::queryInterface(const TUID iid, void** obj) {
  QUERY_INTERFACE(iid, obj, FUnknown::iid, Vst::IConnectionPoint)
  QUERY_INTERFACE(iid, obj, Vst::IConnectionPoint::iid, Vst::IConnectionPoint)
  *obj = nullptr;
  return kNoInterface;
}

}  // namespace kelo::webhosttest
