#include "cli/options.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <climits>
#include <cstdint>
#include <string>
#include <tuple>
#include <utility>

#include "problems/parse_integer.h"

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
                    queue the run becomes one PDF file, in print order, in Kirune under the documents
                    folder, and the file is named on standard error (exit 0).
kirune-print --list-presets   the preset table: button, row title, caption, kind, count item, engine, tiles
kirune-print --help | --version
)";

constexpr int kMaxPageSide = 100000;

constexpr std::array<std::string_view, 7> kPapers = {"A4", "A3", "A5", "B4", "B5", "Letter", "Legal"};

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
expected<ControlValue, std::string> readSetting(std::string_view text) {
  const auto eq = text.find('=');
  if (eq == std::string_view::npos || eq == 0) {
    return unexpected("--set の形が違います: " + shown(text) + "（CONTROL=VALUE、例 SpinEdit1=3）");
  }
  const std::string control(text.substr(0, eq));
  const std::string_view valueText = text.substr(eq + 1);
  const Control* c = findControl(control);
  if (!c) {
    return unexpected("不明なコントロール: " + shown(control) +
                      "（SpinEdit1, SpinEdit4, CheckBox1..CheckBox25, z1..z4, trg）");
  }
  const auto value = parseInteger<int>(valueText);
  if (!value && value.error() == IntegerError::Malformed) {
    return unexpected(control + " の値が整数として読めません: " + shown(valueText) +
                      (c->min == INT_MIN ? std::string("（整数）") : "（" + range(c->min, c->max) + "）"));
  }
  if (!value || *value < c->min || *value > c->max) {
    return unexpected(control + " の値が範囲外です: " + shown(valueText) + "（" + range(c->min, c->max) +
                      "）");
  }
  return ControlValue{c, *value};
}

// Reads WIDTHxHEIGHT.
expected<std::pair<int, int>, std::string> readPage(std::string_view text) {
  const std::string error = "--page の値が正しくありません: " + shown(text) + "（WIDTHxHEIGHT、1.." +
                            std::to_string(kMaxPageSide) + " の整数、例 4958x7017）";
  const auto x = text.find_first_of("xX");
  if (x == std::string_view::npos) return unexpected(error);
  const auto width = parseInteger<int>(text.substr(0, x));
  const auto height = parseInteger<int>(text.substr(x + 1));
  if (!width || !height) return unexpected(error);
  if (*width < 1 || *height < 1 || *width > kMaxPageSide || *height > kMaxPageSide) return unexpected(error);
  return std::pair{*width, *height};
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
      t += head + s.controlNames() + ": " + std::string(s.meaning) + "\n";
    }
    return t;
  }();
  return text;
}

expected<Options, std::string> parseArguments(const std::vector<std::string>& args) {
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
      return unexpected("--list-presets には他の引数を付けません: " + shown(args[i == 0 ? 1 : 0]));
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
    if (takesValue && i + 1 >= args.size()) return unexpected(a + " の後に値がありません（--help で使い方）");
    if (a == "--set") {
      auto set = readSetting(args[++i]);
      if (!set) return unexpected(std::move(set).error());
      o.sets.push_back(*set);
    } else if (readable) {
      // A readable name is the --set of the controls it stands for, in its place on the command line.
      auto r = readReadableSetting(std::string_view(a).substr(2), args[++i]);
      if (!r) {
        // The message echoes the value; a huge one is cut as every other echoed argument.
        std::string message = std::move(r).error();
        const std::string& value = args[i];
        if (const auto at = message.find(value); value.size() > kShownLength && at != std::string::npos) {
          message.replace(at, value.size(), shown(value));
        }
        return unexpected(std::move(message));
      }
      o.sets.insert(o.sets.end(), r->begin(), r->end());
    } else if (a == "--seed") {
      const auto seed = parseInteger<std::uint64_t>(args[++i]);
      if (!seed && seed.error() == IntegerError::OutOfRange) {
        return unexpected("--seed の値が範囲外です: " + shown(args[i]) + "（0.." +
                          std::to_string(UINT64_MAX) + "）");
      }
      if (!seed) return unexpected("--seed の値が正しくありません: " + shown(args[i]) + "（0 以上の整数）");
      o.seed = *seed;
    } else if (a == "--page") {
      const auto page = readPage(args[++i]);
      if (!page) return unexpected(page.error());
      std::tie(o.pageWidth, o.pageHeight) = *page;
    } else if (a == "--paper") {
      const std::string& name = args[++i];
      const auto known = std::find_if(kPapers.begin(), kPapers.end(), [&](std::string_view p) {
        return std::equal(p.begin(), p.end(), name.begin(), name.end(), [](char x, char y) {
          return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
        });
      });
      if (known == kPapers.end()) {
        return unexpected("--paper の値が正しくありません: " + shown(name) +
                          "（A4, A3, A5, B4, B5, Letter, Legal）");
      }
      o.paper = std::string(*known);
      paperGiven = true;
    } else if (a == "--pdf" || a == "--png" || a == "--trace" || a == "--printer") {
      const Output next = a == "--pdf"     ? Output::Pdf
                          : a == "--png"   ? Output::Png
                          : a == "--trace" ? Output::Trace
                                           : Output::Printer;
      if (output) return unexpected("出力は一つだけです: " + std::string(outputOption(*output)) + " と " + a);
      const std::string& target = args[++i];
      if (target.empty() || (target == "-" && next != Output::Trace)) {
        return unexpected(a + " の出力先が正しくありません: '" + shown(target) + "'（" +
                          (next == Output::Png       ? "フォルダ名"
                           : next == Output::Printer ? "プリンタ名か default"
                                                     : "ファイル名") +
                          "）");
      }
      output = next;
      o.target = target;
    } else if (a.starts_with("-")) {
      return unexpected("不明なオプション: " + shown(a) + "（--help で使い方）");
    } else if (!presetName.empty()) {
      return unexpected("プリセットは一つだけです: " + shown(presetName) + " と " + shown(a));
    } else {
      presetName = a;
      o.preset = findPreset(a);
      if (!o.preset) return unexpected("不明なプリセット: " + shown(a) + "（--list-presets で一覧）");
    }
  }
  if (presetName.empty()) return unexpected("プリセットがありません（例 BitBtn13、--list-presets で一覧）");
  if (!output) {
    return unexpected("出力がありません（--pdf FILE、--png DIR、--trace FILE、--printer NAME のどれか一つ）");
  }
  if (paperGiven && o.pageWidth != 0) return unexpected("--paper と --page は一緒に使えません");
  if (*output == Output::Printer && paperGiven) {
    return unexpected("--printer では --paper を使えません（用紙はプリンタの設定です）");
  }
  if (*output == Output::Printer && o.pageWidth != 0) {
    return unexpected("--printer では --page を使えません（ページはプリンタの印刷できる範囲です）");
  }
  o.output = *output;
  return o;
}

}  // namespace kirune::cli
