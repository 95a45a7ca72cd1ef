// An AudioEffect with the interface and behaviour of the VST 3 SDK's class of
// that name, for SDK copies that lack it: buses are added by the subclass in
// initialize and removed by Component::terminate, setupProcessing refuses a
// sample size that canProcessSampleSize refuses, and everything a plain
// effect does not need answers as the SDK's base does.
#pragma once

#include "public.sdk/source/vst/utility/processcontextrequirements.h"
#include "public.sdk/source/vst/vstbus.h"
#include "public.sdk/source/vst/vstcomponent.h"
#include "pluginterfaces/vst/ivstaudioprocessor.h"

namespace Steinberg {
namespace Vst {

class AudioEffect : public Component, public IAudioProcessor, public IProcessContextRequirements {
 public:
  AudioEffect();

  AudioBus* addAudioInput(const TChar* name, SpeakerArrangement arr, BusType busType = kMain,
                          int32 flags = BusInfo::kDefaultActive);
  AudioBus* addAudioOutput(const TChar* name, SpeakerArrangement arr, BusType busType = kMain,
                           int32 flags = BusInfo::kDefaultActive);
  AudioBus* getAudioInput(int32 index);
  AudioBus* getAudioOutput(int32 index);

  EventBus* addEventInput(const TChar* name, int32 channels = 16, BusType busType = kMain,
                          int32 flags = BusInfo::kDefaultActive);
  EventBus* addEventOutput(const TChar* name, int32 channels = 16, BusType busType = kMain,
                           int32 flags = BusInfo::kDefaultActive);
  EventBus* getEventInput(int32 index);
  EventBus* getEventOutput(int32 index);

  // IAudioProcessor
  tresult PLUGIN_API setBusArrangements(SpeakerArrangement* inputs, int32 numIns, SpeakerArrangement* outputs,
                                        int32 numOuts) SMTG_OVERRIDE;
  tresult PLUGIN_API getBusArrangement(BusDirection dir, int32 index, SpeakerArrangement& arr) SMTG_OVERRIDE;
  tresult PLUGIN_API canProcessSampleSize(int32 symbolicSampleSize) SMTG_OVERRIDE;
  uint32 PLUGIN_API getLatencySamples() SMTG_OVERRIDE { return 0; }
  tresult PLUGIN_API setupProcessing(ProcessSetup& setup) SMTG_OVERRIDE;
  tresult PLUGIN_API setProcessing(TBool /*state*/) SMTG_OVERRIDE { return kNotImplemented; }
  tresult PLUGIN_API process(ProcessData& /*data*/) SMTG_OVERRIDE { return kNotImplemented; }
  uint32 PLUGIN_API getTailSamples() SMTG_OVERRIDE { return kNoTail; }

  // IProcessContextRequirements
  uint32 PLUGIN_API getProcessContextRequirements() SMTG_OVERRIDE { return processContextRequirements.get(); }

  OBJ_METHODS(AudioEffect, Component)
  DEFINE_INTERFACES
  DEF_INTERFACE(IAudioProcessor)
  DEF_INTERFACE(IProcessContextRequirements)
  END_DEFINE_INTERFACES(Component)
  REFCOUNT_METHODS(Component)

 protected:
  ProcessSetup processSetup{};
  ProcessContextRequirements processContextRequirements;
};

}  // namespace Vst
}  // namespace Steinberg
