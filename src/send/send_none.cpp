// Builds without an HTTP client send no runs.
#include "platform/core/system.h"
#include "send/send_run.h"

namespace world {

int SendRun(const std::string&, const std::string&, const char* title) {
  plat::TellUser(title, "kelo: this build sends no runs; the Linux game and the page do\n", true);
  return 2;
}

}  // namespace world
