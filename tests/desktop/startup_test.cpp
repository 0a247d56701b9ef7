// Start-up faults that need a process of their own to be tried.
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include "assets/blobs.h"
#include "main.h"
#include "platform/headless/harness_backend.h"

TEST(StartUp, AWindowThatCannotBeBuiltShowsTheErrorAndTheRunFails) {
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // The first built-in picture claims to be far larger than all of them.
    auto* at = const_cast<unsigned char*>(kelo_imagelist1_pictures);
    const uintptr_t page = uintptr_t(sysconf(_SC_PAGESIZE));
    void* first = reinterpret_cast<void*>(uintptr_t(at) & ~(page - 1));
    if (mprotect(first, 2 * page, PROT_READ | PROT_WRITE) != 0) _exit(10);
    at[0] = at[1] = at[2] = at[3] = 0xFF;
    plat::HarnessBackend backend(0);
    Application.Initialize(&backend);
    Application.Title = "Kelo - Das Spiel";
    try {
      CreateGameWindow();
      ShowGameWindow();
      Application.Run();
      DestroyGameWindow();
    } catch (...) {
      _exit(13);  // the error got away: the program would have died here
    }
    bool box = false;
    for (const auto& r : backend.records)
      box |= r.what.kind == plat::Sighting::Dialog && r.what.caption == "Kelo - Das Spiel" &&
             r.what.text.rfind("Oh, es ist ein Fehler aufgetreten.", 0) == 0;
    _exit(!box ? 11 : Application.ExitCode != 1 ? 12 : 0);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

