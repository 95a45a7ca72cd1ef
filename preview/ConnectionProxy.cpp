#include "ConnectionProxy.h"

#include <cstring>

namespace kelo::preview {

using namespace Steinberg;

tresult PLUGIN_API ConnectionProxy::connect(Vst::IConnectionPoint*) {
  return kResultOk;
}

tresult PLUGIN_API ConnectionProxy::disconnect(Vst::IConnectionPoint*) {
  return kResultOk;
}

tresult PLUGIN_API ConnectionProxy::notify(Vst::IMessage* message) {
  if (!message || !target) return kInvalidArgument;
  const char* id = message->getMessageID();
  if (id && std::strcmp(id, "KeloPoll") == 0) pollCount.fetch_add(1);
  return target->notify(message);
}

tresult PLUGIN_API ConnectionProxy::queryInterface(const TUID iid, void** obj) {
  if (FUnknownPrivate::iidEqual(iid, Vst::IConnectionPoint::iid) || FUnknownPrivate::iidEqual(iid, FUnknown::iid)) {
    *obj = this;
    return kResultOk;
  }
  *obj = nullptr;
  return kNoInterface;
}

}  // namespace kelo::preview
