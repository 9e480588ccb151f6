#pragma once

#include <cstdint>
#include <optional>
#include <random>

namespace kirune {

/// The one random generator of a session: uniform integers 0 .. n - 1.
///
/// In the program it is seeded from the clock, and `reseed` takes a fresh clock seed. With a fixed seed
/// (tests, `kirune-print --seed`) `reseed` still starts a new stream, but one derived from the fixed seed
/// and the number of reseeds so far, so a run stays reproducible byte for byte.
class Random {
 public:
  /// Clock-seeded.
  Random();
  /// Fixed-seeded: the same seed gives the same draws, reseeds included.
  explicit Random(std::uint64_t seed);

  /// Reseeds: from the clock, or deterministically from the fixed seed.
  void reseed();
  /// A uniform integer in 0 .. n - 1; 0 when n <= 0.
  int random(int n);

  bool fixed() const { return fixedSeed_.has_value(); }

 private:
  std::optional<std::uint64_t> fixedSeed_;
  std::uint64_t reseedCount_ = 0;
  std::mt19937_64 engine_;
};

}  // namespace kirune
