#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace kavrin {

// The command-line modes of kavrin: one calculation, the solution as CSV and
// the convergence study with its chart. `arguments` excludes the program
// name and are the bytes the user gave (file names are passed on as they
// are). Writes results to `out`, reports to `err`, and returns the exit
// status: 0 done, 1 the calculation, a file or standard output failed, 2 the
// options are wrong. Needs no window system; a chart needs a QGuiApplication
// (offscreen will do).
int RunCommandLine(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err);

// Whether these arguments draw a chart, so that main() can start the painting
// part of Qt (offscreen) only then.
bool DrawsChart(const std::vector<std::string>& arguments);

}  // namespace kavrin
