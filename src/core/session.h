#pragma once

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/calculation.h"
#include "core/failure.h"
#include "core/problem.h"
#include "core/requests.h"
#include "core/study.h"

namespace kavrin {

// A press as a face collects it: x1 and N as typed, the method, the
// decimal separator of the user's locale (for h and the line) and, where a
// face shows the start in boxes of its own, their texts.
struct PressRequest {
  std::string x1 = kDefaultX1;
  std::string N = kDefaultN;
  Method method = Method::Euler;
  std::string decimal_separator = ".";
  // x0, y1(0) and y2(0) as shown, read for the built-in system; none: the
  // problem's own texts.
  std::optional<std::array<std::string, 3>> shown_start;
};

// What a press gives back. A failure keeps what was done before it: the step
// size is shown once it was formed, even when the march then failed.
struct PressResult {
  // The step size to show: this press's once formed, else the last one's.
  std::string step_text;
  std::vector<std::string> lines;  // the result line and a blank line; none after a failure
  // The values lie at or past a singularity of the solution and approximate
  // nothing: "these values are not a solution: ..."; empty when they do.
  std::string warning;
  std::optional<Failure> failure;
};

// One user's work with the program, as every face holds it: the accepted
// problem and the results of every press. Each face only collects input,
// calls the session and shows what comes back.
class Session {
 public:
  explicit Session(Calculation::MemoryProbe available_memory = {});

  // The problem the presses integrate: the built-in one until another is
  // accepted.
  const std::shared_ptr<const Problem>& problem() const { return m_problem; }
  // Accepts the problem of these texts (the built-in system's own texts
  // choose the built-in one); when one does not read, nothing changes.
  std::optional<Failure> Accept(const SystemTexts& texts);
  void UseBuiltIn();

  // One press of "CALCULATE".
  PressResult Press(const PressRequest& request);
  // The last press's N, x1 and tables, which the picture shows, and every
  // line so far.
  const Calculation& calculation() const { return m_calculation; }
  const std::vector<ResultRecord>& results() const { return m_calculation.records(); }
  std::string ResultsCsv() const;

  // A study of the session's problem, read from the texts a face collected.
  Outcome<StudyRequest> ReadStudy(const StudyTexts& texts) const;

 private:
  std::shared_ptr<const Problem> m_problem;
  Calculation m_calculation;
};

}  // namespace kavrin
