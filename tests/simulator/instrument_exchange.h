// The program's side of the instrument protocol, written here again from the
// protocol description and nothing else, so the simulator's tests do not
// lean on the simulator's own encoder or on the program's decoder.
#pragma once

#include <cmath>
#include <complex>
#include <cstdint>
#include <span>
#include <vector>

#include "platform/numeric.h"

namespace vna::test {

inline std::vector<std::uint8_t> resetBytes() {
  std::vector<std::uint8_t> b{0x80, 0x84, 0x80};
  for (int i = 0; i < 8; ++i) b.insert(b.end(), {0x82, 0x80});
  b.insert(b.end(), {0x84, 0x80, 0xA0});
  return b;
}

inline std::uint32_t tuningWordFor(double hz, double clockHz = 150000000.0) {
  return static_cast<std::uint32_t>(roundHalfEven(hz * 4294967296.0 / clockHz));
}

// C0 and the 8 bytes interleaving the nibbles of both words, lowest first.
inline std::vector<std::uint8_t> loadBytes(std::uint32_t tuning, std::uint32_t offset) {
  std::vector<std::uint8_t> b{0xC0};
  for (int k = 0; k < 8; ++k) {
    std::uint8_t byte = 0;
    for (int j = 0; j < 4; ++j) {
      byte |= static_cast<std::uint8_t>(((tuning >> (4 * k + j)) & 1u) << (2 * j));
      byte |= static_cast<std::uint8_t>(((offset >> (4 * k + j)) & 1u) << (2 * j + 1));
    }
    b.push_back(byte);
  }
  return b;
}

inline std::vector<std::uint8_t> loadFrequency(double hz) {
  const std::uint32_t t = tuningWordFor(hz);
  return loadBytes(t, t + 716u);
}

inline const std::vector<std::uint8_t> kStrobe{0x84, 0x80};

inline std::size_t replyLength(int code) {
  return 7u * (7u << code) + 1u;
}

struct DecodedSamples {
  std::vector<std::int32_t> r, a;
};

// Group s, byte m = 1..6: bits 7,5,3,1 are bits 35-4m..32-4m of R's sample,
// bits 6,4,2,0 the same bits of A's. Byte 0 of each group is skipped.
inline DecodedSamples decodeReply(std::span<const std::uint8_t> bytes, int samples) {
  DecodedSamples d;
  for (int s = 0; s < samples; ++s) {
    std::uint32_t r = 0, a = 0;
    for (int m = 1; m <= 6; ++m) {
      const std::uint8_t byte = bytes[static_cast<std::size_t>(7 * s + m)];
      for (int i = 0; i < 4; ++i) {
        const int bit = 35 - 4 * m - i;
        r |= static_cast<std::uint32_t>((byte >> (7 - 2 * i)) & 1) << bit;
        a |= static_cast<std::uint32_t>((byte >> (6 - 2 * i)) & 1) << bit;
      }
    }
    d.r.push_back(static_cast<std::int32_t>(r));
    d.a.push_back(static_cast<std::int32_t>(a));
  }
  return d;
}

// C + jS with C = sum cos(theta_j) x_j, S = sum sin(theta_j) x_j.
inline std::complex<double> correlate(const std::vector<std::int32_t>& x) {
  std::complex<double> sum;
  for (std::size_t j = 0; j < x.size(); ++j) {
    const double theta = kPi * static_cast<double>(j) * 2.0 / 7.0;
    sum += std::complex<double>(std::cos(theta), std::sin(theta)) * static_cast<double>(x[j]);
  }
  return sum;
}

// The level a program reads: |sum| * 1.613 / 2^32 * 7 / samples, then its
// compression correction 34.0333 / (34.0333 - 0.0216 amp^2).
inline double rawLevel(std::complex<double> sum, std::size_t samples) {
  return std::abs(sum) * 1.613 / 4294967296.0 * 7.0 / static_cast<double>(samples);
}
inline double correction(double amplitude) {
  return 34.0333 / (34.0333 - 0.0216 * amplitude * amplitude);
}

struct Reading {
  std::complex<double> ratio;  // corrected A/R
  double levelR = 0.0;         // corrected amplitudes, 1 = 0 dBm
  double levelA = 0.0;
};

inline Reading readPoint(const DecodedSamples& d) {
  const std::complex<double> sa = correlate(d.a), sr = correlate(d.r);
  const double kA = correction(rawLevel(sa, d.a.size())), kR = correction(rawLevel(sr, d.r.size()));
  Reading reading;
  reading.ratio = (sa * kA) / (sr * kR);
  reading.levelA = rawLevel(sa, d.a.size()) * kA;
  reading.levelR = rawLevel(sr, d.r.size()) * kR;
  return reading;
}

}  // namespace vna::test
