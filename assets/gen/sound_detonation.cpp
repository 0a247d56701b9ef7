// The detonation: a flash crack, a deep falling boom with its echo off the
// ground, debris crackling down, and a rumble that rolls on and dies away.
#include <cmath>

#include "dsp.h"
#include "sound.h"

namespace gen {

namespace {

using namespace dsp;

// Each layer is made on its own and normalised, so the mix weights below say
// how loud the layers are relative to each other.
struct Layers {
  std::vector<double> crack, boom, rumble, grit, debris;
};

Layers MakeLayers(size_t n, double rate) {
  Layers L{std::vector<double>(n), std::vector<double>(n), std::vector<double>(n), std::vector<double>(n),
           std::vector<double>(n)};
  Noise noise(0xb00au), roll(0x7011u), chance(0xdeb1u);
  LowPass1 crackTone, rumble1, rumble2, grit1, rollA, rollB;
  Svf debrisFilter;
  DcBlock rumbleFloor;  // keeps the rumble out of the range small speakers cannot play
  double boomPhase = 0.0, echoPhase = 0.0;
  constexpr double kEcho = 0.42;  // the ground throws the boom back once
  double grainEnv = 0.0;

  std::vector<double> rolling(n);
  for (size_t i = 0; i < n; ++i) {
    const double t = double(i) / rate;
    const double w = noise.Next();

    L.crack[i] = crackTone.Run(w, 6000.0, rate) * Hit(t, 0.0, 0.001, 0.014);

    boomPhase += 2.0 * kPi * (40.0 + 90.0 * std::exp(-t / 0.18)) / rate;
    double boom = (std::sin(boomPhase) + 0.3 * std::sin(2.0 * boomPhase)) * Hit(t, 0.0, 0.004, 0.4);
    const double u = t - kEcho;
    if (u > 0.0) echoPhase += 2.0 * kPi * (44.0 + 30.0 * std::exp(-u / 0.12)) / rate;
    boom += 0.45 * std::sin(echoPhase) * Hit(t, kEcho, 0.02, 0.32);
    L.boom[i] = boom;

    // Two-pole low-passed noise whose cutoff sinks: the roar turns into rumble.
    const double cut = 150.0 + 1000.0 * std::exp(-t / 0.4);
    L.rumble[i] = rumbleFloor.Run(rumble2.Run(rumble1.Run(w, cut, rate), cut, rate), 45.0, rate) * Hit(t, 0.004, 0.04, 2.0);
    // A brighter roar on top that dies sooner.
    L.grit[i] = grit1.Run(w, 600.0, rate) * Hit(t, 0.01, 0.03, 0.6);

    // Debris: short grains that come thick at first and then thin out.
    const double grainRate = 90.0 * std::exp(-t / 0.55) + 4.0;
    if (t > 0.06 && t < 2.7 && chance.Unit() < grainRate / rate) grainEnv += (0.25 + 0.75 * chance.Unit()) * std::exp(-t / 0.9);
    grainEnv *= std::exp(-1.0 / (0.004 * rate));
    L.debris[i] = debrisFilter.Run(w * grainEnv, 1500.0, 0.9, rate).band;

    rolling[i] = rollB.Run(rollA.Run(roll.Next(), 3.0, rate), 3.0, rate);
  }
  for (auto* layer : {&L.crack, &L.boom, &L.rumble, &L.grit, &L.debris, &rolling}) Normalise(*layer, 1.0);
  // The rumble swells and sags as it rolls along.
  for (size_t i = 0; i < n; ++i) L.rumble[i] *= 1.0 + 0.4 * rolling[i];
  return L;
}

}  // namespace

std::vector<double> SynthDetonation(size_t n, double rate) {
  const Layers L = MakeLayers(n, rate);
  const double length = double(n) / rate;
  std::vector<double> mix(n);
  for (size_t i = 0; i < n; ++i)
    mix[i] = 0.45 * L.crack[i] + 0.95 * L.boom[i] + 1.0 * L.rumble[i] + 0.35 * L.grit[i] + 0.22 * L.debris[i];
  Normalise(mix, 1.0);
  for (double& v : mix) v = std::tanh(1.6 * v) / std::tanh(1.6);

  Reverb air({743, 811, 877, 947}, {331, 257}, 0.84, 0.45);
  DcBlock dc;
  std::vector<double> out(n);
  for (size_t i = 0; i < n; ++i) {
    const double t = double(i) / rate;
    out[i] = dc.Run(mix[i] + 0.25 * air.Run(mix[i]), 10.0, rate) * FadeOut(t, length, 0.9);
  }
  Normalise(out, 0.9);
  return out;
}

}  // namespace gen
