// Fuzz target: a MIDI file read for its events and its length, then played
// by the sequencer into a synthesizer that checks what it is sent.
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string_view>
#include <vector>

#include "platform/core/midifile.h"
#include "platform/core/sequencer.h"

namespace {

class CheckingSynth final : public plat::Synthesizer {
 public:
  void Send(const plat::MidiEvent& e, const plat::MidiFile& midi) override {
    if (e.status < 0x80) std::abort();
    if (e.status == 0xF0 && uint64_t(e.sysexOffset) + e.sysexLength > midi.sysex.size()) std::abort();
  }
  void Reset() override {}
  void NotesOff() override {}
  int ActiveVoices() override { return 1; }
  void Render(int16_t* out, int frames) override {
    if (frames < 0 || frames > 4096) std::abort();
    for (int i = 0; i < 2 * frames; ++i) out[i] = 0;
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  plat::MidiFile midi;
  try {
    midi = plat::ParseMidi(std::string_view(reinterpret_cast<const char*>(data), size));
  } catch (const plat::EMidiFormat&) {
    return 0;  // the music does not open
  }
  double last = 0;
  for (const plat::MidiEvent& e : midi.events) {
    if (e.timeUs < last || e.timeUs > midi.lengthUs) std::abort();
    last = e.timeUs;
    if (e.status == 0xF0 && uint64_t(e.sysexOffset) + e.sysexLength > midi.sysex.size()) std::abort();
  }
  const int length = midi.LengthMs();
  if (length < 0) std::abort();

  // The first second at 44.1 kHz, in the audio callback's blocks.
  CheckingSynth synth;
  plat::Sequencer sequencer(44100);
  sequencer.Attach(&synth);
  const uint64_t piece = sequencer.Load(std::make_shared<const plat::MidiFile>(std::move(midi)));
  sequencer.Play(piece);
  std::vector<int16_t> block(2 * 1024);
  for (int i = 0; i < 44; ++i) sequencer.Render(block.data(), 1024);
  const int position = sequencer.Position(piece, length);
  if (position < 0 || position > length) std::abort();
  return 0;
}
