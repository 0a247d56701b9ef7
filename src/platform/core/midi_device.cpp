#include "platform/core/midi_device.h"

#include <algorithm>

namespace plat {

void MidiPortSynth::Short(int status, int data1, int data2) {
  queue_.push_back({uint32_t(status) | uint32_t(data1) << 8 | uint32_t(data2) << 16, {}});
}

void MidiPortSynth::Send(const MidiEvent& e, const MidiFile& midi) {
  if (e.status != 0xF0) {
    const int kind = e.status & 0xF0;
    Short(e.status, e.data1, kind == 0xC0 || kind == 0xD0 ? 0 : e.data2);
    return;
  }
  // A system-exclusive message goes out whole, framed by F0 ... F7.
  Message message;
  message.bytes.reserve(e.sysexLength + 2);
  message.bytes.push_back(0xF0);
  const auto data = midi.sysex.begin() + e.sysexOffset;
  message.bytes.insert(message.bytes.end(), data, data + e.sysexLength);
  message.bytes.push_back(0xF7);
  queue_.push_back(std::move(message));
}

// What a General MIDI device has at power-on, channel by channel.
void MidiPortSynth::Reset() {
  for (int ch = 0; ch < 16; ++ch) {
    Short(0xB0 | ch, 120, 0);  // all sound off
    Short(0xB0 | ch, 121, 0);  // controllers reset
    Short(0xB0 | ch, 0, 0);    // bank 0
    Short(0xC0 | ch, 0, 0);    // the first instrument
    Short(0xB0 | ch, 7, 100);  // volume
    Short(0xB0 | ch, 10, 64);  // centre
    Short(0xE0 | ch, 0, 64);   // pitch bend centre
  }
}

void MidiPortSynth::NotesOff() {
  for (int ch = 0; ch < 16; ++ch) {
    Short(0xB0 | ch, 64, 0);   // sustain pedal up
    Short(0xB0 | ch, 123, 0);  // all notes off
  }
}

bool MidiPortSynth::Deliver(int64_t now) {
  while (!queue_.empty()) {
    if (port_.LongsDone()) {
      waitingSince_ = -1;
    } else {
      if (waitingSince_ < 0) waitingSince_ = now;
      if (now - waitingSince_ < patience_) return true;
    }
    const Message& next = queue_.front();
    if (next.bytes.empty())
      port_.SendShort(next.message);
    else
      port_.SendLong(next.bytes);  // one the device refuses is left out
    queue_.pop_front();
  }
  return false;
}

// The messages behind a long one wait up to a second for the device.
MidiClock::MidiClock(MidiPort& port, int rate)
    : rate_(rate), synth_(port, rate), sequencer_(rate), scratch_(2 * kScratchFrames) {
  sequencer_.Attach(&synth_);
}

bool MidiClock::Tick(int64_t us) {
  const int64_t due = us / 1000000 * rate_ + us % 1000000 * rate_ / 1000000;
  if (asleep_) done_ = std::max(done_, due);
  while (done_ < due) {
    const int n = int(std::min<int64_t>(due - done_, kScratchFrames));
    sequencer_.Render(scratch_.data(), n);
    done_ += n;
  }
  const bool waiting = synth_.Deliver(done_);
  asleep_ = !waiting && !sequencer_.Busy();
  return !asleep_;
}

}  // namespace plat
