#pragma once

#include <array>
#include <cstdint>

#include "problems/glyph_code.h"
#include "problems/random.h"
#include "problems/settings.h"

namespace kirune {

/// One problem; every field holds a number or a `GlyphCode`. `sign` is the operator (`kPlus`,
/// `kMinus`, `kTimes`, `kDivided`). Markers: `kBox` in `first`/`second` of a fill-in record, `kCircle`
/// in `second`/`result` of a decomposition record.
struct ProblemRecord {
  std::int32_t first = 0;
  std::int32_t second = 0;
  std::int32_t result = 0;
  std::int32_t sign = 0;
  friend bool operator==(const ProblemRecord&, const ProblemRecord&) = default;
};

inline constexpr int kPoolCapacity = 1000;

/// The problem pool and the records dealt to the current sheet, both 1-based (index 0 unused).
struct ProblemPool {
  std::array<ProblemRecord, kPoolCapacity + 1> problemPool{};
  std::array<ProblemRecord, kPoolCapacity + 1> sheetProblems{};
  std::int32_t poolCount = 0;
  std::int32_t poolCursor = 0;
  /// Records dealt to the current sheet so far (slots 1..dealtCount of `sheetProblems` are this
  /// sheet's); an empty pool deals nothing, so no stale record of an earlier generation is shown.
  std::int32_t dealtCount = 0;

  /// Starts a record: poolCount + 1, then writes it.
  void append(ProblemRecord r) { problemPool[static_cast<std::size_t>(++poolCount)] = r; }
};

/// `print01Click`: builds the pool for the kind in `settings.shurui` with exactly one generator and
/// writes the pool size into `settings.SpinEdit2`.
void print01Click(Settings& settings, ProblemPool& pool, Random& rng);

/// `swapClick`: reseeds, then for i = 1..poolCount exchanges record i with 1 + random(poolCount - 1).
void swapClick(ProblemPool& pool, Random& rng);

/// First step of every sheet: `print01Click`, `swapClick`, cursor and dealt count to 0.
void startSheet(Settings& settings, ProblemPool& pool, Random& rng);

/// Deals the record for slot `slot` (1-based): advances the cursor, reshuffles and starts over past
/// the end, copies the record into `sheetProblems[slot]`. Returns nullptr, dealing nothing, when the
/// pool is empty.
const ProblemRecord* dealNext(ProblemPool& pool, Random& rng, int slot);

}  // namespace kirune
