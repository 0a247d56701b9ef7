// The painters behind the picture items, shared by the item list, the menus
// and the contact sheet.
#pragma once

#include <string>

#include "kit.h"

namespace gen {

// ---- the farm world (paint_world.cpp)
enum class Mood { Day, Dusk, Night, Dawn };
// The landscape behind everything, with the farm buildings and the hedge
// painted in when `withFront` (the menus; the level has them as sprites).
Layer PaintWorld(Mood mood, int ss, bool withFront);
Image PaintLevel();
Image PaintCoop();   // "h1"
Image PaintBarn();   // "h2"
Image PaintHedge();  // "h3"

// ---- sprites (paint_sprites.cpp)
// A chicken centred near (cx, cy), `size` is the body length in logical pixels.
void DrawChicken(Layer& l, float cx, float cy, float size, bool facingRight, bool wingUp);
Image PaintChicken(bool facingRight, bool wingUp);
Image PaintPlane();
Image PaintPlane2();
Image PaintBlimp();   // "extra1"
Image PaintSaucer();  // "extra2"
Image PaintMensch();
Image PaintNegativ();
Image PaintAmmoBox();
Image PaintBomb();
Image PaintAmpel();
Image PaintMaus();

// ---- fire, smoke and explosions (paint_fx.cpp)
Image PaintExplosion(int n);  // 1..8

// ---- menus (paint_menu.cpp)
Image PaintMenuBackground();
Image PaintHighmain();
Image PaintEnde();
Image PaintTitle(const std::u32string& word);
Image PaintPanel(int menuIndex);
Image PaintPause();
Image PaintGameOver();
Image PaintHighscoreBar();
// The game's logo, "Kelo" over "Das Spiel", with its top-left at (x, y).
void DrawLogo(Layer& l, float x, float y, float scale);

}  // namespace gen
