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
#include "Message.h"
#include "StreamText.h"

#include "pluginterfaces/vst/ivstaudioprocessor.h"
#include "pluginterfaces/vst/ivstmessage.h"
#include "pluginterfaces/vst/ivstprocesscontext.h"

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <pthread.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

using namespace Steinberg;
using namespace Steinberg::Vst;

namespace {
thread_local bool countingLocks = false;
thread_local long locks = 0;
} // namespace

#ifndef KELO_SANITIZED
extern "C" int pthread_mutex_lock (pthread_mutex_t* mutex)
{
	using Lock = int (*) (pthread_mutex_t*);
	static Lock real = reinterpret_cast<Lock> (dlsym (RTLD_NEXT, "pthread_mutex_lock"));
	if (countingLocks)
		++locks;
	return real (mutex);
}
#endif

namespace {

constexpr int kChannels = 2;
constexpr int kMaxSamples = 512;

// Every buffer a block may use, made before counting starts.
struct Buffers
{
	std::vector<float> in32[kChannels];
	std::vector<float> out32[kChannels];
	std::vector<double> in64[kChannels];
	std::vector<double> out64[kChannels];
	float* inPointers32[kChannels];
	float* outPointers32[kChannels];
	double* inPointers64[kChannels];
	double* outPointers64[kChannels];
	float* nullPointers32[kChannels] = {nullptr, nullptr};

	Buffers ()
	{
		for (int c = 0; c < kChannels; ++c)
		{
			in32[c].assign (kMaxSamples, 0.5f);
			out32[c].assign (kMaxSamples, 0.0f);
			in64[c].assign (kMaxSamples, 0.5);
			out64[c].assign (kMaxSamples, 0.0);
			inPointers32[c] = in32[c].data ();
			outPointers32[c] = out32[c].data ();
			inPointers64[c] = in64[c].data ();
			outPointers64[c] = out64[c].data ();
		}
	}
};

// The block shapes a host may hand over, one per index.
constexpr int kBlockShapes = 8;

void shapeBlock (int shape, Buffers& b, ProcessData& data, AudioBusBuffers& in, AudioBusBuffers& out,
                 ProcessContext& context)
{
	in = {};
	out = {};
	in.numChannels = kChannels;
	out.numChannels = kChannels;
	in.channelBuffers32 = b.inPointers32;
	out.channelBuffers32 = b.outPointers32;
	data = {};
	data.numSamples = 64 + shape * 32;
	data.symbolicSampleSize = kSample32;
	data.numInputs = 1;
	data.numOutputs = 1;
	data.inputs = &in;
	data.outputs = &out;
	context.state = ProcessContext::kPlaying | ProcessContext::kProjectTimeMusicValid |
	                ProcessContext::kTimeSigValid | ProcessContext::kTempoValid;
	context.projectTimeMusic += 0.25;
	context.tempo = 90.0 + shape;
	context.timeSigNumerator = 6;
	context.timeSigDenominator = 8;
	data.processContext = &context;
	switch (shape)
	{
		case 0: break;
		case 1: data.processContext = nullptr; break;
		case 2: data.numSamples = 0; break;
		case 3: in.silenceFlags = 0b10; break;
		case 4: in.numChannels = 1; break;
		case 5: out.channelBuffers32 = b.inPointers32; break; // in place
		case 6:
			data.symbolicSampleSize = kSample64;
			in.channelBuffers64 = b.inPointers64;
			out.channelBuffers64 = b.outPointers64;
			break;
		case 7:
			data.numInputs = 0;
			data.inputs = nullptr;
			out.channelBuffers32 = b.nullPointers32;
			break;
	}
}

class AudioThread : public kelo::testing::LoadedPlugin
{
protected:
	void SetUp () override
	{
		LoadedPlugin::SetUp ();
		if (HasFatalFailure ())
			return;
		ASSERT_EQ (instance->activate (), kResultOk);
	}
};

TEST_F (AudioThread, TheCountersSeeTheModulesAllocationsAndLocks)
{
	// Without this the zero counts below would prove nothing.
	long allocations = 0;
	locks = 0;
	{
		kelo::testhost::AllocationCounter counter;
		countingLocks = true;
		EXPECT_EQ (instance->component ()->setState (kelo::testhost::streamFrom (R"({"script":"x"})")),
		           kResultOk);
		countingLocks = false;
		allocations = counter.count ();
	}
	EXPECT_GT (allocations, 0);
#ifndef KELO_SANITIZED
	EXPECT_GT (locks, 0);
#endif
}

TEST_F (AudioThread, ProcessAllocatesNothingAndLocksNothingInAnyBlock)
{
	Buffers buffers;
	ProcessData data;
	AudioBusBuffers in;
	AudioBusBuffers out;
	ProcessContext context {};
	long allocations = 0;
	locks = 0;
	{
		kelo::testhost::AllocationCounter counter;
		countingLocks = true;
		for (int i = 0; i < 2000; ++i)
		{
			shapeBlock (i % kBlockShapes, buffers, data, in, out, context);
			instance->processor ()->process (data);
		}
		countingLocks = false;
		allocations = counter.count ();
	}
	EXPECT_EQ (allocations, 0);
	EXPECT_EQ (locks, 0);
}

// Process runs on one thread while the user-interface thread replaces,
// saves and polls the state; the sanitizer builds watch the interleaving.
TEST_F (AudioThread, ProcessRunsWhileTheStateIsReplacedAndSaved)
{
	std::atomic<bool> stop {false};
	std::atomic<long> blocks {0};
	std::thread audio ([&] {
		Buffers buffers;
		ProcessData data;
		AudioBusBuffers in;
		AudioBusBuffers out;
		ProcessContext context {};
		for (int i = 0; !stop.load (); ++i)
		{
			shapeBlock (i % kBlockShapes, buffers, data, in, out, context);
			instance->processor ()->process (data);
			blocks.fetch_add (1);
		}
	});

	IConnectionPoint* processor = instance->processorConnection ();
	for (int round = 0; round < 200; ++round)
	{
		const std::string text = R"({"script":"[1] round )" + std::to_string (round) + R"("})";
		EXPECT_EQ (instance->component ()->setState (kelo::testhost::streamFrom (text)), kResultOk);
		auto saved = owned (new kelo::testhost::BufferStream);
		EXPECT_EQ (instance->component ()->getState (saved), kResultOk);
		EXPECT_NE (saved->bytes ().find ("round"), std::string::npos);

		auto state = owned (new kelo::testhost::Message);
		state->setMessageID ("KeloState");
		state->getAttributes ()->setBinary ("json", text.data (), static_cast<uint32> (text.size ()));
		EXPECT_EQ (processor->notify (state), kResultOk);

		auto poll = owned (new kelo::testhost::Message);
		poll->setMessageID ("KeloPoll");
		EXPECT_EQ (processor->notify (poll), kResultOk);
	}
	while (blocks.load () < 1000)
		std::this_thread::yield ();
	stop = true;
	audio.join ();
}

} // namespace

int main (int argc, char** argv)
{
	::testing::InitGoogleTest (&argc, argv);
	return RUN_ALL_TESTS ();
}
