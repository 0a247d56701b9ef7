// Replays: every level is recorded as the game takes it (the state it starts
// from, every input on the tick it came, the seeds of the random generator),
// kept in a small file (docs/replay.md), and played again by the same code,
// tick for tick: in the game's window to watch it, or without pictures to
// check the result it claims.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "platform/core/backend.h"

namespace replay {

// How the game plays. It goes up with every change to what a level does with
// its start and its input (the golden playthrough's record shows such a
// change), and only then: a replay of another play version is refused.
inline constexpr uint32_t kPlayVersion = 1;
// The layout of the file; a newer one is refused.
inline constexpr uint8_t kFormat = 1;

// A replay file larger than this is refused unread.
inline constexpr uint64_t kMostFileBytes = 4u << 20;

// The release of this game ("1.0").
const char* GameVersion();

// The file names in the folder of the game's files: the last level played,
// and the replay of each entry of the three highscore lists.
inline constexpr const char* kLastFile = "last.rep";
std::string EntryFile(int list, int place);

// A replay that cannot be used, with its reason in one line.
struct ReplayError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// How a level ended: played to its end (the end sequence and the results
// follow by themselves), or left from the pause with F4; or not yet.
enum class End : uint8_t { None = 0, Finished = 1, Left = 2 };

// What a replay claims its level reached: after how many ticks and how it
// ended, the score, and a digest of the whole state at that moment.
struct Claim {
  End end = End::Finished;
  uint32_t ticks = 0;
  int32_t points = 0, hits = 0, released = 0, placement = 0;
  uint32_t digest = 0;
  bool operator==(const Claim&) const = default;
};

struct Replay {
  std::string gameVersion;  // the release that recorded it ("1.0")
  uint32_t playVersion = kPlayVersion;
  std::string system;       // where it was recorded, for information
  int64_t date = 0;         // when, in seconds since 1970 (UTC), for information
  Claim claim;
  std::string start;        // the level's state at its start, as EncodeStart writes it
  std::vector<uint32_t> seeds;  // every re-seeding of the random generator, in order
  std::string input;        // the input, tick by tick, up to its end mark
  // Read from `start`:
  std::string name;         // the player's name (Windows-1252)
  int difficulty = 0;
};

// The file's bytes.
std::string Encode(const Replay& replay);
// Reads a replay strictly: anything cut, corrupt, out of range or of a newer
// format throws ReplayError. The play version is not looked at here.
Replay Decode(std::string_view bytes);
// Throws ReplayError, naming both versions, when this game plays differently.
void RequirePlayVersion(const Replay& replay);
// Decode, then RequirePlayVersion.
Replay DecodePlayable(std::string_view bytes);
// DecodePlayable of a file; the message begins with its name.
Replay ReadFile(const std::string& path);
// Texts for people: "Leicht", the way the level ended, the claim in a line.
const char* DifficultyName(int difficulty);
std::string Describe(const Claim& claim);

// --- The game's state -----------------------------------------------------------

// The state of the game window that a level depends on at its start, the name
// typed for it included.
std::string EncodeStart();
// Puts a start (as Decode has checked it) into the game window.
void RestoreStart(std::string_view start);
// A digest of everything a level changes, to compare states tick by tick.
uint32_t StateDigest();

// --- Recording, through the game's hooks -------------------------------------------

// Whether finished recordings are saved (the desktop game and the harness):
// the last level as kLastFile, each highscore entry's beside its list.
void KeepReplays(bool keep);
bool KeepingReplays();

void LevelStarts();  // the level starts now, before StartLevel
void Abandon();      // a level of a window now gone: never finished, never kept
void Moved(int x, int y);
void Pressed(int button, int x, int y);
void KeyDown(int key);
void FocusChanged(bool active);
void TickBegins();
// After a tick or a key: a level that has ended is finished and saved.
void InputTaken();
// The seed for a re-seeding: the host's while recording, the recorded one
// while a replay plays.
uint32_t Reseed(uint32_t fromHost);
// Called with every replay that is finished (for tests and tools).
void OnRecorded(std::function<void(const Replay&)> listener);

// The entry replays of a list follow its entries: each entry keeps the replay
// whose claim it shows, whatever moved; the others are removed.
void MatchEntryReplays(int list);
// The lists were reset: their replays go.
void RemoveEntryReplays();

// --- Playing ----------------------------------------------------------------------

// True while a replay plays: nothing is recorded or saved.
bool Playing();

// Plays a replay into the game window (made for it: CreateGameWindow(true)).
class Player {
 public:
  explicit Player(Replay replay);
  ~Player();
  Player(const Player&) = delete;
  Player& operator=(const Player&) = delete;

  // Starts the level as the game started it: its state, the name, StartLevel,
  // StartWave and the level music. Throws ReplayError when the game's own
  // pictures do not fit the replay.
  void Begin();
  // The input the game took before its next tick, in order (pointer moves,
  // presses, keys). False when no tick follows: the input is at its end.
  bool Next(std::vector<plat::Event>& events);
  // What the level has reached now, as a claim.
  Claim Reached() const;
  // The replay asked for something it does not hold (a seed too many).
  bool Diverged() const { return diverged_; }
  const Replay& Data() const { return replay_; }
  uint32_t TicksDone() const { return ticks_; }

  uint32_t NextSeed(uint32_t fromHost);

 private:
  Replay replay_;
  struct Reader;
  std::unique_ptr<Reader> reader_;
  size_t seed_ = 0;
  uint32_t ticks_ = 0;
  bool diverged_ = false;
};

// Watches a replay in the game's window on `host` at its own pace: Space
// pauses, Right or a press on the right half switches to four times as fast
// and back, a press on the left half pauses too, Escape (or closing) ends it.
// A finished level goes on to its results, a level left from the pause stays
// on the pause. Returns the exit status.
int Watch(plat::Backend& host, const char* title, Replay replay);

}  // namespace replay
