// Start-up, the settings file, the frame timer and the ways the game ends.
#include <gtest/gtest.h>

#include <filesystem>

#include "game_fixture.h"
#include "platform/core/timer.h"
#include "tool1.h"

using testing_support::DumpField;
using testing_support::GameFolder;
using testing_support::RunHarness;
namespace fs = std::filesystem;


TEST(FrameTimer, TicksEveryIntervalOnlyWhileActiveAndMeasuresTheRate) {
  TDXTimer timer;
  int ticks = 0;
  timer.OnTimer = [&] { ++ticks; };
  timer.Idle(0, true);
  EXPECT_EQ(ticks, 0);  // disabled
  timer.Enabled = true;
  timer.Idle(1000, true);  // first reading
  timer.Idle(1019, true);
  EXPECT_EQ(ticks, 0);
  timer.Idle(1020, true);
  EXPECT_EQ(ticks, 1);
  for (uint32_t t = 1040; t <= 2000; t += 20) timer.Idle(t, true);
  EXPECT_EQ(ticks, 50);
  EXPECT_EQ(timer.FrameRate, 50);
  // Ticks late by up to 15 ms, each on its own place of the grid: a steady 50.
  for (uint32_t k = 1; k <= 150; ++k) {
    timer.Idle(2000 + 20 * k + (k * 7) % 16, true);
    EXPECT_EQ(timer.FrameRate, 50) << k;
  }
  // Slow frames: 25 ms apart give 40 a second (the grid starts afresh when far behind).
  for (uint32_t t = 5025; t <= 7000; t += 25) timer.Idle(t, true);
  EXPECT_EQ(timer.FrameRate, 40);

  // Inactive: no ticks at all, and the rate is measured afresh afterwards.
  const int before = ticks;
  for (uint32_t t = 7020; t <= 9000; t += 20) timer.Idle(t, false);
  EXPECT_EQ(ticks, before);
  for (uint32_t t = 9000; t <= 9980; t += 20) timer.Idle(t, true);
  EXPECT_EQ(timer.FrameRate, 40);  // not yet a full second since the fresh start
  timer.Idle(10000, true);
  EXPECT_EQ(timer.FrameRate, 50);

  // Never re-entered: a tick that runs the idle loop does not tick inside itself.
  int depth = 0, maxDepth = 0;
  timer.OnTimer = [&] {
    maxDepth = std::max(maxDepth, ++depth);
    timer.Idle(20000, true);
    --depth;
  };
  timer.Idle(15000, true);
  EXPECT_EQ(maxDepth, 1);
}

class Settings : public GameTest {};

TEST_F(Settings, FirstLineExactlyOneSwitchesBlendingAndLaterLinesComeBackUnchanged) {
  folder.Write("kelo.ini", "1\r\nzwei\rdrei\nvier");
  StartGame();
  EXPECT_EQ(Form1->alphaExplosions, 1);
  const TStrings& lines = Form1->Memo1.Lines;
  EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.end()), (std::vector<std::string>{"1", "zwei", "drei", "vier"}));
  folder.Write("kelo.ini", "changed by someone else\r\n");
  Form1->alphaExplosions = 0;
  SaveSettings();
  EXPECT_EQ(folder.Read("kelo.ini"), "0\r\nzwei\r\ndrei\r\nvier\r\n");
}

TEST_F(Settings, AnythingButAnExactOneLeavesBlendingOff) {
  for (const char* content : {" 1", "1 ", "", "\r\n1", "0"}) {
    folder.Write("kelo.ini", content);
    StartGame();
    EXPECT_EQ(Form1->alphaExplosions, 0) << "kelo.ini: \"" << content << "\"";
    TearDown();
  }
}

TEST_F(Settings, NoFileMeansOffAndTheFirstSaveCreatesIt) {
  StartGame();
  EXPECT_EQ(Form1->alphaExplosions, 0);
  EXPECT_FALSE(plat::FileExists(folder.File("kelo.ini")));
  Form1->alphaExplosions = 1;
  SaveSettings();
  EXPECT_EQ(folder.Read("kelo.ini"), "1\r\n");
}

TEST_F(Settings, MillionsOfEmptyLinesAreKeptSmallAndWrittenBackWhole) {
  const size_t n = 3'000'000;
  folder.Write("kelo.ini", "1" + std::string(n, '\n'));  // "1", then empty lines
  StartGame(false);
  EXPECT_EQ(Form1->alphaExplosions, 1);
  EXPECT_EQ(Form1->Memo1.Lines.Count(), n);
  EXPECT_LE(Form1->Memo1.Lines.Text().capacity(), 2 * n + 64);  // two bytes a line, not a string each
  Form1->alphaExplosions = 0;
  SaveSettings();
  const std::string saved = folder.Read("kelo.ini");
  ASSERT_EQ(saved.size(), 2 * n + 1);
  EXPECT_EQ(saved.substr(0, 5), "0\r\n\r\n");
  EXPECT_EQ(saved.find_first_not_of("\r\n", 1), std::string::npos);
}

TEST_F(Settings, ProgramFolderEndsInOneSlash) {
  std::string path = folder.Path();
  path.pop_back();
  backend = std::make_unique<plat::HarnessBackend>(0);
  Application.Initialize(backend.get());
  plat::SetProgramFolder(path);
  CreateGameWindow();
  EXPECT_EQ(Form1->appFolder, path + "/");
  EXPECT_EQ(Form1->gameState, "Main");
}

TEST(StartUp, ACleanStartShowsTheMainMenuAndRefusesToBeClosed) {
  GameFolder folder;
  const auto run = RunHarness(folder,
                              "tick 50\n"
                              "expect gameState Main\n"
                              "expect timerEnabled true\n"
                              "expect flips 50\n"
                              "expect frameRate 50\n"
                              "close\n"
                              "tick\n"
                              "expect terminationRequested false\n"
                              "deactivate\n"
                              "tick 10\n"
                              "expect ticks 51\n"
                              "activate\n"
                              "tick 2\n"
                              "expect ticks 53\n"
                              "shot " + folder.File("start.png") + "\n"
                              "dump -\n");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(DumpField(run.out, "pointer"), "[320,240]");
  EXPECT_EQ(folder.Read("start.png").substr(1, 3), "PNG");
}

TEST(StartUp, AMissingShortOrBrokenPictureIsFatal) {
  const std::string corpus = std::string(KELO_SOURCE_DIR) + "/fuzz/corpus/gif/";
  for (const char* broken : {"missing", "one frame", "cut in half", "crafted", "huge"}) {
    GameFolder folder;
    const std::string what = broken;
    if (what == "missing") {
      folder.Remove("data/atom.gif");
    } else if (what == "one frame") {
      // A valid GIF of one 1 x 1 frame.
      folder.Write("data/atom.gif", std::string("GIF89a\x01\x00\x01\x00\x80\x00\x00\x00\x00\x00\xff\xff\xff"
                                                "\x2c\x00\x00\x00\x00\x01\x00\x01\x00\x00\x02\x02\x44\x01\x00\x3b",
                                                35));
    } else if (what == "cut in half") {
      const std::string feuer = folder.Read("data/feuer.gif");
      folder.Write("data/feuer.gif", feuer.substr(0, feuer.size() / 2));
    } else if (what == "crafted") {
      fs::copy_file(corpus + "crash-bad-free.gif", folder.File("data/schuss.gif"), fs::copy_options::overwrite_existing);
    } else {
      fs::copy_file(corpus + "hang-huge-screen.gif", folder.File("data/atom.gif"), fs::copy_options::overwrite_existing);
    }
    const auto run = RunHarness(folder, "dump -\ntick\ndump -\n");
    ASSERT_EQ(run.status, 0) << run.err;
    const std::string before = run.out.substr(0, run.out.find('\n'));
    const std::string after = run.out.substr(run.out.find('\n') + 1);
    EXPECT_NE(before.find("\"kind\":\"dialog\",\"caption\":\"Kelo - Das Spiel\""), std::string::npos) << broken;
    EXPECT_NE(before.find("\"text\":\"Oh, es ist ein Fehler aufgetreten."), std::string::npos);
    EXPECT_NE(before.find("\"buttons\":[\"OK\"]"), std::string::npos);
    EXPECT_EQ(DumpField(before, "terminationRequested"), "true");
    EXPECT_EQ(DumpField(after, "terminated"), "true");
    EXPECT_EQ(DumpField(after, "gameState"), "");
    EXPECT_EQ(DumpField(after, "flips"), "0");
  }
}

class ExitStatus : public GameTest {};

TEST_F(ExitStatus, AStartThatEndsInTheErrorBoxFailsTheRun) {
  folder.Remove("data/feuer.gif");
  StartGame();
  EXPECT_TRUE(Application.TerminationRequested());
  EXPECT_EQ(Application.ExitCode, 1);
}
