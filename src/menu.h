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

// Fades the title and panel of a screen in and then shows that screen.
void MenuFadeIn(int screenIndex);
// Fades the title and panel of the screen being left out; the state stays "Busy".
void MenuFadeOut(int screenIndex);

void ShowPause();
// Escape on the pause screen: back to the level, the pointer where it was.
void ResumeLevel();
// F4 on the pause screen: back to the main menu without a fade.
void AbandonLevel();
// The farewell picture with its fades; returns when it is over.
void ShowEndScreen();
