#include "huhn.h"

#include "extras.h"
#include "main.h"
#include "tool1.h"

uint8_t ampelActive = 0;
uint8_t chickenLeftActive = 0;
uint8_t chickenRightActive = 0;
double speedDivisor = 0;

namespace {

// Picture items of the chickens: two wing positions for each direction.
constexpr int kHuhnA = 14, kHuhnA2 = 25, kHuhnB = 15, kHuhnB2 = 26;

void LoadChicken(int item) { Form1->huhnbSurface->LoadFromGraphic(Form1->ImageList1.Items[size_t(item)]->Picture()); }

// One flight step of the wave in one direction (the same rules mirrored).
void MoveChickens(bool leftward) {
  TForm1& f = *Form1;
  const double d = speedDivisor;
  for (int i = 1; i <= 3; ++i) {
    THuhn& h = f.huhnTable[i];
    if (h.State != "Normal") continue;
    int dx = 0, dy = 0;
    switch (h.Kind) {
      case 1: dx = Round(15 / d), dy = leftward ? -Round(2 / d) : Round(1 / d); break;
      case 2: dx = Round(12 / d), dy = -Round(7 / d); break;
      case 3: dx = Round(11 / d), dy = -Round(14 / d); break;
      default: break;
    }
    h.X += leftward ? -dx : dx;
    h.Y += dy;
    // The next chicken breaks out once this one has crossed its release line.
    const bool crossed = leftward ? (h.Kind == 3 ? h.Y < 350 : h.X < 450) : (h.Kind == 3 ? h.Y < 300 : h.X > 150);
    if (i <= 2 && crossed && f.huhnTable[i + 1].State == "Stop") f.huhnTable[i + 1].State = "Normal";
    // The flattest path ends behind the scenery on the far side.
    if (h.Kind == 1 && (leftward ? h.X < 90 : h.X > 500)) h.State = "Tod";
    if (leftward ? (h.X < -40 || h.Y < -40) : (h.X > 640 || h.Y < -40)) h.State = "Stop";
  }
  for (int i = 1; i <= 3; ++i)
    if (f.huhnTable[i].State == "Normal") return;
  (leftward ? chickenLeftActive : chickenRightActive) = 0;
  StartWave();
}

}  // namespace

void StartWave() {
  TForm1& f = *Form1;
  if (f.chickensReleased == 100) return;
  f.ampelTime = 0;
  for (int i = 1; i <= 3; ++i) f.huhnTable[i].X = 500, f.huhnTable[i].Y = 390;
  Randomize();
  f.waveSize = f.chickensReleased > 96 ? 100 - f.chickensReleased : Random(3) + 1;
  f.huhnTable[1].State = "Normal";
  f.huhnTable[2].State = f.waveSize >= 2 ? "Stop" : "No";
  f.huhnTable[3].State = f.waveSize >= 3 ? "Stop" : "No";
  LoadChicken(kHuhnA);
  BonusRolls();
  f.DXTimer1.Enabled = true;
  ampelActive = 1;
}

void UpdateAmpel() {
  TForm1& f = *Form1;
  f.ampelTime = AddExt(f.ampelTime, 0.02_ext);
  f.ampelSurface->DrawRect(0, 0, Rect(0, 0, 58, 14), *f.ampelPristine, false);
  // Black is the light's colour key: what is painted over does not show.
  TCanvas& canvas = f.ampelSurface->Canvas();
  canvas.Pen.Color = clBlack;
  canvas.Brush.Color = clBlack;
  canvas.Rectangle(22 * Trunc(f.ampelTime), 0, 58, 14);
  canvas.Release();
  f.ampelVisible = 1;
  if (Trunc(f.ampelTime) == 4) {
    f.ampelVisible = 0;
    ampelActive = 0;
    Randomize();
    for (int i = 1; i <= 3; ++i) f.huhnTable[i].Kind = Random(3) + 1;
    f.chickensReleased += f.waveSize;
    if (Random(2) != 0) {
      for (int i = 1; i <= 3; ++i) f.huhnTable[i].X = 90, f.huhnTable[i].Y = 350;
      LoadChicken(kHuhnB);
      chickenRightActive = 1;
    } else {
      chickenLeftActive = 1;
    }
  }
}

void MoveChickensLeft() { MoveChickens(true); }
void MoveChickensRight() { MoveChickens(false); }

void DrawChickens() {
  TForm1& f = *Form1;
  f.flapPhase = AddExt(f.flapPhase, 0.1_ext);
  if (f.flapPhase > 1) f.flapPhase = 0;
  const bool wingsUp = Round(f.flapPhase) == 0;
  if (chickenLeftActive == 1) LoadChicken(wingsUp ? kHuhnA : kHuhnA2);
  if (chickenRightActive == 1) LoadChicken(wingsUp ? kHuhnB : kHuhnB2);
  for (int i = 1; i <= 3; ++i)
    if (f.huhnTable[i].State == "Normal") f.screen1.Surface.Draw(f.huhnTable[i].X, f.huhnTable[i].Y, *f.huhnbSurface, true);
}

bool HitChicken(int mx, int my) {
  TForm1& f = *Form1;
  for (int i = 1; i <= 3; ++i) {
    THuhn& h = f.huhnTable[i];
    if (h.State != "Normal") continue;
    if (mx < h.X || mx > h.X + 30 || my < h.Y || my > h.Y + 32) continue;
    // Where the foreground hides a chicken it cannot be hit.
    if ((mx >= 491 && my >= 261) || (mx <= 112 && my >= 291)) continue;
    h.State = "Tod";
    f.scorePoints += 200;
    f.scoreHits += 1;
    StartExplosion(i - 1, h.X + 15, h.Y + 15);
    PlayHitSound(PanOf(h.X));
    return true;
  }
  return false;
}
