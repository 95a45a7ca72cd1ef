#include "HostApplication.h"

#include "AttributeList.h"
#include "Message.h"

#include "public.sdk/source/vst/hosting/pluginterfacesupport.h"

#include <cstring>

namespace kelo::host {

using namespace Steinberg;

HostApplication::HostApplication(Messages policy) : policy(policy) {
  FUNKNOWN_CTOR
  interfaceSupport = owned(new Vst::PlugInterfaceSupport);
}

HostApplication::~HostApplication(){FUNKNOWN_DTOR}

IMPLEMENT_REFCOUNT(HostApplication)

    tresult PLUGIN_API HostApplication::queryInterface(const TUID iid, void** obj) {
  if (!obj) return kInvalidArgument;
  QUERY_INTERFACE(iid, obj, FUnknown::iid, Vst::IHostApplication)
  QUERY_INTERFACE(iid, obj, Vst::IHostApplication::iid, Vst::IHostApplication)
  if (interfaceSupport && interfaceSupport->queryInterface(iid, obj) == kResultOk) return kResultOk;
  *obj = nullptr;
  return kNoInterface;
}

tresult PLUGIN_API HostApplication::getName(Vst::String128 name) {
  if (!name) return kInvalidArgument;
  const std::u16string text(kName);
  std::memcpy(name, text.c_str(), (text.size() + 1) * sizeof(Vst::TChar));
  return kResultOk;
}

tresult PLUGIN_API HostApplication::createInstance(TUID cid, TUID iid, void** obj) {
  if (!obj) return kInvalidArgument;
  *obj = nullptr;
  const bool wantsMessage =
      FUnknownPrivate::iidEqual(cid, Vst::IMessage::iid) && FUnknownPrivate::iidEqual(iid, Vst::IMessage::iid);
  const bool wantsList = FUnknownPrivate::iidEqual(cid, Vst::IAttributeList::iid) &&
                         FUnknownPrivate::iidEqual(iid, Vst::IAttributeList::iid);
  if (!wantsMessage && !wantsList) return kResultFalse;
  if (policy.load() == Messages::kRefuse) {
    ++refusedCount;
    return kResultFalse;
  }
  if (wantsMessage) {
    *obj = static_cast<Vst::IMessage*>(new Message);
    ++messageCount;
  } else {
    *obj = static_cast<Vst::IAttributeList*>(new AttributeList);
  }
  return kResultOk;
}

}  // namespace kelo::host
