// Chickens: waves, the countdown light, flight, wing animation and hit test.
#pragma once

#include <cstdint>

// Module state of the chickens.
extern uint8_t ampelActive;         // the countdown runs
extern uint8_t chickenLeftActive;   // a wave flies right to left
extern uint8_t chickenRightActive;  // a wave flies left to right
extern double speedDivisor;         // divides every chicken speed

// The divisor of a level: "Schwer" chosen on the difficulty screen flies
// faster; every other start flies at the normal pace (choosing "Schwer" on
// the highscore screen keeps the pace the divisor had).
inline constexpr double kNormalSpeed = 2.5;
inline constexpr double kSchwerSpeed = 2.0;

void StartWave();
void UpdateAmpel();
void MoveChickensLeft();
void MoveChickensRight();
// Advances the wing phase, picks the sprite and draws the flying chickens.
void DrawChickens();
// Takes a shot at (mx, my); true when a chicken was hit.
bool HitChicken(int mx, int my);
