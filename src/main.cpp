#include "main.h"

#include "extras.h"
#include "huhn.h"
#include "menu.h"
#include "platform/core/keys.h"
#include "replay.h"
#include "tool1.h"

TForm1* Form1 = nullptr;

const char* const kAlreadyRunningMessage =
    "Kelo - Das Spiel l\xE4uft schon: ein zweites Spiel mit denselben Dateien wird nicht gestartet.";

const char* const kFatalMessage =
    "Oh, es ist ein Fehler aufgetreten. Dies kann mehrere Ursachen haben.\r\n"
    "\r\n"
    "Kontrollieren Sie, ob alle Dateien vorhanden sind und keine gel\xF6scht wurden. Installieren Sie Kelo eventuell "
    "neu. Schauen Sie au\xDF"
    "erdem in der Hilfe nach, ob Ihr System alle Voraussetzungen erf\xFCllt. Oder schreiben Sie eine eMail an:\r\n"
    "hilfe@kelo-spiel.de\r\n"
    "\r\n"
    "Kelo wird nun beendet.";

TForm1::TForm1() {
  Form1 = this;
  Edit1.Left = -200;
  Edit1.MaxLength = kNameLength;
  Memo1.Left = -200;
  Memo1.Visible = false;
  Memo1.Enabled = false;
  Memo1.ReadOnly = true;
  DXTimer1.Interval = 20;
  DXTimer1.ActiveOnly = true;
  DXTimer1.Enabled = false;
  screen1.OnInitialize = [this] { screen1Initialize(); };
  screen1.OnFinalize = [this] { screen1Finalize(); };
  MediaPlayer1.Visible = false;

  DXTimer1.OnTimer = [this] {
    replay::TickBegins();
    DXTimer1Timer();
    replay::InputTaken();
  };
  // Every level is recorded as the handlers take its input.
  Application.OnMouseMove = [this](int x, int y) {
    replay::Moved(x, y);
    screen1MouseMove(x, y);
  };
  Application.OnMouseDown = [this](int button, int x, int y) {
    replay::Pressed(button, x, y);
    screen1MouseDown(button, x, y);
  };
  Application.OnKeyDown = [this](int key) {
    replay::KeyDown(key);
    // The window sees every key first, then the name field that holds the focus.
    FormKeyDown(key);
    Edit1KeyDown(key);
    Edit1.EditKey(key);
    replay::InputTaken();
  };
  Application.OnActivate = [](bool active) { replay::FocusChanged(active); };
  Application.OnText = [this](const std::string& utf8) { Edit1.TypeText(utf8); };
  Application.OnCloseQuery = [this](bool& canClose) { FormCloseQuery(canClose); };
}

TForm1::~TForm1() {
  Application.OnMouseMove = nullptr;
  Application.OnMouseDown = nullptr;
  Application.OnKeyDown = nullptr;
  Application.OnText = nullptr;
  Application.OnCloseQuery = nullptr;
  Application.OnActivate = nullptr;
  Application.OnException = nullptr;
  if (Form1 == this) Form1 = nullptr;
}

void TForm1::FormCreate() {
  Application.OnException = [this](const std::exception& e) { AppException(e); };
  InitGame();
}

void TForm1::FormCreateForReplay() {
  Application.OnException = [this](const std::exception& e) { AppException(e); };
  InitForReplay();
}

void TForm1::AppException(const std::exception& /*error*/) { ShowFatalError(); }

void ShowFatalError() {
  plat::MessageBoxContent box;
  box.caption = Application.Title;
  box.text = kFatalMessage;
  box.buttons = {"OK"};
  Application.ExitCode = 1;  // a launcher can tell that the game gave up
  Application.MessageBox(box);
  RequestTermination();
}

void TForm1::FormCloseQuery(bool& canClose) { canClose = false; }

namespace {

// The name with its leading and trailing blanks and control characters removed.
std::string Trimmed(const std::string& s) {
  size_t b = 0, e = s.size();
  while (b < e && static_cast<unsigned char>(s[b]) <= 32) ++b;
  while (e > b && static_cast<unsigned char>(s[e - 1]) <= 32) --e;
  return s.substr(b, e - b);
}

// A press region; both bounds belong to it.
bool Hit(int x, int y, int x1, int x2, int y1, int y2) { return x >= x1 && x <= x2 && y >= y1 && y <= y2; }

int OptionsIndex() { return Form1->alphaExplosions == 1 ? 15 : 13; }

// Leaves the name screen for a level; the level music plays from its start.
// Enter plays it even when it did not open, which is an error; the button
// plays only a piece that opened (a failed opening has already asked the
// game to end).
void StartLevelFromName(bool byEnter) {
  TForm1& f = *Form1;
  MenuFadeOut(4);
  replay::LevelStarts();
  StartLevel();
  StartWave();
  if (byEnter || f.MediaPlayer1.IsOpen()) f.MediaPlayer1.Play();
}

}  // namespace

void TForm1::FormKeyDown(int key) {
  if (key == VK_ESCAPE) {
    if (gameState == "Main") {
      MenuFadeOut(0);
      RequestTermination();
    }
    if (gameState == "Schwer") {
      MenuFadeOut(2);
      MenuFadeIn(0);
    }
    if (gameState == "Name") {
      MenuFadeOut(4);
      MenuFadeIn(2);
    }
    if (gameState == "Level") {
      ShowPause();
      return;  // the same key must not resume at once
    }
    if (gameState == "Pause") ResumeLevel();
    if (gameState == "Results") {
      MenuFadeOut(7);
      MenuFadeIn(0);
    }
  }
  if (key == VK_F4 && gameState == "Pause") AbandonLevel();
  if (gameState == "Level") {
    if (key == VK_F9) fireAnimation = uint8_t(1 - fireAnimation);
    if (key == VK_F10) alphaExplosions = uint8_t(1 - alphaExplosions);
  }
}

void TForm1::Edit1KeyDown(int key) {
  if (key == VK_RETURN && !Trimmed(Edit1.Text).empty() && gameState == "Name") StartLevelFromName(true);
}

void TForm1::screen1MouseMove(int x, int y) {
  mouseX = x;
  mouseY = y;
}

void TForm1::screen1MouseDown(int /*button*/, int x, int y) {
  if (gameState == "Main") {
    if (Hit(x, y, 367, 542, 172, 185)) {  // "Neues Spiel"
      MenuFadeOut(0);
      MenuFadeIn(2);
      return;
    }
    if (Hit(x, y, 367, 499, 198, 211)) {  // "Optionen"
      MenuFadeOut(0);
      MenuFadeIn(OptionsIndex());
      return;
    }
    if (Hit(x, y, 367, 524, 228, 241)) {  // "HighScore"
      MenuFadeOut(0);
      MenuFadeIn(11);
      return;
    }
    if (Hit(x, y, 367, 486, 364, 376)) {  // "Beenden"
      MenuFadeOut(0);
      ShowEndScreen();
      RequestTermination();
    }
  }
  if (gameState == "Schwer") {
    bool chosen = false;
    if (Hit(x, y, 367, 542, 172, 185)) difficulty = 1, chosen = true;
    if (Hit(x, y, 367, 542, 199, 211)) difficulty = 2, chosen = true;
    if (Hit(x, y, 367, 542, 225, 238)) difficulty = 3, speedDivisor = kSchwerSpeed, chosen = true;
    if (chosen) {
      MenuFadeOut(2);
      MenuFadeIn(4);
      Edit1.SetText("");
      return;
    }
    if (Hit(x, y, 367, 486, 364, 376)) {  // "Zurück"
      MenuFadeOut(2);
      MenuFadeIn(0);
    }
  }
  if (gameState == "Name") {
    if (Hit(x, y, 368, 485, 335, 348) && !Trimmed(Edit1.Text).empty()) {  // "Starten"
      StartLevelFromName(false);
      return;  // without it the same press would also be a shot
    }
    if (Hit(x, y, 367, 486, 364, 376)) {  // "Zurück"
      MenuFadeOut(4);
      MenuFadeIn(2);
    }
  }
  if (gameState == "Highscore" && y >= 426 && y <= 439) {
    if (x >= 262 && x <= 351) difficulty = 1;
    if (x >= 364 && x <= 455) difficulty = 2;
    if (x >= 465 && x <= 572) difficulty = 3;
    if (x >= 67 && x <= 172) {  // "Zurück"
      MenuFadeOut(11);
      MenuFadeIn(0);
    }
  }
  if (gameState == "Results" && Hit(x, y, 367, 526, 364, 376)) {  // "Hauptmenü"
    MenuFadeOut(7);
    MenuFadeIn(0);
  }
  if (gameState == "Optionen") {
    if (Hit(x, y, 368, 513, 172, 194)) {  // "Transparente Explosionen"
      alphaExplosions = uint8_t(1 - alphaExplosions);
      SaveSettings();
    }
    if (Hit(x, y, 368, 538, 253, 275)) {  // "HighScore-Liste zurücksetzen"
      plat::MessageBoxContent box;
      box.caption = "Best\xE4tigung";
      box.text = "Soll die Highscore-Liste wirklich zur\xFC" "ckgesetzt werden?";
      box.icon = plat::BoxIcon::Question;
      box.buttons = {"&Ja", "&Nein"};
      box.cancelButton = 1;
      if (Application.MessageBox(box) == 0) ResetHighscores();
    }
    if (Hit(x, y, 367, 486, 364, 376)) {  // "Zurück"
      MenuFadeOut(OptionsIndex());
      MenuFadeIn(0);
    }
  }
  LevelClick(x, y);
}

namespace {

// The fire animation through the work surface, keyed on white, at (x, y).
void DrawFire(int x, int y) {
  TForm1& f = *Form1;
  TCanvas& canvas = f.workSurface->Canvas();
  DrawGifFrame(*f.gifFeuer, Round(f.feuerFrame), canvas, Rect(0, 0, 70, 97), false);
  canvas.Release();
  f.workSurface->TransparentColor = clWhite;
  f.screen1.Surface.DrawRect(x, y, Rect(0, 0, 70, 97), *f.workSurface, true);
}

bool LevelIsOver() {
  TForm1& f = *Form1;
  if (f.chickensReleased != 100 || chickenLeftActive || chickenRightActive || planeActive || extraActive ||
      plane2Active)
    return false;
  for (int i = 0; i <= 20; ++i)
    if (f.explosionPhase[i] != -1) return false;
  return true;
}

void HeadUpDisplay() {
  TForm1& f = *Form1;
  TCanvas& canvas = f.screen1.Surface.Canvas();
  canvas.TextOut(410, 4, "Punkte: " + std::to_string(f.scorePoints));
  canvas.TextOut(520, 4, std::to_string(f.scoreHits) + " von " + std::to_string(f.chickensReleased));
  canvas.TextOut(340, 4, "FPS: " + std::to_string(f.DXTimer1.FrameRate));
  canvas.Font.Color = f.shotsLeft < 51 ? clRed : clWhite;
  canvas.TextOut(605, 4, f.difficulty == 1 ? std::string("---") : std::to_string(f.shotsLeft));
  canvas.Font.Color = clWhite;
}

}  // namespace

void LevelFrame() {
  TForm1& f = *Form1;
  TSurface& back = f.screen1.Surface;
  if (LevelIsOver()) {
    f.gameState = "Atombombe";
    InsertHighscore();
    f.atomFrame = 0;
    return;  // nothing is drawn in this tick
  }

  if (ampelActive) UpdateAmpel();
  if (chickenLeftActive) MoveChickensLeft();
  if (chickenRightActive) MoveChickensRight();
  if (planeActive) UpdatePlane();
  if (extraActive) UpdateExtra();
  if (plane2Active) UpdatePlane2();
  if (negativActive) UpdateNegativ();
  if (ammoActive) UpdateAmmo();
  AdvanceExplosions();
  AdvanceAnimations();

  back.Draw(0, 0, *f.levelBackground, false);
  DrawBonusObjects();
  DrawExplosions(3, 20);
  back.Draw(144, 295, *f.h3Surface, true);
  if (f.fireAnimation == 1) DrawFire(330, 300);
  DrawChickens();
  DrawExplosions(0, 2);
  back.Draw(0, 215, *f.h1Surface, true);
  back.Draw(450, 152, *f.h2Surface, true);
  if (f.ampelVisible == 1) back.DrawRect(10, 5, Rect(0, 0, 58, 14), *f.ampelSurface, true);
  HeadUpDisplay();
  DrawGifFrame(*f.gifSchuss, Round(f.schussFrame), back.Canvas(), Rect(585, 3, 600, 18), true);
  back.Canvas().Release();
  back.StretchDraw(Rect(500, 3, 515, 18), Rect(0, 0, 36, 35), *f.huhnbSurface2, true);
  back.Draw(f.mouseX - 5, f.mouseY - 5, *f.cursorSurface, true);
  f.screen1.Flip();
  // The level music starts again once it has played to its end.
  if (f.MediaPlayer1.Position() >= f.MediaPlayer1.Length()) f.MediaPlayer1.Play();
}

void AtombombeFrame() {
  TForm1& f = *Form1;
  TSurface& back = f.screen1.Surface;
  back.Fill(clBlack);
  back.Draw(f.shakeX, f.shakeY, *f.levelBackground, false);
  f.feuerFrame = AddExt(f.feuerFrame, 0.2_ext);
  if (Round(f.feuerFrame) == f.gifFeuer->Count()) f.feuerFrame = 0;
  if (f.fireAnimation == 1) DrawFire(f.shakeX + 330, f.shakeY + 300);
  f.endSequenceTime = AddExt(f.endSequenceTime, 0.1_ext);
  f.bombDrop = AddExt(f.bombDrop, 2.0_ext);
  const int t = Round(f.endSequenceTime);
  if (t >= 0 && t <= 35 && t % 10 <= 5) {
    // The warning blinks: 0..5, 10..15, 20..25, 30..35.
    back.Canvas().TextOut(250, 200, "Nukleare Absch\xFCsse entdeckt");
    back.Canvas().Release();
    f.bombDrop = 0;
  } else if (t >= 36 && t <= 57) {
    const TPictureCollectionItem& bomb = *f.ImageList1.Items[3];
    const int drop = Round(f.bombDrop);
    bomb.Draw(back, 265, drop - 70, 0);
    bomb.Draw(back, 335, drop - 90, 0);
    bomb.Draw(back, 405, drop - 50, 0);
    if (f.bombDrop == 440) f.WaveList1.Items[1]->Play(false);
  } else if (t >= 58 && t <= 81) {
    f.shakeX = Random(2) == 1 ? Random(20) : -Random(20);
    f.shakeY = Random(2) == 1 ? Random(20) : -Random(20);
    f.atomFrame = AddExt(f.atomFrame, 0.1_ext);
    if (Round(f.atomFrame) == 25) f.atomFrame = 0;
    f.workSurface->TransparentColor = clBlack;
    TCanvas& canvas = f.workSurface->Canvas();
    DrawGifFrame(*f.gifAtom, Round(f.atomFrame), canvas, Rect(0, 0, 78, 80), false);
    canvas.Release();
    for (const auto& [x, y] : {std::pair{270, 290}, std::pair{200, 310}, std::pair{340, 330}})
      back.StretchDraw(Rect(f.shakeX + x, f.shakeY + y, f.shakeX + x + 130, f.shakeY + y + 133), Rect(0, 0, 78, 80),
                       *f.workSurface, true);
  } else if (t == 82) {
    f.MediaPlayer1.Stop();
    f.gameState = "Nirwana";
    f.endSequenceTime = 0;
  }
  f.screen1.Flip();
}

void NirwanaFrame() {
  TForm1& f = *Form1;
  TSurface& back = f.screen1.Surface;
  f.endSequenceTime = AddExt(f.endSequenceTime, 2.0_ext);
  back.Fill(clBlack);
  const int t = Round(f.endSequenceTime);
  if (t >= 101) f.menu1.Items[9]->DrawAlpha(back, Rect(206, 215, 434, 265), 0, t - 100);
  f.screen1.Flip();
  if (f.endSequenceTime == 700) {
    GuardedMusic([&] {
      f.MediaPlayer1.Close();
      f.MediaPlayer1.FileName = f.appFolder + "data/1.mid";
      f.MediaPlayer1.Open();
      f.MediaPlayer1.Play();
    });
    f.gameState = "Results";
  }
}

void TForm1::DXTimer1Timer() {
  if (gameState == "Main") MenuFrame();
  if (gameState == "Schwer") MenuFrame();
  if (gameState == "Name") NameFrame();
  if (gameState == "Optionen") MenuFrame();
  if (gameState == "Results") ResultsFrame();
  if (gameState == "Atombombe") AtombombeFrame();
  if (gameState == "Nirwana") NirwanaFrame();
  if (gameState == "Highscore") HighscoreFrame();
  if (gameState == "Level") LevelFrame();
}

void TForm1::screen1Initialize() {
  LoadSurfaceCache();
  TCanvas& canvas = screen1.Surface.Canvas();
  canvas.Font.Color = clWhite;
  canvas.Brush.Style = bsClear;
  canvas.Font.Size = 8;
  canvas.Release();
  Application.SetCursorPos(320, 240);
  DXTimer1.Enabled = true;
  MediaPlayer1.Play();
}

void TForm1::screen1Finalize() {
  FreeSurfaceCache();
  // A music change that failed has closed the player and asked the game to end.
  if (MediaPlayer1.IsOpen()) MediaPlayer1.Stop();
}

void RequestTermination() { Application.Terminate(); }

void CreateGameWindow(bool forReplay) {
  // A window starts from what a new program starts with, also where one
  // process makes many in turn (the tests, a verifier): nothing that flew in
  // an earlier window's level flies into this one's.
  planeActive = extraActive = plane2Active = negativActive = ammoActive = 0;
  ampelActive = chickenLeftActive = chickenRightActive = 0;
  speedDivisor = 0;
  RandSeed = 0;
  replay::Abandon();
  try {
    new TForm1();
  } catch (const std::exception&) {
    // The window could not be built (its built-in pictures, say): there is
    // no game, only the message.
    Form1 = nullptr;
    ShowFatalError();
    return;
  }
  try {
    if (forReplay)
      Form1->FormCreateForReplay();
    else
      Form1->FormCreate();
  } catch (const std::exception& e) {
    Application.HandleException(e);
  }
}

void ShowGameWindow() {
  if (Application.TerminationRequested()) return;
  try {
    Form1->screen1.Initialize();
  } catch (const std::exception& e) {
    Application.HandleException(e);
  }
}

void DestroyGameWindow() {
  if (!Form1) return;
  try {
    Form1->screen1.Finalize();
  } catch (const std::exception& e) {
    Application.HandleException(e);
  }
  delete Form1;
}

int RunGame(plat::Backend& backend, const char* title) {
  Application.Initialize(&backend);
  Application.Title = title;
  CreateGameWindow();
  ShowGameWindow();
  Application.Run();
  DestroyGameWindow();
  return Application.ExitCode;
}
