#include "AllocationCounter.h"
#include "TestHost.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

using namespace kelo::testhost;
using namespace Steinberg;
using namespace Steinberg::Vst;

namespace {

struct Counters
{
	int entries = 0;
	int exits = 0;
	int factoryReferences = 0;
};

Counters countersOf (const Module& module)
{
	Counters counters;
	auto* read = module.symbol<void (int*, int*, int*)> ("FakeModuleCounters");
	if (read)
		read (&counters.entries, &counters.exits, &counters.factoryReferences);
	return counters;
}

std::string takeEventLog (const Module& module)
{
	char buffer[512] = {};
	if (auto* take = module.symbol<void (char*, int)> ("FakeTakeEventLog"))
		take (buffer, sizeof (buffer));
	return buffer;
}

InstanceOptions unconnected ()
{
	InstanceOptions options;
	options.connect = false;
	return options;
}

} // namespace

// ---------------------------------------------------------------------------
// Module loading

TEST (TestHostModule, LoadsABundleFolderThroughEntryAndFactory)
{
	Module module (KELO_FAKE_BUNDLE);
	ASSERT_TRUE (module.loaded ()) << module.lastError ();
	EXPECT_EQ (module.libraryPath (), KELO_FAKE_LIBRARY);
	EXPECT_EQ (module.factory ()->countClasses (), 2);
	EXPECT_EQ (countersOf (module).entries, 1);
	EXPECT_EQ (module.symbol<void ()> ("NoSuchExport"), nullptr);

	TUID controller {};
	ASSERT_TRUE (module.findClass (kVstComponentControllerClass, controller));
	PClassInfo info {};
	ASSERT_EQ (module.factory ()->getClassInfo (1, &info), kResultOk);
	EXPECT_EQ (std::memcmp (controller, info.cid, sizeof (TUID)), 0);
}

TEST (TestHostModule, ClosingASecondLoadCallsModuleExitAndReleasesOnlyItsFactoryReference)
{
	Module first (KELO_FAKE_LIBRARY);
	ASSERT_TRUE (first.loaded ()) << first.lastError ();
	const Counters before = countersOf (first);
	{
		Module second (KELO_FAKE_LIBRARY);
		ASSERT_TRUE (second.loaded ());
		EXPECT_EQ (countersOf (first).factoryReferences, before.factoryReferences + 1);
	}
	const Counters after = countersOf (first);
	EXPECT_EQ (after.entries, before.entries + 1);
	EXPECT_EQ (after.exits, before.exits + 1);
	EXPECT_EQ (after.factoryReferences, before.factoryReferences);
}

TEST (TestHostModule, ReportsAMissingFileAndARefusedEntryAsText)
{
	Module missing ("/nonexistent/Nothing.so");
	EXPECT_FALSE (missing.loaded ());
	EXPECT_NE (missing.lastError ().find ("/nonexistent/Nothing.so"), std::string::npos);

	Module refusing (KELO_REFUSING_LIBRARY);
	EXPECT_FALSE (refusing.loaded ());
	EXPECT_EQ (refusing.factory (), nullptr);
	EXPECT_NE (refusing.lastError ().find ("ModuleEntry"), std::string::npos) << refusing.lastError ();
}

// ---------------------------------------------------------------------------
// Instances

TEST (TestHostInstance, ConnectedComponentsDeliverTheReplyInsideTheSend)
{
	Module module (KELO_FAKE_BUNDLE);
	PluginInstance instance (module);
	ASSERT_TRUE (instance.ok ()) << instance.lastError ();
	EXPECT_TRUE (instance.connected ());
	EXPECT_EQ (sendMessage (instance.controllerConnection (), "Ping"), kResultOk);
	EXPECT_EQ (instance.host ().messagesCreated (), 2);

	PluginInstance apart (module, unconnected ());
	ASSERT_TRUE (apart.ok ()) << apart.lastError ();
	EXPECT_EQ (sendMessage (apart.controllerConnection (), "Ping"), kResultFalse);
}

TEST (TestHostInstance, AHostThatRefusesMessagesLeavesThePluginWithoutOne)
{
	Module module (KELO_FAKE_BUNDLE);
	InstanceOptions options;
	options.messages = HostApplication::Messages::kRefuse;
	PluginInstance instance (module, options);
	ASSERT_TRUE (instance.ok ()) << instance.lastError ();
	EXPECT_EQ (sendMessage (instance.controllerConnection (), "Ping"), kResultFalse);
	EXPECT_EQ (instance.host ().requestsRefused (), 1);
	EXPECT_EQ (instance.host ().messagesCreated (), 0);
}

TEST (TestHostInstance, SetDirtyReachesOnlyAHandlerThatOffersIt)
{
	Module module (KELO_FAKE_BUNDLE);
	PluginInstance instance (module);
	ASSERT_TRUE (instance.ok ());
	EXPECT_EQ (sendMessage (instance.controllerConnection (), "MarkDirty"), kResultOk);
	EXPECT_EQ (instance.handler ()->dirtyCount (), 1);
	EXPECT_TRUE (instance.handler ()->lastDirty ());

	InstanceOptions options;
	options.handler = InstanceOptions::Handler::kWithoutDirty;
	PluginInstance older (module, options);
	ASSERT_TRUE (older.ok ());
	EXPECT_EQ (sendMessage (older.controllerConnection (), "MarkDirty"), kResultFalse);
	EXPECT_EQ (older.handler ()->dirtyCount (), 0);
}

TEST (TestHostInstance, TearsDownInTheOrderOfAHost)
{
	Module module (KELO_FAKE_BUNDLE);
	{
		PluginInstance instance (module);
		ASSERT_TRUE (instance.ok ());
		ASSERT_EQ (instance.activate (), kResultOk);
		takeEventLog (module);
	}
	EXPECT_EQ (takeEventLog (module),
	           "processor.inactive,processor.disconnect,controller.disconnect,"
	           "controller.terminate,processor.terminate,controller.destroy,processor.destroy");
}

TEST (TestHostInstance, SyncHandsTheProcessorStateToTheController)
{
	Module module (KELO_FAKE_BUNDLE);
	PluginInstance instance (module);
	ASSERT_TRUE (instance.ok ());
	ASSERT_EQ (instance.syncControllerState (), kResultOk);
	BufferStream saved;
	ASSERT_EQ (instance.controller ()->getState (&saved), kResultOk);
	EXPECT_EQ (saved.bytes (), "fake-processor-state");
}

// ---------------------------------------------------------------------------
// Messages and attributes

TEST (TestHostMessages, AttributesRoundTripThroughThePluginIncludingZeroBytes)
{
	Module module (KELO_FAKE_BUNDLE);
	PluginInstance instance (module, unconnected ());
	ASSERT_TRUE (instance.ok ());
	RecordingPeer peer;
	ASSERT_EQ (peer.attach (instance.processorConnection ()), kResultOk);

	const std::string blob ("a\0b\xff", 4);
	EXPECT_EQ (sendMessage (instance.processorConnection (), "Echo",
	                        {intAttribute ("value", 41), binaryAttribute ("blob", blob)}),
	           kResultOk);
	ASSERT_EQ (peer.count ("EchoReply"), 1);
	const RecordedMessage* reply = peer.last ("EchoReply");
	EXPECT_TRUE (reply->attributesKnown);
	EXPECT_EQ (reply->intValue ("value"), 42);
	EXPECT_EQ (reply->binaryValue ("blob"), blob);
	EXPECT_EQ (reply->floatValue ("value"), std::nullopt);
	EXPECT_EQ (peer.detach (), kResultOk);
	EXPECT_EQ (sendMessage (instance.processorConnection (), "Echo"), kResultFalse);
	EXPECT_EQ (peer.messages ().size (), 1u);
}

TEST (TestHostMessages, APeerThatOutlivesTheInstanceIsLetGoByTheTerminatingComponent)
{
	Module module (KELO_FAKE_BUNDLE);
	RecordingPeer peer;
	{
		PluginInstance instance (module, unconnected ());
		ASSERT_EQ (peer.attach (instance.processorConnection ()), kResultOk);
		EXPECT_EQ (peer.peer (), instance.processorConnection ());
	}
	EXPECT_EQ (peer.peer (), nullptr);
	EXPECT_EQ (peer.detach (), kResultOk);
}

TEST (TestHostMessages, GettersOfAnotherTypeDoNotSeeAnAttribute)
{
	AttributeList list;
	ASSERT_EQ (list.setFloat ("ppq", 2.5), kResultOk);
	int64 asInt = -1;
	EXPECT_EQ (list.getInt ("ppq", asInt), kResultFalse);
	EXPECT_EQ (asInt, -1);
	double asFloat = 0.0;
	EXPECT_EQ (list.getFloat ("ppq", asFloat), kResultOk);
	EXPECT_EQ (asFloat, 2.5);

	ASSERT_EQ (list.setString ("name", u"Kelo"), kResultOk);
	TChar shortBuffer[3] = {1, 1, 1};
	EXPECT_EQ (list.getString ("name", shortBuffer, sizeof (shortBuffer)), kResultOk);
	EXPECT_EQ (std::u16string (shortBuffer), u"Ke");
}

TEST (TestHostMessages, TheHostMakesMessagesOnlyOfTheKindsItKnows)
{
	auto host = owned (new HostApplication);
	TUID message {};
	IMessage::iid.toTUID (message);
	void* object = nullptr;
	ASSERT_EQ (host->createInstance (message, message, &object), kResultOk);
	ASSERT_NE (object, nullptr);
	auto* created = static_cast<IMessage*> (object);
	created->setMessageID ("KeloPoll");
	EXPECT_STREQ (created->getMessageID (), "KeloPoll");
	EXPECT_NE (created->getAttributes (), nullptr);
	created->release ();

	TUID stream {};
	IBStream::iid.toTUID (stream);
	EXPECT_EQ (host->createInstance (stream, stream, &object), kResultFalse);
	EXPECT_EQ (object, nullptr);
	host->setPolicy (HostApplication::Messages::kRefuse);
	EXPECT_EQ (host->createInstance (message, message, &object), kResultFalse);
	EXPECT_EQ (object, nullptr);
}

// ---------------------------------------------------------------------------
// Processing

class TestHostProcessing : public testing::TestWithParam<int32>
{
};

TEST_P (TestHostProcessing, ThePluginSeesTheDriversBuffersAndOnlyTheBlock)
{
	Module module (KELO_FAKE_BUNDLE);
	PluginInstance instance (module);
	ASSERT_EQ (instance.activate (GetParam ()), kResultOk);
	ProcessLayout layout;
	layout.sampleSize = GetParam ();
	layout.maxSamples = 16;
	ProcessDriver driver (instance.processor (), layout);
	driver.fillInputs ();
	driver.fillOutputs (-1.0);
	ASSERT_EQ (driver.process (8), kResultOk);
	for (int32 c = 0; c < 2; ++c)
	{
		for (int32 i = 0; i < 8; ++i)
			EXPECT_EQ (driver.outputSample (c, i), 2.0 * ProcessDriver::inputValue (c, i));
		EXPECT_EQ (driver.outputSample (c, 8), -1.0);
	}
}

TEST_P (TestHostProcessing, InPlaceOutputsShareTheInputBuffers)
{
	Module module (KELO_FAKE_BUNDLE);
	PluginInstance instance (module);
	ASSERT_EQ (instance.activate (GetParam ()), kResultOk);
	ProcessLayout layout;
	layout.sampleSize = GetParam ();
	layout.inPlace = true;
	ProcessDriver driver (instance.processor (), layout);
	driver.fillInputs ();
	ASSERT_EQ (driver.process (4), kResultOk);
	EXPECT_EQ (driver.outputSample (1, 3), 2.0 * ProcessDriver::inputValue (1, 3));
	EXPECT_EQ (driver.inputSample (1, 3), 2.0 * ProcessDriver::inputValue (1, 3));
}

INSTANTIATE_TEST_SUITE_P (BothSampleSizes, TestHostProcessing, testing::Values (kSample32, kSample64));

TEST (TestHostDriver, TheContextReachesThePluginAndCanBeLeftOut)
{
	Module module (KELO_FAKE_BUNDLE);
	PluginInstance instance (module, unconnected ());
	RecordingPeer peer;
	peer.attach (instance.processorConnection ());
	ProcessDriver driver (instance.processor (), {});

	driver.setPlaying (true);
	driver.setPosition (12.5, false);
	driver.setTimeSignature (6, 8);
	ASSERT_EQ (driver.process (0), kResultOk);
	sendMessage (instance.processorConnection (), "Echo");
	const RecordedMessage* seen = peer.last ("EchoReply");
	ASSERT_NE (seen, nullptr);
	EXPECT_EQ (seen->intValue ("context"), 1);
	EXPECT_EQ (seen->intValue ("samples"), 0);
	EXPECT_EQ (seen->floatValue ("ppq"), 12.5);
	EXPECT_EQ (seen->intValue ("state"), ProcessContext::kPlaying | ProcessContext::kTimeSigValid);

	driver.setContextPresent (false);
	ASSERT_EQ (driver.process (3), kResultOk);
	EXPECT_EQ (driver.process (513), kInvalidArgument);
	sendMessage (instance.processorConnection (), "Echo");
	EXPECT_EQ (peer.last ("EchoReply")->intValue ("context"), 0);
	EXPECT_EQ (peer.last ("EchoReply")->intValue ("samples"), 3);
}

TEST (TestHostDriver, WithoutAnInputBusTheDataCarriesNone)
{
	ProcessLayout layout;
	layout.hasInputBus = false;
	layout.outputChannels = 1;
	ProcessDriver driver (nullptr, layout);
	EXPECT_EQ (driver.data ().numInputs, 0);
	EXPECT_EQ (driver.data ().inputs, nullptr);
	EXPECT_EQ (driver.data ().outputs[0].numChannels, 1);
	driver.setOutputChannelNull (0);
	EXPECT_EQ (driver.outputBus ().channelBuffers32[0], nullptr);
	driver.restoreChannelPointers ();
	EXPECT_NE (driver.outputBus ().channelBuffers32[0], nullptr);
}

TEST (TestHostDriver, CountsAllocationsMadeInsideTheModuleButNoneOfItsOwn)
{
	Module module (KELO_FAKE_BUNDLE);
	PluginInstance instance (module);
	ProcessDriver driver (instance.processor (), {});
	driver.fillInputs ();
	{
		AllocationCounter counter;
		driver.process (512);
		EXPECT_EQ (counter.count (), 0);
	}
	driver.context ().tempo = -1.0;
	AllocationCounter counter;
	driver.process (512);
	EXPECT_GE (counter.count (), 1);
}

// ---------------------------------------------------------------------------
// Streams

TEST (TestHostStreams, OddChunksDeliverEveryByteInShortReads)
{
	std::string text;
	for (int i = 0; i < 1000; ++i)
		text += static_cast<char> ('a' + i % 26);
	ChunkedStream stream (text);
	char buffer[64];
	int32 count = 0;
	EXPECT_EQ (stream.read (buffer, sizeof (buffer), &count), kResultOk);
	EXPECT_EQ (count, 1);
	EXPECT_EQ (stream.read (buffer, sizeof (buffer), &count), kResultOk);
	EXPECT_EQ (count, 7);
	EXPECT_EQ (contentOf (&stream), text);
}

TEST (TestHostStreams, FailingStreamsStoreAndDeliverNothingOrLess)
{
	FailingStream broken (FailingStream::Mode::kFail, "content");
	char buffer[16];
	int32 count = 99;
	EXPECT_EQ (broken.read (buffer, sizeof (buffer), &count), kResultFalse);
	EXPECT_EQ (count, 0);
	count = 99;
	EXPECT_EQ (broken.write (buffer, 4, &count), kResultFalse);
	EXPECT_EQ (count, 0);
	EXPECT_EQ (broken.bytes (), "content");

	FailingStream full (FailingStream::Mode::kShortWrite);
	char text[] = "abcdef";
	EXPECT_EQ (full.write (text, 6, &count), kResultOk);
	EXPECT_EQ (count, 5);
	EXPECT_EQ (full.bytes (), "abcde");
}

TEST (TestHostStreams, ALyingStreamOverstatesButNeverWritesPastTheBuffer)
{
	LyingStream stream ("0123456789", 3);
	char buffer[8];
	std::memset (buffer, '#', sizeof (buffer));
	int32 count = 0;
	EXPECT_EQ (stream.read (buffer, 4, &count), kResultOk);
	EXPECT_EQ (count, 7);
	EXPECT_EQ (std::string (buffer, 8), "0123####");
	stream.read (buffer, 8, &count);
	EXPECT_EQ (stream.read (buffer, 8, &count), kResultOk);
	EXPECT_EQ (count, 0);
}
