#include "PluginInstance.h"

#include "BufferStream.h"

#include <cstring>

namespace kelo::host {

using namespace Steinberg;

namespace {

template <class I>
I* queryOwned(FUnknown* object) {
  if (!object) return nullptr;
  I* result = nullptr;
  if (object->queryInterface(I::iid, reinterpret_cast<void**>(&result)) != kResultOk) return nullptr;
  return result;
}

}  // namespace

PluginInstance::PluginInstance(Module& module, InstanceOptions options) {
  hostContext = owned(new HostApplication(options.messages));
  if (options.handler != InstanceOptions::Handler::kNone)
    componentHandler = owned(new RecordingComponentHandler(options.handler == InstanceOptions::Handler::kRecording));
  create(module, options);
}

bool PluginInstance::create(Module& module, const InstanceOptions& options) {
  IPluginFactory* factory = module.factory();
  if (!factory) {
    fail("the module is not loaded: " + module.lastError());
    return false;
  }

  TUID processorClass{};
  if (options.processorClass)
    std::memcpy(processorClass, *options.processorClass, sizeof(TUID));
  else {
    PClassInfo info{};
    if (factory->getClassInfo(0, &info) != kResultOk) {
      fail("the factory has no class 0");
      return false;
    }
    std::memcpy(processorClass, info.cid, sizeof(TUID));
  }
  if (factory->createInstance(processorClass, Vst::IComponent::iid, reinterpret_cast<void**>(&componentPtr)) !=
          kResultOk ||
      !componentPtr) {
    componentPtr = nullptr;
    fail("the factory did not create the processor as IComponent");
    return false;
  }
  processorPtr = queryOwned<Vst::IAudioProcessor>(componentPtr);
  if (!processorPtr) {
    fail("the processor does not offer IAudioProcessor");
    return false;
  }
  if (componentPtr->initialize(hostContext) != kResultOk) {
    fail("the processor's initialize failed");
    return false;
  }
  componentInitialized = true;

  TUID controllerClass{};
  if (options.controllerClass)
    std::memcpy(controllerClass, *options.controllerClass, sizeof(TUID));
  else if (componentPtr->getControllerClassId(controllerClass) != kResultOk) {
    fail("the processor names no controller class");
    return false;
  }
  if (factory->createInstance(controllerClass, Vst::IEditController::iid, reinterpret_cast<void**>(&controllerPtr)) !=
          kResultOk ||
      !controllerPtr) {
    controllerPtr = nullptr;
    fail("the factory did not create the controller as IEditController");
    return false;
  }
  if (controllerPtr->initialize(hostContext) != kResultOk) {
    fail("the controller's initialize failed");
    return false;
  }
  controllerInitialized = true;

  processorPoint = queryOwned<Vst::IConnectionPoint>(componentPtr);
  controllerPoint = queryOwned<Vst::IConnectionPoint>(controllerPtr);
  if (options.connect && connect() != kResultOk) {
    fail("the components did not accept the connection");
    return false;
  }
  if (componentHandler && controllerPtr->setComponentHandler(componentHandler) != kResultOk) {
    fail("the controller refused the component handler");
    return false;
  }
  return true;
}

PluginInstance::~PluginInstance() {
  if (isActive) deactivate();
  disconnect();
  if (controllerPtr && controllerInitialized) controllerPtr->terminate();
  if (componentPtr && componentInitialized) componentPtr->terminate();
  if (controllerPoint) controllerPoint->release();
  if (processorPoint) processorPoint->release();
  if (controllerPtr) controllerPtr->release();
  if (processorPtr) processorPtr->release();
  if (componentPtr) componentPtr->release();
  componentHandler = nullptr;
  hostContext = nullptr;
}

void PluginInstance::fail(std::string message) {
  if (error.empty()) error = std::move(message);
}

tresult PluginInstance::connect() {
  if (!processorPoint || !controllerPoint) return kNoInterface;
  if (isConnected) return kResultOk;
  const tresult toController = processorPoint->connect(controllerPoint);
  const tresult toProcessor = controllerPoint->connect(processorPoint);
  isConnected = true;
  return toController != kResultOk ? toController : toProcessor;
}

tresult PluginInstance::disconnect() {
  if (!isConnected) return kResultOk;
  isConnected = false;
  const tresult fromController = processorPoint->disconnect(controllerPoint);
  const tresult fromProcessor = controllerPoint->disconnect(processorPoint);
  return fromController != kResultOk ? fromController : fromProcessor;
}

tresult PluginInstance::syncControllerState() {
  if (!componentPtr || !controllerPtr) return kNotInitialized;
  auto stream = owned(new BufferStream);
  const tresult saved = componentPtr->getState(stream);
  if (saved != kResultOk) return saved;
  stream->rewind();
  return controllerPtr->setComponentState(stream);
}

tresult PluginInstance::activate(int32 sampleSize, int32 maxSamplesPerBlock, double sampleRate,
                                 Vst::SpeakerArrangement arrangement) {
  if (!processorPtr || !componentPtr) return kNotInitialized;
  Vst::SpeakerArrangement inputs = arrangement;
  Vst::SpeakerArrangement outputs = arrangement;
  tresult result = processorPtr->setBusArrangements(&inputs, 1, &outputs, 1);
  if (result != kResultOk) return result;
  Vst::ProcessSetup setup{Vst::kRealtime, sampleSize, maxSamplesPerBlock, sampleRate};
  result = processorPtr->setupProcessing(setup);
  if (result != kResultOk) return result;
  result = componentPtr->setActive(true);
  if (result != kResultOk) return result;
  isActive = true;
  processorPtr->setProcessing(true);
  return kResultOk;
}

tresult PluginInstance::deactivate() {
  if (!processorPtr || !componentPtr) return kNotInitialized;
  processorPtr->setProcessing(false);
  isActive = false;
  return componentPtr->setActive(false);
}

}  // namespace kelo::host
