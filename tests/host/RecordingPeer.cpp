#include "RecordingPeer.h"

#include "AttributeList.h"

namespace kelo::testhost {

using namespace Steinberg;

namespace {

template <class T, class Read>
std::optional<T> valueOf(const RecordedMessage& message, const std::string& name, host::Attribute::Kind kind,
                         Read read) {
  auto it = message.attributes.find(name);
  if (it == message.attributes.end() || it->second.kind != kind) return std::nullopt;
  return read(it->second);
}

}  // namespace

std::optional<int64> RecordedMessage::intValue(const std::string& name) const {
  return valueOf<int64>(*this, name, host::Attribute::Kind::kInt, [](const host::Attribute& a) { return a.intValue; });
}

std::optional<double> RecordedMessage::floatValue(const std::string& name) const {
  return valueOf<double>(*this, name, host::Attribute::Kind::kFloat,
                         [](const host::Attribute& a) { return a.floatValue; });
}

std::optional<std::string> RecordedMessage::binaryValue(const std::string& name) const {
  return valueOf<std::string>(*this, name, host::Attribute::Kind::kBinary,
                              [](const host::Attribute& a) { return a.binaryValue; });
}

std::optional<std::u16string> RecordedMessage::stringValue(const std::string& name) const {
  return valueOf<std::u16string>(*this, name, host::Attribute::Kind::kString,
                                 [](const host::Attribute& a) { return a.stringValue; });
}

RecordingPeer::RecordingPeer(){FUNKNOWN_CTOR}

RecordingPeer::~RecordingPeer() {
  detach();
  FUNKNOWN_DTOR
}

IMPLEMENT_FUNKNOWN_METHODS(RecordingPeer, Vst::IConnectionPoint, Vst::IConnectionPoint::iid)

tresult RecordingPeer::attach(Vst::IConnectionPoint* component) {
  if (!component) return kInvalidArgument;
  detach();
  const tresult result = component->connect(this);
  connect(component);
  attached = component;
  return result;
}

tresult RecordingPeer::detach() {
  if (!attached) return kResultOk;
  Vst::IConnectionPoint* component = attached;
  attached = nullptr;
  const tresult result = component->disconnect(this);
  disconnect(component);
  return result;
}

tresult PLUGIN_API RecordingPeer::connect(Vst::IConnectionPoint* newPeer) {
  if (!newPeer) return kInvalidArgument;
  if (other) return kResultFalse;
  other = newPeer;
  return kResultOk;
}

tresult PLUGIN_API RecordingPeer::disconnect(Vst::IConnectionPoint* oldPeer) {
  if (!other || oldPeer != other) return kResultFalse;
  // A component that drops the link itself (as the SDK's do on terminate)
  // may be gone before this peer is; detach must not reach it then.
  if (oldPeer == attached) attached = nullptr;
  other = nullptr;
  return kResultOk;
}

tresult PLUGIN_API RecordingPeer::notify(Vst::IMessage* message) {
  if (!message) return kInvalidArgument;
  RecordedMessage record;
  if (const char* id = message->getMessageID()) record.id = id;
  if (host::AttributeList* list = host::asHostAttributeList(message->getAttributes())) {
    record.attributesKnown = true;
    record.attributes = list->entries();
  }
  received.push_back(std::move(record));
  return notifyResult;
}

int RecordingPeer::count(const std::string& id) const {
  int total = 0;
  for (const RecordedMessage& message : received)
    if (message.id && *message.id == id) ++total;
  return total;
}

const RecordedMessage* RecordingPeer::last(const std::string& id) const {
  for (auto it = received.rbegin(); it != received.rend(); ++it)
    if (it->id && *it->id == id) return &*it;
  return nullptr;
}

}  // namespace kelo::testhost
