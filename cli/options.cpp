#include "cli/options.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <climits>
#include <cstdint>
#include <string>

#include "problems/setting_names.h"

namespace kirune::cli {
namespace {

constexpr std::string_view kUsage =
    R"(kirune-print PRESET [--set CONTROL=VALUE]... [--seed N] [--page WIDTHxHEIGHT] OUTPUT
  PRESET            a preset button's name, e.g. BitBtn13 (see --list-presets)
  --set C=V         a visible setting before the click: SpinEdit1, SpinEdit4, CheckBox1..CheckBox25, z1..z4, trg; check boxes take 0/1, radio groups their item, spin boxes an integer
  --NAME VALUE      a setting by its readable name (below), the same as --set of the controls it names
  --seed N          a fixed seed instead of the clock: same seed and settings, identical output
  --paper NAME      the paper of --pdf, --png and --trace: A4 (default), A3, A5, B4, B5 (JIS), Letter,
                    Legal; the sheet is drawn at 600 dpi inside margins of 5 mm (14.2 pt) on each side
  --page WxH        the printable area in device pixels, drawn to its edges (not with --paper)
  OUTPUT, exactly one of:
  --pdf FILE        every document of the run as one page each, in order, in one PDF
  --png DIR         one PNG per document, named so they sort in print order
  --trace FILE      the trace ('-' for standard output)
  --printer NAME    each document a print job of its own on the CUPS queue NAME ('default': the
                    default printer), each confirmed by the spooler; a refused document stops the run
                    there (exit 1, the message says which sheets went out). Without a spooler or any
                    queue the sheets become PDF files in a new folder under the documents folder, and
                    the folder is named on standard error (exit 0).
kirune-print --list-presets   the preset table: button, row title, caption, kind, count item, engine, tiles
kirune-print --help | --version
)";

constexpr int kMaxPageSide = 100000;

constexpr std::array<std::string_view, 7> kPapers = {"A4", "A3", "A5", "B4", "B5", "Letter", "Legal"};

struct IntControl {
  std::string_view name;
  int Settings::*field;
  int min;
  int max;
};

constexpr std::array<IntControl, 6> kIntControls = {{
    {"SpinEdit1", &Settings::SpinEdit1, INT_MIN, INT_MAX},
    {"SpinEdit4", &Settings::SpinEdit4, 1, 32},
    {"z1", &Settings::z1, 0, 1},
    {"z2", &Settings::z2, 0, 1},
    {"z3", &Settings::z3, 0, 1},
    {"z4", &Settings::z4, 0, 1},
}};
constexpr IntControl kTrg = {"trg", &Settings::trg, 0, 1};

const IntControl* findIntControl(std::string_view name) {
  for (const IntControl& c : kIntControls) {
    if (c.name == name) return &c;
  }
  return name == kTrg.name ? &kTrg : nullptr;
}

// CheckBox1..CheckBox25 -> 1..25; 0 for any other name.
int checkBoxNumber(std::string_view name) {
  constexpr std::string_view prefix = "CheckBox";
  if (!name.starts_with(prefix)) return 0;
  const std::string_view digits = name.substr(prefix.size());
  if (digits.empty() || digits.size() > 2 || digits.front() == '0') return 0;
  int n = 0;
  const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), n);
  if (ec != std::errc() || end != digits.data() + digits.size() || n < 1 || n > 25) return 0;
  return n;
}

enum class Whole { Ok, NotWhole, OutOfRange };

template <typename T>
Whole readWhole(std::string_view text, T& value) {
  if (text.empty() || text.front() == '+') return Whole::NotWhole;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (end != text.data() + text.size()) return Whole::NotWhole;
  if (ec == std::errc::result_out_of_range) return Whole::OutOfRange;
  return ec == std::errc() ? Whole::Ok : Whole::NotWhole;
}

template <typename T>
bool parseWhole(std::string_view text, T& value) {
  return readWhole(text, value) == Whole::Ok;
}

// An argument as messages echo it: at most kShownLength characters, then "…", so a huge argument does
// not fill the terminal.
constexpr std::size_t kShownLength = 80;
std::string shown(std::string_view text) {
  std::size_t characters = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    // Count the first byte of each UTF-8 character.
    if ((static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) continue;
    if (++characters > kShownLength) return std::string(text.substr(0, i)) + "…";
  }
  return std::string(text);
}

std::string range(int min, int max) {
  if (min == 0 && max == 1) return "0 か 1";
  return std::to_string(min) + ".." + std::to_string(max);
}

// Reads one CONTROL=VALUE.
std::pair<std::string, int> readSetting(std::string_view text) {
  const auto eq = text.find('=');
  if (eq == std::string_view::npos || eq == 0) {
    throw UsageError("--set の形が違います: " + shown(text) + "（CONTROL=VALUE、例 SpinEdit1=3）");
  }
  const std::string control(text.substr(0, eq));
  const std::string_view valueText = text.substr(eq + 1);
  int min = 0;
  int max = 1;
  if (const IntControl* c = findIntControl(control)) {
    min = c->min;
    max = c->max;
  } else if (checkBoxNumber(control) == 0) {
    throw UsageError("不明なコントロール: " + shown(control) +
                     "（SpinEdit1, SpinEdit4, CheckBox1..CheckBox25, z1..z4, trg）");
  }
  int value = 0;
  const Whole read = readWhole(valueText, value);
  if (read == Whole::NotWhole) {
    throw UsageError(control + " の値が整数として読めません: " + shown(valueText) +
                     (min == INT_MIN ? std::string("（整数）") : "（" + range(min, max) + "）"));
  }
  if (read == Whole::OutOfRange || value < min || value > max) {
    throw UsageError(control + " の値が範囲外です: " + shown(valueText) + "（" + range(min, max) + "）");
  }
  return {control, value};
}

void readPage(std::string_view text, int& width, int& height) {
  const UsageError error("--page の値が正しくありません: " + shown(text) + "（WIDTHxHEIGHT、1.." +
                         std::to_string(kMaxPageSide) + " の整数、例 4958x7017）");
  const auto x = text.find_first_of("xX");
  if (x == std::string_view::npos) throw error;
  if (!parseWhole(text.substr(0, x), width) || !parseWhole(text.substr(x + 1), height)) throw error;
  if (width < 1 || height < 1 || width > kMaxPageSide || height > kMaxPageSide) throw error;
}

std::string_view outputOption(Output o) {
  switch (o) {
    case Output::Pdf:
      return "--pdf";
    case Output::Png:
      return "--png";
    case Output::Trace:
      return "--trace";
    case Output::Printer:
      return "--printer";
  }
  return {};
}

}  // namespace

std::string_view usage() {
  static const std::string text = [] {
    std::string t(kUsage);
    t += "readable settings (NAME, VALUE, controls, meaning):\n";
    for (const ReadableSetting& s : readableSettings()) {
      std::string head = "  --" + std::string(s.name) + " " + std::string(s.values);
      head.resize(std::max<std::size_t>(head.size() + 1, 36), ' ');
      t += head + std::string(s.controls) + ": " + std::string(s.meaning) + "\n";
    }
    return t;
  }();
  return text;
}

Options parseArguments(const std::vector<std::string>& args) {
  Options o;
  for (const std::string& a : args) {
    if (a == "--help" || a == "-h") {
      o.help = true;
      return o;
    }
    if (a == "--version") {
      o.version = true;
      return o;
    }
  }
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] != "--list-presets") continue;
    if (args.size() > 1) {
      throw UsageError("--list-presets には他の引数を付けません: " + shown(args[i == 0 ? 1 : 0]));
    }
    o.listPresets = true;
    return o;
  }

  std::optional<Output> output;
  std::string presetName;
  bool paperGiven = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    const bool readable = a.starts_with("--") && findReadableSetting(std::string_view(a).substr(2));
    const bool takesValue = a == "--set" || a == "--seed" || a == "--page" || a == "--paper" ||
                            a == "--pdf" || a == "--png" || a == "--trace" || a == "--printer" || readable;
    if (takesValue && i + 1 >= args.size()) throw UsageError(a + " の後に値がありません（--help で使い方）");
    if (a == "--set") {
      o.sets.push_back(readSetting(args[++i]));
    } else if (readable) {
      // A readable name is the --set of the controls it stands for, in its place on the command line.
      const ReadResult r = readReadableSetting(std::string_view(a).substr(2), args[++i]);
      if (!r.error.empty()) {
        // The message echoes the value; a huge one is cut as every other echoed argument.
        std::string message = r.error;
        const std::string& value = args[i];
        if (const auto at = message.find(value); value.size() > kShownLength && at != std::string::npos) {
          message.replace(at, value.size(), shown(value));
        }
        throw UsageError(message);
      }
      for (const ControlValue& c : r.controls) o.sets.emplace_back(std::string(c.control), c.value);
    } else if (a == "--seed") {
      std::uint64_t seed = 0;
      const Whole read = readWhole(args[++i], seed);
      if (read == Whole::OutOfRange) {
        throw UsageError("--seed の値が範囲外です: " + shown(args[i]) + "（0.." + std::to_string(UINT64_MAX) +
                         "）");
      }
      if (read != Whole::Ok)
        throw UsageError("--seed の値が正しくありません: " + shown(args[i]) + "（0 以上の整数）");
      o.seed = seed;
    } else if (a == "--page") {
      readPage(args[++i], o.pageWidth, o.pageHeight);
    } else if (a == "--paper") {
      const std::string& name = args[++i];
      const auto known = std::find_if(kPapers.begin(), kPapers.end(), [&](std::string_view p) {
        return std::equal(p.begin(), p.end(), name.begin(), name.end(), [](char x, char y) {
          return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
        });
      });
      if (known == kPapers.end()) {
        throw UsageError("--paper の値が正しくありません: " + shown(name) +
                         "（A4, A3, A5, B4, B5, Letter, Legal）");
      }
      o.paper = std::string(*known);
      paperGiven = true;
    } else if (a == "--pdf" || a == "--png" || a == "--trace" || a == "--printer") {
      const Output next = a == "--pdf"     ? Output::Pdf
                          : a == "--png"   ? Output::Png
                          : a == "--trace" ? Output::Trace
                                           : Output::Printer;
      if (output) throw UsageError("出力は一つだけです: " + std::string(outputOption(*output)) + " と " + a);
      const std::string& target = args[++i];
      if (target.empty() || (target == "-" && next != Output::Trace)) {
        throw UsageError(a + " の出力先が正しくありません: '" + shown(target) + "'（" +
                         (next == Output::Png       ? "フォルダ名"
                          : next == Output::Printer ? "プリンタ名か default"
                                                    : "ファイル名") +
                         "）");
      }
      output = next;
      o.target = target;
    } else if (a.starts_with("-")) {
      throw UsageError("不明なオプション: " + shown(a) + "（--help で使い方）");
    } else if (!presetName.empty()) {
      throw UsageError("プリセットは一つだけです: " + shown(presetName) + " と " + shown(a));
    } else {
      presetName = a;
      o.preset = findPreset(a);
      if (!o.preset) throw UsageError("不明なプリセット: " + shown(a) + "（--list-presets で一覧）");
    }
  }
  if (presetName.empty()) throw UsageError("プリセットがありません（例 BitBtn13、--list-presets で一覧）");
  if (!output) {
    throw UsageError("出力がありません（--pdf FILE、--png DIR、--trace FILE、--printer NAME のどれか一つ）");
  }
  if (paperGiven && o.pageWidth != 0) throw UsageError("--paper と --page は一緒に使えません");
  if (*output == Output::Printer && paperGiven) {
    throw UsageError("--printer では --paper を使えません（用紙はプリンタの設定です）");
  }
  if (*output == Output::Printer && o.pageWidth != 0) {
    throw UsageError("--printer では --page を使えません（ページはプリンタの印刷できる範囲です）");
  }
  o.output = *output;
  return o;
}

void applySetting(Settings& settings, const std::string& control, int value) {
  if (const IntControl* c = findIntControl(control)) {
    settings.*(c->field) = value;
  } else if (const int n = checkBoxNumber(control)) {
    settings.*Settings::checkBoxes[static_cast<std::size_t>(n - 1)] = value != 0;
  }
}

}  // namespace kirune::cli
