// The music on Windows' own General MIDI synthesizer (the midiOut device every
// Windows has), fed by the game's own sequencer. Nothing renders samples for
// it, so a clock thread advances the sequencer by the frames that have passed,
// every millisecond or two, and each event goes out within about that of its
// time. Without a MIDI output the music keeps time silently on its clock.
#include <windows.h>
#include <mmsystem.h>

#include <array>
#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "platform/core/midifile.h"
#include "platform/core/sequencer.h"
#include "platform/sdl/music.h"

namespace plat {
namespace {

constexpr int kRate = 44100;  // the sequencer's frames: a clock of its own, nothing is rendered

DWORD ShortMessage(int status, int data1, int data2) { return DWORD(status) | DWORD(data1) << 8 | DWORD(data2) << 16; }

class MidiOutSynth final : public Synthesizer {
 public:
  explicit MidiOutSynth(HMIDIOUT out) : out_(out) {}

  void Send(const MidiEvent& e, const MidiFile& midi) override {
    if (e.status != 0xF0) {
      const int kind = e.status & 0xF0;
      const bool oneByte = kind == 0xC0 || kind == 0xD0;
      midiOutShortMsg(out_, ShortMessage(e.status, e.data1, oneByte ? 0 : e.data2));
      return;
    }
    // A system-exclusive message goes out whole, framed by F0 ... F7.
    std::vector<char> bytes;
    bytes.reserve(e.sysexLength + 2);
    bytes.push_back(char(0xF0));
    const auto* data = reinterpret_cast<const char*>(midi.sysex.data()) + e.sysexOffset;
    bytes.insert(bytes.end(), data, data + e.sysexLength);
    bytes.push_back(char(0xF7));
    SendLong(bytes);
  }

  // What a General MIDI device has at power-on, channel by channel.
  void Reset() override {
    for (int ch = 0; ch < 16; ++ch) {
      midiOutShortMsg(out_, ShortMessage(0xB0 | ch, 120, 0));  // all sound off
      midiOutShortMsg(out_, ShortMessage(0xB0 | ch, 121, 0));  // controllers reset
      midiOutShortMsg(out_, ShortMessage(0xB0 | ch, 0, 0));    // bank 0
      midiOutShortMsg(out_, ShortMessage(0xC0 | ch, 0, 0));    // the first instrument
      midiOutShortMsg(out_, ShortMessage(0xB0 | ch, 7, 100));  // volume
      midiOutShortMsg(out_, ShortMessage(0xB0 | ch, 10, 64));  // centre
      midiOutShortMsg(out_, ShortMessage(0xE0 | ch, 0, 64));   // pitch bend centre
    }
  }

  void NotesOff() override {
    for (int ch = 0; ch < 16; ++ch) {
      midiOutShortMsg(out_, ShortMessage(0xB0 | ch, 64, 0));   // sustain pedal up
      midiOutShortMsg(out_, ShortMessage(0xB0 | ch, 123, 0));  // all notes off
    }
  }

  // The device does not tell; its tails are its own.
  int ActiveVoices() override { return 0; }

  // The device sounds by itself: the frames only keep the time.
  void Render(int16_t*, int) override {}

 private:
  void SendLong(std::vector<char>& bytes) {
    MIDIHDR header{};
    header.lpData = bytes.data();
    header.dwBufferLength = DWORD(bytes.size());
    if (midiOutPrepareHeader(out_, &header, sizeof header) != MMSYSERR_NOERROR) return;
    if (midiOutLongMsg(out_, &header, sizeof header) == MMSYSERR_NOERROR) {
      // The buffer is the device's until it is done with it.
      for (int waited = 0; !(header.dwFlags & MHDR_DONE) && waited < 200; ++waited) Sleep(1);
      if (!(header.dwFlags & MHDR_DONE)) midiOutReset(out_);  // hands every buffer back
    }
    midiOutUnprepareHeader(out_, &header, sizeof header);
  }

  HMIDIOUT out_;
};

class MidiOutMusic final : public MusicOutput {
 public:
  MidiOutMusic() {
    if (midiOutOpen(&out_, MIDI_MAPPER, 0, 0, CALLBACK_NULL) != MMSYSERR_NOERROR) {
      out_ = nullptr;
      return;
    }
    synth_ = std::make_unique<MidiOutSynth>(out_);
    sequencer_ = std::make_unique<Sequencer>(kRate);
    sequencer_->Attach(synth_.get());
    clock_ = std::thread([this] { Run(); });
  }

  ~MidiOutMusic() override {
    if (clock_.joinable()) {
      stop_ = true;
      clock_.join();
    }
    if (out_) {
      synth_->NotesOff();
      midiOutReset(out_);
      midiOutClose(out_);
    }
  }

  std::unique_ptr<MusicStream> Open(std::shared_ptr<const MidiFile> midi) override {
    if (!sequencer_) return MakeClockMusic(midi->LengthMs(), [] { return uint32_t(GetTickCount64()); });
    return std::make_unique<SequencedMusic>(*sequencer_, std::move(midi));
  }

 private:
  class SequencedMusic final : public MusicStream {
   public:
    SequencedMusic(Sequencer& sequencer, std::shared_ptr<const MidiFile> midi)
        : sequencer_(sequencer), length_(midi->LengthMs()), ticket_(sequencer.Load(std::move(midi))) {}
    ~SequencedMusic() override { sequencer_.Unload(ticket_); }

    void Play() override { sequencer_.Play(ticket_); }
    void Stop() override { sequencer_.Stop(ticket_); }
    int Position() const override { return sequencer_.Position(ticket_, length_); }
    bool Playing() const override { return sequencer_.Playing(ticket_); }

   private:
    Sequencer& sequencer_;
    int length_;
    uint64_t ticket_;
  };

  // The clock thread: the frames due by now, at most a scratch buffer at a time.
  void Run() {
    timeBeginPeriod(1);  // naps of a millisecond, not of the default 15.6
    using Clock = std::chrono::steady_clock;
    const Clock::time_point start = Clock::now();
    int64_t done = 0;
    while (!stop_) {
      const int64_t us = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start).count();
      const int64_t due = us * kRate / 1000000;
      while (done < due) {
        const int n = int(std::min<int64_t>(due - done, kScratchFrames));
        sequencer_->Render(scratch_.data(), n);
        done += n;
      }
      Sleep(1);
    }
    timeEndPeriod(1);
  }

  static constexpr int kScratchFrames = 4096;
  HMIDIOUT out_ = nullptr;
  std::unique_ptr<MidiOutSynth> synth_;
  std::unique_ptr<Sequencer> sequencer_;
  std::atomic<bool> stop_{false};
  std::thread clock_;
  std::array<int16_t, 2 * kScratchFrames> scratch_{};
};

}  // namespace

// The mixer plays the effects only: the music has its own device.
std::unique_ptr<MusicOutput> OpenMusicOutput(const MixerFormat&) { return std::make_unique<MidiOutMusic>(); }

}  // namespace plat
