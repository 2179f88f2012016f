#include "core/calculation.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>
#include <new>
#include <optional>

#include "core/number_text.h"
#include "ode/failure.h"
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

// Bytes in whole megabytes (10^6), for failure reports.
std::string Megabytes(std::uint64_t bytes) { return std::to_string((bytes + 500'000) / 1'000'000) + " MB"; }

// The step count to suggest when `usable` bytes can hold the tables: a tenth
// below the most that fit (N + 2 entries), so that what else the program
// needs meanwhile (a thread's stack, the plot) still finds room.
std::string StepsAdvice(std::uint64_t usable) {
  const std::uint64_t fitting = usable / SolutionTables::kBytesPerEntry;
  const std::uint64_t steps = std::min<std::uint64_t>(fitting > 2 ? (fitting - 2) / 10 * 9 : 0, kMaxSteps);
  return steps >= 1 ? " Enter at most " + std::to_string(steps) + " steps." : " Close other programs, then try again.";
}

}  // namespace

std::string ResultsCsv(const std::vector<ResultRecord>& records) {
  // A field in quotes where it holds a comma, a quote or a line break.
  auto field = [](const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string quoted = "\"";
    for (const char c : text) {
      if (c == '"') quoted += '"';
      quoted += c;
    }
    return quoted + '"';
  };
  std::string out = "x1_text,N_text,x1,N,h,method,x,y1,y2,system\r\n";
  for (const ResultRecord& r : records) {
    out += field(r.x1_text) + ',' + field(r.N_text) + ',' + RoundTripText(r.x1) + ',' + RoundTripText(r.N) + ',' +
           RoundTripText(r.h) + ',' + field(std::string(Info(r.method).result_name)) + ',' + RoundTripText(r.x) + ',' +
           RoundTripText(r.y1) + ',' + RoundTripText(r.y2) + ',' + field(r.system) + "\r\n";
  }

  return out;
}

InputTexts BuiltInTexts(std::string x1, std::string N) {
  constexpr State<double> start = BuiltInSystem::kStart;
  return {RoundTripText(start.x), RoundTripText(start.y1), RoundTripText(start.y2), std::move(x1), std::move(N)};
}

std::optional<double> PoleBefore(double x1, double h) {
  if (h > 0 && x1 >= BuiltInSystem::kPoleAhead) return BuiltInSystem::kPoleAhead;
  if (h < 0 && x1 <= BuiltInSystem::kPoleBehind) return BuiltInSystem::kPoleBehind;
  return std::nullopt;
}

std::string PoleText(double pole) { return "x \xE2\x89\x88 " + SignificantText(pole, 5); }

Calculation::Calculation(MemoryProbe available_memory)
    : m_available_memory(available_memory ? std::move(available_memory) : MemoryProbe(AvailableMemory)) {}

std::int32_t Calculation::RoundToIndex(double value) const {
  const double rounded = std::nearbyint(value);
  if (!(rounded >= kInt32Min && rounded <= kInt32Max)) {
    throw Failure(FailureKind::Overflow, NamedN() + " is too large: Kavrin takes at most " + std::to_string(kMaxSteps) +
                                             " steps. Enter a smaller number of steps.");
  }
  return static_cast<std::int32_t>(rounded);
}

std::string Calculation::NamedN() const {
  if (!IsPlainNumber(m_N_text))
    return "the number of steps N " + QuotedInput(m_N_text) + " (read as " + ShortestText(m_N) + ")";
  return "the number of steps N = " + ShortestText(m_N);
}

void Calculation::Calculate(const InputTexts& texts, Method method, std::string_view decimal_separator,
                            const OwnSystem* system) {
  m_warning.clear();
  // An own system's start is its own, exactly; the built-in one's is read
  // from the texts as the window shows them.
  const double x0 = system != nullptr ? system->system.start.x : ReadNumber(texts.x0, "the start x0");
  const double y1_0 = system != nullptr ? system->system.start.y1 : ReadNumber(texts.y1_0, "the initial value y1(0)");
  const double y2_0 = system != nullptr ? system->system.start.y2 : ReadNumber(texts.y2_0, "the initial value y2(0)");
  const double x1 = ReadNumber(texts.x1, "the target point x1");
  m_N = ReadNumber(texts.N, "the number of steps N");
  m_N_text = texts.N;
  m_x1 = x1;

  const double difference = x1 - x0;
  if (!std::isfinite(difference)) {
    throw Failure(FailureKind::Overflow, "the target point x1 = " + ShortestText(x1) +
                                             " lies too far from x0 = " + ShortestText(x0) +
                                             ": their distance is too large to compute with. Enter a target "
                                             "point nearer to x0.");
  }
  if (m_N == 0) {
    const std::string n = IsPlainNumber(texts.N) ? std::string("the number of steps N is 0")
                                                 : "the number of steps N " + QuotedInput(texts.N) + " reads as 0";
    throw Failure(FailureKind::DivisionByZero, n + ", and the step size is the distance from x0 to x1 divided by N. "
                                                   "Enter a number of steps of 1 or more.");
  }
  const double h = difference / m_N;
  if (!std::isfinite(h)) {
    throw Failure(FailureKind::Overflow, NamedN() +
                                             " is so small that the step size, the distance from x0 to x1 divided "
                                             "by N, is too large to compute with. Enter a number of steps of 1 or "
                                             "more.");
  }

  m_step_text = FormatStepSize(h, decimal_separator);
  Numerical({x0, y1_0, y2_0}, h, method, decimal_separator, system);
  const auto last = static_cast<std::int64_t>(m_N >= 1 ? std::floor(m_N) : 0);
  m_records.push_back({texts.x1, texts.N, x1, m_N, h, method, m_tables.x(last), m_tables.y1(last), m_tables.y2(last),
                       system != nullptr ? system->Description() : std::string("built-in")});
}

void Calculation::SizeTables() {
  const std::int32_t upper = RoundToIndex(m_N + 1);
  if (upper < 0) ThrowNegativeN();
  const std::uint64_t entries = static_cast<std::uint64_t>(upper) + 1;
  const std::uint64_t needed = entries * SolutionTables::kBytesPerEntry;
  // The current tables are freed before the new ones are made, so they count
  // as free; every sum saturates, an unknown amount being the largest.
  const std::uint64_t available = m_available_memory();
  const std::uint64_t spare = available > kMemoryReserve ? available - kMemoryReserve : 0;
  const std::uint64_t usable = spare > kUnlimited - m_tables.bytes() ? kUnlimited : spare + m_tables.bytes();
  if (needed > usable || needed > SolutionTables::kMaxBytes) {
    const std::uint64_t can = std::min(usable, SolutionTables::kMaxBytes);
    throw Failure(FailureKind::OutOfMemory, NamedN() + " needs " + Megabytes(needed) +
                                                " for the solution, but the machine can provide only " +
                                                Megabytes(can) + "." + StepsAdvice(can));
  }
  ++m_tables_generation;
  try {
    m_tables.Reset(static_cast<std::size_t>(entries));
  } catch (const std::bad_alloc&) {
    // More than the probe foresaw is taken: suggest what can be had now.
    const std::uint64_t can = SolutionTables::LargestBlock(needed);
    throw Failure(FailureKind::OutOfMemory, NamedN() + " needs " + Megabytes(needed) +
                                                " for the solution, which the machine could not provide." +
                                                StepsAdvice(can));
  }
}

void Calculation::ThrowNegativeN() const {
  throw Failure(FailureKind::IndexOutOfRange, NamedN() +
                                                  " is negative, so there is no last step to show. Enter a number "
                                                  "of steps of 1 or more.");
}

void Calculation::Numerical(const State<double>& start, double h, Method method, std::string_view decimal_separator,
                            const OwnSystem* system) {
  SizeTables();
  const MarchArrays<double> arrays{m_tables.x_data(), m_tables.y1_data(), m_tables.y2_data()};
  arrays.x[0] = start.x;
  arrays.y1[0] = start.y1;
  arrays.y2[0] = start.y2;
  m_tables.set_filled(1);

  // Steps i = 1, 2, ... while i <= N: none when N < 1.
  const std::size_t steps = m_N >= 1 ? static_cast<std::size_t>(std::floor(m_N)) : 0;
  std::size_t failed = 0;
  {
    // Fresh memory is faulted in by a second thread ahead of the march; it
    // stops and is joined when the march ends, either way.
    std::optional<PageToucher> toucher;
    if (m_tables.fresh() && steps >= kToucherSteps) {
      double* const starts[3] = {arrays.x, arrays.y1, arrays.y2};
      toucher.emplace(starts, steps + 1);
    }
    failed = WithSystem(system, [&](const auto& equations) {
      return WithStep(method, [&](auto step) { return March<decltype(step)>(equations, arrays, steps, h); });
    });
  }
  m_tables.set_filled(failed != 0 ? failed : steps + 1);
  if (failed != 0) {
    const State<double> before{arrays.x[failed - 1], arrays.y1[failed - 1], arrays.y2[failed - 1]};
    const std::string where = "in step " + std::to_string(failed) + ", which starts at x = " + ShortestText(before.x);
    // An own system's step is looked at again to tell what left the numbers.
    const std::optional<Fault> fault =
        system != nullptr ? StepFault(*system, method, before, h) : std::optional<Fault>();
    if (fault && fault->kind != FailureKind::Overflow) {
      throw Failure(fault->kind, "the equations meet " + fault->what + " " + where +
                                     ". Enter a target point x1 before that, or another start.");
    }
    // Past the built-in system's pole more steps cannot help; before it they can.
    const std::optional<double> pole = system == nullptr ? PoleBefore(m_x1, h) : std::nullopt;
    throw Failure(FailureKind::Overflow,
                  "the solution grew too large to compute with " + where + ". " +
                      (pole ? "The solution of this system grows without bound near " + PoleText(*pole) +
                                  ": enter a target point x1 before it."
                            : std::string("Enter a target point x1 nearer to the start, or more steps.")));
  }

  // The line shows the values after the last step taken; N rounding below 0
  // names an entry that does not exist.
  if (RoundToIndex(m_N) < 0) ThrowNegativeN();
  const auto last = static_cast<std::int64_t>(steps);
  m_lines.push_back(
      ResultLine(m_tables.x(last), m_tables.y1(last), m_tables.y2(last), Info(method).result_name, decimal_separator));
  m_lines.push_back(" ");
  // Values beyond the pole are finite only because the steps jumped it.
  if (const std::optional<double> pole = system != nullptr ? std::nullopt : PoleBefore(m_tables.x(last), h)) {
    m_warning = "these values are not a solution: the solution of this system grows without bound near " +
                PoleText(*pole) + ", before x1 = " + ShortestText(m_x1) + ".";
  }
}

}  // namespace kavrin
