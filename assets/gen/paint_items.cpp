// Every picture item of the two image lists, by catalogue index.
#include <stdexcept>

#include "../catalogue.h"
#include "art.h"
#include "paint.h"

namespace gen {

Image PaintImageList1(int index) {
  switch (index) {
    case 0: return PaintLevel();
    case 1: return PaintMenuBackground();
    case 2: return PaintAmpel();
    case 3: return PaintBomb();
    case 4: case 5: case 6: case 7: case 8: return PaintExplosion(index - 3);
    case 9: return PaintBlimp();
    case 10: return PaintSaucer();
    case 11: return PaintCoop();
    case 12: return PaintBarn();
    case 13: return PaintHedge();
    case 14: return PaintChicken(false, true);
    case 15: return PaintChicken(true, true);
    case 16: return PaintMaus();
    case 17: return PaintMensch();
    case 18: return PaintNegativ();
    case 19: return PaintPlane();
    case 20: return PaintPlane2();
    case 21: return PaintAmmoBox();
    case 22: case 23: case 24: return PaintExplosion(index - 16);
    case 25: return PaintChicken(false, false);
    case 26: return PaintChicken(true, false);
    default: throw std::runtime_error("no picture item " + std::to_string(index) + " in ImageList1");
  }
}

Image PaintMenu1(int index) {
  switch (index) {
    case 0: return PaintTitle(U"Hauptmenu");
    case 2: return PaintTitle(U"Spielart");
    case 4: return PaintTitle(U"Ihr Name");
    case 7: return PaintTitle(U"Resultate");
    case 11: return PaintTitle(U"Highscore");
    case 13: case 15: return PaintTitle(U"Optionen");
    case 1: case 3: case 5: case 8: case 14: case 16: return PaintPanel(index);
    case 6: return PaintPause();
    case 9: return PaintGameOver();
    case 10: return PaintHighmain();
    case 12: return PaintHighscoreBar();
    case 17: return PaintEnde();
    default: throw std::runtime_error("no picture item " + std::to_string(index) + " in menu1");
  }
}

}  // namespace gen
