#include "main.h"

#include "extras.h"
#include "huhn.h"
#include "menu.h"
#include "platform/keys.h"
#include "tool1.h"

TForm1* Form1 = nullptr;

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
  Edit1.MaxLength = 20;
  Memo1.Left = -200;
  Memo1.Visible = false;
  Memo1.Enabled = false;
  Memo1.ReadOnly = true;
  DXTimer1.Interval = 20;
  DXTimer1.ActiveOnly = true;
  DXTimer1.Enabled = false;
  DXTimer1.OnTimer = [this] { DXTimer1Timer(); };
  screen1.OnInitialize = [this] { screen1Initialize(); };
  screen1.OnFinalize = [this] { screen1Finalize(); };
  MediaPlayer1.Visible = false;

  Application.OnMouseMove = [this](int x, int y) { screen1MouseMove(x, y); };
  Application.OnMouseDown = [this](int button, int x, int y) { screen1MouseDown(button, x, y); };
  Application.OnKeyDown = [this](int key) {
    // The window sees every key first, then the name field that holds the focus.
    FormKeyDown(key);
    Edit1KeyDown(key);
    Edit1.EditKey(key);
  };
  Application.OnText = [this](const std::string& utf8) { Edit1.TypeText(utf8); };
  Application.OnCloseQuery = [this](bool& canClose) { FormCloseQuery(canClose); };
}

TForm1::~TForm1() {
  Application.OnMouseMove = nullptr;
  Application.OnMouseDown = nullptr;
  Application.OnKeyDown = nullptr;
  Application.OnText = nullptr;
  Application.OnCloseQuery = nullptr;
  Application.OnException = nullptr;
  if (Form1 == this) Form1 = nullptr;
}

void TForm1::FormCreate() {
  Application.OnException = [this](const std::exception& e) { AppException(e); };
  InitGame();
}

void TForm1::AppException(const std::exception& /*error*/) {
  plat::MessageBoxSpec box;
  box.caption = Application.Title;
  box.text = kFatalMessage;
  box.buttons = {"OK"};
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
void StartLevelFromName() {
  TForm1& f = *Form1;
  MenuFadeOut(4);
  StartLevel();
  StartWave();
  f.MediaPlayer1.Play();
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
  if (key == VK_RETURN && !Trimmed(Edit1.Text).empty() && gameState == "Name") StartLevelFromName();
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
    if (Hit(x, y, 367, 542, 225, 238)) difficulty = 3, speedDivisor = 2.0, chosen = true;
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
      StartLevelFromName();
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
      plat::MessageBoxSpec box;
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

void LevelFrame() {}
void AtombombeFrame() {}
void NirwanaFrame() {}

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

void CreateGameWindow() {
  new TForm1();
  try {
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
