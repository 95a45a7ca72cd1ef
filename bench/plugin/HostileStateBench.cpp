// Reading hostile saved states of up to 8 MiB beside a plain 8 MiB document,
// measured in the same run: the time and the peak of heap memory each read
// takes, as ratios to the plain document's. The goal is at most 3x the time
// and 4x the memory for every one.
#include "StateStream.h"

#include "public.sdk/source/common/memorystream.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <malloc.h>
#include <new>
#include <string>
#include <vector>

namespace {

std::atomic<std::size_t> liveBytes{0};
std::atomic<std::size_t> peakBytes{0};

void counted(void* block) {
  if (!block) throw std::bad_alloc();
  const std::size_t now = liveBytes += malloc_usable_size(block);
  std::size_t peak = peakBytes.load();
  while (now > peak && !peakBytes.compare_exchange_weak(peak, now)) {
  }
}

}  // namespace

void* operator new(std::size_t size) {
  void* block = std::malloc(size == 0 ? 1 : size);
  counted(block);
  return block;
}

void operator delete(void* block) noexcept {
  if (!block) return;
  liveBytes -= malloc_usable_size(block);
  std::free(block);
}

void operator delete(void* block, std::size_t) noexcept {
  operator delete(block);
}

namespace {

constexpr std::size_t kEight = 8u << 20;

std::string fill(std::string head, const std::string& piece, const std::string& tail, std::size_t size = kEight) {
  while (head.size() + piece.size() + tail.size() <= size) head += piece;
  return head + tail;
}

std::string plainDocument() {
  // Room for the settings the document gains, so that it is accepted.
  return fill(R"({"script":")", "[12] Somewhere over the harbour lights we sing again \\n", R"("})", kEight - 256);
}

// 10,000 bars of `perBar` pieces; 0 fits as many as 8 MiB hold.
std::string legacyBars(std::size_t perBar = 0) {
  const std::string piece = R"({"text":" word "},)";
  if (perBar == 0) perBar = (kEight - 64) / 10000 / piece.size();
  std::string bar = "[";
  for (std::size_t i = 0; i < perBar; ++i) bar += piece;
  bar.back() = ']';
  std::string text = R"({"bars":[)";
  for (int i = 0; i < 10000; ++i) text += (i ? "," : "") + bar;
  return text + "]}";
}

struct Document {
  const char* name;
  std::string text;
};

struct Measure {
  double seconds = 0;
  std::size_t peak = 0;
  bool accepted = false;
};

Measure measure(const std::string& text) {
  Measure best;
  best.seconds = 1e9;
  for (int run = 0; run < 3; ++run) {
    auto* stream =
        new Steinberg::MemoryStream(const_cast<char*>(text.data()), static_cast<Steinberg::TSize>(text.size()));
    kelo::json document;
    const std::size_t before = liveBytes.load();
    peakBytes = before;
    const auto start = std::chrono::steady_clock::now();
    best.accepted = kelo::readStateStream(stream, document);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    best.seconds = std::min(best.seconds, took.count());
    best.peak = peakBytes.load() - before;
    stream->release();
  }
  return best;
}

}  // namespace

int main() {
  const std::vector<Document> documents = {
      {"plain 8 MiB script (baseline)", plainDocument()},
      {"8 MiB of [", std::string(kEight, '[')},
      {"nested arrays under an unknown key", fill(R"({"x":)", "[", "")},
      {"nested objects in the script", fill(R"({"script":)", R"({"a":)", "")},
      {"empty objects under an unknown key", fill(R"({"x":[{})", ",{}", "]}")},
      {"small strings under an unknown key", fill(R"({"x":["a")", R"(,"abc")", "]}")},
      {"huge floats under an unknown key", fill(R"({"x":[1)", ",1.7976931348623157e308", "]}")},
      {"unknown keys at the top", fill(R"({"a":0)", R"(,"k":0)", "}")},
      {"repeated known keys", fill(R"({"timerTicks":1)", R"(,"timerTicks":2)", "}")},
      {"a root array of zeros", fill("[0", ",0", "]")},
      {"bars beyond the limit", fill(R"({"bars":[0)", ",0", "]}")},
      {"empty legacy pieces", fill(R"({"bars":[[{})", ",{}", "]]}")},
      {"escaped script characters", fill(R"({"script":")", "\\u00e9", R"("})")},
      {"legacy bars: 10,000 of real size", legacyBars()},
      // Far beyond the limit (about 170 MB): the stream is refused unread.
      {"legacy bars: 10,000 x 1,000 pieces", legacyBars(1000)},
  };

  const Measure plain = measure(documents.front().text);
  std::printf("%-38s %9s %9s %8s %10s %8s %8s\n", "document", "bytes", "read ms", "time x", "peak MiB", "mem x",
              "read");
  for (const Document& doc : documents) {
    const Measure m = doc.text == documents.front().text ? plain : measure(doc.text);
    std::printf("%-38s %9zu %9.1f %7.2fx %10.1f %7.2fx %8s\n", doc.name, doc.text.size(), m.seconds * 1e3,
                m.seconds / plain.seconds, m.peak / 1048576.0,
                static_cast<double>(m.peak) / static_cast<double>(plain.peak), m.accepted ? "accepted" : "refused");
  }
  std::printf("\nRatios are to the plain 8 MiB document of the same run (goal: time <= 3x, memory <= 4x).\n");
  return 0;
}
