// Menu screens, fade transitions, the pause and the farewell screen.
#pragma once

// The frame of "Main", "Schwer" and "Optionen".
void MenuFrame();
// The frame of "Name".
void NameFrame();
// The atom animation through the work surface at (155, 310).
void DrawAtom();
// The menu pointer at the mouse position.
void DrawMenuPointer();
