#pragma once

#include <QStringList>
#include <iosfwd>

namespace kavrin {

// The command-line modes of kavrin: one calculation, the solution as CSV and
// the convergence study with its chart. `arguments` excludes the program
// name. Writes results to `out`, reports to `err`, and returns the exit
// status: 0 done, 1 the calculation or a file failed, 2 the options are wrong.
// Needs no window system; a chart needs a QGuiApplication (offscreen will do).
int RunCommandLine(const QStringList& arguments, std::ostream& out, std::ostream& err);

// Whether these arguments draw a chart, so that main() can start the painting
// part of Qt (offscreen) only then.
bool DrawsChart(const QStringList& arguments);

}  // namespace kavrin
