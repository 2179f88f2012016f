#include "core/problem.h"

#include "core/number_text.h"

namespace kavrin {
namespace {

// The products of an equation as a reader writes them: "y1·y2 + x".
std::string Readable(const std::string& equation) {
  std::string out;
  for (const char c : equation) out += c == '*' ? std::string("\xC2\xB7") : std::string(1, c);
  return out;
}

// The equation without its blanks and products, as the window's fixed title
// writes it: "y1y2+x".
std::string Compact(const std::string& equation) {
  std::string out;
  for (const char c : equation)
    if (c != ' ' && c != '*') out += c;
  return out;
}

}  // namespace

std::string Problem::Title() const { return "y1' = " + texts.f1 + ", y2' = " + texts.f2; }

std::string Problem::ReadableTitle() const { return "y1' = " + Readable(texts.f1) + ", y2' = " + Readable(texts.f2); }

std::string Problem::WindowTitle() const {
  if (built_in())
    return "Kavrin - Simultaneous numerical integration of y1'=" + Compact(texts.f1) + " and y2'=" + Compact(texts.f2) +
           " equations";
  return "Kavrin - " + Title();
}

std::string Problem::Description() const {
  if (built_in()) return "built-in";
  return "y1' = " + texts.f1 + "; y2' = " + texts.f2 + "; x0 = " + texts.x0 + "; y1(0) = " + texts.y10 +
         "; y2(0) = " + texts.y20;
}

std::optional<Bracket> Problem::SingularityBefore(double x) const {
  // No double equals a pole: x is at or past it once it lies beyond its bracket.
  if (x > start.x && pole_ahead && x >= pole_ahead->above) return pole_ahead;
  if (x < start.x && pole_behind && x <= pole_behind->below) return pole_behind;
  return std::nullopt;
}

std::shared_ptr<const Problem> BuiltInProblem() {
  static const std::shared_ptr<const Problem> problem = [] {
    auto p = std::make_shared<Problem>();
    p->texts = BuiltInSystemTexts();
    p->start = BuiltInSystem::kStart;
    p->pole_ahead = BuiltInSystem::kPoleAhead;
    p->pole_behind = BuiltInSystem::kPoleBehind;
    return p;
  }();
  return problem;
}

Outcome<std::shared_ptr<const Problem>> ReadProblem(const SystemTexts& texts) {
  if (texts == BuiltInSystemTexts()) return BuiltInProblem();
  const Outcome<std::shared_ptr<const OwnSystem>> own = ReadSystem(texts);
  if (!own.ok()) return own.failure();
  auto problem = std::make_shared<Problem>();
  problem->texts = texts;
  problem->own = own.value();
  problem->start = own.value()->system.start;
  return std::shared_ptr<const Problem>(std::move(problem));
}

std::string SingularityText(const Bracket& singularity, double x1) {
  // The end of the bracket on the point's side of x1, named apart from x1.
  const double near = x1 >= singularity.above ? singularity.below : singularity.above;
  return "x \xE2\x89\x88 " + TextApartFrom(near, x1);
}

std::optional<Failure> NewtonFailure(const Problem& problem, Method method, const State<double>& before, double h,
                                     std::size_t step) {
  if (method != Method::BackwardEuler && method != Method::ImplicitMidpoint) return std::nullopt;
  const double c = method == Method::BackwardEuler ? 1 : 0.5;
  const bool converges = WithSystem(problem, [&](const auto& system) { return NewtonConverges(system, before, h, c); });
  if (converges) return std::nullopt;
  return Failure{FailureKind::NoConvergence,
                 {Field::None, 0, static_cast<std::int64_t>(step), before.x},
                 {},
                 "Newton's method did not converge in step " + std::to_string(step) +
                     ", which starts at x = " + PlainRoundTripText(before.x) + ".",
                 "Use more steps."};
}

}  // namespace kavrin
