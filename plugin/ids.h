// Identifiers and texts the plug-in shares with hosts, its peer component and
// the page. Each is declared once here.
#pragma once

#include "pluginterfaces/base/funknown.h"

#include <cstddef>

namespace kelo {

// Class identifiers; the 16-byte form hosts see reads as the GUID in the comment.
// {F3F21A72-943E-499D-A130-C81BB8C32E71}
static const Steinberg::FUID kProcessorUID(0xF3F21A72, 0x943E499D, 0xA130C81B, 0xB8C32E71);
// {4EBA109D-EF18-48CA-B774-E33116A2FE94}
static const Steinberg::FUID kControllerUID(0x4EBA109D, 0xEF1848CA, 0xB774E331, 0x16A2FE94);

// Factory and class information.
inline constexpr char kVendor[] = "Kelo";
inline constexpr char kPluginName[] = "Kelo";
inline constexpr char kControllerName[] = "Kelo Controller";
inline constexpr char kSubCategories[] = "Fx|Tools";
inline constexpr char kPluginVersion[] = "0.1.7";
inline constexpr char kSdkVersion[] = "VST 3.8.0";

// Messages between controller and processor, and their attributes.
inline constexpr char kMessagePoll[] = "KeloPoll";
inline constexpr char kMessageTransport[] = "KeloTransport";
inline constexpr char kMessageState[] = "KeloState";
inline constexpr char kAttrPpq[] = "ppq";
inline constexpr char kAttrBeatsPerBar[] = "beatsPerBar";
inline constexpr char kAttrPlaying[] = "playing";
inline constexpr char kAttrHasPpq[] = "hasPpq";
inline constexpr char kAttrNumerator[] = "numerator";
inline constexpr char kAttrDenominator[] = "denominator";
inline constexpr char kAttrTempo[] = "tempo";
inline constexpr char kAttrHasTempo[] = "hasTempo";
inline constexpr char kAttrJson[] = "json";

// The transport as the controller caches it and the page receives it.
inline constexpr char kTransportPlaying[] = "playing";
inline constexpr char kTransportHasPpq[] = "hasPpq";
inline constexpr char kTransportPpq[] = "ppq";
inline constexpr char kTransportBeatsPerBar[] = "beatsPerBar";
inline constexpr char kTransportNumerator[] = "numerator";
inline constexpr char kTransportDenominator[] = "denominator";
inline constexpr char kTransportTempo[] = "tempo";
inline constexpr char kTransportHasTempo[] = "hasTempo";
inline constexpr double kDefaultBeatsPerBar = 4.0;
// The meter assumed when the host gives none: 4/4.
inline constexpr int kDefaultNumerator = 4;
inline constexpr int kDefaultDenominator = 4;
// What "tempo" holds when the host gives none ("hasTempo" false).
inline constexpr double kNoTempo = 0.0;

// Snapshot keys answered to the page's poll.
inline constexpr char kSnapshotRevision[] = "revision";
inline constexpr char kSnapshotState[] = "state";
inline constexpr char kSnapshotTransport[] = "transport";

// The maker's web page, opened by the page's brand link.
inline constexpr char kMakerUrl[] = "https://velmora.example/";

}  // namespace kelo
