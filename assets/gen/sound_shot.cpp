// The shot: a sharp crack, the blast with its low thump, the hit on the target
// with a scatter of pellets, and the report rolling back from the hills.
#include <cmath>

#include "dsp.h"
#include "sound.h"

namespace gen {

namespace {

// The dry shot in mono, normalised to a peak of 1.
std::vector<double> DryShot(size_t frames, double rate) {
  using namespace dsp;
  Noise noise(0x5eed5u), grains(0xfea7u);
  Svf crackFilter, blastFilter, impactFilter, pelletFilter;
  double boomPhase = 0.0, thudPhase = 0.0;
  constexpr double kImpact = 0.072;  // the pellets arrive a moment after the blast

  // A handful of pellets striking around the impact.
  double pelletTimes[7];
  for (double& p : pelletTimes) p = kImpact + 0.004 + 0.05 * grains.Unit() * grains.Unit();

  std::vector<double> dry(frames);
  for (size_t i = 0; i < frames; ++i) {
    const double t = double(i) / rate;
    const double n = noise.Next();

    const double crack = crackFilter.Run(n, 2500.0, 0.7, rate).high * Hit(t, 0.0, 0.0005, 0.004);
    const double blastCut = 650.0 + 4200.0 * std::exp(-t / 0.03);
    const double blast = blastFilter.Run(n, blastCut, 0.9, rate).low * Hit(t, 0.0, 0.001, 0.05);
    boomPhase += 2.0 * kPi * (60.0 + 150.0 * std::exp(-t / 0.028)) / rate;
    const double boom = std::sin(boomPhase) * Hit(t, 0.0, 0.002, 0.075);

    const double u = t - kImpact;
    const double thwack = impactFilter.Run(n, 1100.0, 1.3, rate).band * Hit(t, kImpact, 0.0008, 0.014);
    if (u > 0.0) thudPhase += 2.0 * kPi * (70.0 + 95.0 * std::exp(-u / 0.02)) / rate;
    const double thud = std::sin(thudPhase) * Hit(t, kImpact, 0.002, 0.05);
    double pelletEnv = 0.0;
    for (double p : pelletTimes) pelletEnv += Hit(t, p, 0.0004, 0.003);
    const double pellets = pelletFilter.Run(n * pelletEnv, 3000.0, 1.5, rate).band;

    dry[i] = 0.9 * crack + 1.4 * blast + 0.6 * boom + 0.9 * thwack + 0.5 * thud + 0.7 * pellets;
  }
  Normalise(dry, 1.0);
  // A little saturation makes the blast hit harder.
  for (double& v : dry) v = std::tanh(1.8 * v) / std::tanh(1.8);
  return dry;
}

}  // namespace

std::vector<double> SynthShot(size_t frames, double rate) {
  using namespace dsp;
  const std::vector<double> dry = DryShot(frames, rate);
  const double length = double(frames) / rate;

  // Each side gets its own room and its own echo, so the tail is wide while
  // the shot itself stays in the middle (the game pans it).
  Reverb roomL({557, 593, 641, 677}, {277, 219}, 0.84, 0.35);
  Reverb roomR({569, 607, 653, 691}, {283, 227}, 0.84, 0.35);
  const size_t echoL1 = size_t(0.21 * rate), echoR1 = size_t(0.26 * rate);
  const size_t echoL2 = size_t(0.49 * rate), echoR2 = size_t(0.55 * rate);
  LowPass1 echoToneL, echoToneR;
  DcBlock dcL, dcR;

  std::vector<double> out(2 * frames);
  for (size_t i = 0; i < frames; ++i) {
    const double t = double(i) / rate;
    const double d = dry[i];
    auto at = [&](size_t delay) { return i >= delay ? dry[i - delay] : 0.0; };
    const double echoL = echoToneL.Run(0.22 * at(echoL1) + 0.08 * at(echoL2), 1400.0, rate);
    const double echoR = echoToneR.Run(0.20 * at(echoR1) + 0.09 * at(echoR2), 1400.0, rate);
    const double fade = FadeOut(t, length, 0.35);
    out[2 * i] = dcL.Run(d + 0.30 * roomL.Run(d + echoL) + echoL, 12.0, rate) * fade;
    out[2 * i + 1] = dcR.Run(d + 0.30 * roomR.Run(d + echoR) + echoR, 12.0, rate) * fade;
  }
  Normalise(out, 0.9);
  return out;
}

}  // namespace gen
