#include "soundfont.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <tuple>

namespace gen {

bool PlayedNote::operator<(const PlayedNote& o) const {
  return std::tie(bank, program, key, velocity) < std::tie(o.bank, o.program, o.key, o.velocity);
}

std::vector<PlayedNote> NotesPlayed(const plat::MidiFile& midi) {
  constexpr int kDrumChannel = 9, kDrumBank = 128;
  int bank[16] = {}, program[16] = {}, selected[16] = {};  // `selected`: the bank at the last program change
  std::set<PlayedNote> notes;
  for (const plat::MidiEvent& e : midi.events) {
    const int ch = e.status & 15;
    switch (e.status & 0xF0) {
      case 0xB0:
        if (e.data1 == 0) bank[ch] = e.data2;  // bank select, the high byte (the low one is not used)
        break;
      case 0xC0:
        program[ch] = e.data1;
        selected[ch] = bank[ch];
        break;
      case 0x90:
        if (e.data2 > 0)
          notes.insert({ch == kDrumChannel ? kDrumBank : selected[ch], program[ch], e.data1, e.data2});
        break;
      default:
        break;
    }
  }
  return {notes.begin(), notes.end()};
}

namespace {

[[noreturn]] void Bad(const std::string& what) { throw std::runtime_error("not a usable SoundFont: " + what); }

uint16_t U16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }
uint32_t U32(const uint8_t* p) { return uint32_t(p[0] | p[1] << 8 | p[2] << 16) | uint32_t(p[3]) << 24; }
void Put16(uint8_t* p, uint32_t v) { p[0] = uint8_t(v), p[1] = uint8_t(v >> 8); }
void Put32(uint8_t* p, uint32_t v) { Put16(p, v), Put16(p + 2, v >> 16); }

struct Chunk {
  const uint8_t* data = nullptr;
  size_t size = 0;
};

// The sub-chunks of a LIST chunk's body by their ids.
std::map<std::string, Chunk> Chunks(const uint8_t* p, size_t size) {
  std::map<std::string, Chunk> out;
  for (size_t at = 0; at + 8 <= size;) {
    const uint32_t n = U32(p + at + 4);
    if (n > size - at - 8) Bad("a chunk runs past its end");
    out[std::string(reinterpret_cast<const char*>(p + at), 4)] = {p + at + 8, n};
    at += 8 + n + (n & 1);
  }
  return out;
}

// One table of the preset data: fixed-size records, the last a terminal one.
struct Table {
  const uint8_t* data;
  size_t record, count;
  const uint8_t* at(size_t i) const { return data + i * record; }
};
Table Records(const std::map<std::string, Chunk>& pdta, const char* id, size_t record) {
  const auto it = pdta.find(id);
  if (it == pdta.end() || it->second.size % record || it->second.size < record) Bad(std::string("no table ") + id);
  return {it->second.data, record, it->second.size / record};
}

constexpr uint16_t kKeyRange = 43, kVelRange = 44, kInstrument = 41, kSampleId = 53;

// A zone: its generators and modulators, and what it plays (-1: a global zone).
struct Zone {
  size_t gen0, gen1, mod0, mod1;
  int target = -1;
  int keyLo = 0, keyHi = 127, velLo = 0, velHi = 127;
  bool Reaches(const PlayedNote& n) const {
    return n.key >= keyLo && n.key <= keyHi && n.velocity >= velLo && n.velocity <= velHi;
  }
};

// The zones of header `h` (bag indices at `bagField` of each header record).
std::vector<Zone> Zones(const Table& headers, size_t h, size_t bagField, const Table& bags, const Table& gens,
                        const Table& mods, uint16_t targetGen) {
  const size_t b0 = U16(headers.at(h) + bagField), b1 = U16(headers.at(h + 1) + bagField);
  if (b0 > b1 || b1 >= bags.count) Bad("zone indices");
  std::vector<Zone> zones;
  for (size_t b = b0; b < b1; ++b) {
    Zone z{U16(bags.at(b)), U16(bags.at(b + 1)), U16(bags.at(b) + 2), U16(bags.at(b + 1) + 2)};
    if (z.gen0 > z.gen1 || z.gen1 >= gens.count || z.mod0 > z.mod1 || z.mod1 >= mods.count) Bad("generator indices");
    for (size_t g = z.gen0; g < z.gen1; ++g) {
      const uint8_t* r = gens.at(g);
      const uint16_t op = U16(r);
      if (op == kKeyRange) z.keyLo = r[2], z.keyHi = r[3];
      if (op == kVelRange) z.velLo = r[2], z.velHi = r[3];
      if (op == targetGen) z.target = U16(r + 2);
    }
    zones.push_back(z);
  }
  return zones;
}

// Writes a table anew: `headers` kept records, each with its kept zones.
struct Written {
  std::vector<uint8_t> headers, bags, gens, mods;
};

void AppendRecord(std::vector<uint8_t>& out, const uint8_t* record, size_t size) {
  out.insert(out.end(), record, record + size);
}

std::vector<uint8_t> ChunkBytes(const char* id, const std::vector<uint8_t>& body) {
  std::vector<uint8_t> out(8);
  std::memcpy(out.data(), id, 4);
  Put32(out.data() + 4, uint32_t(body.size()));
  out.insert(out.end(), body.begin(), body.end());
  if (body.size() & 1) out.push_back(0);
  return out;
}

std::vector<uint8_t> List(const char* type, const std::vector<std::vector<uint8_t>>& chunks) {
  std::vector<uint8_t> body(type, type + 4);
  for (const auto& c : chunks) body.insert(body.end(), c.begin(), c.end());
  std::vector<uint8_t> out = ChunkBytes("LIST", body);
  return out;
}

}  // namespace

std::vector<uint8_t> CutSoundFont(const std::vector<uint8_t>& sf2, const std::vector<PlayedNote>& notes) {
  if (sf2.size() < 12 || std::memcmp(sf2.data(), "RIFF", 4) || std::memcmp(sf2.data() + 8, "sfbk", 4)) Bad("no RIFF sfbk");
  const size_t riffSize = std::min<size_t>(U32(sf2.data() + 4), sf2.size() - 8);
  // The three lists: INFO, sdta, pdta.
  std::map<std::string, Chunk> lists;
  for (size_t at = 12; at + 12 <= riffSize + 8;) {
    const uint32_t n = U32(sf2.data() + at + 4);
    if (n < 4 || n > sf2.size() - at - 8) Bad("a list runs past the file's end");
    if (!std::memcmp(sf2.data() + at, "LIST", 4))
      lists[std::string(reinterpret_cast<const char*>(sf2.data() + at + 8), 4)] = {sf2.data() + at + 12, n - 4};
    at += 8 + n + (n & 1);
  }
  if (!lists.count("INFO") || !lists.count("sdta") || !lists.count("pdta")) Bad("INFO, sdta or pdta missing");
  const auto sdta = Chunks(lists["sdta"].data, lists["sdta"].size);
  if (!sdta.count("smpl") || sdta.count("sm24")) Bad("no 16-bit samples");
  const Chunk smpl = sdta.at("smpl");
  const auto pdta = Chunks(lists["pdta"].data, lists["pdta"].size);
  const Table phdr = Records(pdta, "phdr", 38), pbag = Records(pdta, "pbag", 4), pmod = Records(pdta, "pmod", 10),
              pgen = Records(pdta, "pgen", 4), inst = Records(pdta, "inst", 22), ibag = Records(pdta, "ibag", 4),
              imod = Records(pdta, "imod", 10), igen = Records(pdta, "igen", 4), shdr = Records(pdta, "shdr", 46);

  // The preset each note sounds with: FluidSynth takes bank 0 (drums: kit 0)
  // for a preset the SoundFont lacks, then bank 0's program 0.
  std::map<std::pair<int, int>, size_t> presets;
  for (size_t p = 0; p + 1 < phdr.count; ++p) presets.emplace(std::make_pair(U16(phdr.at(p) + 22), U16(phdr.at(p) + 20)), p);
  std::map<size_t, std::vector<PlayedNote>> notesOf;
  for (const PlayedNote& n : notes) {
    auto it = presets.find({n.bank, n.program});
    if (it == presets.end()) it = presets.find({n.bank == 128 ? 128 : 0, n.bank == 128 ? 0 : n.program});
    if (it == presets.end() && n.bank != 128) it = presets.find({0, 0});
    if (it != presets.end()) notesOf[it->second].push_back(n);
  }

  // The zones those notes reach, in their order, and the instruments and samples they use.
  std::map<size_t, std::vector<Zone>> presetZones;
  std::map<size_t, std::vector<PlayedNote>> instrumentNotes;
  for (const auto& [p, played] : notesOf) {
    for (const Zone& z : Zones(phdr, p, 24, pbag, pgen, pmod, kInstrument)) {
      std::vector<PlayedNote> reached;
      for (const PlayedNote& n : played)
        if (z.Reaches(n)) reached.push_back(n);
      if (z.target >= 0 && reached.empty()) continue;
      if (z.target >= int(inst.count) - 1) Bad("instrument index");
      presetZones[p].push_back(z);
      if (z.target >= 0) {
        auto& to = instrumentNotes[size_t(z.target)];
        to.insert(to.end(), reached.begin(), reached.end());
      }
    }
  }
  std::map<size_t, std::vector<Zone>> instrumentZones;
  std::set<size_t> samples;
  for (const auto& [i, played] : instrumentNotes) {
    std::vector<Zone>& kept = instrumentZones[i];
    for (const Zone& z : Zones(inst, i, 20, ibag, igen, imod, kSampleId)) {
      if (z.target >= 0 && std::none_of(played.begin(), played.end(), [&](const PlayedNote& n) { return z.Reaches(n); }))
        continue;
      if (z.target >= int(shdr.count) - 1) Bad("sample index");
      kept.push_back(z);
      if (z.target >= 0) samples.insert(size_t(z.target));
    }
  }
  // A stereo sample's other side stays with it.
  for (size_t s : std::vector<size_t>(samples.begin(), samples.end())) {
    const uint16_t type = U16(shdr.at(s) + 44), link = U16(shdr.at(s) + 42);
    if ((type & 6) && link + 1u < shdr.count) samples.insert(link);
  }

  // The samples anew, each with the 46 sample points after it as they were.
  constexpr uint32_t kGuard = 46;
  const uint32_t points = uint32_t(smpl.size / 2);
  std::vector<uint8_t> sampleData, sampleHeaders;
  std::map<size_t, uint32_t> sampleIndex;
  for (size_t s : samples) {
    const uint8_t* h = shdr.at(s);
    const uint32_t start = U32(h + 20), end = U32(h + 24);
    if (start > end || end > points) Bad("sample bounds");
    const uint32_t base = uint32_t(sampleData.size() / 2);
    const uint32_t copyEnd = std::min(end + kGuard, points);
    sampleData.insert(sampleData.end(), smpl.data + 2 * start, smpl.data + 2 * copyEnd);
    sampleData.resize(sampleData.size() + 2 * (end + kGuard - copyEnd), 0);
    uint8_t r[46];
    std::memcpy(r, h, 46);
    for (int field = 0; field < 4; ++field) Put32(r + 20 + 4 * field, U32(h + 20 + 4 * field) - start + base);
    sampleIndex[s] = uint32_t(sampleIndex.size());
    AppendRecord(sampleHeaders, r, 46);
  }
  for (size_t s : samples) {  // links by the new numbers
    uint8_t* r = sampleHeaders.data() + 46 * sampleIndex[s];
    const auto link = sampleIndex.find(U16(r + 42));
    if (U16(r + 44) & 6) Put16(r + 42, link == sampleIndex.end() ? 0 : link->second);
  }
  AppendRecord(sampleHeaders, shdr.at(shdr.count - 1), 46);

  // Headers, bags, generators and modulators anew, targets by the new numbers.
  auto Rewrite = [](const Table& headers, size_t headerSize, size_t bagField, const Table& gens, const Table& mods,
                    const std::map<size_t, std::vector<Zone>>& kept, uint16_t targetGen,
                    const std::map<size_t, uint32_t>& targetIndex) {
    Written w;
    for (const auto& [h, zones] : kept) {
      uint8_t r[38];
      std::memcpy(r, headers.at(h), headerSize);
      Put16(r + bagField, uint32_t(w.bags.size() / 4));
      AppendRecord(w.headers, r, headerSize);
      for (const Zone& z : zones) {
        uint8_t bag[4];
        Put16(bag, uint32_t(w.gens.size() / 4)), Put16(bag + 2, uint32_t(w.mods.size() / 10));
        AppendRecord(w.bags, bag, 4);
        for (size_t g = z.gen0; g < z.gen1; ++g) {
          uint8_t gen[4];
          std::memcpy(gen, gens.at(g), 4);
          if (U16(gen) == targetGen) Put16(gen + 2, targetIndex.at(U16(gen + 2)));
          AppendRecord(w.gens, gen, 4);
        }
        for (size_t m = z.mod0; m < z.mod1; ++m) AppendRecord(w.mods, mods.at(m), 10);
      }
    }
    uint8_t end[38];
    std::memcpy(end, headers.at(headers.count - 1), headerSize);
    Put16(end + bagField, uint32_t(w.bags.size() / 4));
    AppendRecord(w.headers, end, headerSize);
    uint8_t bag[4];
    Put16(bag, uint32_t(w.gens.size() / 4)), Put16(bag + 2, uint32_t(w.mods.size() / 10));
    AppendRecord(w.bags, bag, 4);
    AppendRecord(w.gens, gens.at(gens.count - 1), 4);
    AppendRecord(w.mods, mods.at(mods.count - 1), 10);
    return w;
  };
  std::map<size_t, uint32_t> instrumentIndex;
  for (const auto& entry : instrumentZones) instrumentIndex[entry.first] = uint32_t(instrumentIndex.size());
  const Written i = Rewrite(inst, 22, 20, igen, imod, instrumentZones, kSampleId, sampleIndex);
  const Written p = Rewrite(phdr, 38, 24, pgen, pmod, presetZones, kInstrument, instrumentIndex);

  const Chunk info = lists["INFO"];
  std::vector<uint8_t> infoList = ChunkBytes("LIST", [&] {
    std::vector<uint8_t> b{'I', 'N', 'F', 'O'};
    b.insert(b.end(), info.data, info.data + info.size);
    return b;
  }());
  std::vector<uint8_t> body{'s', 'f', 'b', 'k'};
  for (const auto& part : {infoList, List("sdta", {ChunkBytes("smpl", sampleData)}),
                           List("pdta", {ChunkBytes("phdr", p.headers), ChunkBytes("pbag", p.bags),
                                         ChunkBytes("pmod", p.mods), ChunkBytes("pgen", p.gens),
                                         ChunkBytes("inst", i.headers), ChunkBytes("ibag", i.bags),
                                         ChunkBytes("imod", i.mods), ChunkBytes("igen", i.gens),
                                         ChunkBytes("shdr", sampleHeaders)})})
    body.insert(body.end(), part.begin(), part.end());
  return ChunkBytes("RIFF", body);
}

}  // namespace gen
