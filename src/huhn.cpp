#include "huhn.h"

#include "main.h"
#include "tool1.h"

uint8_t ampelActive = 0;
uint8_t chickenLeftActive = 0;
uint8_t chickenRightActive = 0;
double speedDivisor = 0;

void StartWave() { Form1->DXTimer1.Enabled = true; }
void UpdateAmpel() {}
void MoveChickensLeft() {}
void MoveChickensRight() {}
void DrawChickens() {}
bool HitChicken(int, int) { return false; }
