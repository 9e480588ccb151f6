#include "problems/random.h"

#include <chrono>
#include <limits>

namespace kirune {

namespace {

/// splitmix64: spreads nearby inputs (seed + 1, a counter) over unrelated engine seeds.
std::uint64_t splitmix64(std::uint64_t x) {
  x += 0x9E3779B97F4A7C15ULL;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ULL;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBULL;
  return x ^ (x >> 31);
}

/// Stream number `count` of a seed. The seed is mixed on its own first, so that seed s after one reseed
/// is not the stream of seed s + 1.
std::uint64_t streamSeed(std::uint64_t seed, std::uint64_t count) {
  return splitmix64(splitmix64(seed) + count);
}

std::uint64_t clockSeed(std::uint64_t count) {
  const auto now = std::chrono::system_clock::now().time_since_epoch();
  const auto ticks =
      static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(now).count());
  // The counter keeps two reseeds within one clock tick apart.
  return streamSeed(ticks, count);
}

}  // namespace

Random::Random() : engine_(clockSeed(0)) {}

Random::Random(std::uint64_t seed) : fixedSeed_(seed), engine_(streamSeed(seed, 0)) {}

void Random::reseed() {
  ++reseedCount_;
  engine_.seed(fixedSeed_ ? streamSeed(*fixedSeed_, reseedCount_) : clockSeed(reseedCount_));
}

int Random::random(int n) {
  if (n <= 0) return 0;
  const auto bound = static_cast<std::uint64_t>(n);
  // Unbiased: draws below 2^64 mod n would favour the small results, so they are drawn again. That
  // happens with probability below n / 2^64, and the result depends only on the engine's output, never on
  // the standard library's distributions, so a seed gives the same numbers on every platform.
  const std::uint64_t threshold = (std::numeric_limits<std::uint64_t>::max() - bound + 1) % bound;
  std::uint64_t x = engine_();
  while (x < threshold) x = engine_();
  return static_cast<int>(x % bound);
}

}  // namespace kirune
