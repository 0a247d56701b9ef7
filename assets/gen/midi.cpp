#include "midi.h"

#include <algorithm>
#include <stdexcept>

namespace gen {

void MidiWriter::Add(uint32_t tick, int order, std::vector<uint8_t> data) {
  if (tracks_.empty()) NewTrack();
  tracks_.back().push_back(Event{tick, order, std::move(data)});
}

void MidiWriter::Tempo(uint32_t tick, int us) {
  Add(tick, 0, {0xFF, 0x51, 0x03, uint8_t(us >> 16), uint8_t(us >> 8), uint8_t(us)});
}

void MidiWriter::TimeSignature(uint32_t tick, int beats, int beatUnit) {
  uint8_t power = 0;
  while ((1 << power) < beatUnit) ++power;
  Add(tick, 0, {0xFF, 0x58, 0x04, uint8_t(beats), power, 24, 8});
}

void MidiWriter::TrackName(const std::string& name) {
  if (name.size() > 127) throw std::runtime_error("track name too long");
  std::vector<uint8_t> data = {0xFF, 0x03, uint8_t(name.size())};
  data.insert(data.end(), name.begin(), name.end());
  Add(0, 0, std::move(data));
}

void MidiWriter::Program(uint32_t tick, int ch, int program) {
  Add(tick, 1, {uint8_t(0xC0 | ch), uint8_t(program)});
}

void MidiWriter::Control(uint32_t tick, int ch, int controller, int value) {
  Add(tick, 1, {uint8_t(0xB0 | ch), uint8_t(controller), uint8_t(value)});
}

void MidiWriter::Note(uint32_t tick, int ch, int key, int velocity, uint32_t length) {
  Add(tick, 2, {uint8_t(0x90 | ch), uint8_t(key), uint8_t(velocity)});
  Add(tick + length, 0, {uint8_t(0x80 | ch), uint8_t(key), 0});
}

void MidiWriter::End(uint32_t tick) { Add(tick, 3, {}); }

namespace {
void PutVarLen(std::vector<uint8_t>& out, uint32_t v) {
  uint8_t buf[5];
  int n = 0;
  buf[n++] = uint8_t(v & 0x7F);
  while (v >>= 7) buf[n++] = uint8_t((v & 0x7F) | 0x80);
  while (n) out.push_back(buf[--n]);
}
void Put32(std::vector<uint8_t>& out, uint32_t v) {
  for (int s = 24; s >= 0; s -= 8) out.push_back(uint8_t(v >> s));
}
}  // namespace

std::vector<uint8_t> MidiWriter::Bytes() const {
  std::vector<uint8_t> out = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 1};
  out.push_back(uint8_t(tracks_.size() >> 8));
  out.push_back(uint8_t(tracks_.size()));
  out.push_back(uint8_t(division_ >> 8));
  out.push_back(uint8_t(division_));
  for (auto events : tracks_) {
    std::stable_sort(events.begin(), events.end(), [](const Event& a, const Event& b) {
      return a.tick != b.tick ? a.tick < b.tick : a.order < b.order;
    });
    std::vector<uint8_t> body;
    uint32_t now = 0;
    bool sounding[16][128] = {};
    for (const Event& e : events) {
      if (e.data.empty()) continue;  // end marker: only moves `now`
      // A key struck again while it still sounds would be cut short by the
      // first note's release: that is a mistake in the score.
      const int kind = e.data[0] & 0xF0, ch = e.data[0] & 0x0F;
      if (kind == 0x90 && sounding[ch][e.data[1]]) throw std::runtime_error("overlapping notes in a MIDI track");
      if (kind == 0x90 || kind == 0x80) sounding[ch][e.data[1]] = kind == 0x90;
      PutVarLen(body, e.tick - now);
      now = e.tick;
      body.insert(body.end(), e.data.begin(), e.data.end());
    }
    uint32_t last = now;
    for (const Event& e : events) last = std::max(last, e.tick);
    PutVarLen(body, last - now);
    body.insert(body.end(), {0xFF, 0x2F, 0x00});
    out.insert(out.end(), {'M', 'T', 'r', 'k'});
    Put32(out, uint32_t(body.size()));
    out.insert(out.end(), body.begin(), body.end());
  }
  return out;
}

}  // namespace gen
