// Virtual-key codes as the game's key handlers know them.
#pragma once

inline constexpr int VK_BACK = 8;
inline constexpr int VK_TAB = 9;
inline constexpr int VK_RETURN = 13;
inline constexpr int VK_ESCAPE = 27;
inline constexpr int VK_SPACE = 32;
inline constexpr int VK_END = 35;
inline constexpr int VK_HOME = 36;
inline constexpr int VK_LEFT = 37;
inline constexpr int VK_UP = 38;
inline constexpr int VK_RIGHT = 39;
inline constexpr int VK_DOWN = 40;
inline constexpr int VK_DELETE = 46;
inline constexpr int VK_F1 = 112;
inline constexpr int VK_F4 = 115;
inline constexpr int VK_F9 = 120;
inline constexpr int VK_F10 = 121;
