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

void TForm1::FormKeyDown(int key) {
  if (key == VK_ESCAPE) {
    if (gameState == "Main") {
      gameState = "Busy";
      RequestTermination();
    }
  }
}

void TForm1::Edit1KeyDown(int /*key*/) {}

void TForm1::screen1MouseMove(int x, int y) {
  mouseX = x;
  mouseY = y;
}

void TForm1::screen1MouseDown(int /*button*/, int /*x*/, int /*y*/) {}

void TForm1::DXTimer1Timer() {
  if (gameState == "Main") MenuFrame();
  if (gameState == "Schwer") MenuFrame();
  if (gameState == "Name") NameFrame();
  if (gameState == "Optionen") MenuFrame();
  if (gameState == "Results") ResultsFrame();
  if (gameState == "Atombombe") {
  }
  if (gameState == "Nirwana") {
  }
  if (gameState == "Highscore") HighscoreFrame();
  if (gameState == "Level") {
  }
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
