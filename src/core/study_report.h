#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/study.h"

namespace kavrin {

enum class ReportFormat { Text, Csv, Markdown };

std::optional<ReportFormat> ReportFormatNamed(std::string_view name);

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

// A line for each run that overflowed: "Euler Method, N = 10: Overflow: ...".
std::vector<std::string> FailedRuns(const Study& study);

// Why a study has no reference: the solution's pole before x1.
std::string NoReferenceText(const Study& study);

// A method's fitted order for a legend or a summary: "order 4.01", or in
// words why there is none.
std::string OrderText(const Study& study, Method method);

// The mark's word in reports: "first", "ok", "round-off", ...
std::string_view MarkName(Mark mark);

}  // namespace kavrin
