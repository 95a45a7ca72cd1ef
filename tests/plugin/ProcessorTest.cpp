// The audio component of the built module as a host drives it: buses and
// arrangements, sample sizes, audio pass-through, transport capture and the
// messages between the two components ("KeloState": StateTest).
#include "LoadedPlugin.h"
#include "Message.h"
#include "MessageSender.h"
#include "ProcessDriver.h"

#include "pluginterfaces/vst/ivstaudioprocessor.h"
#include "pluginterfaces/vst/ivstcomponent.h"
#include "pluginterfaces/vst/vstspeaker.h"

#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <string>
#include <tuple>

using namespace Steinberg;
using namespace Steinberg::Vst;
using kelo::host::ProcessDriver;
using kelo::host::ProcessLayout;
using kelo::testhost::sendMessage;
using kelo::testing::utf8;

namespace {

// The processor alone, its messages going to a recording peer.
class Processor : public kelo::testing::LoneProcessor {
 protected:
  IAudioProcessor* processor() { return instance->processor(); }

  // The transport as the processor reports it to its peer.
  const kelo::testhost::RecordedMessage& transport() {
    peer.clear();
    EXPECT_EQ(sendMessage(instance->processorConnection(), "KeloPoll"), kResultOk);
    EXPECT_EQ(peer.count("KeloTransport"), 1);
    return *peer.last("KeloTransport");
  }
};

TEST_F(Processor, HasOneStereoBusEachWayAndNeedsOnlyPositionTempoAndTimeSignature) {
  IComponent* component = instance->component();
  EXPECT_EQ(component->getBusCount(kEvent, kInput) + component->getBusCount(kEvent, kOutput), 0);
  for (auto [direction, name] : {std::pair{kInput, "Input"}, std::pair{kOutput, "Output"}}) {
    BusInfo info;
    ASSERT_EQ(component->getBusCount(kAudio, direction), 1);
    ASSERT_EQ(component->getBusInfo(kAudio, direction, 0, info), kResultOk);
    EXPECT_EQ(utf8(info.name), name);
    EXPECT_EQ(info.busType, kMain);
    EXPECT_EQ(info.channelCount, 2);
    EXPECT_EQ(info.flags, static_cast<uint32>(BusInfo::kDefaultActive));
    SpeakerArrangement arrangement = 0;
    EXPECT_EQ(processor()->getBusArrangement(direction, 0, arrangement), kResultTrue);
    EXPECT_EQ(arrangement, SpeakerArr::kStereo);
  }
  auto requirements = instance->processorAs<IProcessContextRequirements>();
  ASSERT_TRUE(requirements);
  EXPECT_EQ(requirements->getProcessContextRequirements(), 0xC4u);
  EXPECT_EQ(processor()->getLatencySamples() + processor()->getTailSamples(), 0u);
}

TEST_F(Processor, TerminateRemovesTheBusesAndInitializeBringsThemBackOnce) {
  IComponent* component = instance->component();
  peer.detach();
  ASSERT_EQ(component->terminate(), kResultOk);
  EXPECT_EQ(component->getBusCount(kAudio, kInput), 0);
  ASSERT_EQ(component->initialize(&instance->host()), kResultOk);
  EXPECT_NE(component->initialize(&instance->host()), kResultOk);
  EXPECT_EQ(component->getBusCount(kAudio, kInput), 1);
  EXPECT_EQ(component->getBusCount(kAudio, kOutput), 1);
  ASSERT_EQ(peer.attach(instance->processorConnection()), kResultOk);
}

TEST_F(Processor, AcceptsOnlyOneEqualMonoOrStereoPairAndBothSampleSizes) {
  SpeakerArrangement mono = SpeakerArr::kMono, stereo = SpeakerArr::kStereo, surround = SpeakerArr::k51;
  SpeakerArrangement pair[2] = {stereo, stereo};
  EXPECT_EQ(processor()->setBusArrangements(&mono, 1, &stereo, 1), kResultFalse);
  EXPECT_EQ(processor()->setBusArrangements(pair, 2, &stereo, 1), kResultFalse);
  EXPECT_EQ(processor()->setBusArrangements(&surround, 1, &surround, 1), kResultFalse);
  EXPECT_EQ(processor()->setBusArrangements(nullptr, 1, &stereo, 1), kResultFalse);
  EXPECT_EQ(processor()->setBusArrangements(&stereo, 0, &stereo, 1), kResultFalse);
  SpeakerArrangement arrangement = 0;
  processor()->getBusArrangement(kInput, 0, arrangement);
  EXPECT_EQ(arrangement, SpeakerArr::kStereo);

  EXPECT_EQ(processor()->setBusArrangements(&mono, 1, &mono, 1), kResultTrue);
  for (auto direction : {kInput, kOutput}) {
    processor()->getBusArrangement(direction, 0, arrangement);
    EXPECT_EQ(arrangement, SpeakerArr::kMono);
  }

  EXPECT_EQ(processor()->canProcessSampleSize(kSample32), kResultTrue);
  EXPECT_EQ(processor()->canProcessSampleSize(kSample64), kResultTrue);
  EXPECT_EQ(processor()->canProcessSampleSize(2), kResultFalse);
  ProcessSetup setup{kRealtime, 2, 512, 48000.0};
  EXPECT_NE(processor()->setupProcessing(setup), kResultOk);
  setup.symbolicSampleSize = kSample64;
  EXPECT_EQ(processor()->setupProcessing(setup), kResultOk);
}

// One pass-through case: the buses (input and output channels, whether there
// is an input bus, ...), what the host does to them before the block, and per
// output channel 'c' (a copy of its input) or 'z' (silence).
struct PassCase {
  const char* name;
  ProcessLayout layout;
  std::function<void(ProcessDriver&)> prepare;
  std::string channels;
  uint64 silenceFlags;
};

const PassCase kPassCases[] = {
    {"stereo", {}, [](ProcessDriver& d) { d.outputBus().silenceFlags = 0b11; }, "cc", 0},
    {"silentInput", {}, [](ProcessDriver& d) { d.inputBus().silenceFlags = 0b10; }, "cz", 0b10},
    {"monoInput", {1, 2}, nullptr, "cz", 0b10},
    {"noInputBus", {2, 2, false}, nullptr, "zz", 0b11},
    {"inPlace", {2, 2, true, true, kSample32, 512, true}, nullptr, "cc", 0},
    {"missingInputBuffer", {}, [](ProcessDriver& d) { d.setInputChannelNull(1); }, "cz", 0b10},
    // Channels beyond the 64 silence bits are still passed through.
    {"seventyChannels", {70, 72}, nullptr, std::string(70, 'c') + "zz", 0},
};

class PassThrough : public Processor, public ::testing::WithParamInterface<std::tuple<PassCase, int32>> {};

TEST_P(PassThrough, CopiesEachChannelOrSilencesAndFlagsIt) {
  const PassCase& c = std::get<0>(GetParam());
  ProcessLayout layout = c.layout;
  layout.sampleSize = std::get<1>(GetParam());
  ProcessDriver driver(processor(), layout);
  driver.fillOutputs(7.0);  // first: in place, the outputs are the inputs
  driver.fillInputs();
  if (c.prepare) c.prepare(driver);
  ASSERT_EQ(driver.process(256), kResultOk);
  for (int32 channel = 0; channel < static_cast<int32>(c.channels.size()); ++channel)
    for (int32 i = 0; i < 256; ++i)
      ASSERT_EQ(driver.outputSample(channel, i),
                c.channels[channel] == 'c' ? ProcessDriver::inputValue(channel, i) : 0.0)
          << "channel " << channel << " sample " << i;
  EXPECT_EQ(driver.outputBus().silenceFlags, c.silenceFlags);
  if (!layout.inPlace) {
    EXPECT_EQ(driver.outputSample(0, 256), 7.0) << "past the block";
  }
}

INSTANTIATE_TEST_SUITE_P(BothSampleSizes, PassThrough,
                         ::testing::Combine(::testing::ValuesIn(kPassCases), ::testing::Values(kSample32, kSample64)),
                         [](const auto& info) {
                           return std::string(std::get<0>(info.param).name) +
                                  (std::get<1>(info.param) == kSample32 ? "32" : "64");
                         });

TEST_F(Processor, AMissingOutputBufferIsSkippedAndEmptyBlocksTouchNoBuffer) {
  ProcessDriver driver(processor());
  driver.fillInputs();
  driver.fillOutputs(7.0);
  driver.outputBus().silenceFlags = 0b01;
  for (int32 samples : {0, -5}) {
    ASSERT_EQ(driver.process(samples), kResultOk);
    EXPECT_EQ(driver.outputSample(0, 0), 7.0);
    EXPECT_EQ(driver.outputBus().silenceFlags, 0b01u);
  }
  driver.setOutputChannelNull(0);
  EXPECT_EQ(driver.process(32), kResultOk);
  EXPECT_EQ(driver.outputSample(1, 31), ProcessDriver::inputValue(1, 31));

  ProcessLayout noOutput;
  noOutput.hasOutputBus = false;
  EXPECT_EQ(ProcessDriver(processor(), noOutput).process(64), kResultOk);
}

// The tempo rides along each row: kept only when marked valid and usable.
TEST_F(Processor, BarLengthAndTempoFollowTheHostOrFallBackToFourFourAndNoTempo) {
  struct Case {
    int32 numerator, denominator;
    bool valid;
    double beats;
    const char* meter;  // as the host's numerator and denominator come back
    double tempo;
    bool tempoValid;
    double shownTempo;
  };
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const Case cases[] = {{4, 4, true, 4.0, "4/4", 96.5, true, 96.5},   {3, 4, true, 3.0, "3/4", 96.5, false, 0.0},
                        {7, 8, true, 3.5, "7/8", 0.0, true, 0.0},     {5, 16, true, 1.25, "5/16", -60.0, true, 0.0},
                        {6, 8, true, 3.0, "6/8", nan, true, 0.0},     {0, 4, true, 4.0, "4/4", 1e308 * 10, true, 0.0},
                        {4, 0, true, 4.0, "4/4", 300.0, true, 300.0}, {-3, 4, true, 4.0, "4/4", 60.0, true, 60.0},
                        {3, 4, false, 4.0, "4/4", 60.0, true, 60.0}};
  ProcessDriver driver(processor());
  for (const Case& c : cases) {
    driver.setTimeSignature(c.numerator, c.denominator, c.valid);
    driver.context().tempo = c.tempo;
    driver.context().state =
        (driver.context().state & ~ProcessContext::kTempoValid) | (c.tempoValid ? ProcessContext::kTempoValid : 0);
    driver.process(16);
    const auto& reply = transport();
    const std::string meter =
        std::to_string(*reply.intValue("numerator")) + "/" + std::to_string(*reply.intValue("denominator"));
    EXPECT_EQ(reply.floatValue("beatsPerBar"), c.beats) << c.numerator << "/" << c.denominator;
    EXPECT_EQ(meter, c.meter) << c.numerator << "/" << c.denominator << (c.valid ? "" : " (not valid)");
    EXPECT_EQ(reply.floatValue("tempo"), c.shownTempo) << c.tempo;
    EXPECT_EQ(reply.intValue("hasTempo"), c.shownTempo > 0.0 ? 1 : 0) << c.tempo;
  }
}

// A position not marked valid is kept but flagged; a block without context
// stops the transport and falls back to four-four, keeping the position.
TEST_F(Processor, APositionOrContextMissingIsFlaggedAndThePositionKept) {
  ProcessDriver driver(processor());
  driver.setPlaying(true);
  driver.setTimeSignature(3, 4);
  driver.context().state |= ProcessContext::kTempoValid;
  driver.setPosition(-3.25, false);
  driver.process(0);
  EXPECT_EQ(transport().floatValue("ppq"), -3.25);
  EXPECT_EQ(transport().intValue("hasPpq"), 0);

  driver.setPosition(40.0);
  driver.process(32);
  driver.setContextPresent(false);
  driver.process(32);
  const auto& reply = transport();
  EXPECT_EQ(reply.floatValue("ppq"), 40.0);
  EXPECT_EQ(reply.floatValue("beatsPerBar"), 4.0);
  EXPECT_EQ(reply.intValue("numerator"), 4);
  EXPECT_EQ(reply.intValue("hasTempo"), 0);
  EXPECT_EQ(reply.intValue("playing"), 0);
  EXPECT_EQ(reply.intValue("hasPpq"), 0);
  EXPECT_EQ(reply.attributes.size(), 8u);
}

TEST_F(Processor, MessageIdsAreComparedExactly) {
  IConnectionPoint* connection = instance->processorConnection();
  EXPECT_EQ(connection->notify(nullptr), kInvalidArgument);
  EXPECT_EQ(connection->notify(owned(new kelo::host::Message)), kInvalidArgument);
  for (const char* id : {"KeloPollX", "kelopoll", "KeloPol", "KELOSTATE", "KeloTransport", ""})
    EXPECT_EQ(sendMessage(connection, id), kResultFalse) << id;
  EXPECT_TRUE(peer.messages().empty());
}

TEST_F(Processor, APollIsAnsweredBeforeNotifyReturnsOrFailsWhenTheReplyCannotBeMadeOrDelivered) {
  IConnectionPoint* connection = instance->processorConnection();
  EXPECT_EQ(sendMessage(connection, "KeloPoll"), kResultOk);
  ASSERT_EQ(peer.messages().size(), 1u);
  EXPECT_EQ(peer.messages()[0].id, std::string("KeloTransport"));
  peer.clear();
  instance->host().setPolicy(kelo::host::HostApplication::Messages::kRefuse);
  EXPECT_EQ(sendMessage(connection, "KeloPoll"), kResultFalse);
  instance->host().setPolicy(kelo::host::HostApplication::Messages::kCreate);
  EXPECT_TRUE(peer.messages().empty());
  peer.setNotifyResult(kResultFalse);
  EXPECT_EQ(sendMessage(connection, "KeloPoll"), kResultFalse);
  peer.setNotifyResult(kResultOk);
  peer.detach();
  EXPECT_EQ(sendMessage(connection, "KeloPoll"), kResultFalse);
  ASSERT_EQ(peer.attach(connection), kResultOk);
}

}  // namespace
