#pragma once

#include "HostApplication.h"
#include "Module.h"
#include "RecordingComponentHandler.h"

#include "pluginterfaces/base/smartpointer.h"
#include "pluginterfaces/vst/ivstaudioprocessor.h"
#include "pluginterfaces/vst/ivstcomponent.h"
#include "pluginterfaces/vst/ivsteditcontroller.h"
#include "pluginterfaces/vst/ivstmessage.h"

#include <string>

namespace kelo::host {

/// How a PluginInstance is set up. The defaults are what a host does.
struct InstanceOptions {
  enum class Handler {
    kRecording,     ///< a RecordingComponentHandler with IComponentHandler2
    kWithoutDirty,  ///< a RecordingComponentHandler without IComponentHandler2
    kNone           ///< setComponentHandler is never called
  };

  /// Connect the two connection points directly to each other, so a
  /// message is delivered by a plain call, nested inside the sender's call.
  bool connect = true;
  /// The host application's policy: kRefuse makes every message
  /// allocation of the plug-in fail.
  HostApplication::Messages messages = HostApplication::Messages::kCreate;
  Handler handler = Handler::kRecording;
  /// The processor class; null takes class 0 of the factory.
  const Steinberg::TUID* processorClass = nullptr;
  /// The controller class; null asks the processor's getControllerClassId.
  const Steinberg::TUID* controllerClass = nullptr;
};

/// One plug-in instance made the way a host makes it: processor and
/// controller created through the factory, both initialized with one
/// HostApplication, optionally connected, the component handler installed.
/// Destruction deactivates (if activate succeeded), disconnects, terminates
/// the controller and then the processor, and releases both before the host
/// context. The Module must outlive the instance. UI-thread object: only
/// ProcessDriver calls on the processor may come from another thread.
class PluginInstance {
 public:
  explicit PluginInstance(Module& module, InstanceOptions options = {});
  ~PluginInstance();

  PluginInstance(const PluginInstance&) = delete;
  PluginInstance& operator=(const PluginInstance&) = delete;

  /// True when both components exist and were initialized (and connected
  /// and given the handler, as the options asked).
  bool ok() const { return error.empty(); }
  const std::string& lastError() const { return error; }

  Steinberg::Vst::IComponent* component() const { return componentPtr; }
  Steinberg::Vst::IAudioProcessor* processor() const { return processorPtr; }
  Steinberg::Vst::IEditController* controller() const { return controllerPtr; }
  Steinberg::Vst::IConnectionPoint* processorConnection() const { return processorPoint; }
  Steinberg::Vst::IConnectionPoint* controllerConnection() const { return controllerPoint; }
  HostApplication& host() const { return *hostContext; }
  /// Null with InstanceOptions::Handler::kNone.
  RecordingComponentHandler* handler() const { return componentHandler; }

  /// Connects (or disconnects) the two components directly, both ways.
  /// Both answer kResultOk when all calls did.
  Steinberg::tresult connect();
  Steinberg::tresult disconnect();
  bool connected() const { return isConnected; }

  /// What a host does after loading a project or creating an instance:
  /// the processor's getState into a stream, then that stream (rewound) to
  /// the controller's setComponentState. Answers the first failure.
  Steinberg::tresult syncControllerState();

  /// The host's start of processing: setBusArrangements with `arrangement`
  /// on one input and one output, setupProcessing, setActive(true),
  /// setProcessing(true). Answers the first failure among the first three
  /// (setProcessing may answer kNotImplemented).
  Steinberg::tresult activate(Steinberg::int32 sampleSize = Steinberg::Vst::kSample32,
                              Steinberg::int32 maxSamplesPerBlock = 512, double sampleRate = 48000.0,
                              Steinberg::Vst::SpeakerArrangement arrangement = Steinberg::Vst::SpeakerArr::kStereo);
  /// setProcessing(false), setActive(false); answers setActive's result.
  Steinberg::tresult deactivate();
  bool active() const { return isActive; }

  /// Queries another interface of the processor or controller object.
  template <class I>
  Steinberg::IPtr<I> processorAs() const {
    return Steinberg::FUnknownPtr<I>(componentPtr);
  }
  template <class I>
  Steinberg::IPtr<I> controllerAs() const {
    return Steinberg::FUnknownPtr<I>(controllerPtr);
  }

 private:
  bool create(Module& module, const InstanceOptions& options);
  void fail(std::string message);

  std::string error;
  Steinberg::IPtr<HostApplication> hostContext;
  Steinberg::IPtr<RecordingComponentHandler> componentHandler;
  Steinberg::Vst::IComponent* componentPtr = nullptr;
  Steinberg::Vst::IAudioProcessor* processorPtr = nullptr;
  Steinberg::Vst::IEditController* controllerPtr = nullptr;
  Steinberg::Vst::IConnectionPoint* processorPoint = nullptr;
  Steinberg::Vst::IConnectionPoint* controllerPoint = nullptr;
  bool componentInitialized = false;
  bool controllerInitialized = false;
  bool isConnected = false;
  bool isActive = false;
};

}  // namespace kelo::host
