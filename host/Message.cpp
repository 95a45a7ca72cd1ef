#include "Message.h"

namespace kelo::host {

using namespace Steinberg;

Message::Message(){FUNKNOWN_CTOR}

Message::~Message(){FUNKNOWN_DTOR}

IMPLEMENT_FUNKNOWN_METHODS(Message, Vst::IMessage, Vst::IMessage::iid)

    void Message::dropAttributes() {
  attributesDropped = true;
  attributes = nullptr;
}

AttributeList* Message::attributeList() {
  if (attributesDropped) return nullptr;
  if (!attributes) attributes = owned(new AttributeList);
  return attributes;
}

FIDString PLUGIN_API Message::getMessageID() {
  return id ? id->c_str() : nullptr;
}

void PLUGIN_API Message::setMessageID(FIDString newId) {
  if (newId)
    id = newId;
  else
    id.reset();
}

Vst::IAttributeList* PLUGIN_API Message::getAttributes() {
  return attributeList();
}

}  // namespace kelo::host
