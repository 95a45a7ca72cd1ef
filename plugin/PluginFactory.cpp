// The class factory hosts get from GetPluginFactory: the processor "Kelo"
// and its controller "Kelo Controller".
#include "Controller.h"
#include "Processor.h"
#include "ids.h"

#include "public.sdk/source/main/pluginfactory.h"
#include "pluginterfaces/vst/ivstaudioprocessor.h"
#include "pluginterfaces/vst/ivsteditcontroller.h"

using namespace Steinberg;

namespace {

CPluginFactory* makeFactory() {
  static const PFactoryInfo factoryInfo(kelo::kVendor, "", "", PFactoryInfo::kUnicode);
  auto* factory = new CPluginFactory(factoryInfo);

  const PClassInfo2 processorInfo(kelo::kProcessorUID.toTUID(), PClassInfo::kManyInstances, kVstAudioEffectClass,
                                  kelo::kPluginName, Vst::kDistributable, kelo::kSubCategories, "",
                                  kelo::kPluginVersion, kelo::kSdkVersion);
  factory->registerClass(&processorInfo, kelo::Processor::createInstance);

  const PClassInfo2 controllerInfo(kelo::kControllerUID.toTUID(), PClassInfo::kManyInstances,
                                   kVstComponentControllerClass, kelo::kControllerName, 0, "", "", kelo::kPluginVersion,
                                   kelo::kSdkVersion);
  factory->registerClass(&controllerInfo, kelo::Controller::createInstance);
  return factory;
}

}  // namespace

// The first call creates the factory and hands over its creation reference;
// later calls add one. The factory clears gPluginFactory when it goes.
extern "C" SMTG_EXPORT_SYMBOL IPluginFactory* PLUGIN_API GetPluginFactory() {
  if (!gPluginFactory) {
    gPluginFactory = makeFactory();
    return gPluginFactory;
  }
  gPluginFactory->addRef();
  return gPluginFactory;
}
