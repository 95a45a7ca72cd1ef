#include "MessageSender.h"

namespace kelo::testhost {

using namespace Steinberg;

IPtr<Message> makeMessage(const char* id, std::initializer_list<Attribute> attributes) {
  auto message = owned(new Message);
  message->setMessageID(id);
  for (const Attribute& attribute : attributes) message->attributeList()->set(attribute);
  return message;
}

tresult sendMessage(Vst::IConnectionPoint* target, const char* id, std::initializer_list<Attribute> attributes) {
  if (!target) return kInvalidArgument;
  auto message = makeMessage(id, attributes);
  return target->notify(message);
}

}  // namespace kelo::testhost
