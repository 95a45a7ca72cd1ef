// The audio thread's guarantees, checked on the built module: process()
// allocates nothing and takes no lock, whatever the block looks like, and
// runs safely while the user-interface thread replaces and saves the state.
//
// This program links the test host's counting operator new and (outside the
// sanitizer builds, whose runtimes own it) replaces pthread_mutex_lock, and
// exports them so that the loaded module calls these. Counting is per thread
// and only while a test switches it on.
#include "AllocationCounter.h"
#include "LoadedPlugin.h"
#include "MessageSender.h"
#include "ProcessDriver.h"
#include "StreamText.h"

#include "pluginterfaces/vst/ivstaudioprocessor.h"
#include "pluginterfaces/vst/ivstprocesscontext.h"

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <pthread.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

using namespace Steinberg;
using namespace Steinberg::Vst;

namespace {
thread_local bool countingLocks = false;
thread_local long locks = 0;
}  // namespace

#ifndef KELO_SANITIZED
extern "C" int pthread_mutex_lock(pthread_mutex_t* mutex) {
  using Lock = int (*)(pthread_mutex_t*);
  static Lock real = reinterpret_cast<Lock>(dlsym(RTLD_NEXT, "pthread_mutex_lock"));
  if (countingLocks) ++locks;
  return real(mutex);
}
#endif

namespace {

using kelo::host::ProcessDriver;
using kelo::host::ProcessLayout;

// The block shapes a host may hand over, each a driver whose buffers are made
// before counting starts; block i takes shape i and a size of its own.
struct BlockShapes {
  std::vector<std::unique_ptr<ProcessDriver>> drivers;

  explicit BlockShapes(IAudioProcessor* processor) {
    // Plain (three), mono input, in place, 64-bit, no input bus.
    for (const ProcessLayout& layout : {ProcessLayout{}, ProcessLayout{}, ProcessLayout{}, ProcessLayout{1, 2},
                                        ProcessLayout{2, 2, true, true, kSample32, 512, true},
                                        ProcessLayout{2, 2, true, true, kSample64}, ProcessLayout{2, 2, false}}) {
      drivers.push_back(std::make_unique<ProcessDriver>(processor, layout));
      drivers.back()->fillInputs();
      drivers.back()->setPlaying(true);
      drivers.back()->setTimeSignature(6, 8);
      drivers.back()->context().state |= ProcessContext::kTempoValid;
    }
    drivers[1]->setContextPresent(false);
    drivers[2]->inputBus().silenceFlags = 0b10;
    drivers[6]->setOutputChannelNull(0);
  }

  void process(int block) {
    ProcessDriver& driver = *drivers[static_cast<std::size_t>(block) % drivers.size()];
    driver.setPosition(0.25 * block);
    driver.context().tempo = 90.0 + block % 8;
    driver.process(block % 9 == 0 ? 0 : 64 + (block % 8) * 32);
  }
};

class AudioThread : public kelo::testing::LoadedPlugin {
 protected:
  void SetUp() override {
    LoadedPlugin::SetUp();
    if (HasFatalFailure()) return;
    ASSERT_EQ(instance->activate(), kResultOk);
  }
};

// The allocations and locks of this thread while `work` runs.
template <typename Work>
std::pair<long, long> counted(Work work) {
  locks = 0;
  kelo::testhost::AllocationCounter counter;
  countingLocks = true;
  work();
  countingLocks = false;
  return {counter.count(), locks};
}

TEST_F(AudioThread, ProcessAllocatesNothingAndLocksNothingInAnyBlock) {
  // The counters see the module's allocations and locks, or the zeros would prove nothing.
  [[maybe_unused]] const auto [allocations, lockCount] = counted(
      [&] { EXPECT_EQ(instance->component()->setState(kelo::testhost::streamFrom(R"({"script":"x"})")), kResultOk); });
  EXPECT_GT(allocations, 0);
#ifndef KELO_SANITIZED
  EXPECT_GT(lockCount, 0);
#endif
  BlockShapes shapes(instance->processor());
  EXPECT_EQ(counted([&] {
              for (int i = 0; i < 2000; ++i) shapes.process(i);
            }),
            std::make_pair(0L, 0L));
}

// Process runs on one thread while the user-interface thread replaces,
// saves and polls the state; the sanitizer builds watch the interleaving.
TEST_F(AudioThread, ProcessRunsWhileTheStateIsReplacedAndSaved) {
  std::atomic<bool> stop{false};
  std::atomic<long> blocks{0};
  BlockShapes shapes(instance->processor());
  std::thread audio([&] {
    for (int i = 0; !stop.load(); ++i) {
      shapes.process(i);
      blocks.fetch_add(1);
    }
  });

  IConnectionPoint* processor = instance->processorConnection();
  for (int round = 0; round < 200; ++round) {
    const std::string text = R"({"script":"[1] round )" + std::to_string(round) + R"("})";
    EXPECT_EQ(instance->component()->setState(kelo::testhost::streamFrom(text)), kResultOk);
    auto saved = owned(new kelo::host::BufferStream);
    EXPECT_EQ(instance->component()->getState(saved), kResultOk);
    EXPECT_NE(saved->bytes().find("round"), std::string::npos);

    EXPECT_EQ(kelo::testhost::sendMessage(processor, "KeloState", {kelo::host::binaryAttribute("json", text)}),
              kResultOk);
    EXPECT_EQ(kelo::testhost::sendMessage(processor, "KeloPoll"), kResultOk);
  }
  // As many blocks as a validator's threaded run makes.
  while (blocks.load() < 9999) std::this_thread::yield();
  stop = true;
  audio.join();
}

}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
