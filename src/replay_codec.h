// The pieces of the replay file that the recorder and the player share: bytes
// in and out, the start's facts, and the input stream tick by tick.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/core/backend.h"
#include "replay.h"

class TForm1;

namespace replay {

inline uint32_t ZigZag(int32_t v) { return (uint32_t(v) << 1) ^ uint32_t(v >> 31); }
inline int32_t UnZigZag(uint32_t z) { return int32_t(z >> 1) ^ -int32_t(z & 1); }

// Little-endian numbers, variable-length unsigned numbers (7 bits a byte) and
// texts with their length before them.
struct Out {
  std::string bytes;
  void U8(uint8_t v);
  void U32(uint32_t v);
  void U64(uint64_t v);
  void Var(uint32_t v);
  void Signed(int32_t v);
  void Text(std::string_view s);
};

// The same read back; running past the end throws ReplayError.
struct In {
  std::string_view bytes;
  size_t at = 0;
  uint8_t U8();
  uint32_t U32();
  uint64_t U64();
  uint32_t Var();
  int32_t Signed();
  std::string Text(size_t most);
};

// The file around a payload: the mark, the format and the packed payload.
std::string Pack(std::string_view payload);

// What a start says beyond the state itself.
struct StartFacts {
  std::string name;
  int difficulty = 0;
  int x = 0, y = 0;  // the pointer
  double speed = 0;  // speedDivisor
};
// Checks a start value by value and, with a game window, puts it there.
void ReadStart(std::string_view start, TForm1* f, StartFacts& facts);

// The mark of a key the level acts on (Escape, F4, F9, F10), else 0.
int KeyTag(int key);

// Writes the input as the game takes it. Pointer moves only count where the
// game reads the pointer: at the next tick, or before a press, a key or a
// change of the focus.
class InputWriter {
 public:
  void Start(int x, int y);
  void Pointer(int x, int y) { px = x, py = y; }
  void Press(int button, int x, int y);
  void Tag(uint8_t tag);  // a key (KeyTag)
  void Focus(bool active);
  void Tick();
  void Finish();
  size_t Size() const { return out.bytes.size(); }
  const std::string& Bytes() const { return out.bytes; }

 private:
  void Flush();
  Out out;
  int px = 0, py = 0;  // where the pointer is
  int cx = 0, cy = 0;  // where the game last had it
  int tx = 0, ty = 0;  // where it was at the last tick
  int dx = 0, dy = 0;  // its step at the last tick
};

// Reads it back: the events in order, each tick, and the end. Anything the
// game cannot have taken throws ReplayError.
class InputReader {
 public:
  enum class Item { Event, Tick, End };
  InputReader(std::string_view stream, int x, int y);
  Item Read(plat::Event& e);

 private:
  void Place(int x, int y);
  In in;
  int cx, cy;  // where the game has the pointer
  int tx, ty;  // where it was at the last tick
  int dx = 0, dy = 0;
  bool tickDue = false;
};

}  // namespace replay
