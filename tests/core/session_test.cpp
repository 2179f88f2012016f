// The session every face calls: its problem (refused texts change nothing),
// and the warning past the built-in solution's poles, which is decided from
// x1 at any N, never before a pole, and worded the right way round.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>

#include "core/json.h"
#include "core/number_text.h"
#include "core/reference.h"
#include "core/session.h"

namespace kavrin {
namespace {

Session MakeSession() {
  return Session([] { return std::uint64_t{1} << 40; });
}

PressResult Press(Session& session, double x1, const std::string& N, Method method = Method::RK4) {
  PressRequest request;
  request.x1 = RoundTripText(x1);
  request.N = N;
  request.method = method;
  return session.Press(request);
}

// The number after `marker` in a text: "x ≈ 2.73059" gives 2.73059.
double NumberAfter(const std::string& text, const std::string& marker) {
  const std::size_t at = text.find(marker);
  EXPECT_NE(at, std::string::npos) << text;
  return at == std::string::npos ? NAN : std::strtod(text.c_str() + at + marker.size(), nullptr);
}

// The pole as the reference finds it: near the pole y2 = 2/d + O(1) at the
// distance d, so x + 2/y2 lies within O(d^2) of it.
long double PoleFromReference(double x) {
  const Reference r = BuiltInReference(x);
  EXPECT_TRUE(r.valid()) << x;
  return static_cast<long double>(x) + 2 / r.y2;
}

TEST(Singularities, EachPoleLiesBetweenAdjacentDoubles) {
  for (const Bracket pole : {BuiltInSystem::kPoleAhead, BuiltInSystem::kPoleBehind}) {
    EXPECT_EQ(std::nextafter(pole.below, pole.above), pole.above);
    if (std::numeric_limits<long double>::digits < 64) continue;  // the estimate needs more than double's digits
    const double near = pole.below > 0 ? pole.below - 1e-9 : pole.above + 1e-9;
    const long double estimate = PoleFromReference(near);
    EXPECT_GT(estimate, pole.below);
    EXPECT_LT(estimate, pole.above);
  }
}

struct Target {
  double x1;
  bool past;  // at or past a pole in the march's direction
};

// Past a pole every press ends in a warning, or in an overflow whose advice
// names the pole; before it, in neither, whatever N.
TEST(Singularities, TheWarningIsDecidedFromX1AtAnyN) {
  const Target targets[] = {{BuiltInSystem::kPoleAhead.below, false},
                            {BuiltInSystem::kPoleAhead.above, true},
                            {2.7305937327, true},
                            {3, true},
                            {2.7, false},
                            {BuiltInSystem::kPoleBehind.above, false},
                            {BuiltInSystem::kPoleBehind.below, true},
                            {-1.35887632099, true},
                            {-2, true}};
  Session session = MakeSession();
  for (const Target& t : targets) {
    for (const char* N : {"1", "7", "10", "100", "1000", "100000"}) {
      SCOPED_TRACE("x1 = " + RoundTripText(t.x1) + ", N = " + N);
      const PressResult press = Press(session, t.x1, N);
      const bool pole_advice = press.failure && press.failure->advice.find("grows without bound") != std::string::npos;
      EXPECT_EQ(!press.warning.empty() || pole_advice, t.past) << press.warning;
      if (!press.warning.empty()) {
        // The pole and x1 read the right way round.
        const double pole = NumberAfter(press.warning, "x \xE2\x89\x88 ");
        EXPECT_EQ(pole<t.x1, t.x1> 0) << press.warning;
        EXPECT_EQ(NumberAfter(press.warning, "before x1 = "), t.x1) << press.warning;
      }
    }
  }
}

// A step count that stops short of x1 decides from where its last step ends.
TEST(Singularities, AFractionalStepCountDecidesFromItsLastStep) {
  Session session = MakeSession();
  EXPECT_EQ(Press(session, 3, "2.5").warning, "");   // two steps of 1.2 end at 2.4
  EXPECT_EQ(Press(session, 3, "0.5").warning, "");   // no step: the start
  EXPECT_NE(Press(session, 3, "10.5").warning, "");  // ten steps of 0.2857 end at 2.857
}

TEST(Session, ARefusedSystemChangesNothing) {
  Session session = MakeSession();
  ASSERT_FALSE(session.Accept({"y2", "-y1", "0", "1", "0"}));
  const std::shared_ptr<const Problem> oscillator = session.problem();
  const std::optional<Failure> refused = session.Accept({"y2+", "-y1", "0", "1", "0"});
  ASSERT_TRUE(refused);
  EXPECT_EQ(refused->where.field, Field::F1);
  EXPECT_EQ(session.problem(), oscillator);
  const PressResult press = Press(session, 1, "10");
  EXPECT_EQ(press.lines.front(), "1.0000    0.54030297       -0.84147048   Runge-Kutta-4 Method");
  // The built-in texts choose the built-in problem, with its poles.
  ASSERT_FALSE(session.Accept(BuiltInSystemTexts()));
  EXPECT_TRUE(session.problem()->built_in());
  EXPECT_TRUE(session.problem()->pole_ahead);
  EXPECT_NE(session.ResultsCsv().find(",y1' = y2; y2' = -y1; x0 = 0; y1(0) = 1; y2(0) = 0\r\n"), std::string::npos);
}

// The page's requests: named strings (every escape, a NUL among them), numbers
// and lists of strings; anything else is refused with where it went wrong,
// and nothing nested however deeply takes the reader down.
TEST(Json, RequestsReadAsThePageWritesThem) {
  const Outcome<JsonObject> read =
      JsonObject::Parse(R"({"op":"press","x1":"2\u00001","n":"\u00e9\ud83d\ude00\"\\\/\t","method":["rk4","rkf"],)"
                        R"("width":-1.5e2,"ok":true,"nested":{"a":[1,{"b":null}]}})");
  ASSERT_TRUE(read.ok()) << Describe(read.failure());
  const JsonObject& o = read.value();
  EXPECT_EQ(o.Text("op"), "press");
  EXPECT_EQ(o.Text("x1"), std::string("2\0"
                                      "1",
                                      3));
  EXPECT_EQ(o.Text("n"), "\xC3\xA9\xF0\x9F\x98\x80\"\\/\t");
  EXPECT_EQ(o.Texts("method"), (std::vector<std::string>{"rk4", "rkf"}));
  EXPECT_EQ(o.Number("width"), -150);
  EXPECT_FALSE(o.Text("width"));
  EXPECT_TRUE(o.Has("nested") && o.Has("ok"));
  for (const std::string& wrong :
       {std::string("{\"a\":"), std::string("{\"a\":\"b}"), std::string("{} x"), std::string("[1]"),
        std::string("{\"a\":\"\\q\"}"), "{\"a\":" + std::string(100000, '[') + "}"}) {
    const Outcome<JsonObject> refused = JsonObject::Parse(wrong);
    ASSERT_FALSE(refused.ok()) << wrong.substr(0, 20);
    EXPECT_NE(refused.failure().text.find(" at byte "), std::string::npos) << refused.failure().text;
  }
  // Written back, every control character is escaped.
  EXPECT_EQ(JsonWriter().Text("t", std::string("a\0\n\"", 4)).Number("n", 0.1).Done(),
            R"({"t":"a\u0000\u000a\"","n":0.1})");
}

}  // namespace
}  // namespace kavrin
