// The processor's side of the messages between the two components, on the
// built module: "KeloPoll" answered with "KeloTransport", "KeloState"
// taken over, everything else left to the SDK.
#include "Attribute.h"
#include "Message.h"
#include "MessageSender.h"
#include "LoadedPlugin.h"
#include "StreamText.h"

#include "StateTexts.h"

#include <gtest/gtest.h>

#include <string>

using namespace Steinberg;
using namespace Steinberg::Vst;
using kelo::testhost::sendMessage;

namespace {

using kelo::testing::kDefaultText;
using kelo::testing::kMaxStateBytes;

class ProcessorMessages : public kelo::testing::LoneProcessor {
 protected:
  IConnectionPoint* processor() { return instance->processorConnection(); }

  tresult sendState(const std::string& payload) {
    return sendMessage(processor(), "KeloState", {kelo::host::binaryAttribute("json", payload)});
  }

  std::string saved() {
    auto stream = owned(new kelo::host::BufferStream);
    EXPECT_EQ(instance->component()->getState(stream), kResultOk);
    return stream->bytes();
  }
};

// The texts themselves: HostileStateTest. Here, messages without one.
TEST_F(ProcessorMessages, AStateMessageWithoutABinaryJsonAttributeIsRefused) {
  ASSERT_EQ(sendState(R"({"script":"kept"})"), kResultOk);
  const std::string before = saved();
  EXPECT_EQ(sendMessage(processor(), "KeloState"), kResultFalse);
  EXPECT_EQ(sendMessage(processor(), "KeloState", {kelo::host::intAttribute("json", 1)}), kResultFalse);
  auto bare = owned(new kelo::host::Message);
  bare->setMessageID("KeloState");
  bare->dropAttributes();
  EXPECT_EQ(processor()->notify(bare), kResultFalse);
  EXPECT_EQ(saved(), before);
  EXPECT_TRUE(peer.messages().empty());
}

TEST_F(ProcessorMessages, APayloadOfExactlyTheLimitIsParsedAndOneByteMoreIsNot) {
  // Whitespace around the document counts in the payload.
  std::string payload = kDefaultText;
  payload.replace(payload.find("\"\""), 2, "\"lim\"");
  payload += std::string(kMaxStateBytes - payload.size(), ' ');
  ASSERT_EQ(payload.size(), kMaxStateBytes);
  EXPECT_EQ(sendState(payload), kResultOk);
  EXPECT_NE(saved().find("lim"), std::string::npos);

  payload.replace(payload.find("lim"), 3, "big");
  payload += ' ';
  EXPECT_EQ(sendState(payload), kResultFalse);
  EXPECT_EQ(saved().find("big"), std::string::npos);
}

TEST_F(ProcessorMessages, MessageIdsAreComparedExactly) {
  EXPECT_EQ(processor()->notify(nullptr), kInvalidArgument);
  auto unnamed = owned(new kelo::host::Message);
  EXPECT_EQ(processor()->notify(unnamed), kInvalidArgument);
  for (const char* id : {"KeloPollX", "kelopoll", "KeloPol", "KELOSTATE", "KeloTransport", ""})
    EXPECT_EQ(sendMessage(processor(), id), kResultFalse) << id;
  EXPECT_TRUE(peer.messages().empty());
}

TEST_F(ProcessorMessages, APollIsAnsweredBeforeNotifyReturnsOrFailsWhenTheReplyCannotBeMadeOrDelivered) {
  EXPECT_EQ(sendMessage(processor(), "KeloPoll"), kResultOk);
  ASSERT_EQ(peer.messages().size(), 1u);
  EXPECT_EQ(peer.messages()[0].id, std::string("KeloTransport"));
  peer.clear();

  instance->host().setPolicy(kelo::host::HostApplication::Messages::kRefuse);
  EXPECT_EQ(sendMessage(processor(), "KeloPoll"), kResultFalse);
  instance->host().setPolicy(kelo::host::HostApplication::Messages::kCreate);
  EXPECT_TRUE(peer.messages().empty());

  peer.setNotifyResult(kResultFalse);
  EXPECT_EQ(sendMessage(processor(), "KeloPoll"), kResultFalse);
  peer.setNotifyResult(kResultOk);

  peer.detach();
  EXPECT_EQ(sendMessage(processor(), "KeloPoll"), kResultFalse);
  ASSERT_EQ(peer.attach(processor()), kResultOk);
}

}  // namespace
