// Golden traces: every preset on several pages, seeds and settings, hashed and compared with a table
// recorded from the engines as they stood. Any change in what an engine draws, or in which order, shows
// up here as the case that changed.
//
// To record the table again after an intended change of the drawing, run this test with
// KIRUNE_UPDATE_TRACES=1 in the environment, e.g.
//
//     KIRUNE_UPDATE_TRACES=1 build/dev/tests/render/render_preset_traces_test
//
// It then writes tests/render/preset_traces.txt in the source tree instead of comparing; review the
// diff of that file before committing it.

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "problems/random.h"
#include "render/image_set.h"
#include "render/presets.h"
#include "render/session.h"
#include "render/trace_canvas.h"

namespace kirune {
namespace {

struct PageSize {
  int width;
  int height;
};

// Device pixels at 600 dpi: A4 printable area (the worked example's page), full A4, US Letter, A5.
constexpr std::array<PageSize, 4> kPages = {{{4760, 6814}, {4958, 7017}, {5100, 6600}, {3496, 4960}}};

constexpr std::array<std::uint64_t, 2> kSeeds = {20240401, 7};

struct Config {
  std::string_view name;
  void (*apply)(Settings&);
};

void tickEveryGuard(Settings& s) {
  for (auto box : Settings::timesRowBoxes) s.*box = true;
  for (auto box : Settings::decomposeBoxes) s.*box = true;
}

const std::array<Config, 3> kConfigs = {{
    {"defaults", [](Settings&) {}},
    // Every sheet part at once, two sheets so that the second sheet's dealing and clip-art show too.
    {"everything",
     [](Settings& s) {
       s.SpinEdit1 = 2;
       s.CheckBox1 = true;
       s.CheckBox2 = true;
       s.CheckBox15 = true;
       s.CheckBox16 = true;
       tickEveryGuard(s);
     }},
    // Header and clip-art apart (their order and tops differ per engine), a fixed clip-art, long tile
    // rows, other zero choices, and only some guard boxes ticked.
    {"mixed",
     [](Settings& s) {
       s.CheckBox1 = false;
       s.CheckBox2 = true;
       s.CheckBox4 = true;
       s.SpinEdit4 = 12;
       s.CheckBox15 = true;
       s.trg = 1;
       s.z1 = 1;
       s.z2 = 0;
       s.z3 = 1;
       s.z4 = 0;
       for (auto box : Settings::timesRowBoxes) s.*box = false;
       s.CheckBox7 = true;   // row 2
       s.CheckBox12 = true;  // row 7
       for (auto box : Settings::decomposeBoxes) s.*box = false;
       s.CheckBox20 = true;  // 5
       s.CheckBox25 = true;  // 10
     }},
}};

std::uint64_t fnv1a(std::string_view bytes) {
  std::uint64_t h = 14695981039346656037ull;
  for (const char c : bytes) {
    h ^= static_cast<unsigned char>(c);
    h *= 1099511628211ull;
  }
  return h;
}

struct Digest {
  std::size_t length = 0;
  std::uint64_t hash = 0;
  friend bool operator==(const Digest&, const Digest&) = default;
};

// "BitBtn13 4760x6814 20240401 defaults": names a case in the table and in failure messages.
std::string caseKey(const Preset& preset, PageSize page, std::uint64_t seed, const Config& config) {
  std::ostringstream key;
  key << preset.button << ' ' << page.width << 'x' << page.height << ' ' << seed << ' ' << config.name;
  return key.str();
}

Digest runCase(const Preset& preset, PageSize page, std::uint64_t seed, const Config& config) {
  Random rng{seed};
  Session session{ImageSet::builtIn(), rng};
  config.apply(session.settings);
  std::ostringstream out;
  TraceCanvas canvas{out, page.width, page.height};
  runPreset(preset, session, canvas);
  const std::string trace = out.str();
  return {trace.size(), fnv1a(trace)};
}

// Every case in table order: preset, page, seed, configuration.
std::vector<std::pair<std::string, Digest>> runAll() {
  std::vector<std::pair<std::string, Digest>> cases;
  for (const Preset& preset : presets()) {
    for (PageSize page : kPages) {
      for (std::uint64_t seed : kSeeds) {
        for (const Config& config : kConfigs) {
          cases.emplace_back(caseKey(preset, page, seed, config), runCase(preset, page, seed, config));
        }
      }
    }
  }
  return cases;
}

// One line per case: button page seed config length hash (hex).
std::map<std::string, Digest> readTable(const std::string& path) {
  std::map<std::string, Digest> table;
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    std::string button, page, seed, config;
    Digest d;
    fields >> button >> page >> seed >> config >> d.length >> std::hex >> d.hash;
    table[button + ' ' + page + ' ' + seed + ' ' + config] = d;
  }
  return table;
}

void writeTable(const std::string& path, const std::vector<std::pair<std::string, Digest>>& cases) {
  std::ofstream out(path);
  out << "# Golden traces of every preset: button page seed config trace-length fnv1a-64.\n"
      << "# Written by render_preset_traces_test with KIRUNE_UPDATE_TRACES=1; do not edit by hand.\n";
  for (const auto& [key, d] : cases)
    out << key << ' ' << d.length << ' ' << std::hex << d.hash << std::dec << '\n';
}

TEST(PresetTraces, EveryPresetDrawsWhatItDrewBefore) {
  const std::string path = KIRUNE_TRACE_TABLE;
  const std::vector<std::pair<std::string, Digest>> cases = runAll();
  ASSERT_EQ(cases.size(), presets().size() * kPages.size() * kSeeds.size() * kConfigs.size());

  const char* update = std::getenv("KIRUNE_UPDATE_TRACES");
  if (update != nullptr && std::string_view(update) == "1") {
    writeTable(path, cases);
    GTEST_SKIP() << "wrote " << cases.size() << " cases to " << path;
  }

  const std::map<std::string, Digest> table = readTable(path);
  ASSERT_EQ(table.size(), cases.size())
      << "the table " << path << " does not hold one line per case; record it again";
  int mismatches = 0;
  for (const auto& [key, got] : cases) {
    const auto it = table.find(key);
    if (it == table.end()) {
      ADD_FAILURE() << "case " << key << " is not in the table";
      ++mismatches;
      continue;
    }
    if (got == it->second) continue;
    // The first few in full; the rest only counted, so one broken step does not bury the log.
    if (++mismatches <= 20) {
      ADD_FAILURE() << "trace changed: " << key << " (length " << it->second.length << " -> " << got.length
                    << ")";
    }
  }
  EXPECT_EQ(mismatches, 0) << "cases whose trace changed (button page seed config)";
}

// A single trace as the table records it is only worth something if the run drew sheets at all: the
// guards pass and the engines print in every configuration.
TEST(PresetTraces, EveryCaseDrawsSheets) {
  const Preset& fillIn = *findPreset("BitBtn121");
  const Preset& decomposition = *findPreset("BitBtn133");
  const Preset& times = *findPreset("BitBtn118");
  for (const Config& config : kConfigs) {
    for (const Preset* preset : {&fillIn, &decomposition, &times}) {
      Random rng{kSeeds[0]};
      Session session{ImageSet::builtIn(), rng};
      config.apply(session.settings);
      std::ostringstream out;
      TraceCanvas canvas{out, kPages[0].width, kPages[0].height};
      ASSERT_TRUE(runPreset(*preset, session, canvas)) << preset->button << ' ' << config.name;
      EXPECT_NE(out.str().find("begin_doc"), std::string::npos) << preset->button << ' ' << config.name;
      EXPECT_NE(out.str().find("draw TForm2.Image"), std::string::npos)
          << preset->button << ' ' << config.name;
    }
  }
}

}  // namespace
}  // namespace kirune
