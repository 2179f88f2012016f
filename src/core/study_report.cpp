#include "core/study_report.h"

#include <algorithm>
#include <vector>

#include "core/number_text.h"
#include "core/requests.h"
#include "core/text.h"
#include "ode/wide.h"

namespace kavrin {
namespace {

std::string Name(Method method) { return std::string(Info(method).result_name); }

const char* WideName() { return std::is_same_v<WideReal, long double> ? "long double" : "double-double"; }

std::string Csv(const Study& study) {
  const bool timed = study.against == Against::Seconds;
  const bool sweep = !study.sweep.empty();
  // The sweep's columns come last, so that a study without one reads as before.
  const std::string no_sweep = sweep ? ",," : "";
  std::string out = "method,N,h,y1,y2,error,truncation,rounding,order,mark,evaluations";
  out += timed ? ",seconds" : "";
  out += sweep ? ",tolerance,rejected\n" : "\n";
  const Reference& ref = study.reference;
  if (ref.valid()) {
    out += "reference,,," + LongText(ref.y1, 21) + "," + LongText(ref.y2, 21) + "," + RoundTripText(ref.error_bound) +
           ",,,,,";
    out += (timed ? "," : "") + no_sweep + "\n";
  }
  for (const StudyRun& run : study.runs) {
    const bool values = !run.failed();
    const bool error = values && run.mark != Mark::NoReference;
    out += Name(run.method) + "," + WholeText(run.N) + "," + RoundTripText(run.h) + "," +
           (values ? RoundTripText(run.y1) : "") + "," + (values ? RoundTripText(run.y2) : "") + "," +
           (error ? RoundTripText(run.error) : "") + "," + (error ? RoundTripText(run.truncation) : "") + "," +
           (values ? RoundTripText(run.rounding) : "") + "," + (run.order ? RoundTripText(*run.order) : "") + "," +
           std::string(MarkName(run.mark)) + "," + WholeText(run.evaluations());
    if (timed) {
      out += ',';
      if (values) out += RoundTripText(run.seconds);
    }
    out += no_sweep + "\n";
  }
  for (const SweepRun& run : study.sweep) {
    const bool values = run.mark == Mark::Ok || run.mark == Mark::RoundOff || run.mark == Mark::NoReference;
    const bool error = values && run.mark != Mark::NoReference;
    out += Name(run.method) + "," + WholeText(run.steps) + ",," + (values ? RoundTripText(run.y1) : "") + "," +
           (values ? RoundTripText(run.y2) : "") + "," + (error ? RoundTripText(run.error) : "") + "," +
           (error ? RoundTripText(run.truncation) : "") + "," + (values ? RoundTripText(run.rounding) : "") + ",," +
           std::string(SweepMarkName(run.mark)) + "," + WholeText(run.evaluations);
    if (timed) {
      out += ',';
      if (values) out += RoundTripText(run.seconds);
    }
    out += "," + RoundTripText(run.tolerance) + "," + WholeText(run.rejected) + "\n";
  }
  return out;
}

// A table's rows, in columns of the widths given (text) or as Markdown.
std::string Rows(const StudyTableCells& table, const std::vector<std::size_t>& widths, bool markdown) {
  auto row = [&](const std::vector<std::string>& cells) {
    std::string line = markdown ? "|" : "";
    for (std::size_t c = 0; c < cells.size(); ++c) {
      if (markdown) {
        line += " " + cells[c] + " |";
      } else {
        if (c > 0) line += ' ';
        line += Padded(cells[c], widths[c], c == 0);
      }
    }
    while (!markdown && !line.empty() && line.back() == ' ') line.pop_back();
    return line + "\n";
  };
  std::string out = row(table.header);
  if (markdown) {
    out += "|---|";
    for (std::size_t c = 1; c < table.header.size(); ++c) out += "---:|";
    out += "\n";
  }
  for (const std::vector<std::string>& cells : table.rows) out += row(cells);
  return out;
}

// The sweep's part of the text and Markdown reports.
std::string SweepPart(const Study& study, bool markdown) {
  std::string out = std::string(markdown ? "\n### " : "\n") + "Steps chosen under a tolerance (atol = rtol)\n\n";
  out += Rows(SweepTable(study), {8, 9, 7, 8, 11, 9, 10, 9, 13}, markdown);
  for (const std::string& note : SweepNotes(study)) out += "\n" + std::string(markdown ? "- " : "") + note;
  return out + "\n";
}

std::string Table(const Study& study, bool markdown) {
  std::string out;
  const std::string x1 = RoundTripText(study.x1);
  out += (markdown ? "### Convergence study at x1 = " : "Convergence study at x1 = ") + x1 + "\n\n";
  if (!study.problem->built_in()) out += "System: " + study.problem->Description() + "\n";

  if (study.reference.valid()) {
    out += "Reference: y1 = " + LongText(study.reference.y1, 18) + ", y2 = " + LongText(study.reference.y2, 18) +
           ",\nfrom a Taylor series in " + (study.problem->built_in() ? ReferenceArithmetic() : "long double") +
           " arithmetic, error at most " + ScientificText(study.reference.error_bound, 1) + ".\n";
    out +=
        "The error is the larger of |y1 - y1 ref| and |y2 - y2 ref|. Truncation is the same for the run\n"
        "repeated in " +
        std::string(WideName()) +
        " (the method's own error); rounding is the distance between the two runs.\n"
        "The order is log(truncation ratio) / log(N ratio) against the previous N, where truncation\n"
        "dominates both rows; \"round-off\" marks a row where rounding dominates or the reference cannot\n"
        "tell.\n\n";
  } else {
    out += NoReferenceText(study) + "\n\n";
  }
  // Columns: the method's id, N, y1, y2, the three errors, the order.
  if (!study.runs.empty()) out += Rows(StudyTable(study), {8, 10, 17, 17, 9, 10, 9, 9}, markdown);
  const std::vector<std::string> failures = FailedRunNotes(study);
  if (!failures.empty()) out += "\n";
  for (const std::string& failure : failures) out += failure + "\n";
  if (!study.sweep.empty()) out += SweepPart(study, markdown);
  if (study.reference.valid() && !study.runs.empty()) {
    out += "\nFitted orders (over the last rows dominated by truncation):\n";
    for (const Method method : StudyMethods(study))
      out += (markdown ? "- " : "  ") + Name(method) + ": " + OrderText(study, method) + "\n";
  }
  return out;
}

}  // namespace

std::string_view MarkName(Mark mark) {
  switch (mark) {
    case Mark::Ok:
      return "ok";
    case Mark::RoundOff:
      return "round-off";
    case Mark::Overflow:
      return "overflow";
    case Mark::Domain:
      return "domain-error";
    case Mark::NoConvergence:
      return "no-convergence";
    case Mark::NoReference:
      return "no-reference";
    case Mark::StoppedShort:
      return "stopped-short";
    case Mark::First:
    case Mark::Pending:
      break;
  }
  return "first";
}

StudyTableCells StudyTable(const Study& study) {
  StudyTableCells table;
  table.header = {"method", "N", "y1", "y2", "error", "truncation", "rounding", "order"};
  auto compact = [](double value) { return ScientificText(value, 2); };
  for (const StudyRun& run : study.runs) {
    const bool values = !run.failed();
    const bool error = values && run.mark != Mark::NoReference;
    const bool note = run.mark != Mark::First && run.mark != Mark::Ok;
    table.rows.push_back({std::string(Info(run.method).id), WholeText(run.N), values ? SignificantText(run.y1, 10) : "",
                          values ? SignificantText(run.y2, 10) : "", error ? compact(run.error) : "",
                          error ? compact(run.truncation) : "", values ? compact(run.rounding) : "",
                          run.order ? FixedText(*run.order, 2, ".")
                          : note    ? std::string(MarkName(run.mark))
                                    : ""});
  }
  return table;
}

std::string_view SweepMarkName(Mark mark) { return mark == Mark::RoundOff ? "not-honoured" : MarkName(mark); }

StudyTableCells SweepTable(const Study& study) {
  StudyTableCells table;
  const bool timed = study.against == Against::Seconds;
  table.header = {"method", "tolerance", "steps", "rejected", "evaluations", "error", "truncation", "rounding"};
  if (timed) table.header.emplace_back("seconds");
  auto compact = [](double value) { return ScientificText(value, 2); };
  for (const SweepRun& run : study.sweep) {
    const bool values = run.mark == Mark::Ok || run.mark == Mark::RoundOff;
    std::vector<std::string> cells{std::string(Info(run.method).id),
                                   ToleranceText(run.tolerance),
                                   WholeText(run.steps),
                                   WholeText(run.rejected),
                                   WholeText(run.evaluations),
                                   values ? compact(run.error) : std::string(SweepMarkName(run.mark)),
                                   values ? compact(run.truncation) : "",
                                   values ? compact(run.rounding) : ""};
    if (timed) cells.push_back(values ? ScientificText(run.seconds, 2) : "");
    table.rows.push_back(std::move(cells));
  }
  return table;
}

std::vector<std::string> SweepNotes(const Study& study) {
  std::vector<std::string> notes;
  std::string dominated;
  for (const SweepRun& run : study.sweep) {
    const std::string which = Name(run.method) + ", tolerance " + ToleranceText(run.tolerance);
    if (run.mark == Mark::RoundOff) dominated += (dominated.empty() ? "" : "; ") + which;
    if (run.mark == Mark::Overflow || run.mark == Mark::StoppedShort || run.mark == Mark::Domain)
      notes.push_back(which + ": " + run.failure);
  }
  if (!dominated.empty())
    notes.push_back("Not honoured in double (rounding dominates the error, so they are not drawn): " + dominated + ".");
  if (study.reference.valid()) {
    std::string slopes = "The error against the tolerance:";
    const std::vector<Method> methods = SweepMethods(study);
    for (const Method method : methods) {
      const std::optional<double> slope = ToleranceSlope(study, method);
      slopes += std::string(method == methods.front() ? " " : "; ") + std::string(Info(method).id) + " " +
                (slope ? "\xE2\x88\x9D tolerance^" + FixedText(*slope, 2, ".") : "too few runs honoured");
    }
    notes.push_back(std::move(slopes));
  }
  return notes;
}

std::vector<std::string> FailedRunNotes(const Study& study) {
  std::vector<std::string> lines;
  for (const StudyRun& run : study.runs)
    if (run.failed()) lines.push_back(Name(run.method) + ", N = " + WholeText(run.N) + ": " + run.failure);
  return lines;
}

std::string NoReferenceText(const Study& study) {
  return NoReferenceText(*study.problem, study.x1, study.reference.stop, study.reference.reached,
                         study.reference.last_step, "the runs have no error to measure");
}

std::string NoReferenceText(const Problem& problem, double x1, Reference::Stop stop, double reached_x, double last_step,
                            std::string_view consequence) {
  const std::string x1_text = RoundTripText(x1);
  const std::string so = ", so " + std::string(consequence) + ".";
  if (const std::optional<Bracket> pole = problem.SingularityBefore(x1)) {
    return "No reference: the solution of this system grows without bound near " + SingularityText(*pole, x1) +
           ", before x1 = " + x1_text + so;
  }
  const std::string reached = "x \xE2\x89\x88 " + TextApartFrom(reached_x, x1);
  if (stop == Reference::Stop::OverBudget) {
    return "No reference: it came as far as " + reached + ", where its series needs steps of about " +
           ScientificText(last_step, 0) + "; going on to x1 = " + x1_text + " would take too long" + so;
  }
  return "No reference: the solution cannot be continued past " + reached + ", before x1 = " + x1_text + so;
}

std::string FailedRunsSummary(const Study& study) {
  const auto count = [&](Mark mark) {
    return std::count_if(study.runs.begin(), study.runs.end(), [mark](const StudyRun& r) { return r.mark == mark; });
  };
  const auto overflows = count(Mark::Overflow);
  const auto domain = count(Mark::Domain);
  const auto newton = count(Mark::NoConvergence);
  if (overflows + domain + newton == 0) return {};
  const auto plural = [](std::ptrdiff_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
  };
  std::string summary = std::to_string(overflows + domain + newton) + " of " +
                        plural(static_cast<std::ptrdiff_t>(study.runs.size()), "run", "runs") + " failed: ";
  if (overflows > 0) summary += plural(overflows, "overflow", "overflows");
  if (overflows > 0 && domain > 0) summary += ", ";
  if (domain > 0) summary += plural(domain, "domain error", "domain errors");
  if (newton > 0)
    summary += std::string(overflows + domain > 0 ? ", " : "") + plural(newton, "Newton failure", "Newton failures");
  return summary;
}

std::vector<std::string> StudyNotes(const Study& study) {
  std::vector<std::string> notes;
  if (!study.reference.valid()) notes.push_back(NoReferenceText(study));
  if (const std::string summary = FailedRunsSummary(study); !summary.empty()) notes.push_back(summary);
  for (std::string& failure : FailedRunNotes(study)) notes.push_back(std::move(failure));
  if (!study.sweep.empty())
    for (std::string& note : SweepNotes(study)) notes.push_back(std::move(note));
  if (study.reference.valid() && !study.runs.empty()) {
    std::string orders = "Fitted orders:";
    const std::vector<Method> methods = StudyMethods(study);
    for (const Method method : methods)
      orders += std::string(method == methods.front() ? " " : "; ") + std::string(Info(method).id) + " " +
                OrderText(study, method);
    notes.push_back(std::move(orders));
  }
  return notes;
}

std::string OrderText(const Study& study, Method method) {
  const std::optional<double> order = FittedOrder(study, method);
  // A typed tableau's order from its order conditions, beside what was observed.
  const std::string claimed = Added(method) != nullptr ? " (tableau: " + std::to_string(Info(method).order) + ")" : "";
  return (order ? "order " + FixedText(*order, 2, ".") : "no order: fewer than two rows dominated by truncation") +
         claimed;
}

Outcome<ReportFormat> ReadReportFormat(std::string_view name) {
  if (name == "text") return ReportFormat::Text;
  if (name == "csv") return ReportFormat::Csv;
  if (name == "markdown") return ReportFormat::Markdown;
  Failure failure;
  failure.where.field = Field::Format;
  failure.text = "unknown format " + Excerpt(name) + " (use " + Choices({"text", "csv", "markdown"}) + ")";
  return failure;
}

std::string StudyReport(const Study& study, ReportFormat format) {
  return format == ReportFormat::Csv ? Csv(study) : Table(study, format == ReportFormat::Markdown);
}

}  // namespace kavrin
