#pragma once

#include "pluginterfaces/base/smartpointer.h"
#include "pluginterfaces/vst/ivsthostapplication.h"

#include <atomic>

namespace Steinberg::Vst {
class PlugInterfaceSupport;
}

namespace kelo::host {

/// The host context handed to both components' initialize. It makes the
/// test host's own Message and AttributeList objects, so recorders can read
/// every attribute a plug-in sets. Created with a reference count of 1; the
/// components keep references, so it outlives them however tests hold it.
class HostApplication : public Steinberg::Vst::IHostApplication {
 public:
  /// Whether createInstance makes messages and attribute lists or refuses
  /// every request (answering kResultFalse with a null object).
  enum class Messages { kCreate, kRefuse };

  /// The name getName reports.
  static constexpr const char16_t* kName = u"Kelo Test Host";

  explicit HostApplication(Messages policy = Messages::kCreate);
  virtual ~HostApplication();

  void setPolicy(Messages newPolicy) { policy = newPolicy; }
  /// Messages handed out by createInstance so far.
  int messagesCreated() const { return messageCount.load(); }
  /// Requests for a message or attribute list that were refused.
  int requestsRefused() const { return refusedCount.load(); }

  //--- IHostApplication
  Steinberg::tresult PLUGIN_API getName(Steinberg::Vst::String128 name) SMTG_OVERRIDE;
  Steinberg::tresult PLUGIN_API createInstance(Steinberg::TUID cid, Steinberg::TUID iid, void** obj) SMTG_OVERRIDE;

  DECLARE_FUNKNOWN_METHODS

 private:
  std::atomic<Messages> policy;
  std::atomic<int> messageCount{0};
  std::atomic<int> refusedCount{0};
  Steinberg::IPtr<Steinberg::Vst::PlugInterfaceSupport> interfaceSupport;
};

}  // namespace kelo::host
