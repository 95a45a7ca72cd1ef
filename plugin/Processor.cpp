#include "Processor.h"

#include "AudioPassThrough.h"
#include "StateParser.h"
#include "StateStream.h"
#include "ids.h"

#include "pluginterfaces/vst/ivstmessage.h"
#include "pluginterfaces/vst/ivstprocesscontext.h"
#include "pluginterfaces/vst/vstspeaker.h"

#include <cmath>
#include <cstring>

namespace kelo {

using namespace Steinberg;
using namespace Steinberg::Vst;

static_assert(std::atomic<double>::is_always_lock_free, "transport position must be lock-free");
static_assert(std::atomic<bool>::is_always_lock_free, "transport flags must be lock-free");
static_assert(std::atomic<std::int32_t>::is_always_lock_free, "time signature must be lock-free");

FUnknown* Processor::createInstance(void* /*context*/) {
  return static_cast<IAudioProcessor*>(new Processor);
}

Processor::Processor() : state(makeDefaultState()) {
  setControllerClass(kControllerUID);
}

Processor::~Processor() = default;

tresult PLUGIN_API Processor::initialize(FUnknown* context) {
  tresult result = AudioEffect::initialize(context);
  if (result != kResultOk) return result;
  addAudioInput(STR16("Input"), SpeakerArr::kStereo);
  addAudioOutput(STR16("Output"), SpeakerArr::kStereo);
  processContextRequirements.needProjectTimeMusic().needTempo().needTimeSignature();
  return kResultOk;
}

tresult PLUGIN_API Processor::setBusArrangements(SpeakerArrangement* inputs, int32 numIns, SpeakerArrangement* outputs,
                                                 int32 numOuts) {
  if (numIns != 1 || numOuts != 1 || !inputs || !outputs) return kResultFalse;
  if (inputs[0] != outputs[0]) return kResultFalse;
  if (inputs[0] != SpeakerArr::kMono && inputs[0] != SpeakerArr::kStereo) return kResultFalse;
  return AudioEffect::setBusArrangements(inputs, numIns, outputs, numOuts);
}

tresult PLUGIN_API Processor::canProcessSampleSize(int32 symbolicSampleSize) {
  return symbolicSampleSize == kSample32 || symbolicSampleSize == kSample64 ? kResultTrue : kResultFalse;
}

tresult PLUGIN_API Processor::setActive(TBool active) {
  if (!active) {
    playing.store(false);
    hasPpq.store(false);
  }
  return AudioEffect::setActive(active);
}

// The fields are independent values that readers take one by one, so
// release stores suffice; a sequentially consistent store would cost a locked
// instruction per field on every block.
void Processor::captureTransport(const ProcessContext* context) {
  constexpr auto order = std::memory_order_release;
  playing.store(context && (context->state & ProcessContext::kPlaying) != 0, order);
  hasPpq.store(context && (context->state & ProcessContext::kProjectTimeMusicValid) != 0, order);
  if (!context) {
    storeMeter(kDefaultNumerator, kDefaultDenominator);
    tempo.store(kNoTempo, order);
    hasTempo.store(false, order);
    return;
  }
  // Stored whether or not the host marked it valid; hasPpq tells the reader.
  ppq.store(context->projectTimeMusic, order);
  const bool validSignature = (context->state & ProcessContext::kTimeSigValid) != 0 && context->timeSigNumerator > 0 &&
                              context->timeSigDenominator > 0;
  if (validSignature)
    storeMeter(context->timeSigNumerator, context->timeSigDenominator);
  else
    storeMeter(kDefaultNumerator, kDefaultDenominator);
  // A tempo the page could not divide by counts as none.
  const bool validTempo =
      (context->state & ProcessContext::kTempoValid) != 0 && std::isfinite(context->tempo) && context->tempo > 0.0;
  tempo.store(validTempo ? context->tempo : kNoTempo, order);
  hasTempo.store(validTempo, order);
}

void Processor::storeMeter(int32 beats, int32 beatUnit) {
  constexpr auto order = std::memory_order_release;
  beatsPerBar.store(beats * 4.0 / beatUnit, order);
  numerator.store(beats, order);
  denominator.store(beatUnit, order);
}

tresult PLUGIN_API Processor::process(ProcessData& data) {
  captureTransport(data.processContext);
  passAudioThrough(data);
  return kResultOk;
}

tresult PLUGIN_API Processor::getState(IBStream* stream) {
  std::lock_guard<std::mutex> lock(stateMutex);
  return writeStateStream(stream, state);
}

tresult PLUGIN_API Processor::setState(IBStream* stream) {
  json document;
  if (!readStateStream(stream, document)) return kResultFalse;
  replaceState(document);
  return kResultOk;
}

void Processor::replaceState(json& document) {
  std::lock_guard<std::mutex> lock(stateMutex);
  state.swap(document);
  // The old document goes while the lock is still held, as the swap leaves it here.
  json().swap(document);
}

tresult PLUGIN_API Processor::notify(IMessage* message) {
  if (!message || !message->getMessageID()) return kInvalidArgument;
  if (std::strcmp(message->getMessageID(), kMessageState) == 0) return takeOverState(message);
  if (std::strcmp(message->getMessageID(), kMessagePoll) == 0) return answerPoll();
  return AudioEffect::notify(message);
}

tresult Processor::answerPoll() {
  IMessage* reply = allocateMessage();
  if (!reply) return kResultFalse;
  reply->setMessageID(kMessageTransport);
  if (IAttributeList* attributes = reply->getAttributes()) {
    constexpr auto order = std::memory_order_acquire;
    attributes->setFloat(kAttrPpq, ppq.load(order));
    attributes->setFloat(kAttrBeatsPerBar, beatsPerBar.load(order));
    attributes->setInt(kAttrPlaying, playing.load(order) ? 1 : 0);
    attributes->setInt(kAttrHasPpq, hasPpq.load(order) ? 1 : 0);
    attributes->setInt(kAttrNumerator, numerator.load(order));
    attributes->setInt(kAttrDenominator, denominator.load(order));
    attributes->setFloat(kAttrTempo, tempo.load(order));
    attributes->setInt(kAttrHasTempo, hasTempo.load(order) ? 1 : 0);
  }
  tresult result = sendMessage(reply);
  reply->release();
  return result;
}

tresult Processor::takeOverState(IMessage* message) {
  IAttributeList* attributes = message->getAttributes();
  if (!attributes) return kResultFalse;
  const void* bytes = nullptr;
  uint32 size = 0;
  if (attributes->getBinary(kAttrJson, bytes, size) != kResultOk || size > kMaxStateBytes) return kResultFalse;
  if (!bytes && size > 0) return kResultFalse;
  try {
    const char* text = static_cast<const char*>(bytes);
    json document = parseStateText(text, size);
    replaceState(document);
    return kResultOk;
  } catch (...) {
    return kResultFalse;
  }
}

}  // namespace kelo
