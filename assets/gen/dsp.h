// Small building blocks for synthesising the sound effects: a seeded noise
// source, simple filters, envelopes and the conversion to 8-bit PCM.
#pragma once

#include <cmath>
#include <cstdint>
#include <vector>

namespace gen::dsp {

inline constexpr double kPi = 3.14159265358979323846;

// Deterministic white noise in [-1, 1).
class Noise {
 public:
  explicit Noise(uint32_t seed) : state_(seed ? seed : 1u) {}
  double Next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    return double(state_) / 2147483648.0 - 1.0;
  }
  // Uniform in [0, 1).
  double Unit() { return 0.5 * (Next() + 1.0); }

 private:
  uint32_t state_;
};

// One-pole low-pass; the cutoff may change from sample to sample.
class LowPass1 {
 public:
  double Run(double x, double cutoffHz, double rate) {
    const double a = 1.0 - std::exp(-2.0 * kPi * cutoffHz / rate);
    y_ += a * (x - y_);
    return y_;
  }

 private:
  double y_ = 0.0;
};

// Removes the DC part (high-pass at a few hertz).
class DcBlock {
 public:
  double Run(double x, double cutoffHz, double rate) {
    const double r = std::exp(-2.0 * kPi * cutoffHz / rate);
    const double y = x - x1_ + r * y1_;
    x1_ = x, y1_ = y;
    return y;
  }

 private:
  double x1_ = 0.0, y1_ = 0.0;
};

// State-variable filter (Chamberlin); gives low-, band- and high-pass at once.
class Svf {
 public:
  struct Out {
    double low, band, high;
  };
  Out Run(double x, double cutoffHz, double q, double rate) {
    const double f = 2.0 * std::sin(kPi * std::fmin(cutoffHz, rate / 6.0) / rate);
    const double damp = 1.0 / q;
    low_ += f * band_;
    const double high = x - low_ - damp * band_;
    band_ += f * high;
    return {low_, band_, high};
  }

 private:
  double low_ = 0.0, band_ = 0.0;
};

// Feedback comb with damping in the loop, the body of a simple reverberator.
class Comb {
 public:
  Comb(int delay, double feedback, double damping) : buf_(size_t(delay), 0.0), fb_(feedback), damp_(damping) {}
  double Run(double x) {
    const double out = buf_[pos_];
    store_ = out * (1.0 - damp_) + store_ * damp_;
    buf_[pos_] = x + store_ * fb_;
    pos_ = (pos_ + 1) % buf_.size();
    return out;
  }

 private:
  std::vector<double> buf_;
  size_t pos_ = 0;
  double fb_, damp_, store_ = 0.0;
};

class AllPass {
 public:
  AllPass(int delay, double gain) : buf_(size_t(delay), 0.0), g_(gain) {}
  double Run(double x) {
    const double b = buf_[pos_];
    const double y = b - g_ * x;
    buf_[pos_] = x + g_ * y;
    pos_ = (pos_ + 1) % buf_.size();
    return y;
  }

 private:
  std::vector<double> buf_;
  size_t pos_ = 0;
  double g_;
};

// A diffuse tail: four combs in parallel, two all-passes in series. The delay
// lengths are in samples and should be mutually prime-ish.
class Reverb {
 public:
  Reverb(const int (&combs)[4], const int (&allpasses)[2], double feedback, double damping) {
    for (int d : combs) combs_.emplace_back(d, feedback, damping);
    for (int d : allpasses) allpasses_.emplace_back(d, 0.5);
  }
  double Run(double x) {
    double sum = 0.0;
    for (Comb& c : combs_) sum += c.Run(x);
    sum *= 0.25;
    for (AllPass& a : allpasses_) sum = a.Run(sum);
    return sum;
  }

 private:
  std::vector<Comb> combs_;
  std::vector<AllPass> allpasses_;
};

// 0 before `start`, rises as a raised cosine over `attack` seconds, then
// decays exponentially with time constant `tau`.
inline double Hit(double t, double start, double attack, double tau) {
  const double u = t - start;
  if (u < 0.0) return 0.0;
  if (u < attack) return 0.5 - 0.5 * std::cos(kPi * u / attack);
  return std::exp(-(u - attack) / tau);
}

// 1 until `length - fade`, then a raised-cosine fade reaching exactly 0 at the end.
inline double FadeOut(double t, double length, double fade) {
  const double u = (t - (length - fade)) / fade;
  if (u <= 0.0) return 1.0;
  if (u >= 1.0) return 0.0;
  return 0.5 + 0.5 * std::cos(kPi * u);
}

// Scales interleaved samples so that the largest magnitude becomes `peak`.
inline void Normalise(std::vector<double>& s, double peak) {
  double m = 0.0;
  for (double v : s) m = std::fmax(m, std::fabs(v));
  if (m > 0.0)
    for (double& v : s) v *= peak / m;
}

// Unsigned 8-bit PCM, 128 = silence. No dither: the effects are noisy anyway,
// and their quiet ends come out as exact silence.
inline std::vector<uint8_t> ToPcm8(const std::vector<double>& s) {
  std::vector<uint8_t> out(s.size());
  for (size_t i = 0; i < s.size(); ++i) {
    const long v = std::lround(128.0 + s[i] * 127.0);
    out[i] = uint8_t(v < 1 ? 1 : v > 255 ? 255 : v);
  }
  return out;
}

}  // namespace gen::dsp
