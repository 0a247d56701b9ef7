#include "fields.h"

#include <cstdlib>
#include <functional>
#include <sstream>

#include "extras.h"
#include "huhn.h"
#include "main.h"
#include "platform/core/cp1252.h"
#include "platform/headless/harness_backend.h"
#include "tool1.h"

namespace harness {
namespace {

using Path = std::vector<std::string>;

struct Field {
  std::string name;
  std::function<Json()> get;
  // Sets the value at the rest of the path; returns an error text.
  std::function<std::string(const Path&, const std::string&)> set;
};

bool ParseLong(const std::string& s, long& out) {
  char* end = nullptr;
  out = std::strtol(s.c_str(), &end, 10);
  return !s.empty() && *end == 0;
}

bool ParseDouble(const std::string& s, double& out) {
  char* end = nullptr;
  out = std::strtod(s.c_str(), &end);
  return !s.empty() && *end == 0;
}

std::string SetNumber(int32_t& v, const Path& rest, const std::string& value) {
  long n;
  if (!rest.empty()) return "not a list";
  if (!ParseLong(value, n)) return "not a whole number: " + value;
  v = int32_t(n);
  return "";
}
std::string SetNumber(uint8_t& v, const Path& rest, const std::string& value) {
  long n;
  if (!rest.empty()) return "not a list";
  if (!ParseLong(value, n) || n < 0 || n > 255) return "not a byte: " + value;
  v = uint8_t(n);
  return "";
}
std::string SetNumber(double& v, const Path& rest, const std::string& value) {
  if (!rest.empty()) return "not a list";
  if (!ParseDouble(value, v)) return "not a number: " + value;
  return "";
}

template <class T>
Field Num(const char* name, T& v) {
  return Field{name, [&v] { return Json(double(v)); },
               [&v](const Path& rest, const std::string& value) { return SetNumber(v, rest, value); }};
}

Field Text(const char* name, std::string& v) {
  return Field{name, [&v] { return Json(plat::Cp1252ToUtf8(v)); },
               [&v](const Path& rest, const std::string& value) -> std::string {
                 if (!rest.empty()) return "not a list";
                 v = plat::Utf8ToCp1252(value);
                 return "";
               }};
}

template <class T, int Lo, int Hi>
Field NumList(const char* name, TArray<T, Lo, Hi>& a) {
  return Field{name,
               [&a] {
                 Json j = Json::MakeArray();
                 for (int i = Lo; i <= Hi; ++i) j.Push(Json(double(a[i])));
                 return j;
               },
               [&a](const Path& rest, const std::string& value) -> std::string {
                 long k;
                 if (rest.size() != 1 || !ParseLong(rest[0], k) || k < 0 || k > Hi - Lo) return "needs an element";
                 return SetNumber(a[Lo + int(k)], {}, value);
               }};
}

Field Huhns(TArray<THuhn, 1, 3>& table) {
  return Field{"huhnTable",
               [&table] {
                 Json j = Json::MakeArray();
                 for (int i = 1; i <= 3; ++i) {
                   Json h = Json::MakeObject();
                   h.Set("X", table[i].X).Set("Y", table[i].Y).Set("Kind", table[i].Kind);
                   h.Set("State", plat::Cp1252ToUtf8(table[i].State));
                   j.Push(h);
                 }
                 return j;
               },
               [&table](const Path& rest, const std::string& value) -> std::string {
                 long k;
                 if (rest.size() != 2 || !ParseLong(rest[0], k) || k < 0 || k > 2) return "needs a place and a field";
                 THuhn& h = table[int(k) + 1];
                 if (rest[1] == "X") return SetNumber(h.X, {}, value);
                 if (rest[1] == "Y") return SetNumber(h.Y, {}, value);
                 if (rest[1] == "Kind") return SetNumber(h.Kind, {}, value);
                 if (rest[1] == "State") return h.State = plat::Utf8ToCp1252(value), "";
                 return "no field " + rest[1];
               }};
}

Field HighTables(TArray<THighscoreTable, 1, 3>& tables) {
  return Field{"highTables",
               [&tables] {
                 Json j = Json::MakeArray();
                 for (int d = 1; d <= 3; ++d) {
                   Json list = Json::MakeArray();
                   for (int i = 0; i < 5; ++i) {
                     Json e = Json::MakeObject();
                     e.Set("name", plat::Cp1252ToUtf8(tables[d].Names[i].Str()));
                     e.Set("points", plat::Cp1252ToUtf8(tables[d].Points[i].Str()));
                     e.Set("hits", plat::Cp1252ToUtf8(tables[d].Hits[i].Str()));
                     list.Push(e);
                   }
                   j.Push(list);
                 }
                 return j;
               },
               [&tables](const Path& rest, const std::string& value) -> std::string {
                 long d, i;
                 if (rest.size() != 3 || !ParseLong(rest[0], d) || !ParseLong(rest[1], i) || d < 0 || d > 2 || i < 0 ||
                     i > 4)
                   return "needs a list, an entry and a field";
                 THighscoreTable& t = tables[int(d) + 1];
                 const std::string text = plat::Utf8ToCp1252(value);
                 if (rest[2] == "name") return t.Names[i].Assign(text), "";
                 if (rest[2] == "points") return t.Points[i].Assign(text), "";
                 if (rest[2] == "hits") return t.Hits[i].Assign(text), "";
                 return "no field " + rest[2];
               }};
}

std::vector<Field> Fields() {
  TForm1& f = *Form1;
  return {
      Text("gameState", f.gameState),
      Text("playerName", f.playerName),
      Field{"appFolder", [&f] { return Json(f.appFolder); }, nullptr},
      Text("versionText", f.versionText),
      Num("schussFrame", f.schussFrame),
      Num("feuerFrame", f.feuerFrame),
      Num("atomFrame", f.atomFrame),
      Num("endSequenceTime", f.endSequenceTime),
      Num("bombDrop", f.bombDrop),
      Num("flapPhase", f.flapPhase),
      Num("mouseX", f.mouseX),
      Num("mouseY", f.mouseY),
      Num("waveSize", f.waveSize),
      Num("scorePoints", f.scorePoints),
      Num("chickensReleased", f.chickensReleased),
      Num("scoreHits", f.scoreHits),
      Num("planeX", f.planeX),
      Num("dropX", f.dropX),
      Num("shotsLeft", f.shotsLeft),
      Num("ammoY", f.ammoY),
      Num("negativX", f.negativX),
      Num("ammoX", f.ammoX),
      Num("plane2X", f.plane2X),
      Num("plane2Y", f.plane2Y),
      Num("extra1X", f.extra1X),
      Num("extra1Y", f.extra1Y),
      Num("extra2X", f.extra2X),
      Num("extra1Shot", f.extra1Shot),
      Num("difficulty", f.difficulty),
      Num("pauseMouseX", f.pauseMouseX),
      Num("pauseMouseY", f.pauseMouseY),
      Num("shakeX", f.shakeX),
      Num("shakeY", f.shakeY),
      Num("placement", f.placement),
      Num("ampelTime", f.ampelTime),
      Num("dropY", f.dropY),
      Num("negativY", f.negativY),
      Huhns(f.huhnTable),
      Num("ampelVisible", f.ampelVisible),
      Num("alphaExplosions", f.alphaExplosions),
      Num("fireAnimation", f.fireAnimation),
      NumList("dropGone", f.dropGone),
      NumList("extra2Gone", f.extra2Gone),
      NumList("explosionPhase", f.explosionPhase),
      NumList("explosionX", f.explosionX),
      NumList("explosionY", f.explosionY),
      HighTables(f.highTables),
      Num("planeActive", planeActive),
      Num("extraActive", extraActive),
      Num("plane2Active", plane2Active),
      Num("negativActive", negativActive),
      Num("ammoActive", ammoActive),
      Num("ampelActive", ampelActive),
      Num("chickenLeftActive", chickenLeftActive),
      Num("chickenRightActive", chickenRightActive),
      Num("speedDivisor", speedDivisor),
      Text("edit1Text", f.Edit1.Text),
      Field{"settingsLines",
            [&f] {
              Json j = Json::MakeArray();
              for (std::string_view l : f.Memo1.Lines) j.Push(plat::Cp1252ToUtf8(std::string(l)));
              return j;
            },
            nullptr},
      Field{"frameRate", [&f] { return Json(f.DXTimer1.FrameRate); }, nullptr},
      Field{"timerEnabled", [&f] { return Json(f.DXTimer1.Enabled); }, nullptr},
  };
}

std::string Relative(const std::string& file) {
  const std::string& folder = Form1->appFolder;
  if (!folder.empty() && file.compare(0, folder.size(), folder) == 0) return file.substr(folder.size());
  return file;
}

Json Event(const plat::HarnessBackend::Record_& r) {
  Json e = Json::MakeObject();
  e.Set("tick", r.tick);
  const plat::Sighting& s = r.what;
  switch (s.kind) {
    case plat::Sighting::Sound: e.Set("kind", "sound").Set("item", s.item).Set("pan", s.pan); break;
    case plat::Sighting::Music:
      e.Set("kind", "music").Set("op", s.op).Set("file", Relative(s.file));
      if (s.failed) e.Set("failed", true);
      break;
    case plat::Sighting::Dialog: {
      Json buttons = Json::MakeArray();
      for (const std::string& b : s.buttons) buttons.Push(b);
      e.Set("kind", "dialog").Set("caption", s.caption).Set("text", s.text).Set("buttons", buttons);
      e.Set("answer", s.answer);
      break;
    }
    case plat::Sighting::Pointer: e.Set("kind", "pointer").Set("x", s.x).Set("y", s.y); break;
  }
  return e;
}

}  // namespace

Json Dump(const plat::HarnessBackend& backend, bool withEvents) {
  TForm1& f = *Form1;
  Json j = Json::MakeObject();
  for (const Field& field : Fields()) j.Set(field.name, field.get());
  j.Set("active", Application.Active);
  if (f.workSurface) {
    const TColor c = f.workSurface->TransparentColor;
    j.Set("workSurfaceTransparentColor", Json::MakeArray().Push(GetRValue(c)).Push(GetGValue(c)).Push(GetBValue(c)));
  } else {
    j.Set("workSurfaceTransparentColor", Json());
  }
  j.Set("ticks", f.DXTimer1.TicksBegun);
  j.Set("flips", f.screen1.FlipCount);
  j.Set("clockMs", backend.clockMs);
  j.Set("terminationRequested", Application.TerminationRequested());
  j.Set("terminated", Application.Terminated);
  j.Set("pointer", Json::MakeArray().Push(backend.pointerX).Push(backend.pointerY));
  Json music = Json::MakeObject();
  music.Set("file", Relative(f.MediaPlayer1.FileName));
  music.Set("open", f.MediaPlayer1.IsOpen());
  music.Set("playing", f.MediaPlayer1.IsPlaying());
  music.Set("position", f.MediaPlayer1.IsOpen() ? f.MediaPlayer1.Position() : 0);
  music.Set("length", f.MediaPlayer1.IsOpen() ? f.MediaPlayer1.Length() : 0);
  j.Set("music", music);
  if (withEvents) {
    Json events = Json::MakeArray();
    for (const auto& r : backend.records) events.Push(Event(r));
    j.Set("events", events);
  }
  return j;
}

std::string SetField(const std::string& path, const std::string& value) {
  Path parts;
  std::stringstream ss(path);
  for (std::string part; std::getline(ss, part, '.');) parts.push_back(part);
  if (parts.empty()) return "no field named";
  for (const Field& field : Fields()) {
    if (field.name != parts[0]) continue;
    if (!field.set) return field.name + " cannot be set";
    return field.set(Path(parts.begin() + 1, parts.end()), value);
  }
  return "no field " + parts[0];
}

}  // namespace harness

namespace harness {

void ResetModuleVariables() {
  planeActive = extraActive = plane2Active = negativActive = ammoActive = 0;
  ampelActive = chickenLeftActive = chickenRightActive = 0;
  speedDivisor = 0;
  RandSeed = 0;
}

}  // namespace harness
