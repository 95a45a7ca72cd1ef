// Hostile and odd state texts through every route a text enters by: the
// processor's setState, the controller's setComponentState and a "KeloState"
// message. Each is either refused with the previous document kept, or read
// into the script stated.
#include "Attribute.h"
#include "LoadedPlugin.h"
#include "MessageSender.h"
#include "StreamText.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

using namespace Steinberg;
namespace testhost = kelo::testhost;

namespace {

const std::string kRefused = "<refused>";

std::string repeat (const std::string& piece, std::size_t times)
{
	std::string text;
	text.reserve (piece.size () * times);
	for (std::size_t i = 0; i < times; ++i)
		text += piece;
	return text;
}

std::string nested (const std::string& open, const std::string& close, std::size_t depth)
{
	return repeat (open, depth) + repeat (close, depth);
}

// 10,000 bars, each with `pieces` text pieces, and the script they migrate to.
std::string legacyBars (std::size_t pieces, std::string* script)
{
	std::string text = R"({"bars":[)";
	for (std::size_t bar = 1; bar <= 10000; ++bar)
	{
		text += bar > 1 ? ",[" : "[";
		std::string line;
		for (std::size_t piece = 0; piece < pieces; ++piece)
		{
			text += piece > 0 ? R"(,{"text":" w "})" : R"({"text":" w "})";
			line += piece > 0 ? " w" : "w";
		}
		text += "]";
		*script += "[" + std::to_string (bar) + "] " + line + "\n";
	}
	return text + "]}";
}

struct Case
{
	const char* name;
	std::function<std::string (std::string* script)> text; // sets the expected script, or kRefused
};

const Case kCases[] = {
    {"a NUL after a document and garbage",
     [] (std::string* s) { *s = kRefused; return std::string ("{\"language\":1}\0", 15) + repeat ("x", 1000); }},
    {"an empty object and a NUL", [] (std::string* s) { *s = kRefused; return std::string ("{}\0", 3); }},
    {"1 MiB of opening brackets", [] (std::string* s) { *s = kRefused; return repeat ("[", 1 << 20); }},
    {"deep nesting in the script", [] (std::string* s) { *s = kRefused; return R"({"script":)" + nested ("[", "]", 20000) + "}"; }},
    {"deep nesting under an unknown key",
     [] (std::string* s) { *s = kRefused; return R"({"x":)" + nested (R"({"a":)", "}", 100000) + "}"; }},
    {"shallow nesting under an unknown key",
     [] (std::string* s) { *s = "kept"; return R"({"script":"kept","x":)" + nested ("[", "]", 50) + "}"; }},
    {"millions of empty objects under an unknown key",
     [] (std::string* s) { *s = "many"; return R"({"x":[{})" + repeat (",{}", 200000) + R"(],"script":"many"})"; }},
    {"a number beyond the double range", [] (std::string* s) { *s = kRefused; return std::string (R"({"timerTicks":1e400})"); }},
    {"invalid UTF-8", [] (std::string* s) { *s = kRefused; return std::string ("{\"script\":\"\xC3\x28\"}"); }},
    {"a lone surrogate", [] (std::string* s) { *s = kRefused; return std::string (R"({"script":"\ud800"})"); }},
    {"a byte-order mark", [] (std::string* s) { *s = "bom"; return std::string ("\xEF\xBB\xBF{\"script\":\"bom\"}"); }},
    {"legacy bars of odd shapes and repeated keys",
     [] (std::string* s) {
	     *s = "[1] b\n[4] c\n[5] z\n";
	     return std::string (
	         R"({"bars":[[{"text":"a","text":5},{"text":"b"}],5,[[{"text":"no"}]],[{"text":{"x":1}},{"text":" c "}],[{"text":"y","text":"z"}]],"x":{"bars":1}})");
     }},
    {"the last of repeated bars wins", [] (std::string* s) { *s = "[1] b\n"; return std::string (R"({"bars":[[{"text":"a"}]],"bars":[[{"text":"b"}]]})"); }},
    {"legacy bars of real size", [] (std::string* s) { return legacyBars (5, s); }},
    {"10,001 legacy bars", [] (std::string* s) { *s = kRefused; return R"({"bars":[[])" + repeat (",[]", 10000) + "]}"; }},
    {"10,001 legacy bars beside a script",
     [] (std::string* s) { *s = "wins"; return R"({"script":"wins","bars":[0)" + repeat (",0", 10000) + "]}"; }},
};

using Route = std::function<tresult (testhost::PluginInstance&, const std::string&)>;

struct RouteCase
{
	const char* name;
	Route load;
	std::function<tresult (testhost::PluginInstance&, IBStream*)> save;
};

const RouteCase kRoutes[] = {
    {"processor setState", [] (auto& i, const std::string& t) { return i.component ()->setState (testhost::streamFrom (t)); },
     [] (auto& i, IBStream* s) { return i.component ()->getState (s); }},
    {"controller setComponentState",
     [] (auto& i, const std::string& t) { return i.controller ()->setComponentState (testhost::streamFrom (t)); },
     [] (auto& i, IBStream* s) { return i.controller ()->getState (s); }},
    {"KeloState message",
     [] (auto& i, const std::string& t) {
	     return testhost::sendMessage (i.processorConnection (), "KeloState", {testhost::binaryAttribute ("json", t)});
     },
     [] (auto& i, IBStream* s) { return i.component ()->getState (s); }},
};

class HostileState : public kelo::testing::LoneProcessor
{
protected:
	std::string saved (const RouteCase& route)
	{
		auto stream = owned (new testhost::BufferStream);
		EXPECT_EQ (route.save (*instance, stream), kResultOk);
		return stream->bytes ();
	}
};

TEST_F (HostileState, EachTextIsRefusedOrReadOnEveryRoute)
{
	for (const Case& item : kCases)
	{
		std::string script;
		const std::string text = item.text (&script);
		for (const RouteCase& route : kRoutes)
		{
			SCOPED_TRACE (std::string (item.name) + " via " + route.name);
			ASSERT_EQ (route.load (*instance, R"({"script":"before"})"), kResultOk);
			const std::string before = saved (route);
			if (script == kRefused)
			{
				EXPECT_EQ (route.load (*instance, text), kResultFalse);
				EXPECT_EQ (saved (route), before);
				continue;
			}
			EXPECT_EQ (route.load (*instance, text), kResultOk);
			const std::string after = saved (route);
			std::string expected = "\"";
			for (char c : script)
				expected += c == '\n' ? std::string ("\\n") : std::string (1, c);
			expected += '"';
			EXPECT_NE (after.find ("\"script\":" + expected), std::string::npos) << after.substr (0, 200);
		}
	}
}

} // namespace
