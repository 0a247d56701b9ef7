#include "platform/core/midifile.h"
#include "platform/core/bits.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <string>

namespace plat {
namespace {

// Reads big-endian values and variable-length quantities inside [pos, end).
class Reader {
 public:
  Reader(std::string_view bytes, size_t pos, size_t end) : bytes_(bytes), pos_(pos), end_(end) {}

  bool AtEnd() const { return pos_ >= end_; }
  size_t Pos() const { return pos_; }

  uint8_t Byte() {
    if (pos_ >= end_) throw EMidiFormat("MIDI data cut short");
    return uint8_t(bytes_[pos_++]);
  }
  uint32_t Big(int count) {
    uint32_t v = 0;
    for (int i = 0; i < count; ++i) v = v << 8 | Byte();
    return v;
  }
  uint32_t VarLen() {
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) {
      const uint8_t b = Byte();
      v = v << 7 | (b & 0x7F);
      if (!(b & 0x80)) return v;
    }
    throw EMidiFormat("MIDI number longer than four bytes");
  }
  std::string_view Take(uint32_t count) {
    if (count > end_ - pos_) throw EMidiFormat("MIDI data cut short");
    const std::string_view s = bytes_.substr(pos_, count);
    pos_ += count;
    return s;
  }

 private:
  std::string_view bytes_;
  size_t pos_, end_;
};

// An event of one track, before the tracks are merged.
struct TrackEvent {
  uint64_t tick;
  uint32_t track;
  uint32_t order;  // position inside its track
  enum { Channel, Sysex, Tempo, End } kind;
  MidiEvent event;
  uint32_t tempo = 0;  // microseconds per quarter note
};

void ReadTrack(Reader in, uint32_t track, std::vector<TrackEvent>& out, std::vector<uint8_t>& sysex) {
  uint64_t tick = 0;
  uint8_t running = 0;
  uint32_t order = 0;
  while (!in.AtEnd()) {
    tick += in.VarLen();
    TrackEvent e{tick, track, order++, TrackEvent::Channel, {}, 0};
    uint8_t b = in.Byte();
    if (b == 0xFF) {  // meta event
      const uint8_t type = in.Byte();
      const std::string_view data = in.Take(in.VarLen());
      if (type == 0x2F) {
        e.kind = TrackEvent::End;
        out.push_back(e);
        return;
      }
      if (type == 0x51 && data.size() == 3) {
        e.kind = TrackEvent::Tempo;
        e.tempo = uint32_t(uint8_t(data[0])) << 16 | uint32_t(uint8_t(data[1])) << 8 | uint8_t(data[2]);
        out.push_back(e);
      }
      continue;
    }
    if (b == 0xF0 || b == 0xF7) {
      std::string_view data = in.Take(in.VarLen());
      if (b == 0xF7) continue;  // an escaped raw packet: nothing the synthesizer needs
      if (!data.empty() && uint8_t(data.back()) == 0xF7) data.remove_suffix(1);
      e.kind = TrackEvent::Sysex;
      e.event.status = 0xF0;
      e.event.sysexOffset = uint32_t(sysex.size());
      e.event.sysexLength = uint32_t(data.size());
      sysex.insert(sysex.end(), data.begin(), data.end());
      out.push_back(e);
      continue;
    }
    if (b >= 0xF0) throw EMidiFormat("MIDI status byte not allowed in a file");
    uint8_t status = b;
    if (b < 0x80) {
      // Running status: b is already the first data byte.
      if (!running) throw EMidiFormat("MIDI data byte without a status");
      status = running;
    } else {
      running = status;
      b = in.Byte();
    }
    e.event.status = status;
    e.event.data1 = b;
    const uint8_t kind = status & 0xF0;
    if (kind != 0xC0 && kind != 0xD0) e.event.data2 = in.Byte();
    if (e.event.data1 >= 0x80 || e.event.data2 >= 0x80) throw EMidiFormat("MIDI data byte out of range");
    out.push_back(e);
  }
}

// n / d rounded once to the nearest double, ties to even: the same on every
// machine, whatever its long double.
double Quotient(unsigned __int128 n, uint64_t d) {
  using u128 = unsigned __int128;
  u128 q = n / d, r = n % d;
  int exponent = 0;
  const uint64_t high = uint64_t(q >> 64);
  const int bits = high ? 128 - LeadingZeros(high) : 64 - LeadingZeros(uint64_t(q));
  bool up;
  if (bits > 53) {
    // More than 53 integer bits: the dropped ones and the remainder decide.
    const int drop = bits - 53;
    const u128 rest = q & ((u128(1) << drop) - 1), half = u128(1) << (drop - 1);
    q >>= drop;
    exponent = drop;
    up = rest > half || (rest == half && (r != 0 || (q & 1)));
  } else {
    // Fraction bits until 53 significant ones; r stays below d < 2^64.
    for (int have = bits; have < 53 && (q != 0 || r != 0); --exponent) {
      r <<= 1;
      q <<= 1;
      if (r >= d) q |= 1, r -= d;
      if (q) ++have;
    }
    up = 2 * r > d || (2 * r == d && (q & 1));
  }
  q += up;
  return std::ldexp(double(uint64_t(q)), exponent);
}

}  // namespace

MidiFile ParseMidi(std::string_view bytes) {
  Reader file(bytes, 0, bytes.size());
  if (bytes.size() < 14 || file.Take(4) != "MThd") throw EMidiFormat("not a MIDI file");
  const uint32_t headerSize = file.Big(4);
  if (headerSize < 6) throw EMidiFormat("MIDI header too short");
  Reader header(bytes, file.Pos(), file.Pos() + headerSize);
  file.Take(headerSize);
  const uint32_t format = header.Big(2);
  const uint32_t trackCount = header.Big(2);
  const uint32_t division = header.Big(2);
  if (format > 1) throw EMidiFormat("MIDI format " + std::to_string(format) + " is not played");
  if (trackCount == 0) throw EMidiFormat("MIDI file without tracks");
  // Ticks per quarter note, or (negative top byte) frames per second and ticks per frame.
  const bool smpte = division & 0x8000;
  const uint32_t ticksPerSecond = smpte ? (256 - (division >> 8)) * (division & 0xFF) : 0;
  if (smpte ? ticksPerSecond == 0 : division == 0) throw EMidiFormat("MIDI time division is zero");

  MidiFile midi;
  std::vector<TrackEvent> all;
  uint32_t tracks = 0;
  while (tracks < trackCount) {
    const std::string_view id = file.Take(4);
    const uint32_t size = file.Big(4);
    const size_t start = file.Pos();
    file.Take(size);
    if (id == "MTrk") ReadTrack(Reader(bytes, start, start + size), tracks++, all, midi.sysex);
  }

  // One tempo map for all tracks: a tempo change in any track applies to all.
  std::stable_sort(all.begin(), all.end(), [](const TrackEvent& a, const TrackEvent& b) {
    if (a.tick != b.tick) return a.tick < b.tick;
    return a.track != b.track ? a.track < b.track : a.order < b.order;
  });
  uint32_t tempo = 500000;
  uint64_t lastTick = 0;
  // The sum of ticks x tempo, exact in integers (ticks below 2^64, tempos
  // below 2^24), divided by the division once per event.
  unsigned __int128 quarterUs = 0;
  for (TrackEvent& e : all) {
    double timeUs;
    if (smpte) {
      timeUs = Quotient((unsigned __int128)e.tick * 1000000u, ticksPerSecond);
    } else {
      quarterUs += (unsigned __int128)(e.tick - lastTick) * tempo;
      lastTick = e.tick;
      timeUs = Quotient(quarterUs, division);
    }
    midi.lengthUs = std::max(midi.lengthUs, timeUs);
    if (e.kind == TrackEvent::Tempo) tempo = e.tempo;
    if (e.kind != TrackEvent::Channel && e.kind != TrackEvent::Sysex) continue;
    e.event.timeUs = timeUs;
    midi.events.push_back(e.event);
  }
  return midi;
}

int MidiFile::LengthMs() const {
  // A piece longer than the largest length (about 24 days) has that length.
  if (lengthUs > (double(INT_MAX) - 1) * 1000) return INT_MAX;
  const int64_t us = std::llround(lengthUs);
  return int((us + 999) / 1000);
}

}  // namespace plat
