// The preview's simulated transport: bars over a meter map, and the
// ProcessContext a block gets while playing, looping or held.
#include "Transport.h"

#include <gtest/gtest.h>

using kelo::preview::SongLayout;
using kelo::preview::Transport;
using Steinberg::Vst::ProcessContext;

namespace {

// 4/4 for twelve bars, then 3/4; then 6/8 from bar 20.
SongLayout changingMeter() {
  SongLayout song;
  song.tempo = 120.0;
  song.meters = {{13, 3, 4}, {1, 4, 4}, {20, 6, 8}};
  song.loopStartBar = 2;
  song.loopEndBar = 4;
  return song;
}

TEST(TransportBars, StartAndBarOfAPositionFollowTheMeterMap) {
  const Transport transport(changingMeter());
  const struct {
    int bar;
    double start;       // quarter notes
    int numerator;      // meter in force at the bar's start
    double lastInside;  // a position just before the next bar
  } cases[] = {{1, 0, 4, 3.99},    {12, 44, 4, 47.99}, {13, 48, 3, 50.99},
               {19, 66, 3, 68.99}, {20, 69, 6, 71.99}, {21, 72, 6, 74.99}};
  for (const auto& c : cases) {
    EXPECT_DOUBLE_EQ(transport.barStart(c.bar), c.start) << c.bar;
    EXPECT_EQ(transport.barAt(c.start), c.bar);
    EXPECT_EQ(transport.barAt(c.lastInside), c.bar);
    EXPECT_EQ(transport.meterAt(c.start).numerator, c.numerator) << c.bar;
  }
}

TEST(TransportBlocks, PlayingAdvancesLoopsBackAndHoldsWithTheContextOfEachBlock) {
  Transport transport(changingMeter());
  ProcessContext context{};
  const double rate = 48000.0;
  const int halfBeat = 12000;  // 120 BPM: a quarter note is 24000 samples

  transport.locate(3, 0.5);  // beat 10
  transport.setLooping(true);
  transport.setPlaying(true);
  transport.fillContext(context, rate);
  EXPECT_DOUBLE_EQ(context.projectTimeMusic, 10.0);
  EXPECT_DOUBLE_EQ(context.barPositionMusic, 8.0);
  EXPECT_TRUE(context.state & ProcessContext::kPlaying);
  EXPECT_TRUE(context.state & ProcessContext::kCycleActive);
  EXPECT_DOUBLE_EQ(context.cycleStartMusic, 4.0);
  EXPECT_DOUBLE_EQ(context.cycleEndMusic, 12.0);

  // Past the loop's end (bar 4, beat 12) the playhead wraps to bar 2.
  for (int block = 0; block < 5; ++block) transport.advance(halfBeat, rate);
  transport.fillContext(context, rate);
  EXPECT_DOUBLE_EQ(context.projectTimeMusic, 4.5);

  transport.hold(true);
  transport.advance(halfBeat, rate);
  EXPECT_DOUBLE_EQ(transport.position(), 4.5);

  transport.setPositionValid(false);
  transport.setPlaying(false);
  transport.fillContext(context, rate);
  EXPECT_FALSE(context.state &
               (ProcessContext::kPlaying | ProcessContext::kProjectTimeMusicValid | ProcessContext::kTimeSigValid));
}

}  // namespace
