#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "core/problem.h"
#include "core/solution_tables.h"
#include "ode/method_table.h"

namespace kavrin {

// The most steps a calculation takes: N + 1 must round to a 32-bit index.
inline constexpr std::int64_t kMaxSteps = 2147483646;

// The five input texts of one calculation.
struct InputTexts {
  std::string x0;
  std::string y1_0;
  std::string y2_0;
  std::string x1;
  std::string N;
};

// The problem's start as its texts show it, with the given target point and
// steps.
InputTexts PressTexts(const Problem& problem, std::string x1, std::string N);

// Where a result line came from: the texts as typed, the numbers as read,
// and the values it shows (the last step's), for saving and copying.
struct ResultRecord {
  std::string x1_text;
  std::string N_text;
  double x1 = 0;
  double N = 0;
  double h = 0;
  Method method = Method::Euler;
  double x = 0;
  double y1 = 0;
  double y2 = 0;
  std::string system;   // "built-in", or the own system's description
  std::string warning;  // the values lie past a singularity: why they are not a solution
};

// The records as CSV, RFC 4180: the header x1_text,N_text,x1,N,h,method,x,
// y1,y2,system, then a row per record, the numbers in shortest round-trip
// form with "." and the method by its result-line name.
std::string ResultsCsv(const std::vector<ResultRecord>& records);

// The press engine: N, the target point, the solution tables, the result
// lines and the step-size text of the presses so far. Every failure is a
// thrown Failure, after the state holds exactly what was done up to that
// point.
class Calculation {
 public:
  using MemoryProbe = std::function<std::uint64_t()>;

  // Memory kept free for the rest of the program when the tables are sized.
  static constexpr std::uint64_t kMemoryReserve = 64ull << 20;

  // `available_memory` tells how many bytes the machine can still provide;
  // by default the system is asked.
  explicit Calculation(MemoryProbe available_memory = {});

  // One press of "CALCULATE": reads the five texts, stores N and x1,
  // computes h and its text, sizes the tables for N steps, marches with
  // `method` from (x0, y1(0), y2(0)) by h, and appends the result line and a
  // blank line. An own system starts from its own start, exactly: the texts
  // of x0, y1(0) and y2(0) are read for the built-in system only.
  void Calculate(const InputTexts& texts, Method method, std::string_view decimal_separator,
                 const Problem& problem = *BuiltInProblem());

  double N() const noexcept { return m_N; }
  // The last press's target point, which the plot spans.
  double x1() const noexcept { return m_x1; }
  const SolutionTables& tables() const noexcept { return m_tables; }
  // How many times the tables have been made anew: a picture drawn from them
  // is theirs while this stays the same.
  std::uint64_t tables_generation() const noexcept { return m_tables_generation; }
  const std::vector<std::string>& lines() const noexcept { return m_lines; }
  // One record per result line: records()[i] belongs to lines()[2 * i].
  const std::vector<ResultRecord>& records() const noexcept { return m_records; }
  const std::string& step_text() const noexcept { return m_step_text; }
  // After a calculation that succeeded: a note that its values lie at or
  // past a singularity of the solution and approximate nothing, or empty.
  const std::string& warning() const noexcept { return m_warning; }

 private:
  // The marching driver: the tables, the march, the line, the warning.
  void MarchAndShow(const State<double>& start, double h, Method method, std::string_view decimal_separator,
                    const Problem& problem);
  void SizeTables();
  std::size_t MarchSteps(const State<double>& start, std::size_t steps, double h, Method method,
                         const Problem& problem);
  [[noreturn]] void ThrowMarchFailure(std::size_t failed, double h, Method method, const Problem& problem) const;
  // Where the last step lands, were it exact: x1 for a whole N, else the
  // start moved by the whole steps taken.
  double Reached(double x0, std::size_t steps, double h) const;
  // Rounds to a whole number, ties to even, as a 32-bit table index; beyond
  // that range it is an overflow, reported as too many steps.
  std::int32_t RoundToIndex(double value) const;
  // A failure of N: its kind, what is wrong and the advice.
  [[noreturn]] void ThrowAboutN(FailureKind kind, const std::string& what, const std::string& advice) const;
  // N in a report: "the number of steps N = 5", or with the typed text when
  // it reads as something other than it looks: N "abc" (read as 0).
  std::string NamedN() const;

  MemoryProbe m_available_memory;
  double m_N = 0;
  double m_x1 = 0;
  std::string m_N_text;  // as typed, for reports
  SolutionTables m_tables;
  std::vector<std::string> m_lines;
  std::vector<ResultRecord> m_records;
  std::uint64_t m_tables_generation = 0;

  std::string m_step_text;
  std::string m_warning;
};

}  // namespace kavrin
