#include "core/session.h"

namespace kavrin {

Session::Session(Calculation::MemoryProbe available_memory)
    : m_problem(BuiltInProblem()), m_calculation(std::move(available_memory)) {}

std::optional<Failure> Session::Accept(const SystemTexts& texts) {
  Outcome<std::shared_ptr<const Problem>> read = ReadProblem(texts);
  if (!read.ok()) return read.failure();
  m_problem = std::move(read.value());
  return std::nullopt;
}

void Session::UseBuiltIn() { m_problem = BuiltInProblem(); }

PressResult Session::Press(const PressRequest& request) {
  InputTexts texts = PressTexts(*m_problem, request.x1, request.N);
  if (request.shown_start) {
    texts.x0 = (*request.shown_start)[0];
    texts.y1_0 = (*request.shown_start)[1];
    texts.y2_0 = (*request.shown_start)[2];
  }
  const std::size_t lines_before = m_calculation.lines().size();
  PressResult result;
  result.failure =
      Caught([&] { m_calculation.Calculate(texts, request.method, request.decimal_separator, *m_problem); });
  result.step_text = m_calculation.step_text();
  const std::vector<std::string>& lines = m_calculation.lines();
  result.lines.assign(lines.begin() + static_cast<std::ptrdiff_t>(lines_before), lines.end());
  if (!result.failure) result.warning = m_calculation.warning();
  return result;
}

std::string Session::ResultsCsv() const { return kavrin::ResultsCsv(m_calculation.records()); }

Outcome<StudyRequest> Session::ReadStudy(const StudyTexts& texts) const { return ReadStudyRequest(m_problem, texts); }

}  // namespace kavrin
