// The menu screens and the input dispatch, end to end through kelo-harness and
// in the test process where a screen's texts are checked.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "extras.h"
#include "game_fixture.h"
#include "menu.h"
#include "platform/core/controls.h"
#include "platform/core/cp1252.h"
#include "platform/core/keys.h"
#include "tool1.h"

using testing_support::DumpField;
using testing_support::GameFolder;
using testing_support::RunHarness;

namespace {

void ExpectScript(const std::string& script) {
  GameFolder folder;
  const auto run = RunHarness(folder, script);
  EXPECT_EQ(run.status, 0) << run.err;
}

}  // namespace

TEST(MenuInput, RegionsIncludeTheirBoundsAndOnePressDoesOneThing) {
  ExpectScript(
      "set difficulty 2\n"
      "press 366 172\npress 543 185\npress 400 212\npress 400 227\ntick\n"
      "expect gameState Main\n"
      "press 542 185\ntick\n"  // "Neues Spiel", which is also where "Leicht" lies
      "expect gameState Schwer\n"
      "expect difficulty 2\n"
      "press 367 172\ntick\n"
      "expect gameState Name\n"
      "expect difficulty 1\n"
      "key Escape\ntick\nexpect gameState Schwer\n"
      "press 500 225\ntick\n"
      "expect difficulty 3\nexpect speedDivisor 2\n"
      "press 486 376\ntick\nexpect gameState Schwer\n"  // "Zurück" on the name screen
      "press 367 364\ntick\nexpect gameState Main\n"
      "press 499 211 right\ntick\nexpect gameState Optionen\n"
      "key Escape\ntick\nexpect gameState Optionen\n"
      "press 367 376 middle\ntick\nexpect gameState Main\n"
      "press 524 241\ntick\nexpect gameState Highscore\n"
      "key Escape\ntick\nexpect gameState Highscore\n"
      "press 351 426\ntick\nexpect difficulty 1\n"
      "press 465 439\ntick\nexpect difficulty 3\nexpect gameState Highscore\n"
      "press 172 426\ntick\nexpect gameState Main\n");
}

TEST(MenuInput, TheNameIsTypedAfterTheFadeAndMustNotBeBlank) {
  ExpectScript(
      "type vorher\n"
      "press 400 180\ntick\n"
      "press 400 180\ntype während\ntick\n"  // typed during the fades: gone
      "expect gameState Name\nexpect edit1Text \n"
      "type    \n"
      "press 400 340\nkey Return\ntick\n"
      "expect gameState Name\n"
      "type Zwölf Zeichen und mehr als zwanzig\n"
      "tick\nexpect edit1Text    Zwölf Zeichen und\n"  // 20 characters at most
      "key Backspace\nkey Home\nkey Delete\nkey End\ntype !\ntick\n"
      "expect edit1Text   Zwölf Zeichen un!\n"
      "press 485 348\ntick\n"
      "expect gameState Level\n"
      "expect playerName   Zwölf Zeichen un!\n"
      "expect music.file data/back.mid\n"
      "expect music.playing true\n");
}

TEST(MenuInput, TypedCharactersOfTheCodePageStayAndBrokenOrForeignOnesGo) {
  struct Case {
    std::string typed, kept;  // UTF-8 typed, Windows-1252 kept
  };
  for (const Case& c : std::vector<Case>{
           {"J\xC3\xB6rg \xE2\x82\xAC" "5 \xC5\xB8\xC3\xBF\xC2\xA0", "J\xF6rg \x80" "5 \x9F\xFF\xA0"},
           {"a\xF0\x9F\x90\x94" "b", "ab"},                       // a character beyond the code page, all four bytes
           {"\xC3\xC3\xA4", "\xE4"},                              // a lead byte where a continuation belongs
           {"\xE2\x82\xC3\xA4", "\xE4"},
           {"\xA4x\xF8\x80\x83\xA4y\xFF", "xy"},                // continuations alone, leads of five and more
           {"\t\x7F\xC2\x81\xC2\x9F!", "!"},                    // control characters of both ranges
           {"z\xE2\x82", "z"},                                    // cut short at the end
       }) {
    TEdit edit;
    edit.TypeText(c.typed);
    EXPECT_EQ(edit.Text, c.kept) << c.typed;
  }
  // A sequence cut short where the text ends, even with its rest behind it.
  EXPECT_EQ(plat::DecodeUtf8(std::string_view("\xC3\xA4", 1)), std::u32string(1, 0xFFFD));
  EXPECT_EQ(plat::DecodeUtf8(std::string_view("\xE2\x82\xAC", 2)), std::u32string(2, 0xFFFD));
  // Every character of the code page comes back through UTF-8; its five holes do not.
  for (int b = 1; b < 256; ++b) {
    const std::string one(1, char(b));
    const bool hole = b == 0x81 || b == 0x8D || b == 0x8F || b == 0x90 || b == 0x9D;
    EXPECT_EQ(plat::Utf8ToCp1252(plat::Cp1252ToUtf8(one)), hole ? "?" : one) << b;
  }
}

TEST(MenuInput, WithoutLevelMusicStartenEndsQuietlyWhileEnterShowsTheError) {
  for (const char* start : {"press 485 348", "key Return"}) {
    GameFolder folder;
    folder.Remove("data/back.mid");
    const auto run = RunHarness(folder, std::string("press 400 180\ntick\npress 400 180\ntick\ntype Paul\n") + start +
                                            "\ntick\nexpect gameState Level\nexpect terminated true\ndump -\n");
    ASSERT_EQ(run.status, 0) << start << ": " << run.err;
    const bool box = run.out.find("\"kind\":\"dialog\"") != std::string::npos;
    EXPECT_EQ(box, std::string(start) == "key Return") << start;
  }
}

TEST(MenuInput, PauseKeepsThePictureAndPutsThePointerBack) {
  GameFolder folder;
  const std::string shot = folder.File("pause.png");
  const auto run = RunHarness(folder,
                              "press 400 180\ntick\npress 400 180\ntick\ntype Paul\nkey Return\ntick 300\n"
                              "move 123 234\ntick\n"
                              "key Escape\ntick\nexpect gameState Pause\nexpect timerEnabled false\n"
                              "expect pauseMouseX 123\n"
                              "move 600 50\ntick 5\npress 300 300\nkey F9\nkey F10\ntick\n"
                              "expect gameState Pause\nexpect fireAnimation 1\nexpect alphaExplosions 0\n"
                              "shot " + shot + "\n"
                              "key Escape\ntick\nexpect gameState Level\nexpect pointer [123,234]\n"
                              "pump\nexpect mouseX 123\nexpect mouseY 234\n"
                              "key Escape\nkey Escape\nkey Escape\ntick\nexpect gameState Pause\n"  // held: in turn
                              "key Escape\ntick\nexpect gameState Level\n"
                              "key F10\nkey F9\ntick\nexpect alphaExplosions 1\nexpect fireAnimation 0\n"
                              "key Escape\nkey F4\ntick\n"
                              "expect gameState Main\nexpect workSurfaceTransparentColor [0,0,0]\n"
                              "expect music.file data/1.mid\nexpect music.playing true\n"
                              "dump -\n");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_FALSE(folder.Read("kelo.ini").size());  // F10 in a level is not saved
}

TEST(MenuInput, OptionsToggleIsSavedAndTheResetAsksFirst) {
  GameFolder folder;
  const auto run = RunHarness(folder,
                              "tick\npress 400 200\ntick\n"
                              "press 368 172\ntick\nexpect alphaExplosions 1\n"
                              "expect settingsLines [\"1\"]\n"
                              "set highTables.0.0.name Jemand\n"
                              "press 538 275\ntick\n"
                              "expect highTables.0.0.name Jemand\n"
                              "answer yes\npress 368 253\ntick\n"
                              "expect highTables.0.0.name Quillendorfer (Kelo)\n"
                              "press 400 370\ntick\nexpect gameState Main\n"
                              "dump -\n");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(folder.Read("kelo.ini"), "1\r\n");
  const std::string events = DumpField(run.out, "events");
  EXPECT_NE(events.find("\"caption\":\"Bestätigung\",\"text\":\"Soll die Highscore-Liste wirklich zurückgesetzt "
                        "werden?\",\"buttons\":[\"&Ja\",\"&Nein\"],\"answer\":\"&Nein\""),
            std::string::npos);
  EXPECT_NE(events.find("\"answer\":\"&Ja\""), std::string::npos);
  EXPECT_NE(events.find("\"text\":\"Die Highscore-Liste wurde zurückgesetzt.\",\"buttons\":[\"OK\"]"),
            std::string::npos);
}

TEST(MenuInput, EscapeEndsTheGameWithoutAndBeendenWithTheFarewell) {
  ExpectScript("tick\nkey Escape\ntick\nexpect terminated true\nexpect gameState Busy\nexpect flips 19\n");
  GameFolder folder;
  const std::string shot = folder.File("end.png");
  const auto run = RunHarness(folder, "tick\npress 400 370\ntick\nexpect terminated true\nshot " + shot + "\n");
  ASSERT_EQ(run.status, 0) << run.err;
}

class Screens : public GameTest {};

TEST_F(Screens, FadesRunEighteenPicturesWithTheTimerStopped) {
  StartGame();
  Tick(2);
  const uint64_t flips = Form1->screen1.FlipCount;
  std::vector<std::string> states;
  Application.OnMouseMove = [&](int, int) { states.push_back(Form1->gameState + (Form1->DXTimer1.Enabled ? "+" : "-")); };
  for (int i = 0; i < 3; ++i) backend->QueueMove(10 * i, 10);
  MenuFadeOut(0);
  EXPECT_EQ(Form1->screen1.FlipCount - flips, 18u);
  EXPECT_EQ(states, (std::vector<std::string>{"Busy-", "Busy-", "Busy-"}));
  EXPECT_EQ(Form1->gameState, "Busy");
  EXPECT_TRUE(Form1->DXTimer1.Enabled);
  MenuFadeIn(15);
  EXPECT_EQ(Form1->gameState, "Optionen");
  EXPECT_EQ(Form1->screen1.FlipCount - flips, 36u);
}

// The results and the lists are compared as pictures (ScreenPixels); a row
// whose hits read "-10" is left blank, which no picture shows.
TEST_F(Screens, AHighscoreRowOfMinusTenHitsIsLeftBlank) {
  StartGame();
  Form1->highTables[1].Hits[2].Assign("-10");
  Form1->highTables[1].Names[3].Assign("Vier");
  Form1->difficulty = 1;
  const auto texts = TextsOf([] { HighscoreFrame(); });
  ASSERT_EQ(texts.size(), 1u + 2u + 3u + 4u * 3u);
  EXPECT_EQ(texts[12].text, "Vier");  // row 3 is left blank, row 4 stays at its place
  EXPECT_EQ(texts[12].y, 305);
}

// The pictures show a second place and none; the results name every place.
TEST_F(Screens, TheResultsNameThePlaceFromTheFirstToTheFifthOrNone) {
  StartGame();
  Form1->difficulty = 2;
  for (int place = 0; place <= 5; ++place) {
    Form1->placement = place;
    std::string said;
    for (const TDrawnText& t : TextsOf([] { ResultsFrame(); }))
      if (t.y == 300) said = t.text;
    EXPECT_EQ(said, place ? std::to_string(place) + ". Platz in der Kategorie Mittel" : "Keine Wertung");
  }
}

TEST_F(Screens, TheFarewellFadesTheShownPictureNotTheSystemAndEndsDark) {
  StartGame();
  Tick();
  Press(400, 370);
  EXPECT_TRUE(Application.Terminated);
  std::vector<uint16_t> visible;
  Form1->screen1.VisiblePicture(visible);
  EXPECT_TRUE(std::all_of(visible.begin(), visible.end(), [](uint16_t p) { return p == 0; }));
  // The "Ende" picture is on the display, only dimmed.
  EXPECT_EQ(std::memcmp(Form1->screen1.Surface.Bits(), Form1->menu1.Items[17]->Picture().Bits(), 640 * 480 * 2), 0);
}
