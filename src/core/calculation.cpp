#include "core/calculation.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>
#include <new>
#include <optional>

#include "core/number_text.h"
#include "ode/march.h"
#include "platform/memory.h"

namespace kavrin {
namespace {

// From this many steps on, the tables' fresh pages are faulted in by a second
// thread during the march; below it the first touch costs too little.
constexpr std::size_t kToucherSteps = std::size_t{1} << 20;

constexpr double kInt32Min = std::numeric_limits<std::int32_t>::min();
constexpr double kInt32Max = std::numeric_limits<std::int32_t>::max();
constexpr std::uint64_t kUnlimited = std::numeric_limits<std::uint64_t>::max();

constexpr char kOneOrMoreSteps[] = "Enter a number of steps of 1 or more.";

// Bytes in whole megabytes (10^6), for failure reports.
std::string Megabytes(std::uint64_t bytes) { return std::to_string((bytes + 500'000) / 1'000'000) + " MB"; }

// The step count to suggest when `usable` bytes can hold the tables: a tenth
// below the most that fit (N + 2 entries), so that what else the program
// needs meanwhile (a thread's stack, the plot) still finds room.
std::string StepsAdvice(std::uint64_t usable) {
  const std::uint64_t fitting = usable / SolutionTables::kBytesPerEntry;
  const std::uint64_t steps = std::min<std::uint64_t>(fitting > 2 ? (fitting - 2) / 10 * 9 : 0, kMaxSteps);
  return steps >= 1 ? "Enter at most " + std::to_string(steps) + " steps." : "Close other programs, then try again.";
}

// A field of a CSV row, in quotes where it holds a comma, a quote or a line break.
std::string CsvField(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string quoted = "\"";
  for (const char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + '"';
}

}  // namespace

std::string ResultsCsv(const std::vector<ResultRecord>& records) {
  std::string out = "x1_text,N_text,x1,N,h,method,x,y1,y2,system\r\n";
  for (const ResultRecord& r : records) {
    out += CsvField(r.x1_text) + ',' + CsvField(r.N_text) + ',' + RoundTripText(r.x1) + ',' + RoundTripText(r.N) + ',' +
           RoundTripText(r.h) + ',' + CsvField(std::string(Info(r.method).result_name)) + ',' + RoundTripText(r.x) +
           ',' + RoundTripText(r.y1) + ',' + RoundTripText(r.y2) + ',' + CsvField(r.system) + "\r\n";
  }
  return out;
}

InputTexts PressTexts(const Problem& problem, std::string x1, std::string N) {
  return {problem.texts.x0, problem.texts.y10, problem.texts.y20, std::move(x1), std::move(N)};
}

Calculation::Calculation(MemoryProbe available_memory)
    : m_available_memory(available_memory ? std::move(available_memory) : MemoryProbe(AvailableMemory)) {}

void Calculation::ThrowAboutN(FailureKind kind, const std::string& what, const std::string& advice) const {
  throw Failure{kind, {Field::N}, IsPlainNumber(m_N_text) ? std::string() : PlainRoundTripText(m_N), what, advice};
}

std::int32_t Calculation::RoundToIndex(double value) const {
  const double rounded = std::nearbyint(value);
  if (!(rounded >= kInt32Min && rounded <= kInt32Max)) {
    ThrowAboutN(FailureKind::Overflow,
                NamedN() + " is too large: Kavrin takes at most " + std::to_string(kMaxSteps) + " steps.",
                "Enter a smaller number of steps.");
  }
  return static_cast<std::int32_t>(rounded);
}

std::string Calculation::NamedN() const {
  if (!IsPlainNumber(m_N_text))
    return "the number of steps N " + QuotedInput(m_N_text) + " (read as " + PlainRoundTripText(m_N) + ")";
  return "the number of steps N = " + PlainRoundTripText(m_N);
}

void Calculation::Calculate(const InputTexts& texts, Method method, std::string_view decimal_separator,
                            const Problem& problem) {
  m_warning.clear();
  // An own system's start is its own, exactly; the built-in one's is read
  // from the texts as the window shows them.
  const bool own = !problem.built_in();
  const double x0 = own ? problem.start.x : ReadNumber(texts.x0, "the start x0", Field::X0);
  const double y1_0 = own ? problem.start.y1 : ReadNumber(texts.y1_0, "the initial value y1(0)", Field::Y10);
  const double y2_0 = own ? problem.start.y2 : ReadNumber(texts.y2_0, "the initial value y2(0)", Field::Y20);
  const double x1 = ReadNumber(texts.x1, "the target point x1", Field::X1);
  m_N = ReadNumber(texts.N, "the number of steps N", Field::N);
  m_N_text = texts.N;
  m_x1 = x1;

  const double difference = x1 - x0;
  if (!std::isfinite(difference)) {
    throw Failure{FailureKind::Overflow,
                  {Field::X1},
                  {},
                  "the target point x1 = " + PlainRoundTripText(x1) + " lies too far from x0 = " +
                      PlainRoundTripText(x0) + ": their distance is too large to compute with.",
                  "Enter a target point nearer to x0."};
  }
  if (m_N == 0) {
    const std::string n = IsPlainNumber(texts.N) ? std::string("the number of steps N is 0")
                                                 : "the number of steps N " + QuotedInput(texts.N) + " reads as 0";
    ThrowAboutN(FailureKind::DivisionByZero, n + ", and the step size is the distance from x0 to x1 divided by N.",
                kOneOrMoreSteps);
  }
  const double h = difference / m_N;
  if (!std::isfinite(h)) {
    ThrowAboutN(FailureKind::Overflow,
                NamedN() +
                    " is so small that the step size, the distance from x0 to x1 divided by N, is too large to "
                    "compute with.",
                kOneOrMoreSteps);
  }

  m_step_text = FormatStepSize(h, decimal_separator);
  MarchAndShow({x0, y1_0, y2_0}, h, method, decimal_separator, problem);
  const auto last = static_cast<std::int64_t>(m_N >= 1 ? std::floor(m_N) : 0);
  m_records.push_back({texts.x1, texts.N, x1, m_N, h, method, m_tables.x(last), m_tables.y1(last), m_tables.y2(last),
                       problem.Description(), m_warning});
}

void Calculation::SizeTables() {
  const std::int32_t upper = RoundToIndex(m_N + 1);
  if (upper < 0)
    ThrowAboutN(FailureKind::IndexOutOfRange, NamedN() + " is negative, so there is no last step to show.",
                kOneOrMoreSteps);
  const std::uint64_t entries = static_cast<std::uint64_t>(upper) + 1;
  const std::uint64_t needed = entries * SolutionTables::kBytesPerEntry;
  // The current tables are freed before the new ones are made, so they count
  // as free; every sum saturates, an unknown amount being the largest.
  const std::uint64_t available = m_available_memory();
  const std::uint64_t spare = available > kMemoryReserve ? available - kMemoryReserve : 0;
  const std::uint64_t usable = spare > kUnlimited - m_tables.bytes() ? kUnlimited : spare + m_tables.bytes();
  if (needed > usable || needed > SolutionTables::kMaxBytes) {
    const std::uint64_t can = std::min(usable, SolutionTables::kMaxBytes);
    ThrowAboutN(FailureKind::OutOfMemory,
                NamedN() + " needs " + Megabytes(needed) + " for the solution, but the machine can provide only " +
                    Megabytes(can) + ".",
                StepsAdvice(can));
  }
  ++m_tables_generation;
  try {
    m_tables.Reset(static_cast<std::size_t>(entries));
  } catch (const std::bad_alloc&) {
    // More than the probe foresaw is taken: suggest what can be had now.
    ThrowAboutN(FailureKind::OutOfMemory,
                NamedN() + " needs " + Megabytes(needed) + " for the solution, which the machine could not provide.",
                StepsAdvice(SolutionTables::LargestBlock(needed)));
  }
}

std::size_t Calculation::MarchSteps(const State<double>& start, std::size_t steps, double h, Method method,
                                    const Problem& problem) {
  const MarchArrays<double> arrays{m_tables.x_data(), m_tables.y1_data(), m_tables.y2_data()};
  arrays.x[0] = start.x;
  arrays.y1[0] = start.y1;
  arrays.y2[0] = start.y2;
  m_tables.set_filled(1);
  // Fresh memory is faulted in by a second thread ahead of the march; it
  // stops and is joined when the march ends, either way.
  std::optional<PageToucher> toucher;
  if (m_tables.fresh() && steps >= kToucherSteps) {
    double* const starts[3] = {arrays.x, arrays.y1, arrays.y2};
    toucher.emplace(starts, steps + 1);
  }
  return WithSystem(problem, [&](const auto& equations) {
    return WithStep(method, [&](auto step) { return March(step, equations, arrays, steps, h); });
  });
}

double Calculation::Reached(double x0, std::size_t steps, double h) const {
  return static_cast<double>(steps) == m_N ? m_x1 : x0 + static_cast<double>(steps) * h;
}

void Calculation::ThrowMarchFailure(std::size_t failed, double h, Method method, const Problem& problem) const {
  const State<double> before{m_tables.x(static_cast<std::int64_t>(failed) - 1),
                             m_tables.y1(static_cast<std::int64_t>(failed) - 1),
                             m_tables.y2(static_cast<std::int64_t>(failed) - 1)};
  const Where where{Field::None, 0, static_cast<std::int64_t>(failed), before.x};
  const std::string in_step =
      "in step " + std::to_string(failed) + ", which starts at x = " + PlainRoundTripText(before.x);
  if (std::optional<Failure> newton = NewtonFailure(problem, method, before, h, failed)) throw *newton;
  // An own system's step is looked at again to tell what left the numbers.
  const std::optional<Fault> fault =
      problem.own != nullptr ? StepFault(*problem.own, method, before, h) : std::optional<Fault>();
  if (fault && fault->kind != FailureKind::Overflow) {
    // At the start itself no target point can help.
    if (const std::optional<Fault> at_start = failed == 1 ? PointFault(*problem.own, before) : std::nullopt) {
      throw Failure{
          at_start->kind,
          where,
          {},
          "the equations meet " + at_start->what + " at the start itself, x0 = " + PlainRoundTripText(before.x) +
              ", y1(0) = " + PlainRoundTripText(before.y1) + ", y2(0) = " + PlainRoundTripText(before.y2) + ".",
          "Enter another start x0, y1(0), y2(0), one where the equations are defined."};
    }
    throw Failure{fault->kind,
                  where,
                  {},
                  "the equations meet " + fault->what + " " + in_step + ".",
                  "Enter a target point x1 before that, or another start."};
  }
  // Past a singularity more steps cannot help; before it they can.
  const std::size_t steps = m_N >= 1 ? static_cast<std::size_t>(std::floor(m_N)) : 0;
  const std::optional<Bracket> pole = problem.SingularityBefore(Reached(m_tables.x(0), steps, h));
  throw Failure{FailureKind::Overflow,
                where,
                {},
                "the solution grew too large to compute with " + in_step + ".",
                pole ? "The solution of this system grows without bound near " + SingularityText(*pole, m_x1) +
                           ": enter a target point x1 before it."
                     : std::string("Enter a target point x1 nearer to the start, or more steps.")};
}

void Calculation::MarchAndShow(const State<double>& start, double h, Method method, std::string_view decimal_separator,
                               const Problem& problem) {
  SizeTables();
  // Steps i = 1, 2, ... while i <= N: none when N < 1.
  const std::size_t steps = m_N >= 1 ? static_cast<std::size_t>(std::floor(m_N)) : 0;
  const std::size_t failed = MarchSteps(start, steps, h, method, problem);
  m_tables.set_filled(failed != 0 ? failed : steps + 1);
  if (failed != 0) ThrowMarchFailure(failed, h, method, problem);

  // The line shows the values after the last step taken; N rounding below 0
  // names an entry that does not exist.
  if (RoundToIndex(m_N) < 0)
    ThrowAboutN(FailureKind::IndexOutOfRange, NamedN() + " is negative, so there is no last step to show.",
                kOneOrMoreSteps);
  const auto last = static_cast<std::int64_t>(steps);
  m_lines.push_back(
      ResultLine(m_tables.x(last), m_tables.y1(last), m_tables.y2(last), Info(method).result_name, decimal_separator));
  m_lines.push_back(" ");
  // Values at or past a singularity are finite only because the steps jumped it.
  if (const std::optional<Bracket> pole = problem.SingularityBefore(Reached(start.x, steps, h))) {
    m_warning = "these values are not a solution: the solution of this system grows without bound near " +
                SingularityText(*pole, m_x1) + ", before x1 = " + PlainRoundTripText(m_x1) + ".";
  }
}

}  // namespace kavrin
