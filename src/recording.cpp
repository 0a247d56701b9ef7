// Recording every level as the game takes it, and keeping the replays: the
// last level played, and each highscore entry's beside its list.
#include <ctime>
#include <optional>

#include "main.h"
#include "platform/core/files.h"
#include "platform/core/system.h"
#include "replay.h"
#include "replay_codec.h"

namespace replay {
namespace {

// The input of a level far beyond anything a player makes: the recording
// gives up rather than grow without end.
constexpr size_t kMostInput = 8u << 20;

struct Recording {
  std::string start;
  std::vector<uint32_t> seeds;
  InputWriter input;
  uint32_t ticks = 0;
};

std::optional<Recording> recording;
bool keep = false;
std::function<void(const Replay&)> listener;
Player* playing = nullptr;

void Save(const Replay& r);

void Finish(End end) {
  TForm1& f = *Form1;
  Replay r;
  r.gameVersion = GameVersion();
  r.system = plat::SystemName();
  r.date = int64_t(std::time(nullptr));
  r.claim = {end, recording->ticks, f.scorePoints, f.scoreHits, f.chickensReleased, f.placement, StateDigest()};
  recording->input.Finish();
  r.start = std::move(recording->start);
  r.seeds = std::move(recording->seeds);
  r.input = recording->input.Bytes();
  recording.reset();
  StartFacts facts;
  ReadStart(r.start, nullptr, facts);
  r.name = facts.name;
  r.difficulty = facts.difficulty;
  if (keep) Save(r);
  if (listener) listener(r);
}

std::string InFolder(const std::string& name) { return Form1->appFolder + name; }

void Save(const Replay& r) {
  const std::string bytes = Encode(r);
  // The list's own file was written when the level ended; its entry's replay
  // takes its place beside it now.
  if (r.claim.end == End::Finished && r.claim.placement > 0) {
    plat::SaveFile(InFolder(EntryFile(r.difficulty, 0)), bytes);
    MatchEntryReplays(r.difficulty);
  }
  plat::SaveFile(InFolder(kLastFile), bytes);
}

// What an entry shows: its name, points and hits as the list holds them.
struct Shown {
  std::string name, points, hits;
  bool operator==(const Shown&) const = default;
};

Shown ShownBy(const Replay& r) {
  TShortString<20> name, points;
  TShortString<3> hits;
  name.Assign(r.name);
  points.Assign(std::to_string(r.claim.points));
  hits.Assign(std::to_string(r.claim.hits));
  return {name.Str(), points.Str(), hits.Str()};
}

}  // namespace

void KeepReplays(bool on) { keep = on; }
bool KeepingReplays() { return keep; }
void OnRecorded(std::function<void(const Replay&)> l) { listener = std::move(l); }
bool Playing() { return playing != nullptr; }

void LevelStarts() {
  if (Playing()) return;
  recording.emplace();
  recording->start = EncodeStart();
  recording->input.Start(Form1->mouseX, Form1->mouseY);
}

void Abandon() { recording.reset(); }

void Moved(int x, int y) {
  if (recording) recording->input.Pointer(x, y);
}

void Pressed(int button, int x, int y) {
  if (recording) recording->input.Press(button, x, y);
}

void KeyDown(int key) {
  if (recording && KeyTag(key)) recording->input.Tag(uint8_t(KeyTag(key)));
}

void FocusChanged(bool active) {
  if (recording) recording->input.Focus(active);
}

void TickBegins() {
  if (!recording) return;
  recording->input.Tick();
  ++recording->ticks;
}

void InputTaken() {
  if (!recording) return;
  const std::string& state = Form1->gameState;
  if (state == "Level" || state == "Pause") {
    if (recording->input.Size() > kMostInput) recording.reset();
    return;
  }
  if (state == "Atombombe") {
    Finish(End::Finished);
  } else if (state == "Main") {
    Finish(End::Left);
  } else {
    recording.reset();
  }
}

uint32_t Reseed(uint32_t fromHost) {
  if (playing) return playing->NextSeed(fromHost);
  if (recording) recording->seeds.push_back(fromHost);
  return fromHost;
}

void SetPlaying(Player* player) {
  playing = player;
  if (player) recording.reset();
}

// --- The entries' replays ----------------------------------------------------------

void MatchEntryReplays(int list) {
  const THighscoreTable& table = Form1->highTables[list];
  // The files that may hold an entry's replay: its place, and the new one.
  struct File {
    std::string path;         // empty once another file took its place
    bool readable = false;    // a file this game cannot read stays as it is
    std::optional<Shown> shows;  // what a finished level's replay shows
    bool used = false;
  };
  std::vector<File> files;
  for (int place = 0; place <= 5; ++place) {
    File file;
    file.path = InFolder(EntryFile(list, place));
    if (!plat::FileExists(file.path)) continue;
    try {
      const Replay r = Decode(plat::ReadWholeFile(file.path, kMostFileBytes));
      file.readable = true;
      if (r.claim.end == End::Finished) file.shows = ShownBy(r);
    } catch (const ReplayError&) {
      // Another format, or damaged: left as it is.
    }
    files.push_back(std::move(file));
  }
  // Entry i keeps the file that shows it, its own place's first.
  std::vector<std::pair<int, File*>> moves;
  for (int i = 1; i <= 5; ++i) {
    const Shown entry{table.Names[i - 1].Str(), table.Points[i - 1].Str(), table.Hits[i - 1].Str()};
    const std::string place = InFolder(EntryFile(list, i));
    File* found = nullptr;
    for (File& file : files)
      if (!file.used && file.shows == entry && (!found || file.path == place)) found = &file;
    if (!found) continue;
    found->used = true;
    if (found->path != place) moves.emplace_back(i, found);
  }
  // A file renamed over another takes that one's place.
  auto rename = [&files](File* file, const std::string& target) {
    plat::RenameFile(file->path, target);
    for (File& other : files)
      if (other.path == target && &other != file) other.path.clear();
    file->path = target;
  };
  // Entries move down a list: the lowest place is filled first, so no file
  // is replaced before it has moved on. A list turned around by hand may go
  // round in a circle, which the spare name breaks.
  while (!moves.empty()) {
    bool moved = false;
    for (size_t k = moves.size(); k-- > 0 && !moved;) {
      const std::string target = InFolder(EntryFile(list, moves[k].first));
      bool needed = false;
      for (const auto& move : moves) needed |= move.second->path == target;
      if (needed) continue;
      rename(moves[k].second, target);
      moves.erase(moves.begin() + long(k));
      moved = true;
    }
    if (!moved) rename(moves.back().second, InFolder(EntryFile(list, 0)));
  }
  for (const File& file : files)
    if (!file.used && file.readable && !file.path.empty()) plat::RemoveFile(file.path);
}

void RemoveEntryReplays() {
  for (int list = 1; list <= 3; ++list)
    for (int place = 0; place <= 5; ++place) plat::RemoveFile(InFolder(EntryFile(list, place)));
}

}  // namespace replay
