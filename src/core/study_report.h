#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/study.h"

namespace kavrin {

enum class ReportFormat { Text, Csv, Markdown };

std::optional<ReportFormat> ReportFormatNamed(std::string_view name);

// The study as a table. CSV has the header method,N,h,y1,y2,error,order, the
// numbers in shortest round-trip form and an empty order (or error) where
// none applies; text and Markdown add the reference and mark the errors at
// the floor.
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

// The method's observed order for a legend: the median of its measured
// orders, if it has any.
std::optional<double> TypicalOrder(const Study& study, Method method);

}  // namespace kavrin
