// The replay file (docs/replay.md): the state a level starts from and its
// digest, the input stream tick by tick, and the file around them.
#include "replay.h"

#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "extras.h"
#include "huhn.h"
#include "main.h"
#include "platform/core/files.h"
#include "platform/core/keys.h"
#include "replay_codec.h"
#include "tool1.h"

namespace replay {

// --- Bytes ---------------------------------------------------------------------

void Out::U8(uint8_t v) { bytes += char(v); }

void Out::U32(uint32_t v) {
  for (int i = 0; i < 4; ++i) U8(uint8_t(v >> (8 * i)));
}

void Out::U64(uint64_t v) {
  for (int i = 0; i < 8; ++i) U8(uint8_t(v >> (8 * i)));
}

void Out::Var(uint32_t v) {
  while (v >= 0x80) {
    U8(uint8_t(v | 0x80));
    v >>= 7;
  }
  U8(uint8_t(v));
}

void Out::Signed(int32_t v) { Var(ZigZag(v)); }

void Out::Text(std::string_view s) {
  Var(uint32_t(s.size()));
  bytes.append(s);
}

uint8_t In::U8() {
  if (at >= bytes.size()) throw ReplayError("the replay is cut short");
  return uint8_t(bytes[at++]);
}

uint32_t In::U32() {
  uint32_t v = 0;
  for (int i = 0; i < 4; ++i) v |= uint32_t(U8()) << (8 * i);
  return v;
}

uint64_t In::U64() {
  uint64_t v = 0;
  for (int i = 0; i < 8; ++i) v |= uint64_t(U8()) << (8 * i);
  return v;
}

uint32_t In::Var() {
  uint32_t v = 0;
  for (int shift = 0;; shift += 7) {
    const uint8_t b = U8();
    if (shift == 28 && b > 0x0F) throw ReplayError("the replay holds a number that is too large");
    v |= uint32_t(b & 0x7F) << shift;
    if (!(b & 0x80)) return v;
  }
}

int32_t In::Signed() { return UnZigZag(Var()); }

std::string In::Text(size_t most) {
  const uint32_t n = Var();
  if (n > most || n > bytes.size() - at) throw ReplayError("the replay holds a text that is too long");
  std::string s(bytes.substr(at, n));
  at += n;
  return s;
}

// --- The game's state ------------------------------------------------------------

namespace {

enum class Kind : uint8_t { Int, Byte, Double, Seed, Name, Text, Chicken, Record, Frames };
enum Use : uint8_t { kStart = 1, kDigest = 2, kBoth = 3 };
enum class Role : uint8_t { None, Name, Difficulty, PointerX, PointerY, Speed };

struct Field {
  Kind kind;
  Use use;
  int count;     // elements in a row
  double lo, hi; // the values a number may have
  void* (*at)(TForm1&);
  Role role = Role::None;
};

template <auto Member>
void* At(TForm1& f) {
  return &(f.*Member);
}
template <auto Member>
void* First(TForm1& f) {
  auto& row = f.*Member;
  return &row[row.Low];
}
template <auto* Variable>
void* Global(TForm1&) {
  return Variable;
}
void* NameTyped(TForm1& f) { return &f.Edit1.Text; }
void* ListPlayed(TForm1& f) { return &f.highTables[std::clamp(f.difficulty, 1, 3)]; }
void* Pictures(TForm1& f) { return &f; }

constexpr double kMost = 1e6;  // more than any position, clock or score of a level

// Every field of the game window and every module variable a level reads or
// writes, in the order of the file. The difficulty comes first: the list
// played follows it.
const Field kFields[] = {
    {Kind::Int, kBoth, 1, 1, 3, At<&TForm1::difficulty>, Role::Difficulty},
    {Kind::Name, kStart, 1, 0, 0, NameTyped, Role::Name},
    {Kind::Name, kBoth, 1, 0, 0, At<&TForm1::playerName>},
    {Kind::Text, kDigest, 1, 0, 0, At<&TForm1::gameState>},
    {Kind::Double, kBoth, 1, 0, kMost, At<&TForm1::schussFrame>},
    {Kind::Double, kBoth, 1, 0, kMost, At<&TForm1::feuerFrame>},
    {Kind::Double, kBoth, 1, 0, kMost, At<&TForm1::atomFrame>},
    {Kind::Double, kBoth, 1, -kMost, kMost, At<&TForm1::endSequenceTime>},
    {Kind::Double, kBoth, 1, -kMost, kMost, At<&TForm1::bombDrop>},
    {Kind::Double, kBoth, 1, -kMost, kMost, At<&TForm1::flapPhase>},
    {Kind::Int, kBoth, 1, 0, 639, At<&TForm1::mouseX>, Role::PointerX},
    {Kind::Int, kBoth, 1, 0, 479, At<&TForm1::mouseY>, Role::PointerY},
    {Kind::Int, kBoth, 1, -kMost, kMost, At<&TForm1::waveSize>},
    {Kind::Int, kBoth, 1, -kMost, kMost, At<&TForm1::scorePoints>},
    {Kind::Int, kBoth, 1, -kMost, kMost, At<&TForm1::chickensReleased>},
    {Kind::Int, kBoth, 1, -kMost, kMost, At<&TForm1::scoreHits>},
    {Kind::Int, kBoth, 1, -kMost, kMost, At<&TForm1::planeX>},
    {Kind::Int, kBoth, 1, -kMost, kMost, At<&TForm1::dropX>},
    {Kind::Int, kBoth, 1, -kMost, kMost, At<&TForm1::shotsLeft>},
    {Kind::Int, kBoth, 1, -kMost, kMost, At<&TForm1::ammoY>},
    {Kind::Int, kBoth, 1, -kMost, kMost, At<&TForm1::negativX>},
    {Kind::Int, kBoth, 1, -kMost, kMost, At<&TForm1::ammoX>},
    {Kind::Int, kBoth, 1, -kMost, kMost, At<&TForm1::plane2X>},
    {Kind::Int, kBoth, 1, -kMost, kMost, At<&TForm1::plane2Y>},
    {Kind::Int, kBoth, 1, -kMost, kMost, At<&TForm1::extra1X>},
    {Kind::Int, kBoth, 1, -kMost, kMost, At<&TForm1::extra1Y>},
    {Kind::Int, kBoth, 1, -kMost, kMost, At<&TForm1::extra2X>},
    {Kind::Int, kBoth, 1, -kMost, kMost, At<&TForm1::extra1Shot>},
    {Kind::Int, kBoth, 1, -kMost, kMost, At<&TForm1::pauseMouseX>},
    {Kind::Int, kBoth, 1, -kMost, kMost, At<&TForm1::pauseMouseY>},
    {Kind::Int, kBoth, 1, -kMost, kMost, At<&TForm1::shakeX>},
    {Kind::Int, kBoth, 1, -kMost, kMost, At<&TForm1::shakeY>},
    {Kind::Int, kBoth, 1, -kMost, kMost, At<&TForm1::placement>},
    {Kind::Double, kBoth, 1, -kMost, kMost, At<&TForm1::ampelTime>},
    {Kind::Double, kBoth, 1, -kMost, kMost, At<&TForm1::dropY>},
    {Kind::Double, kBoth, 1, -kMost, kMost, At<&TForm1::negativY>},
    {Kind::Chicken, kBoth, 3, -kMost, kMost, First<&TForm1::huhnTable>},
    {Kind::Byte, kBoth, 1, 0, 1, At<&TForm1::ampelVisible>},
    {Kind::Byte, kBoth, 1, 0, 1, At<&TForm1::alphaExplosions>},
    {Kind::Byte, kBoth, 1, 0, 1, At<&TForm1::fireAnimation>},
    {Kind::Int, kBoth, 10, 0, 1, First<&TForm1::dropGone>},
    {Kind::Int, kBoth, 5, 0, 1, First<&TForm1::extra2Gone>},
    {Kind::Double, kBoth, 21, -kMost, kMost, First<&TForm1::explosionPhase>},
    {Kind::Int, kBoth, 21, -kMost, kMost, First<&TForm1::explosionX>},
    {Kind::Int, kBoth, 21, -kMost, kMost, First<&TForm1::explosionY>},
    {Kind::Record, kBoth, 1, 0, 0, ListPlayed},
    {Kind::Byte, kBoth, 1, 0, 1, Global<&planeActive>},
    {Kind::Byte, kBoth, 1, 0, 1, Global<&extraActive>},
    {Kind::Byte, kBoth, 1, 0, 1, Global<&plane2Active>},
    {Kind::Byte, kBoth, 1, 0, 1, Global<&negativActive>},
    {Kind::Byte, kBoth, 1, 0, 1, Global<&ammoActive>},
    {Kind::Byte, kBoth, 1, 0, 1, Global<&ampelActive>},
    {Kind::Byte, kBoth, 1, 0, 1, Global<&chickenLeftActive>},
    {Kind::Byte, kBoth, 1, 0, 1, Global<&chickenRightActive>},
    {Kind::Double, kBoth, 1, 1, 10, Global<&speedDivisor>, Role::Speed},
    {Kind::Seed, kBoth, 1, 0, 0, Global<&RandSeed>},
    // The frame counts of the three GIF pictures: their clocks turn at them.
    {Kind::Frames, kStart, 1, 1, 1024, Pictures},
};

const char* const kChickenStates[] = {"", "Normal", "Stop", "No", "Tod"};
constexpr int kRecordSize = int(sizeof(THighscoreTable));

uint8_t ChickenStateCode(const std::string& state) {
  for (uint8_t i = 0; i < std::size(kChickenStates); ++i)
    if (state == kChickenStates[i]) return i;
  return uint8_t(std::size(kChickenStates));  // none the game gives: the digest tells it apart
}

// The frame count of the GIF picture k (schuss, feuer, atom).
int FramesOf(const TForm1& f, int k) {
  const TGIFImage& gif = k == 0 ? *f.gifSchuss : k == 1 ? *f.gifFeuer : *f.gifAtom;
  return gif.Count();
}

// Writes the fields of `use` from the game window.
std::string EncodeFields(Use use) {
  TForm1& f = *Form1;
  Out out;
  for (const Field& field : kFields) {
    if (!(field.use & use)) continue;
    void* p = field.at(f);
    for (int i = 0; i < field.count; ++i) {
      switch (field.kind) {
        case Kind::Int: out.Signed(static_cast<int32_t*>(p)[i]); break;
        case Kind::Byte: out.U8(static_cast<uint8_t*>(p)[i]); break;
        case Kind::Double: {
          uint64_t bits;
          std::memcpy(&bits, &static_cast<double*>(p)[i], sizeof bits);
          out.U64(bits);
          break;
        }
        case Kind::Seed: out.U32(*static_cast<uint32_t*>(p)); break;
        case Kind::Name:
        case Kind::Text: out.Text(*static_cast<std::string*>(p)); break;
        case Kind::Chicken: {
          const THuhn& h = static_cast<THuhn*>(p)[i];
          out.Signed(h.X), out.Signed(h.Y), out.Signed(h.Kind);
          out.U8(ChickenStateCode(h.State));
          break;
        }
        case Kind::Record: out.bytes.append(static_cast<const char*>(p), size_t(kRecordSize)); break;
        case Kind::Frames:
          for (int k = 0; k < 3; ++k) out.Var(uint32_t(FramesOf(f, k)));
          break;
      }
    }
  }
  return out.bytes;
}

}  // namespace

// Reads a start: checks every value against what the game can hold and, with
// a game window, puts it there.
void ReadStart(std::string_view start, TForm1* f, StartFacts& facts) {
  In in{start};
  auto number = [](const Field& field, double v) {
    if (!(v >= field.lo && v <= field.hi)) throw ReplayError("the replay's start holds a value the game never has");
    return v;
  };
  for (const Field& field : kFields) {
    if (!(field.use & kStart)) continue;
    void* p = f ? field.at(*f) : nullptr;
    for (int i = 0; i < field.count; ++i) {
      switch (field.kind) {
        case Kind::Int: {
          const int32_t v = int32_t(number(field, in.Signed()));
          if (p) static_cast<int32_t*>(p)[i] = v;
          if (field.role == Role::Difficulty) facts.difficulty = v;
          if (field.role == Role::PointerX) facts.x = v;
          if (field.role == Role::PointerY) facts.y = v;
          break;
        }
        case Kind::Byte: {
          const uint8_t v = uint8_t(number(field, in.U8()));
          if (p) static_cast<uint8_t*>(p)[i] = v;
          break;
        }
        case Kind::Double: {
          const uint64_t bits = in.U64();
          double v;
          std::memcpy(&v, &bits, sizeof v);
          if (!std::isfinite(v)) throw ReplayError("the replay's start holds a value the game never has");
          number(field, v);
          if (field.role == Role::Speed) facts.speed = v;
          if (p) static_cast<double*>(p)[i] = v;
          break;
        }
        case Kind::Seed: {
          const uint32_t v = in.U32();
          if (p) *static_cast<uint32_t*>(p) = v;
          break;
        }
        case Kind::Name: {
          std::string v = in.Text(kNameLength);
          for (unsigned char c : v)
            if (c < 32 || c == 127) throw ReplayError("the replay's name holds a control character");
          if (field.role == Role::Name) facts.name = v;
          if (p) *static_cast<std::string*>(p) = std::move(v);
          break;
        }
        case Kind::Text: break;  // never at the start
        case Kind::Chicken: {
          THuhn h;
          h.X = int32_t(number(field, in.Signed()));
          h.Y = int32_t(number(field, in.Signed()));
          h.Kind = int32_t(number(field, in.Signed()));
          const uint8_t state = in.U8();
          if (state >= std::size(kChickenStates)) throw ReplayError("the replay's start holds a chicken the game never has");
          h.State = kChickenStates[state];
          if (p) static_cast<THuhn*>(p)[i] = h;
          break;
        }
        case Kind::Record: {
          if (in.bytes.size() - in.at < size_t(kRecordSize)) throw ReplayError("the replay is cut short");
          if (p) std::memcpy(p, in.bytes.data() + in.at, size_t(kRecordSize));
          in.at += size_t(kRecordSize);
          break;
        }
        case Kind::Frames:
          for (int k = 0; k < 3; ++k) {
            const int recorded = int(number(field, in.Var()));
            if (f && FramesOf(*f, k) != recorded)
              throw ReplayError("the replay was recorded with other pictures in data/ (" + std::to_string(recorded) +
                                " frames where this game has " + std::to_string(FramesOf(*f, k)) + ")");
          }
          break;
      }
    }
  }
  if (in.at != start.size()) throw ReplayError("the replay's start is longer than its fields");
  // "Schwer" flies at its own pace. The others fly at the normal one, which
  // their level sets as it starts: before that, the pace of an earlier level
  // of "Schwer" may still be there. Any other pace is none the game plays.
  const bool schwer = facts.speed == kSchwerSpeed;
  if (facts.difficulty == 3 ? !schwer : !(schwer || facts.speed == kNormalSpeed))
    throw ReplayError("the replay's chickens fly at a pace the game never gives them");
}

std::string EncodeStart() { return EncodeFields(kStart); }

void RestoreStart(std::string_view start) {
  StartFacts facts;
  ReadStart(start, Form1, facts);
}

uint32_t StateDigest() {
  const std::string state = EncodeFields(kDigest);
  return uint32_t(crc32(0L, reinterpret_cast<const Bytef*>(state.data()), uInt(state.size())));
}

// --- The input stream ----------------------------------------------------------------

namespace {

// A tick's pointer step as a value byte, or the escape for a larger one.
constexpr uint8_t kLarge = 0xF0;
constexpr uint8_t kPress = 0xF1;  // + button (0..2): an offset from the pointer follows
constexpr uint8_t kMove = 0xF4;   // an offset from the pointer follows
constexpr uint8_t kEscape = 0xF5, kF4 = 0xF6, kF9 = 0xF7, kF10 = 0xF8;
constexpr uint8_t kFocusLost = 0xF9, kFocusBack = 0xFA;
constexpr uint8_t kEnd = 0xFB;

void PutStep(Out& out, int32_t v) {
  const uint32_t z = ZigZag(v);
  if (z < kLarge) {
    out.U8(uint8_t(z));
  } else {
    out.U8(kLarge);
    out.Var(z);
  }
}

int32_t TakeStep(In& in, uint8_t first) {
  return first == kLarge ? UnZigZag(in.Var()) : UnZigZag(first);
}

}  // namespace

int KeyTag(int key) {
  switch (key) {
    case VK_ESCAPE: return kEscape;
    case VK_F4: return kF4;
    case VK_F9: return kF9;
    case VK_F10: return kF10;
    default: return 0;
  }
}

void InputWriter::Start(int x, int y) {
  out = Out{};
  px = cx = tx = x, py = cy = ty = y;
  dx = dy = 0;
}

void InputWriter::Flush() {
  if (px == cx && py == cy) return;
  out.U8(kMove);
  out.Signed(px - cx), out.Signed(py - cy);
  cx = px, cy = py;
}

void InputWriter::Press(int button, int x, int y) {
  Flush();
  out.U8(uint8_t(kPress + std::clamp(button, 0, 2)));
  out.Signed(x - cx), out.Signed(y - cy);
}

void InputWriter::Tag(uint8_t tag) {
  Flush();
  out.U8(tag);
}

void InputWriter::Focus(bool active) { Tag(active ? kFocusBack : kFocusLost); }

void InputWriter::Tick() {
  // The step from the last tick, less the step before it: a hand moving on
  // at its pace costs next to nothing.
  const int sx = px - tx, sy = py - ty;
  PutStep(out, sx - dx);
  PutStep(out, sy - dy);
  dx = sx, dy = sy;
  tx = cx = px, ty = cy = py;
}

void InputWriter::Finish() { out.U8(kEnd); }

InputReader::InputReader(std::string_view stream, int x, int y) : in{stream}, cx(x), cy(y), tx(x), ty(y) {}

void InputReader::Place(int x, int y) {
  if (x < 0 || x > 639 || y < 0 || y > 479) throw ReplayError("the replay moves the pointer off the picture");
  cx = x, cy = y;
}

InputReader::Item InputReader::Read(plat::Event& e) {
  if (tickDue) {
    tickDue = false;
    return Item::Tick;
  }
  e = plat::Event{};
  const uint8_t b = in.U8();
  if (b <= kLarge) {
    const int32_t rx = TakeStep(in, b);
    const uint8_t second = in.U8();
    if (second > kLarge) throw ReplayError("the replay's input is corrupt");
    const int32_t ry = TakeStep(in, second);
    const int64_t sx = int64_t(dx) + rx, sy = int64_t(dy) + ry;
    const int64_t x = tx + sx, y = ty + sy;
    if (x < 0 || x > 639 || y < 0 || y > 479) throw ReplayError("the replay moves the pointer off the picture");
    dx = int32_t(sx), dy = int32_t(sy);
    tx = int(x), ty = int(y);
    if (tx == cx && ty == cy) return Item::Tick;
    Place(tx, ty);
    e.kind = plat::EventKind::MouseMove;
    e.x = cx, e.y = cy;
    tickDue = true;
    return Item::Event;
  }
  if (b >= kPress && b <= kMove) {
    const int32_t ox = in.Signed(), oy = in.Signed();
    const int64_t x = int64_t(cx) + ox, y = int64_t(cy) + oy;
    if (x < 0 || x > 639 || y < 0 || y > 479) throw ReplayError("the replay moves the pointer off the picture");
    e.x = int(x), e.y = int(y);
    if (b == kMove) {
      Place(e.x, e.y);
      e.kind = plat::EventKind::MouseMove;
    } else {
      e.kind = plat::EventKind::MouseDown;
      e.button = b - kPress;
    }
    return Item::Event;
  }
  switch (b) {
    case kEscape: e.kind = plat::EventKind::KeyDown, e.key = VK_ESCAPE; return Item::Event;
    case kF4: e.kind = plat::EventKind::KeyDown, e.key = VK_F4; return Item::Event;
    case kF9: e.kind = plat::EventKind::KeyDown, e.key = VK_F9; return Item::Event;
    case kF10: e.kind = plat::EventKind::KeyDown, e.key = VK_F10; return Item::Event;
    case kFocusLost: e.kind = plat::EventKind::Deactivate; return Item::Event;
    case kFocusBack: e.kind = plat::EventKind::Activate; return Item::Event;
    case kEnd:
      if (in.at != in.bytes.size()) throw ReplayError("the replay goes on after its end");
      return Item::End;
    default: throw ReplayError("the replay's input is corrupt");
  }
}

// --- The file ----------------------------------------------------------------------

namespace {

constexpr char kMagic[8] = {'K', 'E', 'L', 'O', 'R', 'E', 'P', 'L'};
constexpr size_t kMostPayload = 16u << 20;  // far more than any level's input
constexpr uint32_t kMostTicks = 500000;     // a level lasts some 17 000 ticks
constexpr uint32_t kMostSeeds = 100000;
constexpr uint32_t kMostEvents = 4000000;
constexpr size_t kMostText = 64;

std::string Inflate(std::string_view packed) {
  z_stream z{};
  if (inflateInit(&z) != Z_OK) throw ReplayError("cannot unpack the replay");
  struct End {
    z_stream& z;
    ~End() { inflateEnd(&z); }
  } end{z};
  std::string out;
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(packed.data()));
  z.avail_in = uInt(packed.size());
  char chunk[16384];
  for (;;) {
    z.next_out = reinterpret_cast<Bytef*>(chunk);
    z.avail_out = sizeof chunk;
    const int status = inflate(&z, Z_NO_FLUSH);
    out.append(chunk, sizeof chunk - z.avail_out);
    if (out.size() > kMostPayload) throw ReplayError("the replay unpacks to more than any level holds");
    if (status == Z_STREAM_END) break;
    if (status == Z_BUF_ERROR && z.avail_in == 0) throw ReplayError("the replay is cut short");
    if (status != Z_OK) throw ReplayError("the replay is corrupt");
  }
  if (z.avail_in != 0) throw ReplayError("the replay goes on after its end");
  return out;
}

}  // namespace

const char* GameVersion() { return KELO_VERSION; }

std::string EntryFile(int list, int place) {
  return "high" + std::to_string(list) + "-" + (place > 0 ? std::to_string(place) : std::string("new")) + ".rep";
}

std::string Encode(const Replay& r) {
  Out p;
  p.Text(r.gameVersion);
  p.Var(r.playVersion);
  p.Text(r.system);
  p.U64(uint64_t(r.date));
  p.U8(uint8_t(r.claim.end));
  p.Var(r.claim.ticks);
  p.Signed(r.claim.points), p.Signed(r.claim.hits), p.Signed(r.claim.released), p.Signed(r.claim.placement);
  p.U32(r.claim.digest);
  p.Text(r.start);
  p.Var(uint32_t(r.seeds.size()));
  for (uint32_t s : r.seeds) p.U32(s);
  p.bytes += r.input;
  return Pack(p.bytes);
}

std::string Pack(std::string_view payload) {
  // The input is mostly small numbers that repeat little: Huffman codes do
  // the most for it, long searches for repeats next to nothing.
  z_stream z{};
  if (deflateInit2(&z, 6, Z_DEFLATED, 15, 9, Z_FILTERED) != Z_OK) throw ReplayError("cannot pack the replay");
  std::string file(kMagic, sizeof kMagic);
  file += char(kFormat);
  const size_t head = file.size();
  file.resize(head + deflateBound(&z, uLong(payload.size())));
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(payload.data()));
  z.avail_in = uInt(payload.size());
  z.next_out = reinterpret_cast<Bytef*>(file.data() + head);
  z.avail_out = uInt(file.size() - head);
  const int status = deflate(&z, Z_FINISH);
  file.resize(file.size() - z.avail_out);
  deflateEnd(&z);
  if (status != Z_STREAM_END) throw ReplayError("cannot pack the replay");
  return file;
}

Replay Decode(std::string_view bytes) {
  const std::string_view magic(kMagic, sizeof kMagic);
  if (bytes.substr(0, magic.size()) != magic.substr(0, bytes.size()))
    throw ReplayError("this is not a replay of Kelo - Das Spiel");
  if (bytes.size() <= magic.size()) throw ReplayError("the replay is cut short");
  const uint8_t format = uint8_t(bytes[sizeof kMagic]);
  if (format > kFormat)
    throw ReplayError("the replay is of a newer format (" + std::to_string(format) + ") than this game reads (" +
                      std::to_string(kFormat) + ")");
  if (format != kFormat) throw ReplayError("the replay is corrupt");
  const std::string payload = Inflate(bytes.substr(sizeof kMagic + 1));
  In in{payload};
  Replay r;
  r.gameVersion = in.Text(kMostText);
  r.playVersion = in.Var();
  r.system = in.Text(kMostText);
  r.date = int64_t(in.U64());
  const uint8_t end = in.U8();
  if (end != uint8_t(End::Finished) && end != uint8_t(End::Left)) throw ReplayError("the replay's end is corrupt");
  r.claim.end = End(end);
  r.claim.ticks = in.Var();
  if (r.claim.ticks > kMostTicks) throw ReplayError("the replay claims more ticks than any level lasts");
  r.claim.points = in.Signed(), r.claim.hits = in.Signed(), r.claim.released = in.Signed();
  r.claim.placement = in.Signed();
  r.claim.digest = in.U32();
  r.start = in.Text(payload.size());
  StartFacts facts;
  ReadStart(r.start, nullptr, facts);
  r.name = facts.name;
  r.difficulty = facts.difficulty;
  const uint32_t seeds = in.Var();
  if (seeds > kMostSeeds || seeds > (payload.size() - in.at) / 4) throw ReplayError("the replay is cut short");
  r.seeds.resize(seeds);
  for (uint32_t& s : r.seeds) s = in.U32();
  r.input = payload.substr(in.at);
  // The whole input is read once here, so that a replay that plays has no
  // surprise left: its ticks are counted and every event is checked.
  InputReader reader(r.input, facts.x, facts.y);
  uint32_t ticks = 0, events = 0;
  plat::Event e;
  for (;;) {
    const InputReader::Item item = reader.Read(e);
    if (item == InputReader::Item::End) break;
    if (item == InputReader::Item::Tick && ++ticks > kMostTicks) throw ReplayError("the replay is longer than any level");
    if (item == InputReader::Item::Event && ++events > kMostEvents) throw ReplayError("the replay is longer than any level");
  }
  if (ticks != r.claim.ticks) throw ReplayError("the replay's input does not last the ticks it claims");
  return r;
}

void RequirePlayVersion(const Replay& r) {
  if (r.playVersion == kPlayVersion) return;
  throw ReplayError("recorded by Kelo " + r.gameVersion + " (play version " + std::to_string(r.playVersion) +
                    "), which plays differently from this Kelo " + GameVersion() + " (play version " +
                    std::to_string(kPlayVersion) + ")");
}

Replay DecodePlayable(std::string_view bytes) {
  Replay r = Decode(bytes);
  RequirePlayVersion(r);
  return r;
}

Replay ReadFile(const std::string& path) {
  try {
    return DecodePlayable(plat::ReadWholeFile(path, kMostFileBytes));
  } catch (const ReplayError& e) {
    throw ReplayError(path + ": " + e.what());
  } catch (const plat::EInOutError& e) {
    throw ReplayError(path + ": cannot be read (" + e.what() + ")");
  }
}

const char* DifficultyName(int difficulty) {
  switch (difficulty) {
    case 1: return "Leicht";
    case 2: return "Mittel";
    case 3: return "Schwer";
    default: return "?";
  }
}

std::string Describe(const Claim& c) {
  std::string s = std::to_string(c.points) + " points, " + std::to_string(c.hits) + " hits of " +
                  std::to_string(c.released) + " chickens, ";
  s += c.placement > 0 ? "place " + std::to_string(c.placement) : std::string("no place");
  s += c.end == End::Finished ? ", finished after " : c.end == End::Left ? ", left from the pause after " : ", not ended after ";
  s += std::to_string(c.ticks) + " ticks, state ";
  char digest[16];
  std::snprintf(digest, sizeof digest, "%08x", c.digest);
  return s + digest;
}

}  // namespace replay
