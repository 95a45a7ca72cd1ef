// What a validator and demanding hosts do to the built module: every state
// transition three times over at many sample rates and odd block sizes in
// both sample sizes, bus switching, noise passed through unchanged, and many
// instances made and dropped on several threads.
#include "LoadedPlugin.h"
#include "ProcessDriver.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <thread>
#include <vector>

using namespace Steinberg;
using namespace Steinberg::Vst;
namespace host = kelo::host;

namespace {

constexpr int32 kMaxBlock = 8192;

class Validator : public kelo::testing::LoadedPlugin, public ::testing::WithParamInterface<int32> {};

TEST_P(Validator, EveryTransitionThriceAtEveryRateWithOddBlocksPassesNoiseBitForBit) {
  std::mt19937 random(11);
  std::uniform_int_distribution<int32> blockSize(0, kMaxBlock - 1);
  std::uniform_real_distribution<double> noise(-2.0, 2.0);
  IComponent* component = instance->component();
  for (int round = 0; round < 3; ++round) {
    ASSERT_EQ(component->terminate(), kResultOk);
    ASSERT_EQ(component->initialize(&instance->host()), kResultOk);
    for (double rate :
         {22050.0, 44100.0, 48000.0, 88200.0, 96000.0, 176400.0, 192000.0, 352800.0, 384000.0, 1234.5678}) {
      SCOPED_TRACE(::testing::Message() << "round " << round << " rate " << rate);
      for (bool on : {false, true})
        for (auto direction : {kInput, kOutput}) ASSERT_EQ(component->activateBus(kAudio, direction, 0, on), kResultOk);
      ASSERT_EQ(instance->activate(GetParam(), kMaxBlock, rate), kResultOk);
      host::ProcessLayout layout;
      layout.sampleSize = GetParam();
      layout.maxSamples = kMaxBlock;
      host::ProcessDriver driver(instance->processor(), layout);
      for (int block = 0; block < 21; ++block) {
        const int32 samples = blockSize(random);
        for (int32 channel = 0; channel < 2; ++channel)
          for (int32 i = 0; i < samples; ++i) driver.setInputSample(channel, i, noise(random));
        ASSERT_EQ(driver.process(samples), kResultOk) << samples;
        int32 changed = 0;
        for (int32 channel = 0; channel < 2; ++channel)
          for (int32 i = 0; i < samples; ++i)
            changed += driver.outputSample(channel, i) != driver.inputSample(channel, i);
        ASSERT_EQ(changed, 0) << samples;
      }
      ASSERT_EQ(instance->deactivate(), kResultOk);
      for (auto direction : {kInput, kOutput}) EXPECT_EQ(component->getBusCount(kAudio, direction), 1);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(SampleSizes, Validator, ::testing::Values(kSample32, kSample64),
                         [](const auto& info) { return info.param == kSample32 ? "32bit" : "64bit"; });

TEST(ValidatorInstances, FiftyAreMadeConnectedAndDroppedSomeOnOtherThreads) {
  host::Module module{KELO_BUNDLE_PATH};
  ASSERT_TRUE(module.loaded()) << module.lastError();
  std::vector<std::unique_ptr<host::PluginInstance>> instances(50);
  // Every fifth is made on a thread of its own and used on this one.
  for (std::size_t i = 0; i < instances.size(); ++i) {
    auto make = [&, i] { instances[i] = std::make_unique<host::PluginInstance>(module); };
    if (i % 5 == 0)
      std::thread(make).join();
    else
      make();
  }
  for (auto& instance : instances) {
    ASSERT_TRUE(instance && instance->ok()) << (instance ? instance->lastError() : "");
    EXPECT_TRUE(instance->connected());
    EXPECT_EQ(instance->syncControllerState(), kResultOk);
  }
  // Every third is dropped on another thread.
  for (std::size_t i = 0; i < instances.size(); i += 3) std::thread([&instances, i] { instances[i].reset(); }).join();
  instances.clear();
}

}  // namespace
