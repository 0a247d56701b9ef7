// Music on a MIDI device that sounds by itself, on a clock of its own: the
// device takes its time with a system-exclusive message, or never finishes
// it, and the clock sleeps while no piece plays. Time is the test's: at 1000
// frames a second a frame is a millisecond.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "platform/core/midi_device.h"
#include "platform/core/midifile.h"

namespace {

// A device that keeps every long message until the test says it is sent, and
// notes what it is given (a long message as its first byte).
class SlowPort final : public plat::MidiPort {
 public:
  std::vector<uint32_t> sent;
  int sending = 0;

  void SendShort(uint32_t message) override { sent.push_back(message); }
  bool SendLong(const std::vector<uint8_t>& bytes) override {
    sent.push_back(bytes.front());
    ++sending;
    return true;
  }
  bool LongsDone() override { return sending == 0; }
};

constexpr size_t kReset = 16 * 7;  // the messages that reset the device for a new piece
constexpr uint32_t kProgram = 0x05C0, kNoteOn = 0x643C90, kNoteOff = 0x003C80, kLastNotesOff = 0x7BBF;

// A system exclusive, a program and a note at 0, the note's end at 500, the
// piece's end at 1000 milliseconds.
std::shared_ptr<const plat::MidiFile> Piece() {
  plat::MidiFile midi;
  midi.sysex = {0x7E, 0x7F, 0x09, 0x01};
  midi.events = {{0, 0xF0, 0, 0, 0, 4}, {0, 0xC0, 5, 0}, {0, 0x90, 60, 100}, {500000, 0x80, 60, 0}};
  midi.lengthUs = 1000000;
  return std::make_shared<const plat::MidiFile>(midi);
}

// The clock's beats, one a millisecond, up to `end`; what the last one said.
struct Beats {
  plat::MidiClock& clock;
  int64_t ms = 0;
  bool Until(int64_t end) {
    bool busy = false;
    while (ms < end) busy = clock.Tick(++ms * 1000);
    return busy;
  }
};

}  // namespace

TEST(MidiDevice, ALongMessageHoldsUpTheMessagesAfterItNeverTheClock) {
  SlowPort port;
  plat::MidiClock clock(port, 1000);
  plat::Sequencer& music = clock.Music();
  Beats beats{clock};
  const uint64_t piece = music.Load(Piece());
  music.Play(piece);
  EXPECT_TRUE(beats.Until(2));
  ASSERT_EQ(port.sent.size(), kReset + 1);
  EXPECT_EQ(port.sent.back(), 0xF0u);
  port.sent.clear();
  // The device takes its time: the piece plays on, the messages wait for it in their order.
  EXPECT_TRUE(beats.Until(300));
  EXPECT_EQ(music.Position(piece, 1000), 299);
  EXPECT_TRUE(port.sent.empty());
  port.sending = 0;
  beats.Until(301);
  EXPECT_EQ(port.sent, (std::vector<uint32_t>{kProgram, kNoteOn}));
  port.sent.clear();

  // A device that never finishes one is stuck: after a second the music goes on past it.
  const uint64_t again = music.Load(Piece());
  music.Play(again);
  beats.Until(900);
  EXPECT_EQ(port.sent.size(), kReset + 1);
  port.sent.clear();
  beats.Until(1400);
  EXPECT_EQ(port.sent, (std::vector<uint32_t>{kProgram, kNoteOn, kNoteOff}));
  EXPECT_EQ(port.sending, 1);
}

TEST(MidiDevice, TheClockSleepsWhileNoPieceIsPlaying) {
  SlowPort port;
  plat::MidiClock clock(port, 1000);
  plat::Sequencer& music = clock.Music();
  EXPECT_FALSE(clock.Tick(0));
  const uint64_t piece = music.Load(Piece());
  EXPECT_TRUE(clock.Tick(1000));  // woken: the device's reset is due
  EXPECT_FALSE(clock.Tick(2000));
  EXPECT_EQ(port.sent.size(), kReset);

  // Ten seconds asleep are nobody's music time.
  music.Play(piece);
  Beats beats{clock, 10000};
  EXPECT_TRUE(beats.Until(10400));
  EXPECT_EQ(music.Position(piece, 1000), 399);

  // Stopped: the notes are released, and it sleeps again.
  port.sending = 0;
  music.Stop(piece);
  EXPECT_FALSE(beats.Until(10401));
  EXPECT_EQ(port.sent.back(), kLastNotesOff);
  EXPECT_EQ(music.Position(piece, 1000), 399);

  // Played again, it goes on from there and sleeps at its end until played again.
  music.Play(piece);
  beats.ms = 20000;
  EXPECT_TRUE(beats.Until(20001));
  EXPECT_EQ(music.Position(piece, 1000), 399);
  EXPECT_TRUE(beats.Until(20500));
  EXPECT_FALSE(beats.Until(20700));
  EXPECT_EQ(music.Position(piece, 1000), 1000);
  EXPECT_FALSE(music.Playing(piece));
}
