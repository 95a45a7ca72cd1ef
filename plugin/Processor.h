// The audio component: passes audio through unchanged, captures the host's
// transport on every block, and holds the StateDocument of record.
#pragma once

#include "StateDocument.h"

#include "public.sdk/source/vst/vstaudioeffect.h"

#include <atomic>
#include <cstdint>
#include <mutex>

namespace kelo {

class Processor : public Steinberg::Vst::AudioEffect {
 public:
  static Steinberg::FUnknown* createInstance(void* context);

  Processor();
  ~Processor() override;

  // IPluginBase
  Steinberg::tresult PLUGIN_API initialize(Steinberg::FUnknown* context) SMTG_OVERRIDE;
  // IConnectionPoint: answers "KeloPoll" and takes over "KeloState".
  Steinberg::tresult PLUGIN_API notify(Steinberg::Vst::IMessage* message) SMTG_OVERRIDE;
  // IComponent
  Steinberg::tresult PLUGIN_API setActive(Steinberg::TBool state) SMTG_OVERRIDE;
  Steinberg::tresult PLUGIN_API setState(Steinberg::IBStream* stream) SMTG_OVERRIDE;
  Steinberg::tresult PLUGIN_API getState(Steinberg::IBStream* stream) SMTG_OVERRIDE;
  // IAudioProcessor
  Steinberg::tresult PLUGIN_API setBusArrangements(Steinberg::Vst::SpeakerArrangement* inputs, Steinberg::int32 numIns,
                                                   Steinberg::Vst::SpeakerArrangement* outputs,
                                                   Steinberg::int32 numOuts) SMTG_OVERRIDE;
  Steinberg::tresult PLUGIN_API canProcessSampleSize(Steinberg::int32 symbolicSampleSize) SMTG_OVERRIDE;
  // Audio thread only: no lock, no allocation, no call into the host.
  Steinberg::tresult PLUGIN_API process(Steinberg::Vst::ProcessData& data) SMTG_OVERRIDE;

 private:
  void captureTransport(const Steinberg::Vst::ProcessContext* context);
  void storeMeter(Steinberg::int32 beats, Steinberg::int32 beatUnit);
  Steinberg::tresult answerPoll();
  Steinberg::tresult takeOverState(Steinberg::Vst::IMessage* message);
  void replaceState(json& document);

  // Guards `state`; never taken on the audio thread.
  std::mutex stateMutex;
  json state;
  // The TransportSnapshot: written by the audio thread, read one by one by
  // the poll answer. They are independent values, not one unit.
  std::atomic<double> ppq{0.0};
  std::atomic<double> beatsPerBar{4.0};
  std::atomic<bool> playing{false};
  std::atomic<bool> hasPpq{false};
  // The meter behind beatsPerBar, kept so that the page can place markers
  // on the meter's own beats; and the tempo in beats per minute.
  std::atomic<std::int32_t> numerator{4};
  std::atomic<std::int32_t> denominator{4};
  std::atomic<double> tempo{0.0};
  std::atomic<bool> hasTempo{false};
};

}  // namespace kelo
