#pragma once

#include "Attribute.h"
#include "Message.h"

#include "pluginterfaces/base/smartpointer.h"
#include "pluginterfaces/vst/ivstmessage.h"

#include <initializer_list>

namespace kelo::testhost {

/// A message as the host would deliver it: `id` (null leaves the ID unset)
/// and the given attributes.
Steinberg::IPtr<host::Message> makeMessage(const char* id, std::initializer_list<host::Attribute> attributes = {});

/// Builds a message and hands it to `target->notify`, answering what notify
/// answers (kInvalidArgument for a null target). The message is released
/// afterwards, so a component that keeps it must add its own reference.
///
///     sendMessage (instance.processorConnection (), "KeloPoll");
///     sendMessage (controller, "KeloTransport", {floatAttribute ("ppq", 8.0),
///                                                intAttribute ("playing", 1)});
Steinberg::tresult sendMessage(Steinberg::Vst::IConnectionPoint* target, const char* id,
                               std::initializer_list<host::Attribute> attributes = {});

}  // namespace kelo::testhost
