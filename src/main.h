// The game window: every component and every field of the game, and its
// event handlers (start-up, frame loop, input dispatch).
#pragma once

#include <array>
#include <cassert>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/core/app.h"
#include "platform/core/controls.h"
#include "platform/core/dxdraw.h"
#include "platform/core/gif.h"
#include "platform/core/imagelist.h"
#include "platform/core/media.h"
#include "platform/core/records.h"
#include "platform/core/sound.h"
#include "platform/core/timer.h"

// An array indexed from Lo to Hi, as the game's tables are.
template <class T, int Lo, int Hi>
struct TArray {
  static constexpr int Low = Lo;
  static constexpr int High = Hi;
  std::array<T, Hi - Lo + 1> items{};

  T& operator[](int i) {
    assert(i >= Lo && i <= Hi);
    return items[size_t(i - Lo)];
  }
  const T& operator[](int i) const {
    assert(i >= Lo && i <= Hi);
    return items[size_t(i - Lo)];
  }
};

// One chicken of a wave.
struct THuhn {
  int32_t X = 0;
  int32_t Y = 0;
  int32_t Kind = 0;
  std::string State;
};

// A short string: a length byte and room for N characters.
template <int N>
struct TShortString {
  uint8_t Length = 0;
  char Chars[N] = {};

  std::string Str() const { return std::string(Chars, Chars + (Length > N ? N : Length)); }
  // Keeps at most the first N characters; bytes after them stay as they were.
  void Assign(const std::string& s) {
    Length = uint8_t(s.size() > size_t(N) ? N : s.size());
    for (int i = 0; i < Length; ++i) Chars[i] = s[size_t(i)];
  }
};

// The 230-byte record of one highscore list, exactly as stored in its file.
#pragma pack(push, 1)
struct THighscoreTable {
  TShortString<20> Names[5];
  TShortString<20> Points[5];
  TShortString<3> Hits[5];
};
#pragma pack(pop)
static_assert(sizeof(THighscoreTable) == 230, "a highscore record is 230 bytes");

class TForm1 {
 public:
  TForm1();
  ~TForm1();
  TForm1(const TForm1&) = delete;
  TForm1& operator=(const TForm1&) = delete;

  // Event handlers, in the order the window declares them.
  void FormCreate();
  // Start-up for a replay: the game's data, none of the player's files.
  void FormCreateForReplay();
  void FormKeyDown(int key);
  void Edit1KeyDown(int key);
  void FormCloseQuery(bool& canClose);
  void DXTimer1Timer();
  void screen1MouseMove(int x, int y);
  void screen1MouseDown(int button, int x, int y);
  void screen1Initialize();
  void screen1Finalize();
  void AppException(const std::exception& error);

  // Window properties.
  std::string Caption = "Kelo - Das Spiel";
  int ClientWidth = 588;
  int ClientHeight = 315;
  int Left = 0, Top = 0;

  // Components, in the order of their fields.
  TEdit Edit1;
  TMemo Memo1;  // its lines are the settings lines
  TDXDraw screen1;
  TDXTimer DXTimer1;
  TDXImageList ImageList1{TBuiltinList::ImageList1};
  TDXImageList menu1{TBuiltinList::Menu1};
  TDXSound DXSound1;
  TDXWaveList WaveList1{DXSound1};
  TMediaPlayer MediaPlayer1;

  // Game fields, in declaration order.
  std::unique_ptr<TSurface> menuBackground, cursorSurface, levelBackground, h1Surface, h2Surface, h3Surface,
      ampelSurface, ampelPristine, huhnaSurface, huhnbSurface, huhnbSurface2, planeSurface, menschSurface,
      schussSurface, negativSurface, plane2Surface, extra1Surface, extra2Surface;
  std::unique_ptr<TSurface> workSurface;
  TArray<std::unique_ptr<TSurface>, 1, 8> explosionFrames;
  std::string gameState;
  std::string playerName;
  std::string appFolder;
  std::string versionText;
  std::unique_ptr<TGIFImage> gifSchuss, gifFeuer, gifAtom;
  double schussFrame = 0, feuerFrame = 0, atomFrame = 0;
  double endSequenceTime = 0;
  double bombDrop = 0;
  double flapPhase = 0;
  int32_t mouseX = 0, mouseY = 0;
  int32_t waveSize = 0;
  int32_t scorePoints = 0;
  int32_t chickensReleased = 0;
  int32_t scoreHits = 0;
  int32_t planeX = 0;
  int32_t dropX = 0;
  int32_t shotsLeft = 0;
  int32_t ammoY = 0;
  int32_t negativX = 0;
  int32_t ammoX = 0;
  int32_t plane2X = 0, plane2Y = 0;
  int32_t extra1X = 0, extra1Y = 0;
  int32_t extra2X = 0;
  int32_t extra1Shot = 0;
  int32_t difficulty = 0;
  int32_t pauseMouseX = 0, pauseMouseY = 0;
  int32_t shakeX = 0, shakeY = 0;
  int32_t placement = 0;
  double ampelTime = 0;
  double dropY = 0;
  double negativY = 0;
  TArray<THuhn, 1, 3> huhnTable;
  uint8_t ampelVisible = 0;
  uint8_t alphaExplosions = 0;
  uint8_t fireAnimation = 0;
  TArray<int32_t, 1, 10> dropGone;
  TArray<int32_t, 1, 5> extra2Gone;
  TArray<double, 0, 20> explosionPhase;
  TArray<int32_t, 0, 20> explosionX, explosionY;
  TArray<plat::TRecordFile, 1, 3> highFiles;
  TArray<THighscoreTable, 1, 3> highTables;
};

// The frames of a running level and of its end sequence.
void LevelFrame();
void AtombombeFrame();
void NirwanaFrame();

// The one game window.
extern TForm1* Form1;

// The most characters the name field takes (what it takes is TEdit::Takes).
inline constexpr int kNameLength = 20;

// The text of the fatal-error box (Windows-1252).
extern const char* const kFatalMessage;
// The one line of a second start on the same files (Windows-1252).
extern const char* const kAlreadyRunningMessage;

// Asks the message loop to end the game; returns at once.
void RequestTermination();
// The one fatal path: shows the fatal-error box, marks the run as failed and
// asks the game to end.
void ShowFatalError();

// Program start and end around the message loop: creates the game window
// (start-up runs in FormCreate, or FormCreateForReplay), shows it (display
// start), and at the end runs display end and frees the window.
void CreateGameWindow(bool forReplay = false);
void ShowGameWindow();
void DestroyGameWindow();
// The whole run on a backend: the application with its title, the game
// window, the message loop until the game ends. Returns the exit status.
int RunGame(plat::Backend& backend, const char* title);
