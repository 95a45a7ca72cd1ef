// The controller's page functions and its state store, called the way the
// page calls them: call messages through the web view's bindings, answered
// by settling scripts. The processor is the real one, connected directly.
#include "Controller.h"
#include "Processor.h"
#include "ids.h"

#include "HostApplication.h"
#include "MessageSender.h"
#include "RecordingComponentHandler.h"
#include "RecordingWebview.h"
#include "StreamText.h"

#include "pluginterfaces/vst/ivstprocesscontext.h"

#include "StateTexts.h"

#include <gtest/gtest.h>

#if !defined(_WIN32)
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <string>

using namespace Steinberg;
using kelo::json;
using kelo::host::HostApplication;
using kelo::host::intAttribute;
using kelo::host::RecordingComponentHandler;
using kelo::testhost::sendMessage;
using kelo::testhost::streamFrom;

namespace {

using kelo::testing::kDefaultText;

const std::string kDefaultTransport =
    R"({"beatsPerBar":4.0,"denominator":4,"hasPpq":false,"hasTempo":false,"numerator":4,"playing":false,"ppq":0.0,"tempo":0.0})";

// What the page saw: the value a call's Promise settled with, and how.
struct Settlement {
  bool answered = false, resolved = false;
  json value;
};

std::string fileText(const std::string& path) {
  std::ifstream file(path);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

class PageFunctions : public ::testing::Test {
 protected:
  IPtr<HostApplication> host = owned(new HostApplication);
  IPtr<RecordingComponentHandler> handler = owned(new RecordingComponentHandler);
  IPtr<kelo::Processor> processor = owned(new kelo::Processor);
  IPtr<kelo::Controller> controller = owned(new kelo::Controller);
  webhost::testing::RecordingWebview webview;
  int nextSeq = 1;

  void SetUp() override {
    ASSERT_EQ(processor->initialize(host), kResultOk);
    ASSERT_EQ(controller->initialize(host), kResultOk);
    connect();
    ASSERT_EQ(controller->setComponentHandler(handler), kResultOk);
    controller->Bind(&webview);
  }

  void TearDown() override {
    disconnect();
    controller->terminate();
    processor->terminate();
  }

  void connect() {
    processor->connect(controller);
    controller->connect(processor);
  }

  void disconnect() {
    processor->disconnect(controller);
    controller->disconnect(processor);
  }

  // Posts a call message as the page's stub does and reads the settling script.
  Settlement call(const std::string& name, const json& params) {
    const int seq = nextSeq++;
    json message = {{"id", seq}, {"method", name}};
    if (!params.is_discarded()) message["params"] = params;
    const std::size_t before = webview.evaluations.size();
    webview.OnBrowserMessage(message.dump());
    if (webview.evaluations.size() == before) return {};
    const std::string script = webview.evaluations.back().script;
    static const std::regex settle(R"(^window\._rpc\[(-?\d+)\]\.(resolve|reject)\((.*)\); delete window\._rpc\[\1\]$)");
    std::smatch match;
    EXPECT_TRUE(std::regex_match(script, match, settle)) << script;
    EXPECT_EQ(match[1].str(), std::to_string(seq));
    return {true, match[2].str() == "resolve", json::parse(match[3].str())};
  }

  json poll(const json& params) {
    Settlement answer = call("keloRead", params);
    EXPECT_TRUE(answer.answered && answer.resolved);
    return answer.value;
  }

  std::string processorState() {
    auto stream = owned(new kelo::host::BufferStream);
    EXPECT_EQ(processor->getState(stream), kResultOk);
    return stream->bytes();
  }

  void play(double ppq, int numerator, int denominator, double tempo = 0.0) {
    Vst::ProcessContext context{};
    context.state = Vst::ProcessContext::kPlaying | Vst::ProcessContext::kProjectTimeMusicValid |
                    Vst::ProcessContext::kTimeSigValid | (tempo != 0.0 ? Vst::ProcessContext::kTempoValid : 0);
    context.tempo = tempo;
    context.projectTimeMusic = ppq;
    context.timeSigNumerator = numerator;
    context.timeSigDenominator = denominator;
    Vst::ProcessData data{};
    data.processContext = &context;
    processor->process(data);
  }
};

TEST_F(PageFunctions, APollCarriesTheStateUnlessItNamesTheCurrentRevisionAsAnInteger) {
  json snapshot = poll({-1});
  EXPECT_TRUE(snapshot["revision"].is_number_unsigned());
  EXPECT_EQ(snapshot.dump(), R"({"revision":0,"state":)" + kDefaultText + R"(,"transport":)" + kDefaultTransport + "}");
  EXPECT_EQ(poll({0}).dump(), R"({"revision":0,"transport":)" + kDefaultTransport + "}");

  for (int i = 0; i < 3; ++i) ASSERT_EQ(controller->setComponentState(streamFrom(kDefaultText)), kResultOk);
  const std::pair<json, bool> cases[] = {{{3}, false},
                                         {json::array({3u, "extra"}), false},
                                         {{3.0}, true},
                                         {{"3"}, true},
                                         {{true}, true},
                                         {json::array(), true},
                                         {json(json::value_t::discarded), true},
                                         {json::object(), true},
                                         // 2^32 + 3 is not revision 3: the comparison is on 64 bits.
                                         {{4294967299LL}, true}};
  for (const auto& [params, carries] : cases) EXPECT_EQ(poll(params).contains("state"), carries) << params.dump();
}

TEST_F(PageFunctions, EveryHostLoadRaisesTheRevisionAndAFailedOneDoesNot) {
  EXPECT_EQ(controller->setComponentState(streamFrom(kDefaultText)), kResultOk);
  EXPECT_EQ(poll({-1})["revision"], 1);
  EXPECT_EQ(controller->setState(streamFrom(R"({"script":"[2] x"})")), kResultOk);
  EXPECT_EQ(poll({1})["state"]["script"], "[2] x");

  EXPECT_EQ(controller->setComponentState(nullptr), kResultFalse);
  EXPECT_EQ(controller->setComponentState(streamFrom("")), kResultFalse);
  EXPECT_EQ(controller->setState(streamFrom("[]")), kResultFalse);
  json snapshot = poll({-1});
  EXPECT_EQ(snapshot["revision"], 2);
  EXPECT_EQ(snapshot["state"]["script"], "[2] x");
}

TEST_F(PageFunctions, APollBringsTheTransportOfThatVeryPoll) {
  play(37.5, 6, 8, 96.5);
  EXPECT_EQ(
      poll({0})["transport"].dump(),
      R"({"beatsPerBar":3.0,"denominator":8,"hasPpq":true,"hasTempo":true,"numerator":6,"playing":true,"ppq":37.5,"tempo":96.5})");
  play(-2.0, 7, 8);
  // Switching off stops the transport until the next block.
  processor->setActive(true);
  processor->setActive(false);
  EXPECT_EQ(
      poll({0})["transport"].dump(),
      R"({"beatsPerBar":3.5,"denominator":8,"hasPpq":false,"hasTempo":false,"numerator":7,"playing":false,"ppq":-2.0,"tempo":0.0})");
  processor->setActive(true);
  play(1.0, 7, 8);
  EXPECT_EQ(poll({0})["transport"]["playing"], true);
}

// Without a processor the poll answers the transport last received, which
// only a message named exactly "KeloTransport" replaces, wholly.
TEST_F(PageFunctions, WithoutAProcessorThePollAnswersTheCachedTransport) {
  play(8.0, 3, 4);
  poll({0});
  disconnect();
  play(99.0, 4, 4);
  EXPECT_EQ(poll({0})["transport"]["ppq"], 8.0);

  EXPECT_EQ(controller->notify(nullptr), kInvalidArgument);
  for (const char* id : {"kelotransport", "KeloTransportX"})
    EXPECT_EQ(sendMessage(controller, id, {intAttribute("playing", 2)}), kResultFalse) << id;
  EXPECT_EQ(poll({0})["transport"]["ppq"], 8.0);
  const std::size_t scripts = webview.evaluations.size();
  EXPECT_EQ(sendMessage(controller, "KeloTransport", {intAttribute("playing", 2)}), kResultOk);
  EXPECT_EQ(webview.evaluations.size(), scripts);
  EXPECT_EQ(
      poll({0})["transport"].dump(),
      R"({"beatsPerBar":4.0,"denominator":4,"hasPpq":false,"hasTempo":false,"numerator":4,"playing":true,"ppq":0.0,"tempo":0.0})");
  connect();
  EXPECT_EQ(poll({0})["transport"]["ppq"], 99.0);
}

TEST_F(PageFunctions, AWriteReachesTheProcessorMarksTheProjectAndKeepsTheRevision) {
  ASSERT_EQ(controller->setComponentState(streamFrom(kDefaultText)), kResultOk);
  Settlement answer =
      call("keloWrite", {{{"script", "[1] Hi \xC3\xA9"}, {"timerTicks", 2.5}, {"nextLine", 0}, {"extra", 1}}});
  EXPECT_TRUE(answer.resolved);
  EXPECT_EQ(answer.value, true);

  const std::string written =
      R"({"autoFill":true,"barsPerLine":2,"displayMode":0,"language":0,"nextLine":false,"script":"[1] Hi )"
      "\xC3\xA9"
      R"(","timerTicks":2,"timerUnit":2,"version":2})";
  EXPECT_EQ(processorState(), written);
  EXPECT_EQ(handler->dirtyCount(), 1);
  EXPECT_TRUE(handler->lastDirty());

  // Not sent back to the page that wrote it, but held for a page that asks.
  EXPECT_FALSE(poll({1}).contains("state"));
  EXPECT_EQ(poll({-1})["state"].dump(), written);
  auto saved = owned(new kelo::host::BufferStream);
  EXPECT_EQ(controller->getState(saved), kResultOk);
  EXPECT_EQ(saved->bytes(), written);
}

TEST_F(PageFunctions, InvalidWritesAreRejectedAndReachNobody) {
  const json refused[] = {json(json::value_t::discarded),
                          json(),
                          json::array(),
                          json::array({json::array()}),
                          json::array({5}),
                          json::array({"text"}),
                          json::array({{{"autoFill", 1}}}),
                          json::array({{{"nextLine", "on"}}}),
                          json::object()};
  for (const json& params : refused) {
    Settlement answer = call("keloWrite", params);
    EXPECT_TRUE(answer.answered && !answer.resolved) << params.dump();
    EXPECT_EQ(answer.value, "Invalid native request") << params.dump();
  }
  EXPECT_EQ(processorState(), kDefaultText);
  EXPECT_EQ(handler->dirtyCount(), 0);
  EXPECT_EQ(poll({-1})["state"].dump(), kDefaultText);
}

// An edit made on a document the host has since replaced must not overwrite
// it; a write that names no revision is taken as before.
TEST_F(PageFunctions, AWriteMadeOnAnOlderDocumentIsRefused) {
  ASSERT_EQ(controller->setComponentState(streamFrom(kDefaultText)), kResultOk);
  const std::pair<const char*, bool> cases[] = {
      {R"([{"script":"stale"},0])", false},  {R"([{"script":"early"},-1])", false},
      {R"([{"script":"current"},1])", true}, {R"([{"script":"plain"}])", true},
      {R"([{"script":"null"},null])", true}, {R"([{"script":"stale again"},4294967297])", false}};
  for (const auto& [text, accepted] : cases) {
    const json params = json::parse(text);
    const std::string before = processorState();
    Settlement answer = call("keloWrite", params);
    EXPECT_TRUE(answer.resolved) << text;
    EXPECT_EQ(answer.value, accepted) << text;
    EXPECT_EQ(poll({-1})["state"]["script"] == params[0]["script"], accepted) << text;
    EXPECT_EQ(processorState() != before, accepted) << text;
  }
  EXPECT_EQ(handler->dirtyCount(), 3);
}

TEST_F(PageFunctions, AWriteNobodyCanReceiveResolvesFalseAndChangesNothing) {
  disconnect();
  EXPECT_EQ(call("keloWrite", {{{"script", "lost"}}}).value, false);
  connect();
  host->setPolicy(HostApplication::Messages::kRefuse);
  Settlement answer = call("keloWrite", {{{"script", "lost"}}});
  EXPECT_TRUE(answer.resolved);
  EXPECT_EQ(answer.value, false);
  host->setPolicy(HostApplication::Messages::kCreate);
  EXPECT_EQ(handler->dirtyCount(), 0);
  EXPECT_EQ(processorState(), kDefaultText);
  EXPECT_EQ(poll({-1})["state"].dump(), kDefaultText);
}

TEST_F(PageFunctions, AHostWithoutTheDirtyFlagStillGetsTheWrite) {
  auto oldHandler = owned(new RecordingComponentHandler(false));
  controller->setComponentHandler(oldHandler);
  EXPECT_EQ(call("keloWrite", {{{"script", "kept"}}}).value, true);
  EXPECT_EQ(oldHandler->dirtyCount(), 0);
  EXPECT_NE(processorState().find("kept"), std::string::npos);
}

TEST(BrandLinkAddress, IsTheOneThePageLinksTo) {
  EXPECT_NE(fileText(std::string(KELO_SOURCE_DIR) + "/web/index.html")
                .find(std::string("id=\"brand-link\" class=\"brand-link\" href=\"") + kelo::kMakerUrl + "\""),
            std::string::npos);
}

#if !defined(_WIN32)
// The desktop's opener is replaced by a script that writes down what it was
// asked to open; it runs on its own, so its record is waited for.
class BrandLink : public PageFunctions {
 protected:
  const std::string folder = ::testing::TempDir() + "kelo-opener-" + std::to_string(getpid());

  void SetUp() override {
    PageFunctions::SetUp();
    std::filesystem::create_directories(folder);
    std::ofstream(folder + "/opener") << "#!/bin/sh\nprintf '%s|%s' \"$1\" \"$#\" > '" << folder << "/tmp' && mv '"
                                      << folder << "/tmp' '" << folder << "/opened'\n";
    ASSERT_EQ(chmod((folder + "/opener").c_str(), 0755), 0);
    setenv("KELO_STANDIN_OPENER", (folder + "/opener").c_str(), 1);
  }

  void TearDown() override {
    unsetenv("KELO_STANDIN_OPENER");
    std::filesystem::remove_all(folder);
    PageFunctions::TearDown();
  }

  std::string opened() {
    for (int i = 0; i < 500 && !std::filesystem::exists(folder + "/opened"); ++i) usleep(10000);
    const std::string text = fileText(folder + "/opened");
    std::filesystem::remove(folder + "/opened");
    return text;
  }
};

TEST_F(BrandLink, OpensTheMakersPageIgnoringArgumentsOrResolvesFalseWhenTheShellCannot) {
  for (const json& params : {json::array(), json{1, 2}}) {
    Settlement answer = call("keloOpenBrand", params);
    EXPECT_TRUE(answer.resolved);
    EXPECT_EQ(answer.value, true);
    EXPECT_EQ(opened(), std::string(kelo::kMakerUrl) + "|1");
  }
  setenv("KELO_STANDIN_OPENER", (folder + "/missing-opener").c_str(), 1);
  Settlement answer = call("keloOpenBrand", json::array());
  EXPECT_TRUE(answer.resolved);
  EXPECT_EQ(answer.value, false);
}

#endif

}  // namespace
