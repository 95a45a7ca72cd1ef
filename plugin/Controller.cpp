#include "Controller.h"

#include "BrandLink.h"
#include "EditorView.h"
#include "StateStream.h"
#include "Webview.h"
#include "ids.h"

#include "pluginterfaces/vst/ivstmessage.h"

#include <cstring>

namespace kelo {

using namespace Steinberg;
using namespace Steinberg::Vst;

namespace {

// One "KeloTransport" reading; each field keeps its default when the message
// lacks it, not the previously cached value.
struct TransportReading {
  double ppq = 0.0;
  double beatsPerBar = kDefaultBeatsPerBar;
  int64 playing = 0;
  int64 hasPpq = 0;
  int64 numerator = kDefaultNumerator;
  int64 denominator = kDefaultDenominator;
  double tempo = kNoTempo;
  int64 hasTempo = 0;
};

json makeTransport(const TransportReading& reading) {
  json transport = json::object();
  transport[kTransportBeatsPerBar] = reading.beatsPerBar;
  transport[kTransportHasPpq] = reading.hasPpq != 0;
  transport[kTransportPlaying] = reading.playing != 0;
  transport[kTransportPpq] = reading.ppq;
  transport[kTransportNumerator] = reading.numerator;
  transport[kTransportDenominator] = reading.denominator;
  transport[kTransportTempo] = reading.tempo;
  transport[kTransportHasTempo] = reading.hasTempo != 0;
  return transport;
}

// The page passes back the revision it last adopted; only an integer equal
// to the current one means it already holds the state.
bool pageHoldsRevision(const json& params, std::uint32_t revision) {
  if (!params.is_array() || params.empty()) return false;
  const json& adopted = params.front();
  if (!adopted.is_number_integer()) return false;
  return adopted.get<std::int64_t>() == static_cast<std::int64_t>(revision);
}

// A page edit names the revision of the document it was made on; one made
// on a document the host has since replaced would overwrite that document.
// A write that names none is taken, as it always was.
bool madeOnOlderDocument(const json& params, std::uint32_t revision) {
  if (!params.is_array() || params.size() < 2 || !params[1].is_number_integer()) return false;
  return !pageHoldsRevision(json::array({params[1]}), revision);
}

}  // namespace

FUnknown* Controller::createInstance(void* /*context*/) {
  return static_cast<IEditController*>(new Controller);
}

Controller::Controller() : state(makeDefaultState()), transport(makeTransport({})) {}

Controller::~Controller() = default;

tresult PLUGIN_API Controller::notify(IMessage* message) {
  if (!message || !message->getMessageID() || std::strcmp(message->getMessageID(), kMessageTransport) != 0)
    return EditController::notify(message);

  TransportReading reading;
  if (IAttributeList* attributes = message->getAttributes()) {
    attributes->getFloat(kAttrPpq, reading.ppq);
    attributes->getInt(kAttrPlaying, reading.playing);
    attributes->getInt(kAttrHasPpq, reading.hasPpq);
    attributes->getFloat(kAttrBeatsPerBar, reading.beatsPerBar);
    attributes->getInt(kAttrNumerator, reading.numerator);
    attributes->getInt(kAttrDenominator, reading.denominator);
    attributes->getFloat(kAttrTempo, reading.tempo);
    attributes->getInt(kAttrHasTempo, reading.hasTempo);
  }
  transport = makeTransport(reading);
  return kResultOk;
}

tresult Controller::loadState(IBStream* stream) {
  json document;
  if (!readStateStream(stream, document)) return kResultFalse;
  state = std::move(document);
  ++revision;
  return kResultOk;
}

tresult PLUGIN_API Controller::setComponentState(IBStream* stream) {
  return loadState(stream);
}

tresult PLUGIN_API Controller::setState(IBStream* stream) {
  return loadState(stream);
}

tresult PLUGIN_API Controller::getState(IBStream* stream) {
  return writeStateStream(stream, state);
}

IPlugView* PLUGIN_API Controller::createView(FIDString name) {
  return createEditorView(this, name);
}

void Controller::Bind(webhost::Webview* webview) {
  webview->BindFunction("keloOpenBrand",
                        [this](webhost::Webview*, int, const std::string&, const json&) { return openBrand(); });
  webview->BindFunction("keloRead", [this](webhost::Webview*, int, const std::string&, const json& params) {
    return readSnapshot(params);
  });
  webview->BindFunction("keloWrite", [this](webhost::Webview*, int, const std::string&, const json& params) {
    return writeState(params);
  });
}

json Controller::readSnapshot(const json& params) {
  // Delivered directly, the processor's answer reaches notify before this
  // returns, so the cached transport below is this poll's.
  sendMessageID(kMessagePoll);

  json snapshot = json::object();
  snapshot[kSnapshotRevision] = revision;
  snapshot[kSnapshotTransport] = transport;
  if (!pageHoldsRevision(params, revision)) snapshot[kSnapshotState] = state;
  return snapshot;
}

json Controller::writeState(const json& params) {
  json document = normalizeState(params.at(0));
  if (madeOnOlderDocument(params, revision)) return false;
  const std::string text = stateText(document);

  IMessage* message = allocateMessage();
  if (!message) return false;
  message->setMessageID(kMessageState);
  IAttributeList* attributes = message->getAttributes();
  const bool sent = attributes &&
                    attributes->setBinary(kAttrJson, text.data(), static_cast<uint32>(text.size())) == kResultOk &&
                    sendMessage(message) == kResultOk;
  message->release();
  if (!sent) return false;

  // The page's own write: no new revision, so it is not sent back to it.
  state = std::move(document);
  markProjectDirty();
  return true;
}

void Controller::markProjectDirty() {
  if (!componentHandler) return;
  IComponentHandler2* handler2 = nullptr;
  if (componentHandler->queryInterface(IComponentHandler2::iid, reinterpret_cast<void**>(&handler2)) == kResultOk &&
      handler2) {
    handler2->setDirty(true);
    handler2->release();
  }
}

json Controller::openBrand() {
  return openMakerPage();
}

}  // namespace kelo
