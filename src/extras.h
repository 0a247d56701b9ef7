// Bonus objects, explosion slots, the shot and the clock of the GIF animations.
#pragma once

#include <cstdint>

// Module state of the bonus objects: each runs while its flag is 1.
extern uint8_t planeActive;
extern uint8_t extraActive;
extern uint8_t plane2Active;
extern uint8_t negativActive;
extern uint8_t ammoActive;

// Advances the three GIF animations by one frame step.
void AdvanceAnimations();

// The rolls of positions and activations at a wave start.
void BonusRolls();
void UpdatePlane();
void UpdateExtra();
void UpdatePlane2();
void UpdateNegativ();
void UpdateAmmo();
// The bonus objects in their drawing order, from the extra column to plane2.
void DrawBonusObjects();

// Starts an explosion slot at a centre and advances all slots once.
void StartExplosion(int slot, int x, int y);
void AdvanceExplosions();
// Draws the running slots first..last.
void DrawExplosions(int first, int last);
// The hit sound (wave item 0) at a pan.
void PlayHitSound(int pan);

// A press in a running level: spends a shot and tests the targets in order.
void LevelClick(int mx, int my);
