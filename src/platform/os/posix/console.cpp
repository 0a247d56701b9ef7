// A program started from a terminal answers there.
#include <cstdio>

#include "platform/core/system.h"

namespace plat {

void TellUser(const char*, const std::string& text, bool error) {
  std::FILE* to = error ? stderr : stdout;
  std::fputs(text.c_str(), to);
  std::fflush(to);
}

}  // namespace plat
