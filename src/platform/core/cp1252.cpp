#include "platform/core/cp1252.h"

namespace plat {
namespace {

// 0x80..0x9F; 0 where the code page leaves a hole.
constexpr char32_t kHigh[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

void PutUtf8(std::string& out, char32_t u) {
  if (u < 0x80) {
    out += char(u);
  } else if (u < 0x800) {
    out += char(0xC0 | (u >> 6));
    out += char(0x80 | (u & 0x3F));
  } else if (u < 0x10000) {
    out += char(0xE0 | (u >> 12));
    out += char(0x80 | ((u >> 6) & 0x3F));
    out += char(0x80 | (u & 0x3F));
  } else {
    out += char(0xF0 | (u >> 18));
    out += char(0x80 | ((u >> 12) & 0x3F));
    out += char(0x80 | ((u >> 6) & 0x3F));
    out += char(0x80 | (u & 0x3F));
  }
}

}  // namespace

char32_t Cp1252ToUnicode(unsigned char c) {
  if (c >= 0x80 && c < 0xA0) return kHigh[c - 0x80] ? kHigh[c - 0x80] : char32_t(0xFFFD);
  return c;
}

bool UnicodeToCp1252(char32_t u, unsigned char& out) {
  if (u < 0x80 || (u >= 0xA0 && u < 0x100)) {
    out = static_cast<unsigned char>(u);
    return true;
  }
  for (int i = 0; i < 32; ++i)
    if (kHigh[i] && kHigh[i] == u) {
      out = static_cast<unsigned char>(0x80 + i);
      return true;
    }
  return false;
}

std::string Cp1252ToUtf8(std::string_view text) {
  std::string out;
  for (unsigned char c : text) PutUtf8(out, Cp1252ToUnicode(c));
  return out;
}

std::u32string DecodeUtf8(std::string_view s) {
  std::u32string out;
  size_t i = 0;
  while (i < s.size()) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    const int extra = c < 0x80 ? 0 : (c >> 5) == 6 ? 1 : (c >> 4) == 14 ? 2 : (c >> 3) == 30 ? 3 : -1;
    if (extra < 0 || i + size_t(extra) >= s.size()) {
      out += extra == 0 ? char32_t(c) : char32_t(0xFFFD);
      ++i;
      continue;
    }
    char32_t u = extra == 0 ? c : extra == 1 ? (c & 0x1F) : extra == 2 ? (c & 0x0F) : (c & 0x07);
    bool ok = true;
    for (int k = 1; k <= extra && ok; ++k) {
      const unsigned char cc = static_cast<unsigned char>(s[i + size_t(k)]);
      ok = (cc & 0xC0) == 0x80;
      u = (u << 6) | (cc & 0x3F);
    }
    if (!ok) {
      out += char32_t(0xFFFD);
      ++i;
      continue;
    }
    out += u;
    i += size_t(extra) + 1;
  }
  return out;
}

std::string Utf8ToCp1252(std::string_view utf8) {
  std::string out;
  for (char32_t u : DecodeUtf8(utf8)) {
    unsigned char c;
    out += UnicodeToCp1252(u, c) ? char(c) : '?';
  }
  return out;
}

}  // namespace plat
