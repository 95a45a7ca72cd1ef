#pragma once

#include "AttributeList.h"

#include "pluginterfaces/base/smartpointer.h"
#include "pluginterfaces/vst/ivstmessage.h"

#include <optional>
#include <string>

namespace kelo::host {

/// The host's IMessage: an optional ID and an attribute list made on first
/// use. Created with a reference count of 1.
class Message : public Steinberg::Vst::IMessage {
 public:
  Message();
  virtual ~Message();

  /// Makes getAttributes answer null from now on, as a careless host might.
  void dropAttributes();
  /// The attribute list, or null after dropAttributes. Made on first use.
  AttributeList* attributeList();

  //--- IMessage
  Steinberg::FIDString PLUGIN_API getMessageID() SMTG_OVERRIDE;
  void PLUGIN_API setMessageID(Steinberg::FIDString id) SMTG_OVERRIDE;
  Steinberg::Vst::IAttributeList* PLUGIN_API getAttributes() SMTG_OVERRIDE;

  DECLARE_FUNKNOWN_METHODS

 private:
  std::optional<std::string> id;
  Steinberg::IPtr<AttributeList> attributes;
  bool attributesDropped = false;
};

}  // namespace kelo::host
