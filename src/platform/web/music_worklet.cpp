// The music's own small program, run by the page's audio worklet (music.js):
// the game's sequencer and FluidSynth render there, on the browser's audio
// thread, so the game's thread never waits for the music. The game sends its
// commands (web_audio.cpp); the worklet reports what plays.
#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/core/midifile.h"
#include "platform/core/sequencer.h"
#include "platform/web/music_wire.h"
#include "platform/web/page_synth.h"

#define KELO_EXPORT(name) extern "C" __attribute__((export_name(#name))) 

namespace {

plat::PageSynth synth;
std::unique_ptr<plat::Sequencer> sequencer;
std::shared_ptr<const plat::MidiFile> piece;
uint64_t ticket = 0;
std::vector<uint8_t> scratch;
std::vector<int16_t> block;

}  // namespace

// Called once, with the output's rate.
KELO_EXPORT(music_open) void music_open(int rate) {
  sequencer = std::make_unique<plat::Sequencer>(rate);
  sequencer->Attach(&synth);
}

// Room for `bytes` bytes the worklet writes a piece's parts into.
KELO_EXPORT(music_scratch) uint8_t* music_scratch(int bytes) {
  scratch.resize(size_t(std::max(bytes, 0)));
  return scratch.data();
}

// A piece as the game sent it (music_wire.h), in the scratch room. Returns
// its ticket.
KELO_EXPORT(music_load) double music_load(int eventCount, int sysexBytes, double lengthUs) {
  piece = std::make_shared<const plat::MidiFile>(plat::ReadWire(scratch.data(), eventCount, sysexBytes, lengthUs));
  ticket = sequencer->Load(piece);
  return double(ticket);
}

// One of the game's commands (RemoteSequencer::Kind) for the piece `which`.
KELO_EXPORT(music_command) void music_command(int command, double which, double frame) {
  const auto t = uint64_t(which);
  switch (command) {
    case plat::RemoteSequencer::kUnload: sequencer->Unload(t); break;
    case plat::RemoteSequencer::kPlay: sequencer->Play(t); break;
    case plat::RemoteSequencer::kStop: sequencer->Stop(t); break;
    case plat::RemoteSequencer::kCue: sequencer->Cue(t, int64_t(frame)); break;
    default: break;
  }
}

// What plays: the current piece's ticket, its position and whether it plays.
KELO_EXPORT(music_ticket) double music_ticket() { return double(ticket); }
KELO_EXPORT(music_position) int music_position() {
  return piece ? sequencer->Position(ticket, piece->LengthMs()) : 0;
}
KELO_EXPORT(music_playing) int music_playing() { return sequencer->Playing(ticket) ? 1 : 0; }

// `frames` interleaved stereo frames of the music, valid until the next call.
KELO_EXPORT(music_render) const int16_t* music_render(int frames) {
  block.resize(size_t(std::max(frames, 0)) * 2);
  sequencer->Render(block.data(), frames);
  return block.data();
}
