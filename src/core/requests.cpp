#include "core/requests.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <functional>

#include "core/adaptive_run.h"
#include "core/calculation.h"
#include "core/methods.h"
#include "core/number_text.h"
#include "core/text.h"

namespace kavrin {
namespace {

Failure Wrong(Field field, std::string text) {
  Failure failure;
  failure.kind = FailureKind::WrongInput;
  failure.where.field = field;
  failure.text = std::move(text);
  return failure;
}

// The parts of a list between its commas.
std::vector<std::string_view> Split(std::string_view text) {
  std::vector<std::string_view> parts;
  for (std::size_t start = 0;;) {
    const std::size_t comma = text.find(',', start);
    parts.push_back(text.substr(start, comma == std::string_view::npos ? text.npos : comma - start));
    if (comma == std::string_view::npos) return parts;
    start = comma + 1;
  }
}

}  // namespace

Outcome<double> ReadStepCount(std::string_view part, std::string_view taker) {
  const std::string quoted = QuotedInput(part);
  const std::string takes = " " + std::string(taker) + " takes ";
  const std::string too_large = quoted + " is too large:" + takes + "at most " + std::to_string(kMaxSteps) + " steps.";
  double n = 0;
  if (Caught([&] { n = ReadNumber(part, "the step count"); })) return Wrong(Field::Steps, too_large);
  const std::string as = IsPlainNumber(part) ? std::string() : " reads as " + PlainRoundTripText(n) + " and";
  if (n < 1) return Wrong(Field::Steps, quoted + as + " is less than 1:" + takes + "1 step or more.");
  if (n != std::floor(n)) return Wrong(Field::Steps, quoted + as + " is not a whole number of steps.");
  if (n > static_cast<double>(kMaxSteps)) return Wrong(Field::Steps, too_large);
  return n;
}

namespace {

// One step count of a study, or why it is none.
Outcome<double> StepCount(std::string_view part) { return ReadStepCount(part, "a study"); }

// The steps of a doubling range "first..last".
Outcome<std::vector<double>> StepRange(std::string_view text, std::size_t dots) {
  const Outcome<double> first = StepCount(text.substr(0, dots));
  if (!first.ok()) return first.failure();
  const Outcome<double> last = StepCount(text.substr(dots + 2));
  if (!last.ok()) return last.failure();
  if (last.value() < first.value()) return Wrong(Field::Steps, "the range " + QuotedInput(text) + " runs backwards.");
  std::vector<double> counts;
  for (double n = first.value(); n <= last.value(); n *= 2) counts.push_back(n);
  return counts;
}

}  // namespace

std::string Choices(const std::vector<std::string_view>& names) {
  std::string text;
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (i > 0) text += i + 1 == names.size() ? " or " : ", ";
    text += names[i];
  }
  return text;
}

Outcome<std::vector<Method>> ReadMethodList(std::string_view text, bool many) {
  if (Trimmed(text).empty()) return Wrong(Field::Methods, "Choose at least one method.");
  std::vector<Method> methods;
  for (const std::string_view part : Split(text)) {
    const std::optional<Method> known = FindMethod(part);
    if (!known) {
      std::vector<std::string_view> ids;
      for (const Method method : KnownMethods()) ids.push_back(Info(method).id);
      for (const ShippedTableau& shipped : ShippedTableaux())
        if (std::find(ids.begin(), ids.end(), shipped.id) == ids.end()) ids.push_back(shipped.id);
      return Wrong(Field::Methods, "unknown method " + Excerpt(Trimmed(part)) + " (use " + Choices(ids) + ")");
    }
    if (std::find(methods.begin(), methods.end(), *known) == methods.end()) methods.push_back(*known);
  }
  if (!many && methods.size() != 1) return Wrong(Field::Methods, "one calculation takes one method");
  return methods;
}

std::string AllMethodIds() {
  std::string ids;
  for (std::size_t i = 0; i < kWindowMethodCount; ++i) ids.append(ids.empty() ? "" : ",").append(kMethods[i].id);
  return ids;
}

Outcome<std::vector<double>> ReadStepList(std::string_view text) {
  std::vector<double> counts;
  if (const std::size_t dots = text.find(".."); dots != std::string_view::npos) {
    Outcome<std::vector<double>> range = StepRange(text, dots);
    if (!range.ok()) return range;
    counts = std::move(range.value());
  } else {
    for (const std::string_view part : Split(text)) {
      const Outcome<double> n = StepCount(part);
      if (!n.ok()) return n.failure();
      counts.push_back(n.value());
    }
  }
  std::sort(counts.begin(), counts.end());
  counts.erase(std::unique(counts.begin(), counts.end()), counts.end());
  if (counts.size() > kMaxStepCounts) {
    return Wrong(Field::Steps, QuotedInput(text) + " asks for " + std::to_string(counts.size()) +
                                   " step counts; a study takes " + std::to_string(kMaxStepCounts) + " at most.");
  }
  return counts;
}

namespace {

// A tolerance of a list, or why it is none.
Outcome<double> Tolerance(std::string_view part) {
  double value = 0;
  if (std::optional<Failure> failure = ReadTolerance(std::string(Trimmed(part)), "the tolerance", value)) {
    failure->where.field = Field::Tolerances;
    return *failure;
  }
  return value;
}

// One tolerance per decade from `first` down (or up) to `last`: the same
// mantissa with the exponent stepped, each read from its text so that 1e-7
// is the double nearest 10^-7 on every machine.
std::vector<double> Decades(double first, double last) {
  const std::string text = ToleranceText(first);  // the shortest digits: "2.5e-12"
  const std::size_t e = text.find('e');
  const std::string mantissa = text.substr(0, e);
  const int exponent = e == std::string::npos ? 0 : std::atoi(text.c_str() + e + 1);
  const int way = last < first ? -1 : 1;
  std::vector<double> values;
  for (int k = 0; k <= 40; ++k) {
    const double value = std::strtod((mantissa + "e" + std::to_string(exponent + way * k)).c_str(), nullptr);
    if (way < 0 ? value < last * (1 - 1e-9) : value > last * (1 + 1e-9)) break;
    values.push_back(value);
  }
  return values;
}

}  // namespace

Outcome<std::vector<double>> ReadToleranceList(std::string_view text) {
  if (Trimmed(text).empty())
    return Wrong(Field::Tolerances, std::string("No tolerances: enter ") + kToleranceListHelp + ".");
  std::vector<double> values;
  if (const std::size_t dots = text.find(".."); dots != std::string_view::npos) {
    const Outcome<double> first = Tolerance(text.substr(0, dots));
    if (!first.ok()) return first.failure();
    const Outcome<double> last = Tolerance(text.substr(dots + 2));
    if (!last.ok()) return last.failure();
    values = Decades(first.value(), last.value());
  } else {
    for (const std::string_view part : Split(text)) {
      const Outcome<double> value = Tolerance(part);
      if (!value.ok()) return value.failure();
      values.push_back(value.value());
    }
  }
  std::sort(values.begin(), values.end(), std::greater<>());
  values.erase(std::unique(values.begin(), values.end()), values.end());
  if (values.size() > kMaxStepCounts) {
    return Wrong(Field::Tolerances, QuotedInput(text) + " asks for " + std::to_string(values.size()) +
                                        " tolerances; a study takes " + std::to_string(kMaxStepCounts) + " at most.");
  }
  return values;
}

std::string PairIds() {
  std::string ids;
  for (const std::string& id : PairedMethodIds()) ids.append(ids.empty() ? "" : ",").append(id);
  return ids;
}

std::string PairsAmong(std::string_view methods) {
  const Outcome<std::vector<Method>> list = ReadMethodList(methods);
  if (!list.ok()) return std::string(methods);
  std::string ids;
  for (const Method method : list.value())
    if (PairOrder(method)) ids.append(ids.empty() ? "" : ",").append(Info(method).id);
  return ids.empty() ? std::string(methods) : ids;
}

Outcome<Against> ReadAxis(std::string_view name) {
  std::vector<std::string_view> names;
  for (const AxisInfo& axis : kAxes) {
    if (name == axis.name) return axis.against;
    names.push_back(axis.name);
  }
  return Wrong(Field::Axis, "unknown axis " + Excerpt(name) + " (use " + Choices(names) + ")");
}

Outcome<StudyRequest> ReadStudyRequest(std::shared_ptr<const Problem> problem, const StudyTexts& texts) {
  StudyRequest request;
  request.problem = std::move(problem);
  if (Caught([&] { request.x1 = ReadNumber(texts.x1); }))
    return Wrong(Field::StudyX1, QuotedInput(texts.x1) + " is too large to compute with.");
  const bool sweep = texts.sweep;
  if (!sweep || !Trimmed(texts.steps).empty()) {
    Outcome<std::vector<double>> steps = ReadStepList(texts.steps);
    if (!steps.ok()) return steps.failure();
    request.steps = std::move(steps.value());
    Outcome<std::vector<Method>> methods = ReadMethodList(texts.methods);
    if (!methods.ok()) return methods.failure();
    request.methods = std::move(methods.value());
  }
  if (sweep) {
    Outcome<std::vector<double>> tolerances = ReadToleranceList(texts.tolerances);
    if (!tolerances.ok()) return tolerances.failure();
    request.tolerances = std::move(tolerances.value());
    Outcome<std::vector<Method>> pairs = ReadMethodList(texts.pairs);
    if (!pairs.ok()) return pairs.failure();
    for (const Method method : pairs.value())
      if (std::optional<Failure> failure = NoPairFailure(method)) return *failure;
    request.pairs = std::move(pairs.value());
  }
  const Outcome<Against> against = ReadAxis(texts.against);
  if (!against.ok()) return against.failure();
  request.against = against.value();
  return request;
}

}  // namespace kavrin
