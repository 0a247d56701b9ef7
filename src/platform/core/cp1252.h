// Windows-1252, the code page of every text in the game, its files and memory.
#pragma once

#include <string>
#include <string_view>

namespace plat {

char32_t Cp1252ToUnicode(unsigned char c);
// False when the character has no Windows-1252 code.
bool UnicodeToCp1252(char32_t u, unsigned char& out);

std::string Cp1252ToUtf8(std::string_view text);
// Characters without a Windows-1252 code become '?'.
std::string Utf8ToCp1252(std::string_view utf8);
// Splits UTF-8 into code points; malformed bytes come out as U+FFFD.
std::u32string DecodeUtf8(std::string_view utf8);

}  // namespace plat
