#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/failure.h"
#include "core/study.h"
#include "ode/method_table.h"

// Requests read from the texts a face collects, once, the same way for every
// face: the defaults each input starts from, lists of methods and step
// counts, names of axes, and whole study requests.
namespace kavrin {

// What the inputs hold before the user types: a press and a study.
inline constexpr char kDefaultX1[] = "0.1";
inline constexpr char kDefaultN[] = "1";
inline constexpr char kDefaultStudyX1[] = "1";
inline constexpr char kDefaultStudySteps[] = "10..10240";

// "a, b or c", for the choices a report lists.
std::string Choices(const std::vector<std::string_view>& names);

// Methods by their ids or result names, in any case, separated by commas;
// each once, in the order given. With `many` false, exactly one.
Outcome<std::vector<Method>> ReadMethodList(std::string_view text, bool many = true);

// Every method, in the table's order, as ReadMethodList reads them.
std::string AllMethodIds();

// What a list of step counts may be, for the help beside it.
inline constexpr char kStepListHelp[] = "a list such as 20,40,80 or a doubling range such as 10..10240";

// Step counts: a list "20,40,80" or a doubling range "10..10240", each
// element read as the window reads N ("1 000" is 1000) and a whole number
// from 1 to the most steps a calculation takes; sorted, without repeats, at
// most kMaxStepCounts.
Outcome<std::vector<double>> ReadStepList(std::string_view text);

// One step count, read as the window reads N: a whole number from 1 to the
// most steps a calculation takes; the report names what takes it ("a study").
Outcome<double> ReadStepCount(std::string_view text, std::string_view taker);

// The default tolerance sweep, and what a list of tolerances may be.
inline constexpr char kDefaultTolerances[] = "1e-3..1e-12";
inline constexpr char kToleranceListHelp[] = "a list such as 1e-4,1e-8 or a range of decades such as 1e-3..1e-12";

// Tolerances: a list "1e-4,1e-8" or a range "1e-3..1e-12" (one per decade
// from the first to the last), each a positive number up to 1 that double
// can honour; largest first, without repeats.
Outcome<std::vector<double>> ReadToleranceList(std::string_view text);

// The ids of the methods with an embedded pair, separated by commas.
std::string PairIds();

// The methods of a list that have an embedded pair, separated by commas;
// the list itself when none has, so that reading it names the first.
std::string PairsAmong(std::string_view methods);

// What a study's chart sets the error against, by its name.
Outcome<Against> ReadAxis(std::string_view name);

// The study's inputs as a face collects them.
struct StudyTexts {
  std::string x1 = kDefaultStudyX1;
  std::string steps = kDefaultStudySteps;
  std::string methods = AllMethodIds();         // ids or result names, separated by commas
  std::string against = "steps";                // an axis's name
  bool sweep = false;                           // runs choosing their steps as well
  std::string tolerances = kDefaultTolerances;  // the sweep's
  std::string pairs = PairIds();                // the methods the sweep takes
};

// Reads them for `problem`: x1 as the window reads numbers, the step counts,
// the methods, the axis, and the tolerances with their pairs. With a sweep
// the step counts may be left empty (no fixed runs). A wrong text is a
// failure naming its field.
Outcome<StudyRequest> ReadStudyRequest(std::shared_ptr<const Problem> problem, const StudyTexts& texts);

}  // namespace kavrin
