// Builder for the flags a processor returns from
// IProcessContextRequirements::getProcessContextRequirements, with the names
// the VST 3 SDK gives it, for SDK copies that do not ship it.
#pragma once

#include "pluginterfaces/vst/ivstaudioprocessor.h"

namespace Steinberg {
namespace Vst {

class ProcessContextRequirements {
  using Self = ProcessContextRequirements;
  using Flags = IProcessContextRequirements::Flags;

 public:
  ProcessContextRequirements(uint32 inFlags = 0) : flags(inFlags) {}

  Self& needSystemTime() { return add(Flags::kNeedSystemTime); }
  Self& needContinousTimeSamples() { return add(Flags::kNeedContinousTimeSamples); }
  Self& needProjectTimeMusic() { return add(Flags::kNeedProjectTimeMusic); }
  Self& needBarPositionMusic() { return add(Flags::kNeedBarPositionMusic); }
  Self& needCycleMusic() { return add(Flags::kNeedCycleMusic); }
  Self& needSamplesToNextClock() { return add(Flags::kNeedSamplesToNextClock); }
  Self& needTempo() { return add(Flags::kNeedTempo); }
  Self& needTimeSignature() { return add(Flags::kNeedTimeSignature); }
  Self& needChord() { return add(Flags::kNeedChord); }
  Self& needFrameRate() { return add(Flags::kNeedFrameRate); }
  Self& needTransportState() { return add(Flags::kNeedTransportState); }

  uint32 get() const { return flags; }
  operator uint32() const { return flags; }

 private:
  Self& add(uint32 bit) {
    flags |= bit;
    return *this;
  }
  uint32 flags;
};

}  // namespace Vst
}  // namespace Steinberg
