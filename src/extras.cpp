#include "extras.h"

#include "main.h"
#include "tool1.h"

uint8_t planeActive = 0;
uint8_t extraActive = 0;
uint8_t plane2Active = 0;
uint8_t negativActive = 0;
uint8_t ammoActive = 0;

void AdvanceAnimations() {
  TForm1& f = *Form1;
  f.schussFrame = AddExt(f.schussFrame, 0.5L);
  if (Round(f.schussFrame) == f.gifSchuss->Count()) f.schussFrame = 0;
  f.feuerFrame = AddExt(f.feuerFrame, 0.2L);
  if (Round(f.feuerFrame) == f.gifFeuer->Count()) f.feuerFrame = 0;
  f.atomFrame = AddExt(f.atomFrame, 0.5L);
  if (Round(f.atomFrame) == 26) f.atomFrame = 0;
}

void LevelClick(int /*mx*/, int /*my*/) {}
