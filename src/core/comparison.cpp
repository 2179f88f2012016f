#include "core/comparison.h"

#include <algorithm>
#include <atomic>
#include <charconv>
#include <cmath>
#include <limits>
#include <mutex>
#include <new>

#include "core/calculation.h"
#include "core/methods.h"
#include "core/number_text.h"
#include "core/study_report.h"
#include "core/text.h"
#include "ode/march.h"
#include "platform/memory.h"
#include "platform/threads.h"

namespace kavrin {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// A march writes this many steps between looks at the cancel flag.
constexpr std::size_t kChunk = std::size_t{1} << 16;

Failure WrongText(Field field, std::string text) { return {FailureKind::WrongInput, {field}, {}, std::move(text), {}}; }

// The comparison's work in parts, each a fraction done: the reference, then
// one part per method; told to the face as thousandths of the whole.
class Tally {
 public:
  Tally(const StudyProgress& progress, std::size_t parts) : m_progress(progress), m_done(parts) {
    for (auto& d : m_done) d.store(0);
  }
  void Set(std::size_t part, double fraction) {
    m_done[part].store(fraction, std::memory_order_relaxed);
    if (!m_progress.tell) return;
    double sum = 0;
    for (const auto& d : m_done) sum += d.load(std::memory_order_relaxed);
    const auto thousandths = static_cast<std::size_t>(1000 * sum / static_cast<double>(m_done.size()));
    const std::lock_guard<std::mutex> lock(m_mutex);
    if (thousandths <= m_told && m_told != kNone) return;
    m_told = thousandths;
    m_progress.tell(thousandths, 1000);
  }

 private:
  static constexpr std::size_t kNone = static_cast<std::size_t>(-1);
  const StudyProgress& m_progress;
  std::vector<std::atomic<double>> m_done;
  std::mutex m_mutex;
  std::size_t m_told = kNone;
};

bool Cancelled(const std::atomic<bool>* cancel) { return cancel != nullptr && cancel->load(std::memory_order_relaxed); }

// One method's march into its tables, 2^16 steps at a time between looks at
// the cancel flag; the same steps in the same order as a press.
void MarchPath(const Comparison& c, ComparedPath& path, std::size_t steps, const StudyProgress& progress, Tally& tally,
               std::size_t part) {
  SolutionTables& t = path.tables;
  const State<double>& start = c.problem->start;
  t.x_data()[0] = start.x;
  t.y1_data()[0] = start.y1;
  t.y2_data()[0] = start.y2;
  t.set_filled(1);
  for (std::size_t done = 0; done < steps;) {
    const std::size_t chunk = std::min(kChunk, steps - done);
    const MarchArrays<double> arrays{t.x_data() + done, t.y1_data() + done, t.y2_data() + done};
    const std::size_t failed = WithSystem(*c.problem, [&](const auto& equations) {
      return WithStep(path.method, [&](auto step) { return March(step, equations, arrays, chunk, c.h); });
    });
    if (failed != 0) {
      const std::size_t at = done + failed;
      t.set_filled(at);
      const State<double> before{t.x(static_cast<std::int64_t>(at) - 1), t.y1(static_cast<std::int64_t>(at) - 1),
                                 t.y2(static_cast<std::int64_t>(at) - 1)};
      path.failed_step = at;
      path.failure = Describe(MarchFailure(*c.problem, path.method, before, c.h, at));
      tally.Set(part, 1);
      return;
    }
    done += chunk;
    t.set_filled(done + 1);
    tally.Set(part, static_cast<double>(done) / static_cast<double>(steps));
    if (Cancelled(progress.cancel)) return;
  }
}

void IntegrateReference(Comparison& c, const StudyProgress& progress, Tally& tally) {
  ReferenceLimits limits;
  limits.cancel = progress.cancel;
  limits.progress = [&tally](double fraction) { tally.Set(0, fraction); };
  const Problem& problem = *c.problem;
  // A known pole before x1: no integration can pass it.
  if (problem.SingularityBefore(c.x1)) {
    c.reference.stop = Reference::Stop::Singular;
    c.no_reference = NoReferenceText(problem, c.x1, c.reference.stop, c.reference.reached, 0,
                                     "there is no reference path and no error to draw");
    tally.Set(0, 1);
    return;
  }
  const std::size_t count = static_cast<std::size_t>(c.N) + 1;
  c.reference = problem.own != nullptr ? TypedReferencePath(*problem.own, c.h, count, limits)
                                       : BuiltInReferencePath(c.h, count, limits);
  tally.Set(0, 1);
  if (c.reference.stop == Reference::Stop::Cancelled) return;
  if (!c.reference.complete()) {
    c.no_reference = NoReferenceText(problem, c.x1, c.reference.stop, c.reference.reached, c.reference.last_step,
                                     "there is no reference path and no error to draw");
  }
}

std::string MegabytesText(std::uint64_t bytes) { return std::to_string((bytes + (1u << 20) - 1) >> 20) + " MB"; }

// The tables fit in what the machine can provide, or the failure says how
// many steps would.
std::optional<Failure> RefuseBeyondMemory(const ComparisonRequest& request, std::uint64_t available) {
  const std::uint64_t per_step = ComparisonBytesPerStep(request.methods.size());
  const std::uint64_t entries = static_cast<std::uint64_t>(request.N) + 1;
  const std::uint64_t usable = available > Calculation::kMemoryReserve ? available - Calculation::kMemoryReserve : 0;
  const std::uint64_t limit = std::min<std::uint64_t>(usable, SolutionTables::kMaxBytes);
  if (entries <= limit / per_step) return std::nullopt;
  const std::uint64_t most = limit / per_step > 1 ? limit / per_step - 1 : 0;
  const std::string methods =
      std::to_string(request.methods.size()) + (request.methods.size() == 1 ? " method" : " methods");
  return Failure{FailureKind::OutOfMemory,
                 {Field::Steps},
                 {},
                 "N = " + WholeText(request.N) + " needs " + MegabytesText(entries * per_step) + " for " + methods +
                     ", but the machine can provide only " + MegabytesText(limit) + ".",
                 most >= 1 ? "Enter N of at most " + std::to_string(most) + ", or compare fewer methods."
                           : std::string("Compare fewer methods.")};
}

void AppendNumber(std::string& out, double value) {
  if (std::isnan(value)) return;
  char buffer[32];
  out.append(buffer, ToChars(buffer, buffer + sizeof buffer, value, CharsStyle::Shortest));
}

}  // namespace

std::uint64_t ComparisonBytesPerStep(std::size_t methods) {
  return methods * SolutionTables::kBytesPerEntry + 2 * sizeof(double);
}

Outcome<ComparisonRequest> ReadComparisonRequest(std::shared_ptr<const Problem> problem, const ComparisonTexts& texts) {
  ComparisonRequest request;
  request.problem = problem ? std::move(problem) : BuiltInProblem();
  if (Caught([&] { request.x1 = ReadNumber(texts.x1); }))
    return WrongText(Field::StudyX1, QuotedInput(texts.x1) + " is too large to compute with.");
  if (!std::isfinite(request.x1 - request.problem->start.x))
    return WrongText(Field::StudyX1, "x1 = " + PlainRoundTripText(request.x1) +
                                         " lies too far from x0: their distance is too large to compute with.");
  if (texts.N.find(',') != std::string::npos || texts.N.find("..") != std::string::npos)
    return WrongText(Field::Steps, QuotedInput(texts.N) + " is a list: a comparison takes one number of steps N.");
  const Outcome<double> steps = ReadStepCount(texts.N, "a comparison");
  if (!steps.ok()) return steps.failure();
  request.N = steps.value();
  Outcome<std::vector<Method>> methods = ReadMethodList(texts.methods);
  if (!methods.ok()) return methods.failure();
  request.methods = std::move(methods.value());
  request.field_x = request.problem->start.x;
  if (!Trimmed(texts.field_x).empty()) {
    // A new input, read strictly: what it shows is what it is.
    if (Caught([&] { request.field_x = ReadNumber(texts.field_x, "the field's x", Field::FieldX); }))
      return WrongText(Field::FieldX, QuotedInput(texts.field_x) + " is too large to compute with.");
    if (!IsPlainNumber(Trimmed(texts.field_x))) {
      return WrongText(Field::FieldX, "the field's x " + QuotedInput(texts.field_x) +
                                          " is not a plain number. Enter digits with \".\" as the decimal point, "
                                          "and an exponent if need be: 0.5, -2, 1e-3; or nothing for x0.");
    }
  }
  if (!Trimmed(texts.invariant).empty()) {
    Outcome<std::shared_ptr<const Invariant>> invariant = ReadInvariant(texts.invariant);
    if (!invariant.ok()) return invariant.failure();
    request.invariant = std::move(invariant.value());
  }
  if (!Trimmed(texts.tolerance).empty())
    if (std::optional<Failure> failure = ReadTolerance(texts.tolerance, "the tolerance", request.tolerance))
      return *failure;
  return request;
}

namespace {

std::string Joined(const std::vector<std::string>& ids) {
  std::string text;
  for (const std::string& id : ids) text += (text.empty() ? "" : ", ") + id;
  return text;
}

// h along x: each pair among the methods under the request's tolerance.
void ChooseSteps(Comparison& c, const ComparisonRequest& request, const std::atomic<bool>* cancel) {
  c.tolerance = request.tolerance;
  for (const Method method : request.methods) {
    if (!PairOrder(method)) continue;
    AdaptiveRequest adaptive;
    adaptive.problem = c.problem;
    adaptive.x1 = c.x1;
    adaptive.method = method;
    adaptive.settings.atol = adaptive.settings.rtol = request.tolerance;
    adaptive.settings.order = *PairOrder(method);
    adaptive.settings.max_steps = kDefaultMaxSteps;
    c.adaptive.push_back(RunAdaptive(adaptive, cancel));
  }
  if (c.adaptive.empty()) {
    c.no_pairs = "No step sizes along x: none of the methods chosen has an embedded pair to choose its steps with (" +
                 Joined(PairedMethodIds()) + ").";
  }
}

}  // namespace

Outcome<Comparison> RunComparison(const ComparisonRequest& request, const StudyProgress& progress,
                                  const MemoryProbe& available) {
  Comparison c;
  c.problem = request.problem ? request.problem : BuiltInProblem();
  c.x1 = request.x1;
  c.N = request.N;
  c.field_x = request.field_x;
  c.invariant = request.invariant;
  const State<double>& start = c.problem->start;
  c.h = (c.x1 - start.x) / c.N;
  if (!std::isfinite(c.h))
    return WrongText(Field::StudyX1, "x1 = " + PlainRoundTripText(c.x1) + " lies too far from x0.");
  if (std::optional<Failure> refused = RefuseBeyondMemory(request, available ? available() : AvailableMemory()))
    return *refused;
  const auto steps = static_cast<std::size_t>(c.N);
  try {
    for (const Method method : request.methods) {
      c.paths.emplace_back();
      c.paths.back().method = method;
      c.paths.back().tables.Reset(steps + 1);
    }
  } catch (const std::bad_alloc&) {
    return OutOfMemoryFailure();
  }
  // x as every march forms it: the start, then h added step by step.
  c.last_x = start.x;
  for (std::size_t i = 0; i < steps; ++i) c.last_x = c.last_x + c.h;
  if (c.invariant) c.invariant_start = (*c.invariant)(start.x, start.y1, start.y2);

  // The reference first (usually the longest), then the methods, shared
  // among the threads as each comes free.
  const std::size_t jobs = c.paths.size() + 1;
  Tally tally(progress, jobs);
  std::atomic<std::size_t> next{0};
  RunShares(static_cast<unsigned>(std::min<std::size_t>(jobs, HardwareThreads())), [&](unsigned) {
    for (std::size_t job = next++; job < jobs; job = next++) {
      if (job == 0)
        IntegrateReference(c, progress, tally);
      else
        MarchPath(c, c.paths[job - 1], steps, progress, tally, job);
    }
  });
  c.cancelled = Cancelled(progress.cancel);
  if (c.has_reference()) {
    next = 0;
    RunShares(static_cast<unsigned>(std::min<std::size_t>(c.paths.size(), HardwareThreads())), [&](unsigned) {
      for (std::size_t p = next++; p < c.paths.size(); p = next++) {
        ComparedPath& path = c.paths[p];
        for (std::size_t i = 0; i < path.tables.filled(); ++i)
          path.largest_error = std::max(path.largest_error, c.Error(path, i));
      }
    });
  }
  if (request.tolerance > 0 && !c.cancelled) ChooseSteps(c, request, progress.cancel);
  return c;
}

double Comparison::Error(const ComparedPath& path, std::size_t i) const {
  if (!has_reference()) return kNaN;
  const double e1 = std::fabs(path.tables.y1_data()[i] - reference.y1[i]);
  const double e2 = std::fabs(path.tables.y2_data()[i] - reference.y2[i]);
  return std::max(e1, e2);
}

double Comparison::X(std::size_t i) const {
  for (const ComparedPath& path : paths)
    if (i < path.tables.filled()) return path.tables.x_data()[i];
  return kNaN;
}

double Comparison::InvariantAt(const ComparedPath& path, std::size_t i) const {
  if (!invariant) return kNaN;
  const double value = (*invariant)(path.tables.x_data()[i], path.tables.y1_data()[i], path.tables.y2_data()[i]);
  return std::isfinite(value) ? value : kNaN;
}

double Comparison::Drift(const ComparedPath& path, std::size_t i) const {
  const double drift = InvariantAt(path, i) - invariant_start;
  return std::isfinite(drift) ? drift : kNaN;
}

double Comparison::RoundingFloor(std::size_t i) const {
  if (!has_reference()) return kNaN;
  return 0x1p-53 * std::max(std::fabs(reference.y1[i]), std::fabs(reference.y2[i]));
}

std::vector<std::string> ComparisonNotes(const Comparison& c) {
  std::vector<std::string> notes;
  for (const ComparedPath& path : c.paths) {
    const std::size_t last = path.tables.filled() - 1;
    std::string line = Padded(Info(path.method).id, 9, true);
    line += path.failure.empty() ? (c.cancelled ? "cancelled" : "reached x1") : path.failure;
    if (c.has_reference()) line += "; largest error " + SignificantText(path.largest_error, 3);
    if (c.invariant) {
      const double drift = c.Drift(path, last);
      line += std::isnan(drift) ? std::string("; H has no value there") : "; drift " + SignificantText(drift, 3);
    }
    notes.push_back(std::move(line));
  }
  if (!c.no_reference.empty()) notes.push_back(c.no_reference);
  for (const AdaptiveRun& run : c.adaptive) {
    std::string line =
        Padded(Info(run.request.method).id, 9, true) + "at tolerance " + ToleranceText(c.tolerance) + ": ";
    if (const std::optional<Failure> stopped = AdaptiveStopFailure(run))
      line += Describe(*stopped);
    else
      line += AdaptiveReport(run)[1];
    notes.push_back(std::move(line));
  }
  if (!c.no_pairs.empty()) notes.push_back(c.no_pairs);
  return notes;
}

bool WriteComparisonCsv(const Comparison& c, const std::function<bool(std::string_view)>& sink) {
  std::string block = "method,i,x,y1,y2,ref_y1,ref_y2,error";
  block += c.invariant ? ",invariant,drift\n" : "\n";
  constexpr std::size_t kRows = 1 << 14;
  for (const ComparedPath& path : c.paths) {
    const std::string_view id = Info(path.method).id;
    const std::size_t rows = path.tables.filled();
    for (std::size_t i = 0; i < rows; ++i) {
      block.append(id).append(",");
      char buffer[24];
      block.append(buffer, std::to_chars(buffer, buffer + sizeof buffer, i).ptr);
      for (const double value : {path.tables.x_data()[i], path.tables.y1_data()[i], path.tables.y2_data()[i],
                                 c.has_reference() ? c.reference.y1[i] : kNaN,
                                 c.has_reference() ? c.reference.y2[i] : kNaN, c.Error(path, i)}) {
        block += ',';
        AppendNumber(block, value);
      }
      if (c.invariant) {
        block += ',';
        AppendNumber(block, c.InvariantAt(path, i));
        block += ',';
        AppendNumber(block, c.Drift(path, i));
      }
      block += '\n';
      if ((i + 1) % kRows == 0) {
        if (!sink(block)) return false;
        block.clear();
      }
    }
  }
  return block.empty() || sink(block);
}

}  // namespace kavrin
