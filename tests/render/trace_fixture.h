#pragma once

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "problems/random.h"
#include "render/image_set.h"
#include "render/session.h"
#include "render/trace_canvas.h"

namespace kirune::testing {

/// One parsed line of a trace.
struct Op {
  std::string kind;          ///< "draw", "line", "text" ...
  std::string name;          ///< picture of a draw, font of font_name
  std::vector<int> numbers;  ///< the integers after the kind (after the picture for draw)
  std::string text;          ///< rest of a text line
};

inline std::vector<Op> parseTrace(const std::string& trace) {
  std::vector<Op> ops;
  std::istringstream lines(trace);
  std::string line;
  while (std::getline(lines, line)) {
    std::istringstream in(line);
    Op op;
    in >> op.kind;
    if (op.kind == "draw") in >> op.name;
    if (op.kind == "font_name") {
      std::getline(in >> std::ws, op.name);
    } else if (op.kind == "text") {
      int x = 0;
      int y = 0;
      in >> x >> y;
      op.numbers = {x, y};
      in.get();  // the one separating space
      std::getline(in, op.text);
    } else {
      int v = 0;
      while (in >> v) op.numbers.push_back(v);
    }
    ops.push_back(op);
  }
  return ops;
}

/// A draw as "NAME L T R B", for compact comparisons.
inline std::string drawKey(const Op& op) {
  std::string s = op.name;
  for (int v : op.numbers) {
    // Two appends: GCC 12 at -O3 takes " " + std::string for an overlapping copy (-Wrestrict).
    s += ' ';
    s += std::to_string(v);
  }
  return s;
}

/// The draws of a trace (optionally only those of one picture) as "NAME L T R B".
inline std::vector<std::string> draws(const std::vector<Op>& ops, const std::string& picture = {}) {
  std::vector<std::string> out;
  for (const Op& op : ops) {
    if (op.kind == "draw" && (picture.empty() || op.name == picture)) out.push_back(drawKey(op));
  }
  return out;
}

/// The ops of the d-th document (0-based), begin_doc and end_doc excluded.
inline std::vector<Op> document(const std::vector<Op>& ops, int d) {
  std::vector<Op> out;
  int seen = -1;
  bool inside = false;
  for (const Op& op : ops) {
    if (op.kind == "begin_doc") {
      ++seen;
      inside = seen == d;
      continue;
    }
    if (op.kind == "end_doc") {
      inside = false;
      continue;
    }
    if (inside) out.push_back(op);
  }
  return out;
}

inline int countKind(const std::vector<Op>& ops, const std::string& kind) {
  return static_cast<int>(
      std::count_if(ops.begin(), ops.end(), [&](const Op& op) { return op.kind == kind; }));
}

/// A session on the real pictures with a fixed-seed generator, printing to a trace of the worked
/// example's page (4760 wide, 6814 high).
struct TraceRun {
  static constexpr int kWidth = 4760;
  static constexpr int kHeight = 6814;

  Random rng{20240401};
  Session session{ImageSet::builtIn(), rng};
  std::ostringstream out;
  TraceCanvas canvas{out, kWidth, kHeight};

  std::vector<Op> ops() const { return parseTrace(out.str()); }
};

}  // namespace kirune::testing
