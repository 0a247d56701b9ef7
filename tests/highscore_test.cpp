// The highscore files: creation, ranking and reset.
#include <gtest/gtest.h>

#include <cstring>

#include "game_fixture.h"
#include "tool1.h"

namespace {

struct Entry {
  std::string name, points, hits;
  bool operator==(const Entry&) const = default;
};

std::vector<Entry> List(int difficulty) {
  std::vector<Entry> out;
  const THighscoreTable& t = Form1->highTables[difficulty];
  for (int i = 0; i < 5; ++i) out.push_back({t.Names[i].Str(), t.Points[i].Str(), t.Hits[i].Str()});
  return out;
}

const Entry kDefault{"Quillendorfer (Kelo)", "0", "000"};

}  // namespace

class Highscores : public GameTest {
 protected:
  void Finish(const std::string& name, int points, int hits, int difficulty = 2) {
    Form1->playerName = name;
    Form1->scorePoints = points;
    Form1->scoreHits = hits;
    Form1->difficulty = difficulty;
    InsertHighscore();
  }
};

TEST_F(Highscores, NewFilesHoldTheDefaultsByteForByte) {
  StartGame();
  std::string expected;
  for (int i = 0; i < 5; ++i) expected += std::string("\x14", 1) + "Quillendorfer (Kelo)";
  for (int i = 0; i < 5; ++i) expected += std::string("\x01", 1) + "0" + std::string(19, '\0');
  for (int i = 0; i < 5; ++i) expected += std::string("\x03", 1) + "000";
  ASSERT_EQ(expected.size(), 230u);
  for (const char* name : {"high1.sco", "high2.sco", "high3.sco"}) EXPECT_EQ(folder.Read(name), expected) << name;
}

TEST_F(Highscores, HitsRankFirstPointsBreakTiesAndEqualResultsGoBelow) {
  StartGame();
  Finish("Anna", 0, 1);  // beats every default: place 1
  EXPECT_EQ(Form1->placement, 1);
  EXPECT_EQ(List(2)[0], (Entry{"Anna", "0", "1"}));
  EXPECT_EQ(List(2)[4], kDefault);

  Finish("Bert", 50, 0);  // equal hits with the defaults, more points
  EXPECT_EQ(Form1->placement, 2);
  Finish("Carl", 50, 0);  // equal in both to Bert: below him
  EXPECT_EQ(Form1->placement, 3);
  EXPECT_EQ(List(2)[1].name, "Bert");
  EXPECT_EQ(List(2)[2].name, "Carl");

  Finish("Dora", 0, 0);  // 0 hits, 0 points: equal to the defaults, no place
  EXPECT_EQ(Form1->placement, 0);
  Finish("Emil", -200, 0);
  EXPECT_EQ(Form1->placement, 0);
  EXPECT_EQ(List(2)[3], kDefault);
  EXPECT_EQ(List(2)[4], kDefault);

  Finish("Frieda", 1000, 1);  // equal hits with Anna, more points: above her
  EXPECT_EQ(Form1->placement, 1);
  EXPECT_EQ(List(2)[0].name, "Frieda");
  EXPECT_EQ(List(2)[1].name, "Anna");
  EXPECT_EQ(List(2)[3].name, "Carl");
  EXPECT_EQ(List(2)[4], kDefault);  // one default dropped out
  // Only the list of the difficulty played changed.
  EXPECT_EQ(List(1)[0], kDefault);
  EXPECT_EQ(List(3)[0], kDefault);
}

TEST_F(Highscores, NamesAndHitsAreCutToTheirRoom) {
  StartGame();
  Finish("Abcdefghijklmnopqrstuvwxyz", 123456, 1234);
  EXPECT_EQ(List(2)[0], (Entry{"Abcdefghijklmnopqrst", "123456", "123"}));
  const std::string file = folder.Read("high2.sco");
  EXPECT_EQ(file.size(), 230u);
  EXPECT_EQ(file.substr(0, 21), "\x14"
                                "Abcdefghijklmnopqrst");
  EXPECT_EQ(file.substr(210, 4), "\x03"
                                 "123");
}

TEST_F(Highscores, ResetRewritesAllThreeListsAndTellsThePlayerOnce) {
  StartGame();
  Finish("Anna", 10, 5, 1);
  Finish("Bert", 10, 5, 3);
  ResetHighscores();
  for (int d = 1; d <= 3; ++d) EXPECT_EQ(List(d), std::vector<Entry>(5, kDefault));
  for (const char* name : {"high1.sco", "high2.sco", "high3.sco"}) {
    const std::string data = folder.Read(name);
    ASSERT_EQ(data.size(), 230u);
    EXPECT_EQ(data.substr(0, 21), "\x14Quillendorfer (Kelo)");
    EXPECT_EQ(data.substr(105, 2), "\x01"
                                   "0");
    EXPECT_EQ(data.substr(226, 4), "\x03"
                                   "000");
  }
  int boxes = 0;
  for (const auto& r : backend->records)
    if (r.what.kind == plat::Sighting::Dialog) {
      ++boxes;
      EXPECT_EQ(r.what.text, "Die Highscore-Liste wurde zurückgesetzt.");
      EXPECT_EQ(r.what.caption, "Kelo - Das Spiel");
    }
  EXPECT_EQ(boxes, 1);
}

TEST_F(Highscores, DamagedFilesAreReadSafely) {
  // An over-long length byte reads as the room; an empty file gets the defaults.
  std::string record(230, '\0');
  record[0] = char(200);
  record.replace(1, 20, "ABCDEFGHIJKLMNOPQRST");
  record[105] = 1, record[106] = '7';
  record[210] = 9, record.replace(211, 3, "042");
  folder.Write("high1.sco", record);
  folder.Write("high2.sco", "");
  StartGame();
  EXPECT_EQ(List(1)[0], (Entry{"ABCDEFGHIJKLMNOPQRST", "7", "042"}));
  EXPECT_EQ(List(2)[0], kDefault);
  EXPECT_EQ(folder.Read("high2.sco").size(), 230u);
  Finish("Zoe", 1, 0, 2);  // ranks against the defaults instead of failing
  EXPECT_EQ(Form1->placement, 1);
}

TEST_F(Highscores, EntriesMoveDownAsTextsAndTheBytesAfterThemStay) {
  // Every field's room is filled with its own marker behind the text.
  std::string record(230, '\0');
  auto put = [&](size_t at, size_t room, const std::string& text, char marker) {
    record.replace(at, room + 1, std::string(room + 1, marker));
    record[at] = char(text.size());
    record.replace(at + 1, text.size(), text);
  };
  for (size_t i = 0; i < 5; ++i) {
    put(21 * i, 20, "Spieler" + std::to_string(i + 1), char('a' + i));
    put(105 + 21 * i, 20, std::to_string(50 - 10 * int(i)), char('A' + i));
    put(210 + 4 * i, 3, "5", char('0' + i));
  }
  folder.Write("high2.sco", record);
  StartGame();
  Finish("Neu", 45, 5);  // place 2: entries 2 to 4 move down, entry 5 drops out
  ASSERT_EQ(Form1->placement, 2);
  std::string expected = record;
  auto text = [&](size_t at, const std::string& t) {
    expected[at] = char(t.size());
    expected.replace(at + 1, t.size(), t);
  };
  for (size_t i = 4; i >= 2; --i) {
    text(21 * i, "Spieler" + std::to_string(i));
    text(105 + 21 * i, std::to_string(60 - 10 * int(i)));
    text(210 + 4 * i, "5");
  }
  text(21, "Neu");
  text(126, "45");
  text(214, "5");
  EXPECT_EQ(folder.Read("high2.sco"), expected);
}

TEST_F(Highscores, PointsBelowZeroReadFromTheFileRankAsNumbers) {
  std::string record(230, '\0');
  const char* points[] = {"120", "-5", "-40", "-40", "-2147483648"};
  for (size_t i = 0; i < 5; ++i) {
    record[21 * i] = 1, record[21 * i + 1] = char('a' + i);
    record[105 + 21 * i] = char(std::strlen(points[i]));
    record.replace(106 + 21 * i, std::strlen(points[i]), points[i]);
    record[210 + 4 * i] = 3, record.replace(211 + 4 * i, 3, "000");
  }
  folder.Write("high1.sco", record);
  StartGame();
  Finish("Neu", -6, 0, 1);
  EXPECT_EQ(Form1->placement, 3);
  EXPECT_EQ(List(1)[4], (Entry{"d", "-40", "000"}));  // the lowest dropped out
  Finish("Gleich", -40, 0, 1);  // equal to the last two: below them, no place
  EXPECT_EQ(Form1->placement, 0);
  Finish("Treffer", -99999, 1, 1);  // a hit counts before any points
  EXPECT_EQ(Form1->placement, 1);
  EXPECT_EQ(List(1)[1].points, "120");
}

TEST_F(Highscores, AShortFileOrAFieldThatIsNoNumberIsFatal) {
  folder.Write("high3.sco", "short");
  StartGame(false);
  EXPECT_TRUE(Application.TerminationRequested());
  EXPECT_NE(Form1->gameState, "Main");
  TearDown();

  std::string record(230, '\0');
  for (int i = 0; i < 5; ++i) record[21 * i] = 0, record[105 + 21 * i] = 1, record[106 + 21 * i] = 'x';
  for (int i = 0; i < 5; ++i) record[210 + 4 * i] = 1, record[211 + 4 * i] = '0';
  folder.Write("high3.sco", record);
  StartGame();
  Form1->difficulty = 3;
  EXPECT_THROW(InsertHighscore(), std::invalid_argument);
}
