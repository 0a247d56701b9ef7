#include "platform/os/windows/unicode.h"

#include <algorithm>

#include "platform/core/files.h"

namespace plat::win {

std::wstring Wide(const std::string& utf8, bool path) {
  if (utf8.empty()) return {};
  if (utf8.size() > size_t(INT32_MAX)) throw EInOutError("text too long");
  const int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), int(utf8.size()), nullptr, 0);
  if (n <= 0) throw EInOutError("not UTF-8: " + utf8);
  std::wstring wide(size_t(n), L'\0');
  MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), int(utf8.size()), wide.data(), n);
  if (path) std::replace(wide.begin(), wide.end(), L'/', L'\\');
  return wide;
}

std::string Utf8(const std::wstring& wide, bool path) {
  if (wide.empty()) return {};
  const int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), int(wide.size()), nullptr, 0, nullptr, nullptr);
  if (n <= 0) return {};
  std::string utf8(size_t(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), int(wide.size()), utf8.data(), n, nullptr, nullptr);
  if (path) std::replace(utf8.begin(), utf8.end(), '\\', '/');
  return utf8;
}

std::string ErrorText(DWORD error) {
  wchar_t* text = nullptr;
  const DWORD n = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error,
      0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring words = n && text ? std::wstring(text, n) : std::wstring();
  if (text) LocalFree(text);
  while (!words.empty() && (words.back() == L'\n' || words.back() == L'\r' || words.back() == L' ' || words.back() == L'.'))
    words.pop_back();
  const std::string code = "error " + std::to_string(error);
  return words.empty() ? code : Utf8(words, false) + " (" + code + ")";
}

void Fail(const std::string& what, const std::string& path, DWORD error) {
  throw EInOutError(what + " " + path + ": " + ErrorText(error));
}

}  // namespace plat::win
