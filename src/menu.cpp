#include "menu.h"

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

void MenuFrame() {
  TForm1& f = *Form1;
  TSurface& back = f.screen1.Surface;
  AdvanceAnimations();
  back.Draw(0, 0, *f.menuBackground, false);
  if (f.gameState == "Main" || f.gameState == "Schwer") {
    back.Canvas().TextOut(615, 465, f.versionText);
    back.Canvas().Release();
  }
  DrawAtom();
  int title = 0, panel = 1;
  if (f.gameState == "Schwer") title = 2, panel = 3;
  if (f.gameState == "Optionen") title = 13, panel = f.alphaExplosions == 1 ? 16 : 14;
  f.menu1.Items[size_t(title)]->Draw(back, 153, 163, 0);
  f.menu1.Items[size_t(panel)]->Draw(back, 367, 172, 0);
  if (f.gameState == "Optionen") {
    back.Canvas().TextOut(615, 465, f.versionText);
    back.Canvas().Release();
  }
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
