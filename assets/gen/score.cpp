#include "score.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <stdexcept>
#include <string>

namespace gen::music {

namespace {

std::vector<std::string_view> Tokens(std::string_view text) {
  std::vector<std::string_view> out;
  size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && text[i] == ' ') ++i;
    size_t j = i;
    while (j < text.size() && text[j] != ' ') ++j;
    if (j > i) out.push_back(text.substr(i, j - i));
    i = j;
  }
  return out;
}

[[noreturn]] void Fail(const std::string& what, std::string_view where) {
  throw std::runtime_error(what + " at \"" + std::string(where) + "\"");
}

void CheckBarLine(uint32_t t, std::string_view where) {
  if (t % kBar) Fail("bar line off the bar (" + std::to_string(t % kBar / kStep) + " sixteenths in)", where);
}

int Count(std::string_view digits, std::string_view where) {
  if (digits.empty() || digits.size() > 3 || digits.find_first_not_of("0123456789") != std::string_view::npos)
    Fail("bad length", where);
  return std::atoi(std::string(digits).c_str());
}

// Pitch class of a note letter with an optional '#' or 'b'; `used` gets the
// number of characters read.
int PitchClass(std::string_view s, size_t& used) {
  static constexpr int kLetters[7] = {9, 11, 0, 2, 4, 5, 7};  // a..g
  if (s.empty()) Fail("missing note name", s);
  const char c = char(s[0] | 0x20);
  if (c < 'a' || c > 'g') Fail("bad note name", s);
  int pc = kLetters[c - 'a'];
  used = 1;
  if (s.size() > 1 && s[1] == '#') pc += 1, used = 2;
  else if (s.size() > 1 && s[1] == 'b') pc += 11, used = 2;
  return pc % 12;
}

int Mod12(int v) { return ((v % 12) + 12) % 12; }

// The lowest key at or above `from` with pitch class `pc`.
int KeyAtOrAbove(int from, int pc) { return from + Mod12(pc - from); }

// Small deterministic velocity variation, so repeated notes do not sound
// like a machine gun.
int Jitter(int channel, uint32_t tick, int key) {
  uint32_t h = uint32_t(channel) * 0x9E3779B1u ^ tick * 0x85EBCA77u ^ uint32_t(key) * 0xC2B2AE3Du;
  h ^= h >> 15, h *= 0x2C1B3C6Du, h ^= h >> 12;
  return int(h % 9) - 4;
}

void Emit(MidiWriter& m, int channel, uint32_t tick, int key, int velocity, double length) {
  if (key < 0 || key > 127) throw std::runtime_error("key out of range: " + std::to_string(key));
  const int v = std::clamp(velocity + Jitter(channel, tick, key), 1, 127);
  m.Note(tick, channel, key, v, uint32_t(std::max(30.0, std::round(length))));
}

std::string Steps(std::string_view pattern) {
  std::string s;
  for (char c : pattern)
    if (c != ' ' && c != '|') s += c;
  if (s.empty() || s.size() % 16) Fail("pattern is not whole bars", pattern);
  return s;
}

// Walks a pattern over [from, to): calls hit(tick, symbol, sixteenths held)
// for every step that starts a note.
template <typename Hit>
void Walk(const std::string& steps, uint32_t from, uint32_t to, Hit hit) {
  for (uint32_t t = from; t < to; t += kStep) {
    const size_t i = (t / kStep) % steps.size();
    const char c = steps[i];
    if (c == '.' || c == '-') continue;
    int n = 1;
    while (t + uint32_t(n) * kStep < to && steps[(i + size_t(n)) % steps.size()] == '-') ++n;
    hit(t, c, n);
  }
}

int HitAccent(char c) { return c == 'X' ? 16 : c == 'o' ? -22 : 0; }

// Stronger on the first and third beats, lighter off the beat.
int MetricAccent(uint32_t t) {
  const uint32_t s = t % kBar / kStep;
  return s == 0 ? 8 : s == 8 ? 4 : s % 4 == 0 ? 0 : -4;
}

const Chord& ChordAt(const std::vector<Chord>& chords, uint32_t t) {
  const Chord* c = &chords.front();
  for (const Chord& k : chords)
    if (k.at <= t) c = &k;
  return *c;
}

uint32_t EndOf(const std::vector<Chord>& chords) { return chords.back().at + chords.back().length; }

std::vector<Note> ThirdBelow(const std::vector<Note>& line, int tonic, bool minor) {
  static constexpr int kMajor[7] = {0, 2, 4, 5, 7, 9, 11}, kMinor[7] = {0, 2, 3, 5, 7, 8, 10};
  const int* scale = minor ? kMinor : kMajor;
  std::vector<Note> out = line;
  for (Note& n : out) {
    if (n.key < 0) continue;
    const int degree = Mod12(n.key - tonic);
    int step = 3;
    for (int i = 0; i < 7; ++i)
      if (scale[i] == degree) step = Mod12(degree - scale[(i + 5) % 7]);
    n.key -= step;
  }
  return out;
}

}  // namespace

int Pitch(std::string_view name) {
  size_t used = 0;
  const int pc = PitchClass(name, used);
  std::string_view rest = name.substr(used);
  if (rest.size() != 1 || rest[0] < '0' || rest[0] > '9') Fail("bad octave", name);
  // Spelled pitch: "cb4" is b3, "b#3" is c4.
  const int letterPc = PitchClass(name.substr(0, 1), used);
  const int octave = rest[0] - '0' + (letterPc == 0 && pc == 11 ? -1 : letterPc == 11 && pc == 0 ? 1 : 0);
  return 12 * (octave + 1) + pc;
}

std::vector<Note> Melody(std::string_view text, uint32_t at) {
  std::vector<Note> out;
  uint32_t t = at;
  int length = 4;
  for (std::string_view tok : Tokens(text)) {
    if (tok == "|") {
      CheckBarLine(t, text.substr(0, size_t(tok.data() - text.data())));
      continue;
    }
    Note n;
    n.at = t;
    std::string_view s = tok;
    if (s[0] == '>') n.accent = 14, s.remove_prefix(1);
    else if (s[0] == '<') n.accent = -14, s.remove_prefix(1);
    if (!s.empty() && s.back() == '\'') n.hold = 0.45, s.remove_suffix(1);
    else if (!s.empty() && s.back() == '_') n.hold = 1.0, s.remove_suffix(1);
    const size_t colon = s.find(':');
    const std::string_view name = s.substr(0, colon);
    if (colon != std::string_view::npos) length = Count(s.substr(colon + 1), tok);
    n.key = name == "r" ? -1 : Pitch(name);
    n.length = uint32_t(length) * kStep;
    t += n.length;
    out.push_back(n);
  }
  return out;
}

std::vector<Note> HarmonyBelow(const std::vector<Note>& line, const std::vector<Chord>& chords, int tonic, bool minor) {
  std::vector<Note> out = ThirdBelow(line, tonic, minor);
  for (size_t i = 0; i < line.size(); ++i) {
    if (line[i].key < 0 || line[i].at < chords.front().at || line[i].at >= EndOf(chords)) continue;
    const Chord& chord = ChordAt(chords, line[i].at);
    auto inChord = [&](int key) { return std::find(chord.tones.begin(), chord.tones.end(), Mod12(key)) != chord.tones.end(); };
    if (inChord(out[i].key)) continue;
    // The diatonic third is not in the chord: take the chord tone a third or
    // a fourth below instead, if there is one.
    for (int down : {3, 4, 5})
      if (inChord(line[i].key - down)) {
        out[i].key = line[i].key - down;
        break;
      }
  }
  return out;
}

std::vector<Note> Transposed(std::vector<Note> line, int semitones) {
  for (Note& n : line)
    if (n.key >= 0) n.key += semitones;
  return line;
}

uint32_t Play(MidiWriter& m, int channel, const std::vector<Note>& line, int velocity) {
  uint32_t end = 0;
  for (const Note& n : line) {
    end = n.at + n.length;
    if (n.key >= 0) Emit(m, channel, n.at, n.key, velocity + n.accent + MetricAccent(n.at) / 2, n.length * n.hold);
  }
  return end;
}

std::vector<Chord> Chords(std::string_view text, uint32_t at, int transpose) {
  struct Quality {
    std::string_view name;
    std::vector<int> intervals;
  };
  static const Quality kQualities[] = {
      {"", {0, 4, 7}},          {"m", {0, 3, 7}},          {"7", {0, 4, 7, 10}},  {"m7", {0, 3, 7, 10}},
      {"maj7", {0, 4, 7, 11}},  {"6", {0, 4, 7, 9}},       {"m6", {0, 3, 7, 9}},  {"sus4", {0, 5, 7}},
      {"7sus4", {0, 5, 7, 10}}, {"dim", {0, 3, 6}},        {"dim7", {0, 3, 6, 9}}, {"add9", {0, 4, 7, 2}},
      {"aug", {0, 4, 8}},       {"m7b5", {0, 3, 6, 10}},
  };
  std::vector<Chord> out;
  uint32_t t = at;
  for (std::string_view tok : Tokens(text)) {
    if (tok == "|") {
      CheckBarLine(t, text.substr(0, size_t(tok.data() - text.data())));
      continue;
    }
    const size_t colon = tok.find(':');
    std::string_view name = tok.substr(0, colon);
    const int length = colon == std::string_view::npos ? 16 : Count(tok.substr(colon + 1), tok);
    Chord c;
    size_t used = 0;
    c.root = Mod12(PitchClass(name, used) + transpose);
    name.remove_prefix(used);
    const size_t slash = name.find('/');
    c.bass = c.root;
    if (slash != std::string_view::npos) c.bass = Mod12(PitchClass(name.substr(slash + 1), used) + transpose);
    const std::string_view quality = name.substr(0, slash);
    const Quality* q = nullptr;
    for (const Quality& k : kQualities)
      if (k.name == quality) q = &k;
    if (!q) Fail("unknown chord", tok);
    for (int i : q->intervals) c.tones.push_back(Mod12(c.root + i));
    c.at = t;
    c.length = uint32_t(length) * kStep;
    t += c.length;
    out.push_back(c);
  }
  if (out.empty()) Fail("no chords", text);
  return out;
}

void Bass(MidiWriter& m, int channel, const std::vector<Chord>& chords, std::string_view pattern, int velocity,
          int lowest, double hold, const Chord* following) {
  const std::string steps = Steps(pattern);
  Walk(steps, chords.front().at, EndOf(chords), [&](uint32_t t, char c, int n) {
    const Chord& chord = ChordAt(chords, t);
    const int root = KeyAtOrAbove(lowest, chord.root);
    int key;
    switch (c | 0x20) {
      case 'r': key = KeyAtOrAbove(lowest, chord.bass); break;
      case '5': key = root + Mod12(chord.tones[2] - chord.root); break;
      case '3': key = root + Mod12(chord.tones[1] - chord.root); break;
      case '8': key = root + 12; break;
      case 'a': {
        const uint32_t next = t + uint32_t(n) * kStep;
        const Chord& target = next < EndOf(chords) ? ChordAt(chords, next) : following ? *following : chord;
        key = KeyAtOrAbove(lowest + 1, target.bass) - 1;
        break;
      }
      default: Fail(std::string("bad bass step '") + c + "'", pattern);
    }
    const int accent = (c >= 'a' && c <= 'z' && c != 'a') ? -15 : 0;
    Emit(m, channel, t, key, velocity + accent + MetricAccent(t), n * kStep * hold);
  });
}

namespace {

std::vector<int> Voicing(const Chord& chord, int centre, const std::vector<int>& previous) {
  std::vector<int> best;
  double bestScore = 1e9;
  const size_t n = chord.tones.size();
  for (size_t k = 0; k < n; ++k) {
    for (int base = KeyAtOrAbove(centre - 9, chord.tones[k]); base <= centre + 3; base += 12) {
      std::vector<int> v = {base};
      for (size_t i = 1; i < n; ++i) v.push_back(KeyAtOrAbove(v.back() + 1, chord.tones[(k + i) % n]));
      double score = 0.0;
      if (previous.size() == v.size())
        for (size_t i = 0; i < n; ++i) score += std::abs(v[i] - previous[i]);
      else {
        double mean = 0.0;
        for (int key : v) mean += key;
        score = std::fabs(mean / double(n) - centre) * double(n);
      }
      score += std::max(0, v.back() - (centre + 10)) * 2.0;  // keep the top from creeping up
      if (score < bestScore) bestScore = score, best = v;
    }
  }
  return best;
}

}  // namespace

void Comp(MidiWriter& m, int channel, const std::vector<Chord>& chords, std::string_view pattern, int velocity,
          int centre, bool power, double hold) {
  const std::string steps = Steps(pattern);
  std::vector<int> voicing;
  const Chord* voiced = nullptr;
  Walk(steps, chords.front().at, EndOf(chords), [&](uint32_t t, char c, int n) {
    // A held chord is struck again where the harmony changes under it.
    const uint32_t end = t + uint32_t(n) * kStep;
    for (uint32_t at = t; at < end;) {
      const Chord& chord = ChordAt(chords, at);
      const uint32_t until = std::min(end, chord.at + chord.length);
      if (&chord != voiced) {
        if (power) {
          const int root = KeyAtOrAbove(centre - 6, chord.root);
          voicing = {root, root + Mod12(chord.tones[2] - chord.root), root + 12};
        } else {
          voicing = Voicing(chord, centre, voicing);
        }
        voiced = &chord;
      }
      const int accent = at == t ? HitAccent(c) + MetricAccent(at) / 2 : -6;
      for (int key : voicing) Emit(m, channel, at, key, velocity + accent, (until - at) * hold);
      at = until;
    }
  });
}

void Arp(MidiWriter& m, int channel, const std::vector<Chord>& chords, std::string_view pattern, int velocity,
         int lowest, double hold) {
  const std::string steps = Steps(pattern);
  Walk(steps, chords.front().at, EndOf(chords), [&](uint32_t t, char c, int n) {
    if (c < '0' || c > '9') Fail(std::string("bad arpeggio step '") + c + "'", pattern);
    const Chord& chord = ChordAt(chords, t);
    std::vector<int> keys;
    for (int key = lowest; key < lowest + 48; ++key)
      if (std::find(chord.tones.begin(), chord.tones.end(), Mod12(key)) != chord.tones.end()) keys.push_back(key);
    Emit(m, channel, t, keys[size_t(c - '0')], velocity + MetricAccent(t) / 2, n * kStep * hold);
  });
}

void Drums(MidiWriter& m, uint32_t from, uint32_t to, const std::vector<std::pair<int, std::string_view>>& lines,
           int velocity) {
  for (const auto& line : lines) {
    const int key = line.first;  // named, not bound: older compilers cannot capture bindings
    const std::string_view pattern = line.second;
    const std::string steps = Steps(pattern);
    Walk(steps, from, to, [&](uint32_t t, char c, int) {
      if (c != 'X' && c != 'x' && c != 'o') Fail(std::string("bad drum step '") + c + "'", pattern);
      Emit(m, 9, t, key, velocity + HitAccent(c) + MetricAccent(t) / 2, kStep / 2);
    });
  }
}

void Setup(MidiWriter& m, int channel, int program, int volume, int pan, int reverb, int chorus) {
  if (channel != 9) m.Program(0, channel, program);  // channel 10 keeps its drum kit
  m.Control(0, channel, 7, volume);
  m.Control(0, channel, 10, pan);
  m.Control(0, channel, 91, reverb);
  m.Control(0, channel, 93, chorus);
}

}  // namespace gen::music
