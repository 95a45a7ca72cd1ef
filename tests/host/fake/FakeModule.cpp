// A tiny plug-in module that exercises the test host the way the real one
// will: two classes through the SDK factory, message exchange through the
// host's messages, audio through the host's buffers. It logs the host calls
// whose order matters so the test host's teardown can be checked.

#include "public.sdk/source/main/pluginfactory.h"
#include "public.sdk/source/vst/vstaudioeffect.h"
#include "public.sdk/source/vst/vsteditcontroller.h"

#include "pluginterfaces/base/ibstream.h"
#include "pluginterfaces/vst/ivstprocesscontext.h"

#include <cstring>
#include <memory>
#include <string>

using namespace Steinberg;
using namespace Steinberg::Vst;

namespace {

int entryCount = 0;
int exitCount = 0;
std::string eventLog;

void logEvent (const char* event)
{
	if (!eventLog.empty ())
		eventLog += ",";
	eventLog += event;
}

const FUID kFakeProcessorUID (0x1A2B3C4D, 0x11112222, 0x33334444, 0x55556666);
const FUID kFakeControllerUID (0x4D3C2B1A, 0x66665555, 0x44443333, 0x22221111);
constexpr const char* kProcessorState = "fake-processor-state";

class FakeProcessor : public AudioEffect
{
public:
	FakeProcessor () { setControllerClass (kFakeControllerUID); }
	~FakeProcessor () override { logEvent ("processor.destroy"); }

	static FUnknown* createInstance (void*) { return static_cast<IAudioProcessor*> (new FakeProcessor); }

	tresult PLUGIN_API initialize (FUnknown* context) override
	{
		const tresult result = AudioEffect::initialize (context);
		if (result != kResultOk)
			return result;
		addAudioInput (u"In", SpeakerArr::kStereo);
		addAudioOutput (u"Out", SpeakerArr::kStereo);
		return kResultOk;
	}

	tresult PLUGIN_API terminate () override
	{
		logEvent ("processor.terminate");
		return AudioEffect::terminate ();
	}

	tresult PLUGIN_API disconnect (IConnectionPoint* other) override
	{
		logEvent ("processor.disconnect");
		return AudioEffect::disconnect (other);
	}

	tresult PLUGIN_API setActive (TBool state) override
	{
		logEvent (state ? "processor.active" : "processor.inactive");
		return AudioEffect::setActive (state);
	}

	tresult PLUGIN_API canProcessSampleSize (int32 size) override
	{
		return size == kSample32 || size == kSample64 ? kResultTrue : kResultFalse;
	}

	// Doubles every input sample into the output channel of the same index,
	// and notes what the block carried. A negative tempo asks it to allocate.
	tresult PLUGIN_API process (ProcessData& data) override
	{
		lastSamples = data.numSamples;
		contextSeen = data.processContext != nullptr;
		if (data.processContext)
		{
			lastPpq = data.processContext->projectTimeMusic;
			lastState = data.processContext->state;
			if (data.processContext->tempo < 0)
				scratch = std::make_unique<double[]> (64);
		}
		if (data.numInputs < 1 || data.numOutputs < 1 || data.numSamples <= 0)
			return kResultOk;
		AudioBusBuffers& in = data.inputs[0];
		AudioBusBuffers& out = data.outputs[0];
		const bool wide = data.symbolicSampleSize == kSample64;
		for (int32 c = 0; c < out.numChannels && c < in.numChannels; ++c)
		{
			for (int32 i = 0; i < data.numSamples; ++i)
			{
				if (wide && in.channelBuffers64[c] && out.channelBuffers64[c])
					out.channelBuffers64[c][i] = in.channelBuffers64[c][i] * 2.0;
				else if (!wide && in.channelBuffers32[c] && out.channelBuffers32[c])
					out.channelBuffers32[c][i] = in.channelBuffers32[c][i] * 2.0f;
			}
		}
		return kResultOk;
	}

	// "Echo" is answered with "EchoReply": value + 1, the same blob, and what
	// the last block carried.
	tresult PLUGIN_API notify (IMessage* message) override
	{
		if (!message || !message->getMessageID () || std::strcmp (message->getMessageID (), "Echo") != 0)
			return AudioEffect::notify (message);
		int64 value = 0;
		message->getAttributes ()->getInt ("value", value);
		const void* blob = nullptr;
		uint32 blobSize = 0;
		message->getAttributes ()->getBinary ("blob", blob, blobSize);
		auto reply = owned (allocateMessage ());
		if (!reply)
			return kResultFalse;
		reply->setMessageID ("EchoReply");
		reply->getAttributes ()->setInt ("value", value + 1);
		reply->getAttributes ()->setBinary ("blob", blob, blobSize);
		reply->getAttributes ()->setInt ("samples", lastSamples);
		reply->getAttributes ()->setInt ("context", contextSeen ? 1 : 0);
		reply->getAttributes ()->setInt ("state", lastState);
		reply->getAttributes ()->setFloat ("ppq", lastPpq);
		return sendMessage (reply);
	}

	tresult PLUGIN_API getState (IBStream* stream) override
	{
		if (!stream)
			return kInvalidArgument;
		int32 written = 0;
		const auto size = static_cast<int32> (std::strlen (kProcessorState));
		stream->write (const_cast<char*> (kProcessorState), size, &written);
		return written == size ? kResultOk : kResultFalse;
	}

private:
	int32 lastSamples = -1;
	bool contextSeen = false;
	uint32 lastState = 0;
	double lastPpq = 0.0;
	std::unique_ptr<double[]> scratch;
};

class FakeController : public EditController
{
public:
	~FakeController () override { logEvent ("controller.destroy"); }

	static FUnknown* createInstance (void*) { return static_cast<IEditController*> (new FakeController); }

	tresult PLUGIN_API terminate () override
	{
		logEvent ("controller.terminate");
		return EditController::terminate ();
	}

	tresult PLUGIN_API disconnect (IConnectionPoint* other) override
	{
		logEvent ("controller.disconnect");
		return EditController::disconnect (other);
	}

	// "Ping" sends "Echo" to the processor and answers kResultOk only when
	// the reply came back inside that send (direct delivery). "MarkDirty"
	// reaches the host's IComponentHandler2 if it has one.
	tresult PLUGIN_API notify (IMessage* message) override
	{
		const char* id = message ? message->getMessageID () : nullptr;
		if (id && std::strcmp (id, "EchoReply") == 0)
		{
			message->getAttributes ()->getInt ("value", lastReply);
			return kResultOk;
		}
		if (id && std::strcmp (id, "Ping") == 0)
		{
			auto echo = owned (allocateMessage ());
			if (!echo)
				return kResultFalse;
			echo->setMessageID ("Echo");
			echo->getAttributes ()->setInt ("value", 7);
			lastReply = 0;
			sendMessage (echo);
			return lastReply == 8 ? kResultOk : kResultFalse;
		}
		if (id && std::strcmp (id, "MarkDirty") == 0)
		{
			FUnknownPtr<IComponentHandler2> dirty (componentHandler);
			return dirty ? dirty->setDirty (true) : kResultFalse;
		}
		return EditController::notify (message);
	}

	tresult PLUGIN_API setComponentState (IBStream* stream) override
	{
		if (!stream)
			return kInvalidArgument;
		std::string text;
		char block[16];
		int32 count = 0;
		while (stream->read (block, sizeof (block), &count) == kResultOk && count > 0)
			text.append (block, static_cast<size_t> (count));
		saved = text;
		return kResultOk;
	}

	tresult PLUGIN_API getState (IBStream* stream) override
	{
		if (!stream)
			return kInvalidArgument;
		int32 written = 0;
		stream->write (saved.data (), static_cast<int32> (saved.size ()), &written);
		return kResultOk;
	}

private:
	int64 lastReply = 0;
	std::string saved;
};

} // namespace

extern "C" {

SMTG_EXPORT_SYMBOL bool ModuleEntry (void*)
{
	++entryCount;
#ifdef KELO_FAKE_REFUSE_ENTRY
	return false;
#else
	return true;
#endif
}

SMTG_EXPORT_SYMBOL bool ModuleExit ()
{
	++exitCount;
	return true;
}

SMTG_EXPORT_SYMBOL IPluginFactory* PLUGIN_API GetPluginFactory ()
{
	if (gPluginFactory)
	{
		gPluginFactory->addRef ();
		return gPluginFactory;
	}
	static const PFactoryInfo factoryInfo ("Kelo Fake", "", "", PFactoryInfo::kUnicode);
	auto* factory = new CPluginFactory (factoryInfo);
	static const PClassInfo2 processorInfo (kFakeProcessorUID.toTUID (), PClassInfo::kManyInstances,
	                                        kVstAudioEffectClass, "Fake", kDistributable, "Fx",
	                                        "", "1.0", kVstVersionString);
	static const PClassInfo2 controllerInfo (kFakeControllerUID.toTUID (), PClassInfo::kManyInstances,
	                                         kVstComponentControllerClass, "Fake Controller", 0, "",
	                                         "", "1.0", kVstVersionString);
	factory->registerClass (&processorInfo, FakeProcessor::createInstance);
	factory->registerClass (&controllerInfo, FakeController::createInstance);
	gPluginFactory = factory;
	return factory;
}

// The test's window into the module: entry and exit counts, the factory's
// reference count, and the log of ordered host calls (cleared by reading).
SMTG_EXPORT_SYMBOL void FakeModuleCounters (int* entries, int* exits, int* factoryReferences)
{
	*entries = entryCount;
	*exits = exitCount;
	*factoryReferences = 0;
	if (gPluginFactory)
	{
		gPluginFactory->addRef ();
		*factoryReferences = static_cast<int> (gPluginFactory->release ());
	}
}

SMTG_EXPORT_SYMBOL void FakeTakeEventLog (char* buffer, int size)
{
	std::strncpy (buffer, eventLog.c_str (), static_cast<size_t> (size) - 1);
	buffer[size - 1] = 0;
	eventLog.clear ();
}

} // extern "C"
