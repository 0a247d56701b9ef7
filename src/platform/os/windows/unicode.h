// Windows speaks UTF-16 and backslashes; the game speaks UTF-8 and '/'. Every
// path and text crosses here, so a user folder such as C:\Users\Jürgen works.
#pragma once

#include <windows.h>

#include <string>

namespace plat::win {

// A UTF-8 path or text as UTF-16, with '/' turned into '\' when `path`.
// Throws EInOutError for bytes that are not UTF-8.
std::wstring Wide(const std::string& utf8, bool path = true);
// UTF-16 as UTF-8, with '\' turned into '/' when `path`.
std::string Utf8(const std::wstring& wide, bool path = true);
// The system's words for an error code, one line of UTF-8.
std::string ErrorText(DWORD error);
// Throws EInOutError "WHAT PATH: the system's words".
[[noreturn]] void Fail(const std::string& what, const std::string& path, DWORD error = GetLastError());

}  // namespace plat::win
