#pragma once

#include "Attribute.h"

#include "pluginterfaces/vst/ivstmessage.h"

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace kelo::testhost {

/// A message as a RecordingPeer received it, copied out of the message so
/// it outlives it.
struct RecordedMessage {
  /// The message ID; empty when the message had none.
  std::optional<std::string> id;
  /// False when the attribute list was null or not one the test host made
  /// (its entries cannot be listed); `attributes` is then empty.
  bool attributesKnown = false;
  std::map<std::string, host::Attribute> attributes;

  bool has(const std::string& name) const { return attributes.count(name) != 0; }
  /// The value when an attribute of that name and type exists.
  std::optional<Steinberg::int64> intValue(const std::string& name) const;
  std::optional<double> floatValue(const std::string& name) const;
  std::optional<std::string> binaryValue(const std::string& name) const;
  std::optional<std::u16string> stringValue(const std::string& name) const;
};

/// A stand-in for the other component: an IConnectionPoint that records
/// every message it is sent, for tests that talk to one component alone.
/// Connect it both ways with `attach`, so the component's sends reach it.
/// It detaches itself when destroyed; a component that outlives it must not
/// still be attached unless it disconnects on terminate, as SDK components
/// do. Created with a reference count of 1; usable on the stack. UI thread.
class RecordingPeer : public Steinberg::Vst::IConnectionPoint {
 public:
  RecordingPeer();
  virtual ~RecordingPeer();

  /// component->connect (this), then this->connect (component).
  /// Answers the component's result.
  Steinberg::tresult attach(Steinberg::Vst::IConnectionPoint* component);
  /// The reverse of attach; answers the component's result.
  Steinberg::tresult detach();
  Steinberg::Vst::IConnectionPoint* peer() const { return other; }

  /// What notify answers for a non-null message (kResultOk by default).
  void setNotifyResult(Steinberg::tresult result) { notifyResult = result; }

  const std::vector<RecordedMessage>& messages() const { return received; }
  /// Messages received with this exact ID.
  int count(const std::string& id) const;
  /// The most recent message with this ID, if any.
  const RecordedMessage* last(const std::string& id) const;
  void clear() { received.clear(); }

  //--- IConnectionPoint
  Steinberg::tresult PLUGIN_API connect(Steinberg::Vst::IConnectionPoint* other) SMTG_OVERRIDE;
  Steinberg::tresult PLUGIN_API disconnect(Steinberg::Vst::IConnectionPoint* other) SMTG_OVERRIDE;
  Steinberg::tresult PLUGIN_API notify(Steinberg::Vst::IMessage* message) SMTG_OVERRIDE;

  DECLARE_FUNKNOWN_METHODS

 private:
  Steinberg::Vst::IConnectionPoint* other = nullptr;
  Steinberg::Vst::IConnectionPoint* attached = nullptr;
  Steinberg::tresult notifyResult = Steinberg::kResultOk;
  std::vector<RecordedMessage> received;
};

}  // namespace kelo::testhost
