#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/failure.h"
#include "core/study.h"

namespace kavrin {

enum class ReportFormat { Text, Csv, Markdown };

// A report's format by its name: "text", "csv" or "markdown".
Outcome<ReportFormat> ReadReportFormat(std::string_view name);

// The study as a report, every number with "." whatever the locale. CSV has
// the header method,N,h,y1,y2,error,truncation,rounding,order,mark,evaluations
// (and seconds when the runs were timed), the numbers in shortest round-trip
// form, `mark` one of first, ok, round-off, overflow, no-reference, and the
// reference as a row of its own whose error is its error bound. Text (within
// 100 columns) and Markdown show the reference, the table, the runs that
// overflowed and each method's fitted order.
std::string StudyReport(const Study& study, ReportFormat format);

// The study's table as the text and Markdown reports and the page show it:
// a header and one row of cells per run.
struct StudyTableCells {
  std::vector<std::string> header;
  std::vector<std::vector<std::string>> rows;
};
StudyTableCells StudyTable(const Study& study);

// The tolerance sweep's table: method, tolerance, steps, rejected,
// evaluations, error, truncation, rounding (and seconds when timed); a run
// that did not reach x1 says why in the error's place.
StudyTableCells SweepTable(const Study& study);

// The sweep's notes: the runs that stopped short and why, the tolerances
// not honoured in double, and each pair's slope of error against tolerance.
std::vector<std::string> SweepNotes(const Study& study);

// A sweep run's mark in reports: "not-honoured" where rounding dominates.
std::string_view SweepMarkName(Mark mark);

// A line for each run that failed (an overflow or a domain error): "Euler
// Method, N = 10: Overflow: ...".
std::vector<std::string> FailedRunNotes(const Study& study);

// How many runs failed and of what: "12 of 70 runs failed: 10 overflows,
// 2 domain errors"; empty when none did.
std::string FailedRunsSummary(const Study& study);

// Why a study has no reference: a singularity of the solution before x1, or
// where the reference could not go on.
std::string NoReferenceText(const Study& study);
// The same of any reference that stopped short of x1, ending with what
// follows from it: "No reference: ..., so <consequence>."
std::string NoReferenceText(const Problem& problem, double x1, Reference::Stop stop, double reached, double last_step,
                            std::string_view consequence);

// The notes a window and the page show under the study: why there is no
// reference, the runs that failed, and the fitted orders in one line
// ("Fitted orders: rk4 order 4.01; rkf order 5.02").
std::vector<std::string> StudyNotes(const Study& study);

// A method's fitted order for a legend or a summary: "order 4.01", or in
// words why there is none.
std::string OrderText(const Study& study, Method method);

// The mark's word in reports: "first", "ok", "round-off", ...
std::string_view MarkName(Mark mark);

}  // namespace kavrin
