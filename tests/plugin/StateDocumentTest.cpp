// The StateDocument's text form and normalizeState, checked on the core
// library both components link.
#include "StateDocument.h"

#include "StateTexts.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <tuple>

namespace kelo {
namespace {

using kelo::testing::kDefaultText;


json normalized (const std::string& text)
{
	return normalizeState (json::parse (text));
}

// Runs normalizeState and returns the message of what it threw, or "" if it
// did not throw.
std::string rejection (const json& input)
{
	try
	{
		normalizeState (input);
	}
	catch (const std::exception& error)
	{
		return error.what ();
	}
	return "";
}

std::string typeError (int id, const std::string& text)
{
	return "[json.exception.type_error." + std::to_string (id) + "] " + text;
}

TEST (StateDocumentText, DefaultDocumentIsTheFixedCompactText)
{
	EXPECT_EQ (stateText (makeDefaultState ()), kDefaultText);
	EXPECT_EQ (stateText (makeDefaultState ()).size (), 131u);
}

TEST (StateDocumentText, NonAsciiIsRawUtf8AndControlCharactersAreEscaped)
{
	json document = makeDefaultState ();
	document["script"] = "\xC3\xA9";
	EXPECT_NE (stateText (document).find ("\"script\":\"\xC3\xA9\""), std::string::npos);

	document["script"] = std::string ("a\nb\x01/c", 6);
	EXPECT_NE (stateText (document).find (R"("script":"a\nb\u0001/c")"), std::string::npos);
}

TEST (StateDocumentText, KeysAreWrittenInByteOrderWhateverTheInsertionOrder)
{
	json document = json::object ();
	document["version"] = 2;
	document["timerUnit"] = 2;
	document["script"] = "";
	document["language"] = 0;
	document["autoFill"] = true;
	document["nextLine"] = true;
	document["timerTicks"] = 1;
	document["displayMode"] = 0;
	document["barsPerLine"] = 2;
	EXPECT_EQ (stateText (document), kDefaultText);
}

TEST (StateDocumentText, InvalidUtf8IsRefused)
{
	json document = makeDefaultState ();
	document["script"] = std::string ("\xFF\xFE");
	EXPECT_THROW (stateText (document), json::type_error);
}

TEST (NormalizeState, EmptyObjectGivesTheDefaultDocument)
{
	EXPECT_EQ (stateText (normalized ("{}")), kDefaultText);
}

TEST (NormalizeState, ValuesThatAreNotObjectsAreRefused)
{
	for (const char* text : {"[]", "\"text\"", "42", "null"})
		EXPECT_EQ (rejection (json::parse (text)), "State must be an object") << text;
}

TEST (NormalizeState, UnknownKeysAndTheInputVersionAreDropped)
{
	json result = normalized (R"({"version":1,"extra":[1,2],"script":"x"})");
	EXPECT_EQ (result["version"], 2);
	EXPECT_FALSE (result.contains ("extra"));
	EXPECT_EQ (result.size (), 9u);
	EXPECT_EQ (normalized (R"({"version":"new"})")["version"], 2);
}

TEST (NormalizeState, ScriptWinsOverLegacyBarsWhichAreThenNotLookedAt)
{
	EXPECT_EQ (normalized (R"({"script":"a","bars":"x"})")["script"], "a");
}

TEST (NormalizeState, LegacyBarsBecomeAScriptWithTheirOwnBarNumbers)
{
	json result = normalized (
	    R"({"bars":[[{"text":" Hello "},{"text":"world"}],[],[{"text":"\t"}],[{"text":"again"}]]})");
	EXPECT_EQ (result["script"], "[1] Hello world\n[4] again\n");
}

TEST (NormalizeState, LegacyPiecesOfTheWrongShapeAreSkipped)
{
	json result =
	    normalized (R"({"bars":[[{"text":5},"bare",{"other":"x"},{"text":"kept"}],"notAnArray"]})");
	EXPECT_EQ (result["script"], "[1] kept\n");
}

TEST (NormalizeState, LegacyTextKeepsInnerLineBreaksAndOnlyTrimsItsBlankEnds)
{
	json result = normalized (R"({"bars":[[{"text":"\r\n a\nb \u00a0"}]]})");
	EXPECT_EQ (result["script"], "[1] a\nb \xC2\xA0\n");
}

TEST (NormalizeState, LegacyBarsAreBounded)
{
	EXPECT_EQ (normalized (R"({"bars":[]})")["script"], "");
	EXPECT_EQ (rejection (json::parse (R"({"bars":{}})")), "Invalid legacy bars");
	EXPECT_EQ (rejection (json::parse (R"({"bars":null})")), "Invalid legacy bars");

	json bars = json::array ();
	for (int i = 0; i < 10000; ++i)
		bars.push_back (json::array ());
	bars.back () = json::parse (R"([{"text":"last"}])");
	EXPECT_EQ (normalizeState (json {{"bars", bars}})["script"], "[10000] last\n");
	bars.push_back (json::array ());
	EXPECT_EQ (rejection (json {{"bars", bars}}), "Invalid legacy bars");
}

struct Clamping
{
	const char* input;
	const char* key;
	int expected;
};

TEST (NormalizeState, IntegerSettingsAreConvertedAndClamped)
{
	const Clamping cases[] = {
	    {R"({"timerTicks":0})", "timerTicks", 1},
	    {R"({"timerTicks":300})", "timerTicks", 256},
	    {R"({"timerTicks":2.9})", "timerTicks", 2},
	    {R"({"timerTicks":-0.5})", "timerTicks", 1},
	    {R"({"timerTicks":true})", "timerTicks", 1},
	    {R"({"timerUnit":7})", "timerUnit", 3},
	    {R"({"timerUnit":false})", "timerUnit", 0},
	    {R"({"language":-1})", "language", 0},
	    {R"({"language":4})", "language", 4},
	    {R"({"displayMode":true})", "displayMode", 1},
	    {R"({"barsPerLine":0})", "barsPerLine", 1},
	    {R"({"barsPerLine":17})", "barsPerLine", 16},
	    // Integers keep their low 32 bits: 2^32 + 5 is 5.
	    {R"({"timerTicks":4294967301})", "timerTicks", 5},
	    // 2^32 - 1 is -1 in 32 bits, clamped to the lower bound.
	    {R"({"timerTicks":4294967295})", "timerTicks", 1},
	    {R"({"timerTicks":18446744073709551615})", "timerTicks", 1},
	};
	for (const auto& c : cases)
	{
		json result = normalized (c.input);
		EXPECT_EQ (result[c.key], c.expected) << c.input;
		EXPECT_TRUE (result[c.key].is_number_integer ()) << c.input;
	}
}

TEST (NormalizeState, FloatingPointValuesBeyondThe32BitRangeSaturate)
{
	EXPECT_EQ (normalized (R"({"timerTicks":1e300})")["timerTicks"], 256);
	EXPECT_EQ (normalized (R"({"timerTicks":-1e300})")["timerTicks"], 1);
	EXPECT_EQ (normalized (R"({"language":3e9})")["language"], 5);
	EXPECT_EQ (normalized (R"({"timerUnit":-3e9})")["timerUnit"], 0);
	EXPECT_EQ (normalized (R"({"timerTicks":2147483647.5})")["timerTicks"], 256);
}

// Wrong types are refused with the library's message; autoFill takes only booleans,
// nextLine numbers too.
TEST (NormalizeState, EachKeyTakesItsTypesAndRefusesOthersWithTheLibrarysMessage)
{
	const std::string string = "type must be string, but is ", number = "type must be number, but is ",
	                  boolean = "type must be boolean, but is ";
	// [input, key, the key's value in the result or the refusal's message]
	const std::tuple<const char*, const char*, json> cases[] = {
	    {R"({"script":5})", "", typeError (302, string + "number")}, {R"({"script":null})", "", typeError (302, string + "null")},
	    {R"({"timerTicks":"4"})", "", typeError (302, number + "string")}, {R"({"language":null})", "", typeError (302, number + "null")},
	    {R"({"displayMode":[1]})", "", typeError (302, number + "array")}, {R"({"autoFill":1})", "", typeError (302, boolean + "number")},
	    {R"({"nextLine":"on"})", "", typeError (302, boolean + "string")}, {R"({"nextLine":null})", "", typeError (302, boolean + "null")},
	    {R"({"autoFill":false})", "autoFill", false}, {R"({"nextLine":false})", "nextLine", false}, {"{}", "nextLine", true},
	    {R"({"nextLine":0})", "nextLine", false}, {R"({"nextLine":-0.0})", "nextLine", false},
	    {R"({"nextLine":0.25})", "nextLine", true}, {R"({"nextLine":18446744073709551615})", "nextLine", true}};
	for (const auto& [input, key, expected] : cases)
		EXPECT_EQ (*key ? normalized (input)[key] : json (rejection (json::parse (input))), expected) << input;
}

TEST (NormalizeState, TheFirstFaultInCheckingOrderDecides)
{
	EXPECT_EQ (rejection (json::parse (R"({"autoFill":1,"timerTicks":"x","script":2})")),
	           typeError (302, "type must be string, but is number"));
	EXPECT_EQ (rejection (json::parse (R"({"autoFill":1,"timerTicks":"x"})")),
	           typeError (302, "type must be number, but is string"));
}

TEST (NormalizeState, ResultTextMayBeExactlyTheLimitButNotOneByteMore)
{
	const std::size_t room = kMaxStateBytes - kDefaultText.size ();
	json input = {{"script", std::string (room, 'a')}};
	EXPECT_EQ (stateText (normalizeState (input)).size (), kMaxStateBytes);

	input["script"] = std::string (room + 1, 'a');
	EXPECT_EQ (rejection (input), "State too large");
	// Escapes count in the text: a line break is two bytes there.
	input["script"] = std::string (room / 2 + 1, '\n');
	EXPECT_EQ (rejection (input), "State too large");
}

TEST (NormalizeState, InvalidUtf8InAScriptBuiltInMemoryIsRefused)
{
	json input = {{"script", std::string ("ok\xC3")}};
	EXPECT_THROW (normalizeState (input), json::type_error);
}

TEST (NormalizeState, InputIsNotChanged)
{
	const json input = json::parse (R"({"timerTicks":999,"extra":1})");
	const json copy = input;
	normalizeState (input);
	EXPECT_EQ (input, copy);
}

} // namespace
} // namespace kelo
