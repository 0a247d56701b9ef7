// Bonus objects, explosion slots and the clock of the GIF animations.
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

// A press in a running level: spends a shot and tests the targets in order.
void LevelClick(int mx, int my);
