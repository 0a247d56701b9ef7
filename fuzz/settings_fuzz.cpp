// Fuzz target: the bytes of "kelo.ini" read into the settings lines.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/core/controls.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TStrings lines;
  lines.SetText(std::string_view(reinterpret_cast<const char*>(data), size));
  // The lines hold no line ends, and what saving writes reads back the same.
  size_t count = 0;
  for (std::string_view line : lines) {
    if (line.find_first_of("\r\n") != std::string_view::npos) std::abort();
    ++count;
  }
  if (count != lines.Count()) std::abort();
  TStrings again;
  again.SetText(lines.Text());
  if (again.Text() != lines.Text() || again.Count() != lines.Count()) std::abort();
  return 0;
}
