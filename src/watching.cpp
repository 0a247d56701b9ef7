// Playing a replay into the game window, and watching it on a real display
// at its own pace.
#include <deque>
#include <optional>

#include "huhn.h"
#include "main.h"
#include "platform/core/keys.h"
#include "replay.h"
#include "replay_codec.h"
#include "tool1.h"

namespace replay {

void SetPlaying(Player* player);  // recording.cpp

struct Player::Reader {
  InputReader input;
  bool ended = false;
};

Player::Player(Replay replay) : replay_(std::move(replay)) { SetPlaying(this); }

Player::~Player() { SetPlaying(nullptr); }

void Player::Begin() {
  TForm1& f = *Form1;
  RestoreStart(replay_.start);
  // The clocks of the pictures turn over at their ends: beyond them they never would.
  if (Round(f.schussFrame) >= f.gifSchuss->Count() || Round(f.feuerFrame) >= f.gifFeuer->Count() ||
      Round(f.atomFrame) >= 26)
    throw ReplayError("the replay's start shows a picture's frame that this game does not have");
  reader_ = std::make_unique<Reader>(Reader{InputReader(replay_.input, f.mouseX, f.mouseY)});
  // As the name screen starts a level, once its fade is over.
  StartLevel();
  StartWave();
  if (f.MediaPlayer1.IsOpen()) f.MediaPlayer1.Play();
}

bool Player::Next(std::vector<plat::Event>& events) {
  events.clear();
  if (!reader_ || reader_->ended) return false;
  plat::Event e;
  for (;;) {
    switch (reader_->input.Read(e)) {
      case InputReader::Item::Tick: ++ticks_; return true;
      case InputReader::Item::End: reader_->ended = true; return false;
      case InputReader::Item::Event:
        // The focus only held the ticks back, and they are counted already.
        if (e.kind != plat::EventKind::Activate && e.kind != plat::EventKind::Deactivate) events.push_back(e);
        break;
    }
  }
}

Claim Player::Reached() const {
  const TForm1& f = *Form1;
  const End end = f.gameState == "Atombombe" ? End::Finished : f.gameState == "Main" ? End::Left : End::None;
  return {end, ticks_, f.scorePoints, f.scoreHits, f.chickensReleased, f.placement, StateDigest()};
}

uint32_t Player::NextSeed(uint32_t fromHost) {
  if (seed_ < replay_.seeds.size()) return replay_.seeds[seed_++];
  diverged_ = true;
  return fromHost;
}

// --- Watching ------------------------------------------------------------------------

namespace {

// The host's display, sound and events, with a clock of the replay's own (it
// stops and runs four times as fast) and the replay's input in place of the
// watcher's, who has keys of his own.
class Viewer final : public plat::Backend {
 public:
  Viewer(plat::Backend& host, Player& player) : host_(host), player_(player), lastHost_(host.Milliseconds()) {}

  void Started() { firstTick_ = Form1->DXTimer1.TicksBegun; }

  uint32_t Milliseconds() override {
    const uint32_t now = host_.Milliseconds();
    if (!paused_) clock_ += (now - lastHost_) * speed_;
    lastHost_ = now;
    return clock_;
  }
  uint32_t RandomizeSeed() override { return host_.RandomizeSeed(); }

  void Poll(std::deque<plat::Event>& queue) override {
    std::deque<plat::Event> own;
    host_.Poll(own);
    for (const plat::Event& e : own) Watcher(e, queue);
    // The replay's input before the game's next tick, once the tick before it has run.
    if (!Form1 || ended_ || Form1->DXTimer1.TicksBegun - firstTick_ != gaps_) return;
    ended_ = !player_.Next(events_);
    ++gaps_;
    // A level left from the pause stays on the pause.
    if (ended_ && player_.Data().claim.end == End::Left && !events_.empty() && events_.back().key == VK_F4)
      events_.pop_back();
    queue.insert(queue.end(), events_.begin(), events_.end());
  }

  void Wait(int timeoutMs) override {
    Milliseconds();
    host_.Wait(paused_ || timeoutMs < 0 ? -1 : timeoutMs / int(speed_));
  }
  void ShowWindow() override { host_.ShowWindow(); }
  void Present(const uint16_t* pixels, bool mayWait) override { host_.Present(pixels, mayWait); }
  void ShowPointer(bool visible) override { host_.ShowPointer(visible); }
  void SetCursorPos(int, int) override {}  // the replay's moves say where the game had it
  void Sleep(uint32_t ms) override { host_.Sleep(ms); }
  void PaceGammaStep() override { host_.PaceGammaStep(); }
  bool PaceGammaPresent() override { return host_.PaceGammaPresent(); }
  std::optional<int> ScriptedAnswer(const plat::MessageBoxContent& box) override { return host_.ScriptedAnswer(box); }
  void Record(const plat::Sighting& s) override { host_.Record(s); }
  plat::AudioDevice* Audio() override { return host_.Audio(); }

 private:
  void Watcher(const plat::Event& e, std::deque<plat::Event>& queue) {
    switch (e.kind) {
      case plat::EventKind::KeyDown:
        if (e.key == VK_SPACE) Pause();
        if (e.key == VK_RIGHT) Faster();
        if (e.key == VK_ESCAPE) Application.Terminate();
        break;
      case plat::EventKind::MouseDown:
        if (e.x >= 320)
          Faster();
        else
          Pause();
        break;
      case plat::EventKind::CloseRequest: Application.Terminate(); break;
      case plat::EventKind::Activate:
      case plat::EventKind::Deactivate: queue.push_back(e); break;  // the game stops without the focus
      default: break;
    }
  }
  void Pause() {
    Milliseconds();
    paused_ = !paused_;
  }
  void Faster() {
    Milliseconds();
    speed_ = speed_ == 1 ? 4 : 1;
  }

  plat::Backend& host_;
  Player& player_;
  uint32_t lastHost_;
  uint32_t clock_ = 0;
  uint32_t speed_ = 1;
  bool paused_ = false;
  uint64_t firstTick_ = 0;
  uint64_t gaps_ = 0;
  bool ended_ = false;
  std::vector<plat::Event> events_;
};

}  // namespace

int Watch(plat::Backend& host, const char* title, Replay replay) {
  Player player(std::move(replay));
  Viewer viewer(host, player);
  Application.Initialize(&viewer);
  Application.Title = title;
  CreateGameWindow(true);
  ShowGameWindow();
  std::optional<ReplayError> refused;
  if (Form1 && !Application.TerminationRequested()) {
    try {
      player.Begin();
      viewer.Started();
    } catch (const ReplayError& e) {
      refused = e;
      Application.Terminate();
    }
  }
  Application.Run();
  DestroyGameWindow();
  if (refused) throw *refused;
  return Application.ExitCode;
}

}  // namespace replay
