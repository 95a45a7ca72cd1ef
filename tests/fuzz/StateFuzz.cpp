// Any bytes as a saved state: reading never crashes, and whatever it
// accepts is a complete document that reads back as itself.
#include "StateStream.h"

#include "public.sdk/source/common/memorystream.h"

#include <cstdint>
#include <cstdlib>
#include <string>

using namespace Steinberg;

namespace {

void require (bool condition)
{
	if (!condition)
		std::abort ();
}

bool readBytes (const std::string& bytes, kelo::json& out)
{
	auto* stream = new MemoryStream (const_cast<char*> (bytes.data ()), static_cast<TSize> (bytes.size ()));
	const bool ok = kelo::readStateStream (stream, out);
	stream->release ();
	return ok;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput (const std::uint8_t* data, std::size_t size)
{
	const std::string bytes (reinterpret_cast<const char*> (data), size);
	kelo::json document = "untouched";
	if (!readBytes (bytes, document))
	{
		require (document == "untouched");
		return 0;
	}
	require (document.is_object () && document.size () == 8);
	const int ticks = document["timerTicks"].get<int> ();
	const int unit = document["timerUnit"].get<int> ();
	const int language = document["language"].get<int> ();
	require (ticks >= 1 && ticks <= 256 && unit >= 0 && unit <= 3 && language >= 0 && language <= 5);
	require (document["version"] == 2 && document["script"].is_string ());

	const std::string text = kelo::stateText (document);
	require (text.size () <= kelo::kMaxStateBytes);
	kelo::json again;
	require (readBytes (text, again) && again == document);
	return 0;
}
