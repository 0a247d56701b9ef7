// Fuzz target: a kelo-harness script read line by line.
#include <cstdint>
#include <sstream>
#include <string>

#include "script.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
  int n = 0;
  for (std::string line; std::getline(in, line);) {
    try {
      harness::ParseLine(++n, line);
    } catch (const harness::ScriptError&) {
      // the harness ends with status 2
    }
  }
  return 0;
}
