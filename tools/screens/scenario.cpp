#include "scenario.h"

#include <filesystem>

#include "extras.h"
#include "fields.h"
#include "huhn.h"
#include "main.h"
#include "menu.h"
#include "platform/core/files.h"
#include "platform/core/keys.h"
#include "platform/core/msgbox.h"
#include "platform/headless/harness_backend.h"
#include "tool1.h"

namespace screens {
namespace {

plat::HarnessBackend* host = nullptr;
const Shot* shoot = nullptr;

void Deliver() { Application.ProcessMessages(); }

void Tick(int n = 1) {
  for (int i = 0; i < n; ++i) {
    Deliver();
    host->clockMs += 20;
    Form1->DXTimer1.Step(host->clockMs, Application.Active);
  }
}

void Take(const std::string& name) {
  std::vector<uint16_t> pixels;
  Form1->screen1.VisiblePicture(pixels);
  (*shoot)(name, pixels);
}

// A box over the picture, as the player sees it before answering.
void BoxShot(const std::string& name, const plat::MessageBoxContent& content) {
  std::vector<uint16_t> pixels;
  Form1->screen1.VisiblePicture(pixels);
  TSurface picture(640, 480);
  std::copy(pixels.begin(), pixels.end(), picture.Bits());
  plat::ModalBox(content).DrawOnto(picture);
  std::copy(picture.Bits(), picture.Bits() + pixels.size(), pixels.begin());
  (*shoot)(name, pixels);
}

void Press(int x, int y) {
  host->QueuePress(x, y);
  Deliver();
}

void Move(int x, int y) {
  host->QueueMove(x, y);
  Deliver();
}

void Key(int vk) {
  host->QueueKey(vk);
  Deliver();
}

// Starts a level of a difficulty from the main menu.
void NewLevel(int difficulty, const char* name) {
  Press(400, 180);
  Press(400, 180 + 25 * (difficulty - 1));
  Form1->Edit1.SetText(name);
  Key(VK_RETURN);
}

// Runs until the first wave of the given direction is well on its way.
void UntilFlying(bool leftward, int extraTicks) {
  for (int i = 0; i < 20000 && !(leftward ? chickenLeftActive : chickenRightActive); ++i) Tick();
  Tick(extraTicks);
}

// Everything released and settled: the level ends at the next tick.
void AllReleased() {
  Form1->chickensReleased = 100;
  chickenLeftActive = chickenRightActive = ampelActive = 0;
  planeActive = extraActive = plane2Active = 0;
  for (int i = 0; i <= 20; ++i) Form1->explosionPhase[i] = -1;
}

}  // namespace

void Play(const std::string& folder, const Shot& shot) {
  harness::ResetModuleVariables();
  plat::SetProgramFolder(folder);
  plat::HarnessBackend backend(7);
  host = &backend;
  shoot = &shot;
  Application.Initialize(&backend);
  Application.Title = "Kelo - Das Spiel";
  CreateGameWindow();
  ShowGameWindow();
  TForm1& f = *Form1;

  Move(470, 300);
  Tick(9);
  Take("main");
  // A fade in the middle: each picture of a fade delivers the waiting events,
  // and every move delivered then queues the next, so the count tells the picture.
  int fadePictures = 0;
  Application.OnMouseMove = [&](int x, int y) {
    f.screen1MouseMove(x, y);
    if (f.gameState != "Busy") return;
    if (++fadePictures == 18 + 10) Take("fade");  // the fade-in at alpha 135
    host->QueueMove(x, y);
  };
  host->QueuePress(470, 180);
  host->QueueMove(470, 180);
  Application.ProcessMessages();
  Application.OnMouseMove = [&](int x, int y) { f.screen1MouseMove(x, y); };
  Tick(8);
  Take("difficulty");
  Press(400, 205);
  Tick();
  host->QueueText("Bauer Jöran");
  Move(430, 300);
  Tick(6);
  Take("name");
  Key(VK_ESCAPE);
  Key(VK_ESCAPE);
  Press(400, 200);
  Move(520, 230);
  Tick(3);
  Take("options-off");
  Press(400, 180);
  Tick(3);
  Take("options-on");
  // Resetting the lists asks first, then says it is done.
  const char* boxes[] = {"box-reset-question", "box-reset-done"};
  int box = 0;
  backend.onBox = [&](const plat::MessageBoxContent& content) { BoxShot(boxes[box++], content); };
  backend.answers.push_back("yes");
  Press(400, 264);
  backend.onBox = nullptr;
  Press(400, 370);

  // The highscore lists, with a few entries of our own.
  const char* names[] = {"Kerstin", "Bauer J\xF6ran", "Oma Hilde"};
  for (int d = 1; d <= 3; ++d)
    for (int i = 0; i < 3; ++i) {
      f.difficulty = d;
      f.playerName = names[(i + d) % 3];
      f.scoreHits = 90 - 17 * i - 3 * d;
      f.scorePoints = 200 * f.scoreHits + 350 * (3 - i) - 500 * d;
      InsertHighscore();
    }
  Press(400, 233);
  for (int d = 1; d <= 3; ++d) {
    Press(d == 1 ? 300 : d == 2 ? 400 : 500, 430);
    Move(150 + 100 * d, 380);
    Tick(2);
    Take("highscore-" + std::to_string(d));
  }
  Press(100, 430);

  // Level scenes.
  NewLevel(2, "Bauer J\xF6ran");
  Move(300, 200);
  Tick(60);
  Take("level-countdown-1");
  Tick(50);
  Take("level-countdown-2");
  Tick(50);
  Take("level-countdown-3");
  UntilFlying(true, 30);
  Take("level-flight-leftward");
  f.alphaExplosions = 0;
  for (int i = 1; i <= 3; ++i)
    if (f.huhnTable[i].State == "Normal") LevelClick(f.huhnTable[i].X + 15, f.huhnTable[i].Y + 16);
  Tick(4);
  Take("level-explosion");
  // A busy sky: plane sortie dropping, the extra column, plane2, the falling objects.
  planeActive = extraActive = plane2Active = negativActive = ammoActive = 1;
  f.planeX = 300, f.dropX = 180, f.dropY = 190;
  f.extra1X = 650, f.extra1Shot = 1, f.extra2X = 90;
  f.plane2X = 420, f.plane2Y = 150, f.negativX = 40, f.negativY = 120, f.ammoX = 560, f.ammoY = 60;
  f.shotsLeft = 37;
  Tick();
  LevelClick(f.dropX + 20 * 3 + 10, int(f.dropY) - 30 + 5);
  f.alphaExplosions = 1;
  LevelClick(f.plane2X + 10, f.plane2Y + 10);
  Tick(3);
  Move(f.extra2X + 30, 100);
  Tick();
  Take("level-bonus");
  Key(VK_ESCAPE);
  Take("pause");
  Key(VK_F4);
  Tick();
  planeActive = extraActive = plane2Active = negativActive = ammoActive = 0;
  NewLevel(1, "Kerstin");
  UntilFlying(false, 25);
  Take("level-flight-rightward-leicht");
  Key(VK_ESCAPE);
  Key(VK_F4);
  Tick();
  NewLevel(3, "Oma Hilde");
  UntilFlying(true, 20);
  Take("level-schwer");

  // The end of a level: the warning, the bombs, the clouds, "Game over", the results.
  AllReleased();
  f.scoreHits = 71;
  f.scorePoints = 13650;
  Tick(2);
  Take("end-warning");
  Tick(480);  // the bombs fall from the 355th tick of the sequence
  Take("end-bombs");
  Tick(170);  // the clouds from the 575th
  Take("end-clouds");
  Tick(400);  // "Game over" from the 816th
  Take("end-game-over");
  Tick(130);  // "Results" after 350 ticks of "Game over"
  Move(450, 420);
  Tick(2);
  Take("results-place");
  Press(400, 370);
  Tick();
  NewLevel(1, "Pechvogel");
  Tick(10);
  AllReleased();
  f.scoreHits = 0;
  f.scorePoints = -2500;
  Tick(1170);
  Take("results-no-place");
  Press(400, 370);
  Tick(2);
  Press(400, 370);  // "Beenden": the farewell picture, shown before its last fade
  f.screen1.Flip();
  TGammaRamp identity;
  for (int i = 0; i < 256; ++i) identity.red[i] = identity.green[i] = identity.blue[i] = uint16_t(i * 257);
  f.screen1.SetGammaRamp(identity);
  Take("farewell");
  delete Form1;

  // Without the level music, Enter on the name screen ends in the error message.
  std::filesystem::remove(folder + "/data/back.mid");
  harness::ResetModuleVariables();
  Application.Initialize(&backend);
  CreateGameWindow();
  ShowGameWindow();
  Tick();
  backend.onBox = [&](const plat::MessageBoxContent& content) { BoxShot("error", content); };
  NewLevel(1, "Kerstin");
  delete Form1;
  Application.Initialize(nullptr);
  plat::SetProgramFolder("");
  host = nullptr;
  shoot = nullptr;
}

}  // namespace screens
