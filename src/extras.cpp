#include "extras.h"

#include "huhn.h"
#include "main.h"
#include "tool1.h"

uint8_t planeActive = 0;
uint8_t extraActive = 0;
uint8_t plane2Active = 0;
uint8_t negativActive = 0;
uint8_t ammoActive = 0;

void AdvanceAnimations() {
  TForm1& f = *Form1;
  f.schussFrame = AddExt(f.schussFrame, 0.5_ext);
  if (Round(f.schussFrame) == f.gifSchuss->Count()) f.schussFrame = 0;
  f.feuerFrame = AddExt(f.feuerFrame, 0.2_ext);
  if (Round(f.feuerFrame) == f.gifFeuer->Count()) f.feuerFrame = 0;
  f.atomFrame = AddExt(f.atomFrame, 0.5_ext);
  if (Round(f.atomFrame) == 26) f.atomFrame = 0;
}

// --- Rolls ---------------------------------------------------------------------

void BonusRolls() {
  TForm1& f = *Form1;
  // Positions first, each only while its object is idle ...
  if (!ammoActive) f.ammoX = Random(154) + 470;
  if (!plane2Active) f.plane2Y = Random(180) + 10;
  if (!extraActive) f.extra1Y = Random(130) + 10;
  if (!negativActive) f.negativX = Random(110) + 10;
  // ... then the activations.
  if (!planeActive && Random(5) == 2) planeActive = 1;
  if (!ammoActive && Random(8) == 5 && f.difficulty > 1) ammoActive = 1;
  if (!negativActive && Random(8) == 5) negativActive = 1;
  if (!plane2Active && Random(7) == 5) plane2Active = 1;
  if (!extraActive && Random(4) == 2) extraActive = 1;
}

// --- Explosions and the hit sound ------------------------------------------------

void StartExplosion(int slot, int x, int y) {
  TForm1& f = *Form1;
  f.explosionPhase[slot] = 0;
  f.explosionX[slot] = x;
  f.explosionY[slot] = y;
  AdvanceExplosions();
}

void AdvanceExplosions() {
  TForm1& f = *Form1;
  for (int i = 0; i <= 20; ++i) {
    if (f.explosionPhase[i] > -1) f.explosionPhase[i] = AddExt(f.explosionPhase[i], 0.3_ext);
    if (Round(f.explosionPhase[i]) == 9) f.explosionPhase[i] = -1;
  }
}

void DrawExplosions(int first, int last) {
  TForm1& f = *Form1;
  TSurface& back = f.screen1.Surface;
  for (int i = first; i <= last; ++i) {
    if (!(f.explosionPhase[i] > 0)) continue;
    const int n = Round(f.explosionPhase[i]);
    if (n < 1 || n > 8) continue;  // only the pictures 1 to 8 exist
    const int cx = f.explosionX[i], cy = f.explosionY[i];
    if (f.alphaExplosions == 0)
      back.Draw(cx - 50, cy - 37, *f.explosionFrames[n], true);
    else
      back.DrawAlpha(Rect(cx - 50, cy - 37, cx + 50, cy + 37), Rect(0, 0, 100, 75), *f.explosionFrames[n], true, 210);
  }
}

void PlayHitSound(int pan) {
  TWaveCollectionItem& shot = *Form1->WaveList1.Items[0];
  shot.Pan = pan;
  shot.Play(false);
}

// --- Plane sortie ------------------------------------------------------------------

namespace {

// Every object of a row (the drop objects, the extra column) shot or landed.
template <int Count>
bool AllGone(const TArray<int32_t, 1, Count>& gone) {
  for (int k = 1; k <= Count; ++k)
    if (gone[k] != 1) return false;
  return true;
}

bool HitPlaneSortie(int mx, int my) {
  TForm1& f = *Form1;
  if (f.planeX <= mx && mx <= f.planeX + 77 && 70 <= my && my <= 96 && f.planeX >= 371) {
    StartExplosion(4, f.planeX + 40, 85);
    PlayHitSound(PanOf(f.planeX));
    f.planeX = 650;  // gone; the objects not yet dropped all fall now
    f.scorePoints += 150;
    return true;
  }
  for (int k = 0; k <= 9; ++k) {
    const int x = f.dropX + 20 * k;
    const double top = f.dropY - 10 * k;
    if (x <= mx && mx <= x + 30 && top <= my && my <= top + 10 && f.dropGone[k + 1] == 0 && f.planeX >= 190) {
      f.dropGone[k + 1] = 1;
      f.scorePoints += 250;
      StartExplosion(11 + k, x + 15, Round(f.dropY) + 5 - 10 * k);
      PlayHitSound(PanOf(x));
      return true;
    }
  }
  return false;
}

bool HitExtra(int mx, int my) {
  TForm1& f = *Form1;
  if (f.extra1X <= mx && mx <= f.extra1X + 57 && f.extra1Y <= my && my <= f.extra1Y + 21) {
    f.scorePoints += 50;
    f.extra1Shot = 1;
    StartExplosion(5, f.extra1X + 40, f.extra1Y + 18);
    PlayHitSound(PanOf(f.extra1X));
    f.extra1X = 650;
    return true;
  }
  for (int k = 0; k <= 4; ++k) {
    const int top = 30 + 35 * k;
    if (f.extra2X <= mx && mx <= f.extra2X + 57 && top <= my && my <= top + 21 && f.extra2Gone[k + 1] == 0 &&
        !(mx >= 461 && my >= 153)) {
      f.extra2Gone[k + 1] = 1;
      StartExplosion(6 + k, f.extra2X + 29, 45 + 35 * k);
      PlayHitSound(PanOf(f.extra2X));
      f.scorePoints += 150;
      return true;
    }
  }
  return false;
}

bool HitPlane2(int mx, int my) {
  TForm1& f = *Form1;
  if (!(f.plane2X <= mx && mx <= f.plane2X + 57 && f.plane2Y <= my && my <= f.plane2Y + 21)) return false;
  f.scorePoints += 100;
  plane2Active = 0;
  StartExplosion(3, f.plane2X + 29, f.plane2Y + 15);
  PlayHitSound(PanOf(f.plane2X));
  f.plane2X = 800;
  return true;
}

bool HitNegativ(int mx, int my) {
  TForm1& f = *Form1;
  if (!(f.negativX + 3 <= mx && mx <= f.negativX + 19 && f.negativY + 13 <= my && my <= f.negativY + 27 && my < 215))
    return false;
  f.scorePoints -= 1000;
  negativActive = 0;
  f.negativY = -100;
  return true;
}

bool HitAmmo(int mx, int my) {
  TForm1& f = *Form1;
  if (!(f.ammoX + 3 <= mx && mx <= f.ammoX + 19 && f.ammoY + 13 <= my && my <= f.ammoY + 27 && my < 153)) return false;
  f.shotsLeft = 200;
  ammoActive = 0;
  f.ammoY = -100;
  return true;
}

}  // namespace

void UpdatePlane() {
  TForm1& f = *Form1;
  f.planeX += 1;
  if (f.planeX == 180) f.dropX = 180;
  if (f.planeX >= 190) f.dropY = AddExt(f.dropY, 0.5_ext);
  if (AllGone(f.dropGone)) f.dropY = 410;
  const int v = Round(f.dropY);
  // Object k touches the ground (its top at y 320) when v is 320 + 10 k.
  if (v >= 320 && v <= 410 && (v - 320) % 10 == 0) {
    const int k = (v - 320) / 10;
    if (f.dropGone[k + 1] == 0) {
      f.dropGone[k + 1] = 1;
      f.scorePoints -= 500;
      PlayHitSound(PanOf(180 + 20 * k));
      StartExplosion(11 + k, f.dropX + 15 + 20 * k, v + 5 - 10 * k);
    }
  }
  if (v == 410) {
    if (f.planeX > 650) {
      planeActive = 0;
      f.planeX = -100;
      for (int k = 1; k <= 10; ++k) f.dropGone[k] = 0;
    }
    f.dropX = -20;
    f.dropY = 86;
  }
}

void UpdateExtra() {
  TForm1& f = *Form1;
  f.extra1X += 2;
  if (f.extra1Shot == 0 && f.extra1X > 650) {
    f.extra1X = -500;
    f.extra2X = -60;
    extraActive = 0;
  }
  if (f.extra1Shot == 1) {
    f.extra2X += 4;
    if (f.extra2X > 650 || AllGone(f.extra2Gone)) {
      f.extra1X = -500;
      f.extra2X = -60;
      f.extra1Shot = 0;
      for (int k = 1; k <= 5; ++k) f.extra2Gone[k] = 0;
      extraActive = 0;
    }
  }
}

void UpdatePlane2() {
  TForm1& f = *Form1;
  f.plane2X -= 5;
  if (f.plane2X < -100) {
    f.plane2X = 800;
    plane2Active = 0;
  }
}

void UpdateNegativ() {
  TForm1& f = *Form1;
  f.negativY = AddExt(f.negativY, 0.5_ext);
  if (f.negativY > 230) {
    f.negativY = -100;
    negativActive = 0;
  }
}

void UpdateAmmo() {
  TForm1& f = *Form1;
  f.ammoY += 1;
  if (f.ammoY > 150) {
    f.ammoY = -100;
    ammoActive = 0;
  }
}

void DrawBonusObjects() {
  TForm1& f = *Form1;
  TSurface& back = f.screen1.Surface;
  if (extraActive == 1)
    for (int k = 0; k <= 4; ++k)
      if (f.extra2Gone[k + 1] == 0) back.Draw(f.extra2X, 30 + 35 * k, *f.extra2Surface, true);
  back.Draw(f.extra1X, f.extra1Y, *f.extra1Surface, true);
  back.Draw(f.negativX, Round(f.negativY), *f.negativSurface, true);
  back.Draw(f.ammoX, f.ammoY, *f.schussSurface, true);
  back.Draw(f.planeX, 70, *f.planeSurface, true);
  if (planeActive == 1)
    for (int k = 0; k <= 9; ++k)
      if (f.planeX >= 180 + 20 * k && f.dropGone[k + 1] == 0)
        back.Draw(f.dropX + 20 * k, Round(f.dropY) - 10 * k, *f.menschSurface, true);
  back.Draw(f.plane2X, f.plane2Y, *f.plane2Surface, true);
}

// --- The shot ------------------------------------------------------------------------

void LevelClick(int mx, int my) {
  TForm1& f = *Form1;
  if (f.gameState != "Level" || f.shotsLeft == 0) return;
  if (f.difficulty > 1) f.shotsLeft -= 1;
  // The targets in their fixed order; the first that takes the press ends it.
  if ((chickenLeftActive == 1 || chickenRightActive == 1) && HitChicken(mx, my)) return;
  if (plane2Active == 1 && HitPlane2(mx, my)) return;
  if (planeActive == 1 && HitPlaneSortie(mx, my)) return;
  if (ammoActive == 1 && HitAmmo(mx, my)) return;
  if (negativActive == 1 && HitNegativ(mx, my)) return;
  if (extraActive == 1) HitExtra(mx, my);
}
