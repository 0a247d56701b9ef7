#include "menu.h"

#include <algorithm>

#include "extras.h"
#include "main.h"
#include "tool1.h"

void DrawAtom() {
  TForm1& f = *Form1;
  TCanvas& canvas = f.workSurface->Canvas();
  DrawGifFrame(*f.gifAtom, Round(f.atomFrame), canvas, Rect(0, 0, 78, 80), false);
  canvas.Release();
  f.screen1.Surface.DrawRect(155, 310, Rect(0, 0, 78, 80), *f.workSurface, true);
}

void DrawMenuPointer() {
  TForm1& f = *Form1;
  f.ImageList1.Items[16]->Draw(f.screen1.Surface, f.mouseX - 5, f.mouseY - 5, 0);
}

namespace {

void VersionText() {
  TForm1& f = *Form1;
  f.screen1.Surface.Canvas().TextOut(615, 465, f.versionText);
  f.screen1.Surface.Canvas().Release();
}

// One picture of a fade: background, version, title and panel at the alpha of `step`.
void FadeStep(int screenIndex, int step) {
  TForm1& f = *Form1;
  TSurface& back = f.screen1.Surface;
  if (screenIndex == 11)
    f.menu1.Items[10]->Draw(back, 0, 0, 0);
  else
    back.Draw(0, 0, *f.menuBackground, false);
  VersionText();
  const int alpha = 15 * step;
  f.menu1.Items[size_t(screenIndex)]->DrawAlpha(back, Rect(153, 163, 324, 187), 0, alpha);
  if (screenIndex == 11)
    f.menu1.Items[12]->DrawAlpha(back, Rect(64, 420, 575, 444), 0, alpha);
  else
    f.menu1.Items[size_t(screenIndex + 1)]->DrawAlpha(back, Rect(367, 172, 546, 378), 0, alpha);
  f.screen1.Flip();
  Application.ProcessMessages();
}

}  // namespace

void MenuFrame() {
  TForm1& f = *Form1;
  TSurface& back = f.screen1.Surface;
  AdvanceAnimations();
  back.Draw(0, 0, *f.menuBackground, false);
  const bool options = f.gameState == "Optionen";
  if (!options) VersionText();
  DrawAtom();
  int title = 0, panel = 1;
  if (f.gameState == "Schwer") title = 2, panel = 3;
  if (options) title = 13, panel = f.alphaExplosions == 1 ? 16 : 14;
  f.menu1.Items[size_t(title)]->Draw(back, 153, 163, 0);
  f.menu1.Items[size_t(panel)]->Draw(back, 367, 172, 0);
  if (options) VersionText();
  DrawMenuPointer();
  f.screen1.Flip();
}

void NameFrame() {
  TForm1& f = *Form1;
  TSurface& back = f.screen1.Surface;
  AdvanceAnimations();
  back.Draw(0, 0, *f.menuBackground, false);
  DrawAtom();
  f.menu1.Items[4]->Draw(back, 153, 163, 0);
  f.menu1.Items[5]->Draw(back, 367, 172, 0);
  back.Canvas().TextOut(615, 465, f.versionText);
  back.Canvas().TextOut(368, 172, f.Edit1.Text);
  back.Canvas().Release();
  DrawMenuPointer();
  f.screen1.Flip();
}

void MenuFadeIn(int screenIndex) {
  TForm1& f = *Form1;
  f.DXTimer1.Enabled = false;
  f.gameState = "Busy";
  for (int step = 0; step <= 17; ++step) FadeStep(screenIndex, step);
  switch (screenIndex) {
    case 0: f.gameState = "Main"; break;
    case 2: f.gameState = "Schwer"; break;
    case 4: f.gameState = "Name"; break;
    case 11: f.gameState = "Highscore"; break;
    case 13:
    case 15: f.gameState = "Optionen"; break;
    default: break;
  }
  f.DXTimer1.Enabled = true;
}

void MenuFadeOut(int screenIndex) {
  TForm1& f = *Form1;
  f.DXTimer1.Enabled = false;
  f.gameState = "Busy";
  for (int step = 17; step >= 0; --step) FadeStep(screenIndex, step);
  f.DXTimer1.Enabled = true;
}

void ShowPause() {
  TForm1& f = *Form1;
  TSurface& back = f.screen1.Surface;
  f.DXTimer1.Enabled = false;
  f.gameState = "Pause";
  f.menu1.Items[6]->Draw(back, 192, 160, 0);
  f.screen1.Flip();
  f.pauseMouseX = f.mouseX;
  f.pauseMouseY = f.mouseY;
  back.FillRectAlpha(Rect(0, 0, 640, 480), clBlack, 100);
  f.menu1.Items[6]->Draw(back, 192, 160, 0);
  f.screen1.Flip();
}

void ResumeLevel() {
  TForm1& f = *Form1;
  f.gameState = "Level";
  f.DXTimer1.Enabled = true;
  // The window has no border and fills the screen, so its client area starts
  // at the window's corner: the pointer goes back exactly where it was.
  Application.SetCursorPos(f.pauseMouseX, f.pauseMouseY);
}

void AbandonLevel() {
  TForm1& f = *Form1;
  f.workSurface->TransparentColor = clBlack;
  f.gameState = "Main";
  GuardedMusic([&] {
    f.MediaPlayer1.Stop();
    f.MediaPlayer1.Close();
    f.MediaPlayer1.FileName = f.appFolder + "data/1.mid";
    f.MediaPlayer1.Open();
    f.MediaPlayer1.Play();
  });
  f.DXTimer1.Enabled = true;
}

namespace {

// Sets every entry of the ramp to the saved one less 2 k (not below 0).
void DimRamp(TGammaRamp& ramp, const TGammaRamp& saved, int k) {
  for (int i = 0; i < 256; ++i) {
    ramp.red[i] = uint16_t(std::max(0, saved.red[i] - 2 * k));
    ramp.green[i] = uint16_t(std::max(0, saved.green[i] - 2 * k));
    ramp.blue[i] = uint16_t(std::max(0, saved.blue[i] - 2 * k));
  }
}

void FadeToBlack(const TGammaRamp& saved) {
  TGammaRamp ramp;
  for (int k = 0; k <= 32767; ++k) {
    DimRamp(ramp, saved, k);
    Form1->screen1.SetGammaRamp(ramp);
  }
}

}  // namespace

void ShowEndScreen() {
  TForm1& f = *Form1;
  TSurface& back = f.screen1.Surface;
  TGammaRamp saved;
  if (f.screen1.GetGammaRamp(saved)) {
    FadeToBlack(saved);
    f.menu1.Items[17]->Draw(back, 0, 0, 0);
    f.screen1.Flip();
    TGammaRamp ramp;
    for (int k = 32767; k >= 0; --k) {
      DimRamp(ramp, saved, k);
      f.screen1.SetGammaRamp(ramp);
    }
    Application.Host().Sleep(7000);
    FadeToBlack(saved);
  } else {
    f.menu1.Items[17]->Draw(back, 0, 0, 0);
    f.screen1.Flip();
    Application.Host().Sleep(7000);
  }
}
