// Copies the first input bus to the first output bus, unchanged, honouring
// silence flags. Real-time safe: no allocation, no lock, at most one memcpy
// or memset per channel.
#pragma once

#include "pluginterfaces/vst/ivstaudioprocessor.h"

namespace kelo {

void passAudioThrough(Steinberg::Vst::ProcessData& data);

}  // namespace kelo
