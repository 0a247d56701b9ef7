// The music on Windows' own General MIDI synthesizer. A clock thread advances
// the sequencer by the time that has passed, every millisecond or two while a
// piece plays, and each event goes out within about that of its time; while
// none plays, the thread sleeps until the game next touches the music.
// Without a MIDI output the music keeps time silently on its clock.
#include "platform/windows/midi_out.h"

#include <windows.h>
#include <mmsystem.h>

#include <atomic>
#include <chrono>
#include <list>
#include <stdexcept>
#include <thread>

#include "platform/core/midifile.h"
#include "platform/core/sequencer.h"

namespace plat {
namespace {

constexpr int kRate = 44100;  // the sequencer's frames: a clock of its own, nothing is rendered

class WindowsMidiPort final : public MidiPort {
 public:
  explicit WindowsMidiPort(HMIDIOUT out) : out_(out) {}
  // Every note off and every buffer back, then closed.
  ~WindowsMidiPort() override {
    midiOutReset(out_);
    LongsDone();
    midiOutClose(out_);
  }

  void SendShort(uint32_t message) override { midiOutShortMsg(out_, message); }

  bool SendLong(const std::vector<uint8_t>& bytes) override {
    Long& sent = longs_.emplace_back();
    sent.bytes.assign(bytes.begin(), bytes.end());
    sent.header.lpData = sent.bytes.data();
    sent.header.dwBufferLength = DWORD(sent.bytes.size());
    if (midiOutPrepareHeader(out_, &sent.header, sizeof sent.header) == MMSYSERR_NOERROR) {
      if (midiOutLongMsg(out_, &sent.header, sizeof sent.header) == MMSYSERR_NOERROR) return true;
      midiOutUnprepareHeader(out_, &sent.header, sizeof sent.header);
    }
    longs_.pop_back();
    return false;
  }

  // A buffer is the device's until it marks it done.
  bool LongsDone() override {
    for (auto it = longs_.begin(); it != longs_.end();) {
      if (!(it->header.dwFlags & MHDR_DONE)) {
        ++it;
        continue;
      }
      midiOutUnprepareHeader(out_, &it->header, sizeof it->header);
      it = longs_.erase(it);
    }
    return longs_.empty();
  }

 private:
  struct Long {
    MIDIHDR header{};
    std::vector<char> bytes;
  };
  HMIDIOUT out_;
  std::list<Long> longs_;  // handed over, in order; a list keeps each header where it is
};

class MidiOutMusic final : public MusicOutput {
 public:
  explicit MidiOutMusic(std::unique_ptr<MidiPort> port) : port_(std::move(port)) {
    if (!port_) return;
    clock_ = std::make_unique<MidiClock>(*port_, kRate);
    wake_ = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (!wake_) throw std::runtime_error("cannot make the music clock's event");
    thread_ = std::thread([this] { Run(); });
  }

  ~MidiOutMusic() override {
    if (!thread_.joinable()) return;
    stop_ = true;
    SetEvent(wake_);
    thread_.join();
    CloseHandle(wake_);
  }

  std::unique_ptr<MusicStream> Open(std::shared_ptr<const MidiFile> midi) override {
    if (!clock_) return MakeClockMusic(midi->LengthMs(), [] { return uint32_t(GetTickCount64()); });
    return std::make_unique<SequencedMusic>(*this, std::move(midi));
  }

 private:
  // The game thread's side: the sequencer's commands, each followed by a word
  // to the clock thread, which may be asleep.
  class SequencedMusic final : public MusicStream {
   public:
    SequencedMusic(MidiOutMusic& owner, std::shared_ptr<const MidiFile> midi)
        : owner_(owner), sequencer_(owner.clock_->Music()), length_(midi->LengthMs()),
          ticket_(sequencer_.Load(std::move(midi))) {
      owner_.Wake();
    }
    ~SequencedMusic() override {
      sequencer_.Unload(ticket_);
      owner_.Wake();
    }

    void Play() override {
      sequencer_.Play(ticket_);
      owner_.Wake();
    }
    void Stop() override {
      sequencer_.Stop(ticket_);
      owner_.Wake();
    }
    int Position() const override { return sequencer_.Position(ticket_, length_); }
    bool Playing() const override { return sequencer_.Playing(ticket_); }

   private:
    MidiOutMusic& owner_;
    Sequencer& sequencer_;
    int length_;
    uint64_t ticket_;
  };

  void Wake() { SetEvent(wake_); }

  // The clock thread: beats every millisecond while a piece plays (with the
  // system's timer at its finest for as long), asleep otherwise.
  void Run() {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point start = Clock::now();
    bool fine = false;
    while (!stop_) {
      const bool busy =
          clock_->Tick(std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start).count());
      if (busy != fine) {
        if (busy)
          timeBeginPeriod(1);
        else
          timeEndPeriod(1);
        fine = busy;
      }
      WaitForSingleObject(wake_, busy ? 1 : INFINITE);
    }
    if (fine) timeEndPeriod(1);
  }

  std::unique_ptr<MidiPort> port_;
  std::unique_ptr<MidiClock> clock_;
  HANDLE wake_ = nullptr;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

}  // namespace

std::unique_ptr<MusicOutput> MakeMidiOutMusic(std::unique_ptr<MidiPort> port) {
  return std::make_unique<MidiOutMusic>(std::move(port));
}

// The mixer plays the effects only: the music has its own device.
std::unique_ptr<MusicOutput> OpenMusicOutput(const MixerFormat&) {
  HMIDIOUT out = nullptr;
  if (midiOutOpen(&out, MIDI_MAPPER, 0, 0, CALLBACK_NULL) != MMSYSERR_NOERROR) return MakeMidiOutMusic(nullptr);
  return MakeMidiOutMusic(std::make_unique<WindowsMidiPort>(out));
}

}  // namespace plat
