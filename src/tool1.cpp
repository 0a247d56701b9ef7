#include "tool1.h"

#include <cmath>

#include <algorithm>

#include "extras.h"
#include "huhn.h"
#include "menu.h"
#include "main.h"
#include "platform/core/files.h"
#include "replay.h"

// --- Numeric rules -------------------------------------------------------------

int Round(double x) { return int(std::lrint(x)); }
int Trunc(double x) { return int(x); }
int PanOf(int x) { return x * 20000 / 640 - 10000; }

uint32_t RandSeed = 0;

void Randomize() { RandSeed = replay::Reseed(Application.Host().RandomizeSeed()); }

int Random(int n) {
  RandSeed = RandSeed * 0x08088405u + 1u;
  return int((uint64_t(RandSeed) * uint64_t(uint32_t(n))) >> 32);
}

void DrawGifFrame(const TGIFImage& gif, int index, TCanvas& canvas, TRect rect, bool transparent) {
  if (index < 0 || index >= gif.Count()) throw std::out_of_range("GIF frame " + std::to_string(index) + " missing");
  gif.Frames[size_t(index)]->Draw(canvas, rect, transparent);
}

// --- Start-up and settings -----------------------------------------------------

namespace {

void LoadGif(std::unique_ptr<TGIFImage>& field, const std::string& path, int framesNeeded) {
  field = std::make_unique<TGIFImage>();
  field->LoadFromFile(path);
  // The screens draw frames by number: a picture without them cannot be shown.
  if (field->Count() < framesNeeded)
    throw plat::EInOutError(path + " has " + std::to_string(field->Count()) + " frames, needs " +
                            std::to_string(framesNeeded));
}

// The start-up of the game, and with `playersFiles` false that of a replay:
// the game's data only, and no file of the player's read or written.
void StartUp(bool playersFiles) {
  TForm1& f = *Form1;
  f.ClientWidth = 0;
  f.ClientHeight = 0;
  Application.Host().ShowPointer(false);
  f.Memo1.Lines.Clear();
  f.appFolder = plat::GameFilesFolder();
  if (f.appFolder.empty() || f.appFolder.back() != '/') f.appFolder += '/';
  const std::string ini = f.appFolder + "kelo.ini";
  if (playersFiles) plat::RemoveLeftoverOf(ini);  // of a save that was killed half way
  if (playersFiles && plat::FileExists(ini)) {
    f.Memo1.Lines.SetText(plat::ReadWholeFile(ini));
    f.alphaExplosions = (!f.Memo1.Lines.Empty() && f.Memo1.Lines[0] == "1") ? 1 : 0;
  } else {
    f.alphaExplosions = 0;
  }
  f.fireAnimation = 1;
  f.versionText = "1.00";
  speedDivisor = kNormalSpeed;
  f.difficulty = 1;
  GuardedMusic([&] {
    f.MediaPlayer1.FileName = f.appFolder + "data/1.mid";
    f.MediaPlayer1.Open();
  });
  LoadGif(f.gifSchuss, f.appFolder + "data/schuss.gif", 1);
  LoadGif(f.gifFeuer, f.appFolder + "data/feuer.gif", 1);
  LoadGif(f.gifAtom, f.appFolder + "data/atom.gif", 26);
  if (!playersFiles) {
    f.gameState = "Busy";  // as when the name screen has faded out
    return;
  }
  OpenHighscores();
  f.gameState = "Main";
}

}  // namespace

void InitGame() { StartUp(true); }
void InitForReplay() { StartUp(false); }

void SaveSettings() {
  TForm1& f = *Form1;
  TStrings& lines = f.Memo1.Lines;
  const char* first = f.alphaExplosions == 1 ? "1" : "0";
  if (lines.Empty())
    lines.Add(first);
  else
    lines.Put(0, first);
  plat::SaveFile(f.appFolder + "kelo.ini", lines.Text());
}

// --- Display start and end -----------------------------------------------------

namespace {

std::unique_ptr<TSurface> CachedCopy(int item) {
  auto s = std::make_unique<TSurface>();
  s->LoadFromGraphic(Form1->ImageList1.Items[size_t(item)]->Picture());
  return s;
}

}  // namespace

void LoadSurfaceCache() {
  TForm1& f = *Form1;
  f.menuBackground = CachedCopy(1);
  f.cursorSurface = CachedCopy(16);
  f.levelBackground = CachedCopy(0);
  f.h1Surface = CachedCopy(11);
  f.h2Surface = CachedCopy(12);
  f.h3Surface = CachedCopy(13);
  f.ampelSurface = CachedCopy(2);
  f.ampelPristine = CachedCopy(2);
  f.huhnaSurface = CachedCopy(14);
  f.huhnbSurface = CachedCopy(15);
  f.huhnbSurface2 = CachedCopy(15);
  f.planeSurface = CachedCopy(19);
  f.menschSurface = CachedCopy(17);
  f.schussSurface = CachedCopy(21);
  f.negativSurface = CachedCopy(18);
  f.plane2Surface = CachedCopy(20);
  f.extra1Surface = CachedCopy(9);
  f.extra2Surface = CachedCopy(10);
  for (int i = 1; i <= 8; ++i) f.explosionFrames[i] = std::make_unique<TSurface>();
  const int explosionItems[9] = {0, 4, 5, 6, 7, 8, 22, 23, 24};
  for (int i = 1; i <= 8; ++i)
    f.explosionFrames[i]->LoadFromGraphic(f.ImageList1.Items[size_t(explosionItems[i])]->Picture());
  f.workSurface = std::make_unique<TSurface>();
  f.workSurface->SetSize(200, 200);
  f.workSurface->TransparentColor = clBlack;
}

void FreeSurfaceCache() {
  TForm1& f = *Form1;
  for (auto* s : {&f.menuBackground, &f.cursorSurface, &f.levelBackground, &f.h1Surface, &f.h2Surface, &f.h3Surface,
                  &f.ampelSurface, &f.ampelPristine, &f.huhnaSurface, &f.huhnbSurface, &f.huhnbSurface2,
                  &f.planeSurface, &f.menschSurface, &f.schussSurface, &f.negativSurface, &f.plane2Surface,
                  &f.extra1Surface, &f.extra2Surface})
    s->reset();
  for (int i = 1; i <= 8; ++i) f.explosionFrames[i].reset();
  f.workSurface.reset();
}

// --- Level ---------------------------------------------------------------------

void StartLevel() {
  TForm1& f = *Form1;
  GuardedMusic([&] {
    f.MediaPlayer1.Close();
    f.MediaPlayer1.FileName = f.appFolder + "data/back.mid";
    f.MediaPlayer1.Open();
  });
  f.playerName = f.Edit1.Text;
  Application.SetCursorPos(320, 240);
  f.ampelVisible = 0;
  ampelActive = chickenLeftActive = chickenRightActive = 0;
  f.scorePoints = f.chickensReleased = f.scoreHits = 0;
  f.flapPhase = 0;
  f.planeX = -100;
  f.dropX = -20;
  f.dropY = 86;
  for (int k = 1; k <= 10; ++k) f.dropGone[k] = 0;
  for (int k = 1; k <= 5; ++k) f.extra2Gone[k] = 0;
  for (int i = 0; i <= 20; ++i) f.explosionPhase[i] = -1;
  if (f.difficulty < 3) speedDivisor = kNormalSpeed;
  f.endSequenceTime = 0;
  f.shakeX = f.shakeY = 0;
  f.shotsLeft = 200;
  f.ammoY = -100;
  f.negativY = -100;
  f.plane2X = 800;
  f.extra1X = -500;
  f.extra1Shot = 0;
  f.extra2X = -60;
  f.gameState = "Level";
  // The bonus flags stay: an object still under way starts again from its rest.
}

// --- Highscores ----------------------------------------------------------------

namespace {

constexpr int kRecordSize = int(sizeof(THighscoreTable));

std::string HighFileName(int n) { return Form1->appFolder + "high" + char('0' + n) + ".sco"; }

void FillDefaults(THighscoreTable& t) {
  for (int i = 0; i < 5; ++i) {
    t.Names[i].Assign("Quillendorfer (Kelo)");
    t.Points[i].Assign("0");
    t.Hits[i].Assign("000");
  }
}

// Gives list n the default entries and writes them to its file. A missing file
// is made complete beside its place and then renamed into it, so it is never
// seen empty or short; an existing one is written in place.
void WriteDefaults(int n) {
  TForm1& f = *Form1;
  plat::TRecordFile& file = f.highFiles[n];
  FillDefaults(f.highTables[n]);
  if (!plat::FileExists(file.Path())) {
    plat::CreateFileComplete(file.Path(),
                             std::string_view(reinterpret_cast<const char*>(&f.highTables[n]), kRecordSize));
    file.Reset(kRecordSize);
    file.Seek(1);  // after the record, as if it had just been written
  } else {
    file.Rewrite(kRecordSize);
    file.Write(&f.highTables[n]);
  }
}

// A whole decimal number (optional sign, digits, nothing else) or an error.
int StrToInt(const std::string& s) {
  size_t i = (!s.empty() && (s[0] == '-' || s[0] == '+')) ? 1 : 0;
  if (i == s.size()) throw std::invalid_argument("'" + s + "' is not a valid integer value");
  long long v = 0;
  for (; i < s.size(); ++i) {
    if (s[i] < '0' || s[i] > '9') throw std::invalid_argument("'" + s + "' is not a valid integer value");
    v = v * 10 + (s[i] - '0');
    if (v > 2147483648LL) throw std::invalid_argument("'" + s + "' is not a valid integer value");
  }
  if (s[0] == '-') v = -v;
  if (v > 2147483647LL) throw std::invalid_argument("'" + s + "' is not a valid integer value");
  return int(v);
}

}  // namespace

void OpenHighscores() {
  TForm1& f = *Form1;
  for (int n = 1; n <= 3; ++n) {
    plat::TRecordFile& file = f.highFiles[n];
    file.Assign(HighFileName(n));
    if (!plat::FileExists(file.Path())) {
      WriteDefaults(n);
    } else {
      file.Reset(kRecordSize);
      if (!file.Eof()) {
        file.Read(&f.highTables[n]);
      } else {
        // An empty file would leave empty texts that a finished level cannot
        // rank against: it gets the default entries, like a missing one.
        FillDefaults(f.highTables[n]);
        file.Write(&f.highTables[n]);
      }
    }
    // A game ended while a replay moved with its entry leaves it where it was.
    if (replay::KeepingReplays()) replay::MatchEntryReplays(n);
  }
}

void InsertHighscore() {
  TForm1& f = *Form1;
  const int list = f.difficulty;
  THighscoreTable& t = f.highTables[list];
  const int hits = f.scoreHits, points = f.scorePoints;
  f.placement = 0;
  for (int i = 5; i >= 1; --i) {
    const int k = i - 1;
    const int entryHits = StrToInt(t.Hits[k].Str());
    // The entry's points are read only where the hits tie: elsewhere they decide nothing.
    const int entryPoints = hits == entryHits ? StrToInt(t.Points[k].Str()) : 0;
    if (RankKey(hits, points) > RankKey(entryHits, entryPoints)) {
      if (i < 5) {
        // Texts move, not whole fields: the bytes after a text stay as they were.
        t.Names[k + 1].Assign(t.Names[k].Str());
        t.Points[k + 1].Assign(t.Points[k].Str());
        t.Hits[k + 1].Assign(t.Hits[k].Str());
      }
      t.Names[k].Assign(f.playerName);
      t.Points[k].Assign(std::to_string(points));
      t.Hits[k].Assign(std::to_string(hits));
      f.placement = i;
    }
  }
  // A replay that plays saves nothing.
  if (!replay::Playing()) {
    f.highFiles[list].Seek(0);
    f.highFiles[list].Write(&t);
  }
}

void ResetHighscores() {
  TForm1& f = *Form1;
  for (int n = 1; n <= 3; ++n) {
    plat::TRecordFile& file = f.highFiles[n];
    file.Close();
    file.Assign(HighFileName(n));
    WriteDefaults(n);
  }
  if (replay::KeepingReplays()) replay::RemoveEntryReplays();
  plat::MessageBoxContent box;
  box.caption = Application.Title;
  box.text = "Die Highscore-Liste wurde zur\xFC" "ckgesetzt.";
  box.buttons = {"OK"};
  Application.MessageBox(box);
}

namespace {

const char* CategoryName(int difficulty) {
  switch (difficulty) {
    case 1: return "Leicht";
    case 2: return "Mittel";
    case 3: return "Schwer";
    default: return "";
  }
}

}  // namespace

void ResultsFrame() {
  TForm1& f = *Form1;
  TSurface& back = f.screen1.Surface;
  TCanvas& canvas = back.Canvas();
  AdvanceAnimations();
  back.Draw(0, 0, *f.menuBackground, false);
  f.workSurface->TransparentColor = clBlack;
  DrawAtom();
  f.menu1.Items[7]->Draw(back, 153, 163, 0);
  f.menu1.Items[8]->Draw(back, 367, 172, 0);
  const std::string category = std::string("in der Kategorie ") + CategoryName(f.difficulty);
  canvas.Font.Color = clBlack;
  canvas.TextOut(382, 194, std::to_string(f.scorePoints));
  const std::string hits = std::to_string(f.scoreHits);
  canvas.TextOut(382, 247, hits + "/100 (" + hits + "%)");
  if (f.placement < 1) {
    canvas.TextOut(382, 300, "Keine Wertung");
    canvas.TextOut(382, 315, category);
  } else {
    canvas.TextOut(382, 300, std::to_string(f.placement) + ". Platz " + category);
  }
  canvas.Font.Color = clWhite;
  canvas.TextOut(615, 465, f.versionText);
  canvas.Release();
  DrawMenuPointer();
  f.screen1.Flip();
}

void HighscoreFrame() {
  TForm1& f = *Form1;
  TSurface& back = f.screen1.Surface;
  f.menu1.Items[10]->Draw(back, 0, 0, 0);
  f.menu1.Items[11]->Draw(back, 153, 163, 0);
  f.menu1.Items[12]->Draw(back, 64, 420, 0);
  back.Canvas().TextOut(615, 465, f.versionText);
  back.Canvas().Release();
  DrawHighscoreTable();
  DrawMenuPointer();
  f.screen1.Flip();
}

void DrawHighscoreTable() {
  TForm1& f = *Form1;
  TCanvas& canvas = f.screen1.Surface.Canvas();
  const THighscoreTable& t = f.highTables[std::clamp(f.difficulty, 1, 3)];
  canvas.Font.Color = clBlue;
  canvas.TextOut(70, 220, "Bestenliste in der Kategorie:");
  canvas.Font.Color = clBlack;
  canvas.TextOut(210, 220, CategoryName(f.difficulty));
  canvas.Font.Color = clBlue;
  canvas.TextOut(70, 240, "Spielername");
  canvas.TextOut(360, 240, "Punkte");
  canvas.TextOut(500, 240, "Treffer");
  for (int i = 1; i <= 5; ++i) {
    const int y = 245 + 15 * i;
    const std::string hits = t.Hits[i - 1].Str();
    if (hits == "-10") continue;  // a row left blank on purpose
    canvas.Font.Color = clBlack;
    canvas.TextOut(70, y, t.Names[i - 1].Str());
    canvas.TextOut(360, y, t.Points[i - 1].Str());
    canvas.TextOut(500, y, hits + "/100 (" + hits + "%)");
  }
  canvas.Font.Color = clWhite;
  canvas.Release();
}
