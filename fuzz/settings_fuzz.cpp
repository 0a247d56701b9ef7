// Fuzz target: the bytes of "kelo.ini" split into the settings lines.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "tool1.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<std::string> lines;
  SplitLines(std::string(reinterpret_cast<const char*>(data), size), lines);
  // The lines hold no line ends, and what saving writes reads back the same.
  std::string text;
  for (const std::string& line : lines) {
    if (line.find_first_of("\r\n") != std::string::npos) std::abort();
    text += line + "\r\n";
  }
  std::vector<std::string> again;
  SplitLines(text, again);
  if (again != lines) std::abort();
  return 0;
}
