// Chickens: waves, the countdown light, flight, wing animation and hit test.
#pragma once

#include <cstdint>

// Module state of the chickens.
extern uint8_t ampelActive;         // the countdown runs
extern uint8_t chickenLeftActive;   // a wave flies right to left
extern uint8_t chickenRightActive;  // a wave flies left to right
extern double speedDivisor;         // divides every chicken speed

void StartWave();
void UpdateAmpel();
void MoveChickensLeft();
void MoveChickensRight();
// Advances the wing phase, picks the sprite and draws the flying chickens.
void DrawChickens();
// Takes a shot at (mx, my); true when a chicken was hit.
bool HitChicken(int mx, int my);
