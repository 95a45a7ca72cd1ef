#include "MessageSender.h"

namespace kelo::testhost {

using namespace Steinberg;

IPtr<host::Message> makeMessage(const char* id, std::initializer_list<host::Attribute> attributes) {
  auto message = owned(new host::Message);
  message->setMessageID(id);
  for (const host::Attribute& attribute : attributes) message->attributeList()->set(attribute);
  return message;
}

tresult sendMessage(Vst::IConnectionPoint* target, const char* id, std::initializer_list<host::Attribute> attributes) {
  if (!target) return kInvalidArgument;
  auto message = makeMessage(id, attributes);
  return target->notify(message);
}

}  // namespace kelo::testhost
