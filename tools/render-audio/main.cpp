// Renders the two MIDI pieces and the two sound effects to WAV files so that
// people can listen to them, and prints measurements for those who cannot:
// lengths, levels, clipping, gaps, note counts and the loop join of the level
// music.
//   kelo-render-audio OUTDIR [--data DIR] [--waves FILE] [--soundfont FILE] [--gain G] [--balance]
// --balance also plays every channel of each piece on its own and prints its
// level, to judge the mix.
#include <fluidsynth.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include "assets/catalogue.h"

namespace {

constexpr int kRate = 44100;
constexpr int kBlock = 64;  // frames per render call: the join is found to within this

void Put16(std::ofstream& f, uint16_t v) { f.put(char(v & 0xFF)), f.put(char(v >> 8)); }
void Put32(std::ofstream& f, uint32_t v) { Put16(f, uint16_t(v)), Put16(f, uint16_t(v >> 16)); }

void WriteWav(const std::string& path, int channels, int rate, int bits, const void* data, size_t bytes) {
  std::ofstream f(path, std::ios::binary);
  f.write("RIFF", 4), Put32(f, uint32_t(36 + bytes)), f.write("WAVEfmt ", 8);
  Put32(f, 16), Put16(f, 1), Put16(f, uint16_t(channels)), Put32(f, uint32_t(rate));
  Put32(f, uint32_t(rate * channels * bits / 8)), Put16(f, uint16_t(channels * bits / 8)), Put16(f, uint16_t(bits));
  f.write("data", 4), Put32(f, uint32_t(bytes));
  f.write(static_cast<const char*>(data), std::streamsize(bytes));
  if (!f) throw std::runtime_error("cannot write " + path);
}

double Db(double v) { return 20.0 * std::log10(std::max(v, 1e-6)); }

// RMS of interleaved stereo 16-bit frames [from, to), relative to full scale.
double Rms(const std::vector<int16_t>& s, size_t from, size_t to) {
  to = std::min(to, s.size() / 2);
  if (to <= from) return 0.0;
  double sum = 0.0;
  for (size_t i = 2 * from; i < 2 * to; ++i) sum += double(s[i]) * s[i];
  return std::sqrt(sum / double(2 * (to - from))) / 32768.0;
}

struct Rendered {
  std::vector<int16_t> samples;  // interleaved stereo
  std::vector<size_t> passEnds;  // frame at which each pass of the player finished
  int noteOns[16] = {};
};

struct CallbackData {
  fluid_synth_t* synth;
  Rendered* out;
  int solo;  // -1, or the only channel whose notes sound
};

int CountAndPlay(void* data, fluid_midi_event_t* event) {
  auto* cb = static_cast<CallbackData*>(data);
  const int channel = fluid_midi_event_get_channel(event) & 15;
  if (fluid_midi_event_get_type(event) == 0x90 && fluid_midi_event_get_velocity(event) > 0) {
    ++cb->out->noteOns[channel];
    if (cb->solo >= 0 && channel != cb->solo) return FLUID_OK;
  }
  return fluid_synth_handle_midi_event(cb->synth, event);
}

// Plays `file` `passes` times back to back, each pass restarting the moment
// the last one is done (as the game repeats the level music), then lets the
// sound ring out for up to `tailSeconds`.
Rendered Render(const std::string& soundfont, const std::string& file, int passes, double tailSeconds, double gain,
                int solo = -1) {
  fluid_settings_t* settings = new_fluid_settings();
  fluid_settings_setnum(settings, "synth.sample-rate", kRate);
  fluid_settings_setnum(settings, "synth.gain", gain);
  fluid_settings_setint(settings, "player.reset-synth", 0);  // keep the ring-out and the join natural
  fluid_synth_t* synth = new_fluid_synth(settings);
  if (!synth || fluid_synth_sfload(synth, soundfont.c_str(), 1) == FLUID_FAILED)
    throw std::runtime_error("cannot load the SoundFont " + soundfont);

  Rendered out;
  CallbackData cb{synth, &out, solo};
  int16_t block[2 * kBlock];
  auto renderBlock = [&] {
    if (fluid_synth_write_s16(synth, kBlock, block, 0, 2, block, 1, 2) != FLUID_OK)
      throw std::runtime_error("rendering failed");
    out.samples.insert(out.samples.end(), std::begin(block), std::end(block));
  };
  // The player itself lingers after the last event until the voices have
  // died away; a pass ends when its position reaches the last tick instead.
  for (int pass = 0; pass < passes; ++pass) {
    fluid_player_t* player = new_fluid_player(synth);
    fluid_player_set_playback_callback(player, CountAndPlay, &cb);
    if (fluid_player_add(player, file.c_str()) != FLUID_OK || fluid_player_play(player) != FLUID_OK)
      throw std::runtime_error("cannot play " + file);
    renderBlock();  // the file is loaded on the first block
    while (fluid_player_get_status(player) == FLUID_PLAYER_PLAYING &&
           fluid_player_get_current_tick(player) < fluid_player_get_total_ticks(player))
      renderBlock();
    out.passEnds.push_back(out.samples.size() / 2);
    fluid_player_stop(player);
    delete_fluid_player(player);
  }
  const size_t tailEnd = out.samples.size() / 2 + size_t(tailSeconds * kRate);
  while (out.samples.size() / 2 < tailEnd) {
    renderBlock();
    const size_t n = out.samples.size() / 2;
    if (Rms(out.samples, n - kBlock * 16, n) < 1e-4) break;
  }
  delete_fluid_synth(synth);
  delete_fluid_settings(settings);
  return out;
}

void ReportPiece(const std::string& name, const Rendered& r) {
  const std::vector<int16_t>& s = r.samples;
  const size_t pieceEnd = r.passEnds.front();
  const size_t total = s.size() / 2;
  int peak = 0;
  size_t clipped = 0;
  for (int16_t v : s) {
    peak = std::max(peak, std::abs(int(v)));
    clipped += v >= 32767 || v <= -32768;
  }
  std::printf("%s: %.2f s per pass, %zu pass(es), %.2f s written\n", name.c_str(), double(pieceEnd) / kRate,
              r.passEnds.size(), double(total) / kRate);
  std::printf("  peak %.1f dBFS, clipped samples %zu, RMS of the whole pass %.1f dBFS\n", Db(peak / 32768.0), clipped,
              Db(Rms(s, 0, pieceEnd)));
  std::printf("  RMS per second (dBFS):");
  for (size_t t = 0; t < pieceEnd; t += kRate) std::printf(" %.0f", Db(Rms(s, t, std::min(t + kRate, pieceEnd))));
  std::printf("\n  note-ons per channel:");
  for (int ch = 0; ch < 16; ++ch)
    if (r.noteOns[ch]) std::printf(" %d:%d", ch + 1, r.noteOns[ch] / int(r.passEnds.size()));
  // Quiet stretches inside the piece: quarter seconds far below the piece's level.
  const double floor = Rms(s, 0, pieceEnd) * 0.05;
  int gaps = 0;
  for (size_t t = 0; t + kRate / 4 <= pieceEnd; t += kRate / 8)
    if (Rms(s, t, t + kRate / 4) < floor) {
      if (gaps++ < 5) std::printf("\n  quiet stretch at %.2f s", double(t) / kRate);
    }
  std::printf("\n  quiet stretches (below -26 dB of the average): %d\n", gaps);
}

// Compares the level on both sides of each restart, and looks for a dip there.
void ReportJoin(const Rendered& r) {
  const size_t w = kRate / 2, shortW = kRate / 20;
  for (size_t i = 0; i + 1 < r.passEnds.size(); ++i) {
    const size_t j = r.passEnds[i];
    double lowest = 1.0;
    for (size_t t = j - kRate / 4; t < j + kRate / 4; t += shortW / 2) lowest = std::min(lowest, Rms(r.samples, t, t + shortW));
    std::printf("  join at %.3f s: last 0.5 s %.1f dBFS, first 0.5 s %.1f dBFS, quietest 50 ms within 0.25 s %.1f dBFS\n",
                double(j) / kRate, Db(Rms(r.samples, j - w, j)), Db(Rms(r.samples, j, j + w)), Db(lowest));
  }
}

void ReportWave(const std::string& name, const assets::WaveEntry& format, const uint8_t* pcm) {
  int lo = 255, hi = 0;
  double sum = 0.0;
  for (int i = 0; i < format.bytes; ++i) lo = std::min(lo, int(pcm[i])), hi = std::max(hi, int(pcm[i])), sum += (pcm[i] - 128.0) * (pcm[i] - 128.0);
  std::printf("%s: %.3f s, %d channel(s), samples %d..%d (silence 128), RMS %.1f dBFS, first %d, last %d\n", name.c_str(),
              double(format.bytes) / format.channels / format.rate, format.channels, lo, hi, Db(std::sqrt(sum / format.bytes) / 128.0),
              pcm[0], pcm[format.bytes - 1]);
}

void ReportBalance(const std::string& soundfont, const std::string& file, const Rendered& full, double gain) {
  // Averaged over the seconds in which the channel plays at all.
  std::printf("  level of each channel alone while it plays (dBFS):");
  for (int ch = 0; ch < 16; ++ch) {
    if (!full.noteOns[ch]) continue;
    const Rendered solo = Render(soundfont, file, 1, 0.0, gain, ch);
    double sum = 0.0;
    int seconds = 0;
    for (size_t t = 0; t + kRate <= solo.passEnds[0]; t += kRate) {
      const double r = Rms(solo.samples, t, t + kRate);
      if (r > 1e-3) sum += r * r, ++seconds;
    }
    std::printf(" %d:%.1f", ch + 1, seconds ? Db(std::sqrt(sum / seconds)) : -120.0);
  }
  std::printf("\n");
}

}  // namespace

int main(int argc, char** argv) {
  double gain = 0.2;  // FluidSynth's own default
  bool balance = false;
  std::string out, data = KELO_DATA_DIR, waves = KELO_BLOB_DIR "/waves.bin", soundfont = "/usr/share/sounds/sf2/TimGM6mb.sf2";
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (i + 1 < argc && a == "--data") data = argv[++i];
    else if (i + 1 < argc && a == "--waves") waves = argv[++i];
    else if (i + 1 < argc && a == "--soundfont") soundfont = argv[++i];
    else if (i + 1 < argc && a == "--gain") gain = std::atof(argv[++i]);
    else if (a == "--balance") balance = true;
    else if (out.empty() && a[0] != '-') out = a;
    else out.clear(), i = argc;
  }
  if (out.empty()) {
    std::fprintf(stderr, "usage: kelo-render-audio OUTDIR [--data DIR] [--waves FILE] [--soundfont FILE] [--gain G] [--balance]\n");
    return 2;
  }
  try {
    std::filesystem::create_directories(out);
    std::ifstream f(waves, std::ios::binary);
    if (!f) throw std::runtime_error("cannot open " + waves);
    const std::vector<uint8_t> blob((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    const char* names[assets::kWaveCount] = {"shot", "detonation"};
    size_t at = 0;
    for (int i = 0; i < assets::kWaveCount; ++i) {
      const assets::WaveEntry& format = assets::kWaves[i];
      if (blob.size() < at + size_t(format.bytes)) throw std::runtime_error("the wave blob " + waves + " is short");
      WriteWav(out + "/" + names[i] + ".wav", format.channels, format.rate, format.bits, blob.data() + at, size_t(format.bytes));
      ReportWave(names[i], format, blob.data() + at);
      at += size_t(format.bytes);
    }

    std::printf("synth gain %.2f\n", gain);
    const Rendered menu = Render(soundfont, data + "/1.mid", 1, 4.0, gain);
    WriteWav(out + "/1.wav", 2, kRate, 16, menu.samples.data(), menu.samples.size() * 2);
    ReportPiece("1.mid", menu);
    std::printf("  ring-out after the last event: %.2f s\n", double(menu.samples.size() / 2 - menu.passEnds[0]) / kRate);
    if (balance) ReportBalance(soundfont, data + "/1.mid", menu, gain);

    // The level music twice in a row, so the join can be heard and measured.
    const Rendered level = Render(soundfont, data + "/back.mid", 2, 2.0, gain);
    WriteWav(out + "/back.wav", 2, kRate, 16, level.samples.data(), level.samples.size() * 2);
    ReportPiece("back.mid", level);
    ReportJoin(level);
    if (balance) ReportBalance(soundfont, data + "/back.mid", level, gain);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "kelo-render-audio: %s\n", e.what());
    return 1;
  }
  return 0;
}
