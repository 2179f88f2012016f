#include "core/study_report.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "core/calculation.h"
#include "core/number_text.h"
#include "core/solution_csv.h"

namespace kavrin {
namespace {

std::string Name(Method method) { return std::string(Info(method).result_name); }

// What the order column says when it holds no number.
std::string OrderNote(const StudyRun& run) {
  switch (run.status) {
    case StudyRun::Status::AtFloor:
      return "round-off";
    case StudyRun::Status::Failed:
      return "overflow";
    case StudyRun::Status::NoReference:
    case StudyRun::Status::Measured:
      break;
  }
  return "";
}

std::string Csv(const Study& study) {
  std::string out = "method,N,h,y1,y2,error,order\n";
  for (const StudyRun& run : study.runs) {
    const bool values = run.status != StudyRun::Status::Failed;
    const bool error = values && run.status != StudyRun::Status::NoReference;
    out += Name(run.method) + "," + RoundTripText(run.N) + "," + RoundTripText(run.h) + "," +
           (values ? RoundTripText(run.y1) : "") + "," + (values ? RoundTripText(run.y2) : "") + "," +
           (error ? RoundTripText(run.error) : "") + "," + (run.order ? RoundTripText(*run.order) : "") + "\n";
  }
  return out;
}

std::string Table(const Study& study, bool markdown) {
  std::string out;
  const std::string x1 = RoundTripText(study.x1);
  out += (markdown ? "### Convergence study at x1 = " : "Convergence study at x1 = ") + x1 + "\n\n";
  if (study.reference.valid()) {
    out += "Reference: y1 = " + LongText(study.reference.y1, 18) + ", y2 = " + LongText(study.reference.y2, 18) +
           ", from a Taylor series in long double, estimated error " + ScientificText(study.reference.error, 1) + ".\n";
    out +=
        "The error is the larger of |y1 - y1 ref| and |y2 - y2 ref|; the order is log(error ratio) / log(N ratio)\n"
        "against the previous N. \"round-off\" marks an error within reach of the rounding of the run or of the\n"
        "reference, where an order would mean nothing.\n\n";
  } else {
    out += NoReferenceText(study) + "\n\n";
  }
  const StudyTableCells table = StudyTable(study);
  if (markdown) {
    out += "|";
    for (const std::string& cell : table.header) out += " " + cell + " |";
    out += "\n|---|---:|---:|---:|---:|---:|---:|\n";
  } else {
    char header[160];
    std::snprintf(header, sizeof header, "%-28s %10s %24s %24s %24s %10s %10s\n", table.header[0].c_str(),
                  table.header[1].c_str(), table.header[2].c_str(), table.header[3].c_str(), table.header[4].c_str(),
                  table.header[5].c_str(), table.header[6].c_str());
    out += header;
  }
  for (const std::vector<std::string>& cells : table.rows) {
    if (markdown) {
      out += "|";
      for (const std::string& cell : cells) out += " " + cell + " |";
      out += "\n";
    } else {
      char line[256];
      std::snprintf(line, sizeof line, "%-28s %10s %24s %24s %24s %10s %10s\n", cells[0].c_str(), cells[1].c_str(),
                    cells[2].c_str(), cells[3].c_str(), cells[4].c_str(), cells[5].c_str(), cells[6].c_str());
      out += line;
    }
  }
  const std::vector<std::string> failures = FailedRuns(study);
  if (!failures.empty()) out += "\n";
  for (const std::string& failure : failures) out += failure + "\n";
  return out;
}

}  // namespace

StudyTableCells StudyTable(const Study& study) {
  StudyTableCells table;
  table.header = {"method", "N", "h", "y1", "y2", "error", "order"};
  for (const StudyRun& run : study.runs) {
    const bool failed = run.status == StudyRun::Status::Failed;
    const bool error = !failed && run.status != StudyRun::Status::NoReference;
    table.rows.push_back({Name(run.method), RoundTripText(run.N), RoundTripText(run.h),
                          failed ? "" : RoundTripText(run.y1), failed ? "" : RoundTripText(run.y2),
                          error ? ScientificText(run.error, 3) : "",
                          run.order ? FixedText(*run.order, 2, ".") : OrderNote(run)});
  }
  return table;
}

std::vector<std::string> FailedRuns(const Study& study) {
  std::vector<std::string> lines;
  for (const StudyRun& run : study.runs)
    if (run.status == StudyRun::Status::Failed)
      lines.push_back(Name(run.method) + ", N = " + RoundTripText(run.N) + ": " + run.failure);
  return lines;
}

std::string NoReferenceText(const Study& study) {
  const std::optional<double> pole = PoleBefore(study.x1, study.x1 - BuiltInSystem::kStart.x);
  return "No reference: " +
         (pole ? "the solution of this system grows without bound near " + PoleText(*pole) + ", before x1 = "
               : std::string("the solution cannot be continued to x1 = ")) +
         RoundTripText(study.x1) + ", so the runs have no error to measure.";
}

std::optional<ReportFormat> ReportFormatNamed(std::string_view name) {
  if (name == "text") return ReportFormat::Text;
  if (name == "csv") return ReportFormat::Csv;
  if (name == "markdown") return ReportFormat::Markdown;
  return std::nullopt;
}

std::string StudyReport(const Study& study, ReportFormat format) {
  return format == ReportFormat::Csv ? Csv(study) : Table(study, format == ReportFormat::Markdown);
}

std::optional<double> TypicalOrder(const Study& study, Method method) {
  std::vector<double> orders;
  for (const StudyRun& run : study.runs)
    if (run.method == method && run.order) orders.push_back(*run.order);
  if (orders.empty()) return std::nullopt;
  std::sort(orders.begin(), orders.end());
  return orders[orders.size() / 2];
}

}  // namespace kavrin
