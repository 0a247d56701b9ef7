// The two synthesised sound effects, as floating-point samples in [-1, 1]
// before they are turned into the wave items' 8-bit PCM.
#pragma once

#include <cstddef>
#include <vector>

namespace gen {

// A shotgun blast, the hit on its target and the echo off the hills:
// interleaved left, right; `frames` sample pairs at `rate` hertz.
std::vector<double> SynthShot(size_t frames, double rate);

// A heavy detonation with a long rolling rumble: mono, `frames` samples.
std::vector<double> SynthDetonation(size_t frames, double rate);

}  // namespace gen
