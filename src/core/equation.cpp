#include "core/equation.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/number_text.h"
#include "core/text.h"

namespace kavrin {
namespace {

constexpr long double kPi = 3.141592653589793238462643383279502884L;
constexpr long double kE = 2.718281828459045235360287471352662498L;
// What double leaves of each, for double-double.
constexpr double kPiLow = 0x1.1a62633145c07p-53;
constexpr double kELow = 0x1.4d57ee2b1013ap-53;
// Whole-number exponents up to this are repeated multiplication.
constexpr long kMaxRepeatedPower = 64;

std::string OpName(const Instruction& in) {
  switch (in.op) {
    case Op::Add:
      return "+";
    case Op::Subtract:
    case Op::Negate:
      return "-";
    case Op::Multiply:
      return "*";
    case Op::Divide:
      return "/";
    case Op::Power:
      return "^";
    case Op::Function:
      return std::string(Functions()[in.function].name);
    case Op::Constant:
      break;
  }
  return "a constant";
}

// A wrong text: what is wrong and the column (0 for none); the parser adds
// the equation.
struct ParseError {
  std::string text;
  std::size_t column = 0;
};

// A recursive-descent parser that emits the program as it reads: operands
// first, then the operation, so that the program runs in the order written.
class Parser {
 public:
  Parser(std::string_view text, Program& program, std::uint8_t equation)
      : m_text(text), m_program(program), m_equation(equation) {}

  // Reads a constant expression: no x, y1 or y2.
  void ConstantOnly() { m_constant = true; }

  std::uint16_t Equation() {
    RefuseControlCharacters();
    Skip();
    if (m_pos == m_text.size()) throw ParseError{"the equation is empty"};
    const std::uint16_t slot = Sum();
    Skip();
    if (m_pos < m_text.size()) {
      if (m_text[m_pos] == ')') Throw("unexpected ')'", m_pos);
      Throw("missing an operator before " + Token(m_pos), m_pos);
    }
    return slot;
  }

 private:
  // A control character (a NUL, a line break; a tab is a blank) has no
  // place in an equation, and would hide what follows it in a report.
  void RefuseControlCharacters() const {
    for (std::size_t i = 0; i < m_text.size(); ++i) {
      const auto c = static_cast<unsigned char>(m_text[i]);
      if ((c < 0x20 && c != '\t') || c == 0x7F) {
        char code[8];
        std::snprintf(code, sizeof code, "U+%04X", c);
        Throw(std::string("a control character (") + code + ")", i);
      }
    }
  }

  // Columns count characters from 1, not the bytes of their UTF-8 encoding.
  std::size_t ColumnNumber(std::size_t pos) const { return CodePoints(m_text.substr(0, pos)) + 1; }
  std::string Column(std::size_t pos) const { return std::to_string(ColumnNumber(pos)); }
  // "<what> at column <n>"
  [[noreturn]] void Throw(const std::string& what, std::size_t pos) const {
    throw ParseError{what + " at column " + Column(pos), ColumnNumber(pos)};
  }
  // A text that names its column its own way.
  [[noreturn]] void ThrowAt(const std::string& text, std::size_t pos) const {
    throw ParseError{text, ColumnNumber(pos)};
  }
  static bool InName(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }
  std::string Token(std::size_t pos) const {
    std::size_t end = pos + 1;
    if (InName(m_text[pos]) || m_text[pos] == '.') {
      while (end < m_text.size() && (InName(m_text[end]) || m_text[end] == '.')) ++end;
    } else {
      end = pos + CharacterStart(m_text.substr(pos), 1);
    }
    return Excerpt(m_text.substr(pos, end - pos));
  }
  void Skip() {
    while (m_pos < m_text.size() && (m_text[m_pos] == ' ' || m_text[m_pos] == '\t')) ++m_pos;
  }
  bool Next(char c) {
    Skip();
    if (m_pos < m_text.size() && m_text[m_pos] == c) {
      ++m_pos;
      return true;
    }
    return false;
  }

  std::uint16_t Emit(Instruction in, std::size_t pos) {
    if (m_program.slot_count() >= kMaxSlots) throw ParseError{"the equations are too long to compute"};
    in.column = static_cast<std::uint16_t>(ColumnNumber(pos));
    in.equation = m_equation;
    m_program.code.push_back(in);
    return static_cast<std::uint16_t>(m_program.slot_count() - 1);
  }
  std::uint16_t Constant(double value, long double wide, std::size_t pos, double low = 0) {
    Instruction in;
    in.op = Op::Constant;
    in.value = value;
    in.wide = wide;
    in.low = low;
    return Emit(in, pos);
  }
  std::uint16_t Binary(Op op, std::uint16_t a, std::uint16_t b, std::size_t pos) {
    Instruction in;
    in.op = op;
    in.a = a;
    in.b = b;
    return Emit(in, pos);
  }

  // An operand must follow an operator.
  void NeedOperand(char op, std::size_t at) {
    Skip();
    if (m_pos == m_text.size() || m_text[m_pos] == ')' ||
        (m_text[m_pos] != '-' && m_text[m_pos] != '+' && std::strchr("*/^,", m_text[m_pos]) != nullptr))
      ThrowAt(std::string("'") + op + "' needs a number or an expression after it (column " + Column(at) + ")", at);
  }

  std::uint16_t Sum() { return LeftToRight(&Parser::Product, '+', Op::Add, '-', Op::Subtract); }
  std::uint16_t Product() { return LeftToRight(&Parser::Unary, '*', Op::Multiply, '/', Op::Divide); }

  // One precedence level: operands of the next level joined left to right by
  // either of its two operators.
  std::uint16_t LeftToRight(std::uint16_t (Parser::*operand)(), char first, Op first_op, char second, Op second_op) {
    std::uint16_t left = (this->*operand)();
    for (;;) {
      Skip();
      const std::size_t at = m_pos;
      const char op = Next(first) ? first : Next(second) ? second : '\0';
      if (op == '\0') return left;
      NeedOperand(op, at);
      left = Binary(op == first ? first_op : second_op, left, (this->*operand)(), at);
    }
  }

  std::uint16_t Unary() {
    Skip();
    const std::size_t at = m_pos;
    Deeper depth(*this, at);
    if (Next('-')) {
      NeedOperand('-', at);
      return Binary(Op::Negate, Unary(), 0, at);
    }
    if (Next('+')) {
      NeedOperand('+', at);
      return Unary();
    }
    return Power();
  }

  // base ^ exponent, right to left; a whole-number constant exponent up to
  // 64 is repeated multiplication (y1^2 is y1*y1), any other is pow.
  std::uint16_t Power() {
    const std::uint16_t base = Primary();
    Skip();
    const std::size_t at = m_pos;
    if (!Next('^')) return base;
    NeedOperand('^', at);
    const std::size_t code_before = m_program.code.size();
    const std::uint16_t exponent = Unary();
    const std::optional<long> whole = WholeConstant(code_before);
    if (!whole) return Binary(Op::Power, base, exponent, at);
    // The exponent's own instructions are not needed: it is known.
    m_program.code.resize(code_before);
    const long n = *whole;
    if (n == 0) return Constant(1, 1, at);
    std::uint16_t product = base;
    for (long k = 1; k < std::labs(n); ++k) product = Binary(Op::Multiply, product, base, at);
    return n > 0 ? product : Binary(Op::Divide, Constant(1, 1, at), product, at);
  }

  // The exponent just emitted, when it is a whole-number literal (perhaps
  // negated) of at most kMaxRepeatedPower.
  std::optional<long> WholeConstant(std::size_t from) const {
    const std::size_t count = m_program.code.size() - from;
    if (count == 0 || count > 2) return std::nullopt;
    const Instruction& literal = m_program.code[from];
    if (literal.op != Op::Constant || literal.value != std::floor(literal.value) ||
        std::fabs(literal.value) > kMaxRepeatedPower)
      return std::nullopt;
    if (count == 2 && m_program.code[from + 1].op != Op::Negate) return std::nullopt;
    const long n = static_cast<long>(literal.value);
    return count == 2 ? -n : n;
  }

  std::uint16_t Primary() {
    Skip();
    const std::size_t at = m_pos;
    if (m_pos == m_text.size()) throw ParseError{"missing a number or an expression at the end"};
    const char c = m_text[m_pos];
    if (c == '(') {
      ++m_pos;
      const std::uint16_t inner = Sum();
      if (!Next(')')) Missing(at);
      return inner;
    }
    if (std::isdigit(static_cast<unsigned char>(c)) || c == '.') return Number();
    if (std::isalpha(static_cast<unsigned char>(c))) return Name();
    if (c == ')') Throw("unexpected ')'", m_pos);
    Throw("unexpected " + Token(m_pos), m_pos);
  }

  [[noreturn]] void Missing(std::size_t open) {
    Skip();
    if (m_pos == m_text.size()) throw ParseError{"missing ')' at the end"};
    Throw("missing ')' for the '(' at column " + Column(open) + " before " + Token(m_pos), m_pos);
  }

  std::uint16_t Number() {
    const std::size_t at = m_pos;
    std::size_t end = m_pos;
    while (end < m_text.size() && (std::isdigit(static_cast<unsigned char>(m_text[end])) || m_text[end] == '.')) ++end;
    if (end < m_text.size() && (m_text[end] == 'e' || m_text[end] == 'E')) {
      std::size_t e = end + 1;
      if (e < m_text.size() && (m_text[e] == '+' || m_text[e] == '-')) ++e;
      if (e < m_text.size() && std::isdigit(static_cast<unsigned char>(m_text[e]))) {
        while (e < m_text.size() && std::isdigit(static_cast<unsigned char>(m_text[e]))) ++e;
        end = e;
      }
    }
    const std::string literal(m_text.substr(at, end - at));
    m_pos = end;
    double value = 0;
    long double wide = 0;
    if (!ReadPlainNumber(literal, value, wide))
      ThrowAt(Excerpt(literal) + " at column " + Column(at) + " is not a number", at);
    if (!std::isfinite(value)) ThrowAt(Excerpt(literal) + " at column " + Column(at) + " is too large", at);
    return Constant(value, wide, at, DecimalRemainder(literal, value));
  }

  std::uint16_t Name() {
    const std::size_t at = m_pos;
    std::size_t end = m_pos;
    while (end < m_text.size() && InName(m_text[end])) ++end;
    const std::string name(m_text.substr(at, end - at));
    m_pos = end;
    if (name == "x" || name == "y1" || name == "y2") {
      if (m_constant) Throw("a number is asked for here, not the variable " + Excerpt(name), at);
      return name == "x" ? 0 : name == "y1" ? 1 : 2;
    }
    if (name == "pi") return Constant(static_cast<double>(kPi), kPi, at, kPiLow);
    if (name == "e") return Constant(static_cast<double>(kE), kE, at, kELow);
    const FunctionRow* row = FunctionNamed(name);
    if (row == nullptr) Throw("unknown name " + Excerpt(name), at);
    return Call(*row, at);
  }

  // A function's arguments, separated by commas, in parentheses.
  std::uint16_t Call(const FunctionRow& row, std::size_t at) {
    const std::string quoted = std::string("'").append(row.name).append("' at column ").append(Column(at));
    Skip();
    const std::size_t open = m_pos;
    if (!Next('(')) ThrowAt(quoted + " needs '(' and an argument after it", at);
    Deeper depth(*this, open);
    Skip();
    if (m_pos < m_text.size() && m_text[m_pos] == ')') ThrowAt(quoted + " needs an argument", at);
    std::uint16_t arguments[2] = {0, 0};
    for (int i = 0; i < row.arity; ++i) {
      if (i > 0 && !Next(','))
        ThrowAt(quoted + " needs " + std::to_string(row.arity) + " arguments, separated by commas", at);
      arguments[i] = Sum();
    }
    if (!Next(')')) Missing(open);
    Instruction in;
    in.op = Op::Function;
    in.function = static_cast<std::uint8_t>(&row - Functions().data());
    in.a = arguments[0];
    in.b = arguments[1];
    return Emit(in, at);
  }

  // Counts the nesting while it lives: parentheses, functions and signs.
  struct Deeper {
    Deeper(Parser& parser, std::size_t at) : m_parser(parser) {
      if (++m_parser.m_depth > kMaxEquationDepth)
        m_parser.Throw("the equation nests deeper than " + std::to_string(kMaxEquationDepth) + " levels", at);
    }
    ~Deeper() { --m_parser.m_depth; }
    Deeper(const Deeper&) = delete;
    Deeper& operator=(const Deeper&) = delete;
    Parser& m_parser;
  };

  std::string_view m_text;
  Program& m_program;
  std::uint8_t m_equation;
  bool m_constant = false;
  std::size_t m_pos = 0;
  int m_depth = -1;  // the top level is 0
};

Failure EquationFailure(Field field, std::string text, std::size_t column) {
  Failure failure;
  failure.kind = FailureKind::WrongInput;
  failure.where.field = field;
  failure.where.column = static_cast<int>(column);
  failure.text = std::move(text);
  return failure;
}

}  // namespace

const SystemTexts& BuiltInSystemTexts() {
  static const SystemTexts texts{std::string(BuiltInSystem::kF1), std::string(BuiltInSystem::kF2),
                                 RoundTripText(BuiltInSystem::kStart.x), RoundTripText(BuiltInSystem::kStart.y1),
                                 RoundTripText(BuiltInSystem::kStart.y2)};
  return texts;
}

const std::vector<SystemExample>& SystemExamples() {
  static const std::vector<SystemExample> examples = {
      {"Built-in system", BuiltInSystemTexts()},
      {"Harmonic oscillator", {"y2", "-y1", "0", "1", "0"}, "y1^2 + y2^2"},
      {"Lotka-Volterra",
       {"1.1*y1 - 0.4*y1*y2", "0.1*y1*y2 - 0.4*y2", "0", "10", "10"},
       "0.1*y1 - 0.4*log(y1) + 0.4*y2 - 1.1*log(y2)"},
      {"Pendulum", {"y2", "-sin(y1)", "0", "1", "0"}, "y2^2/2 - cos(y1)"},
      {"Van der Pol (\xCE\xBC = 1)", {"y2", "(1 - y1^2)*y2 - y1", "0", "2", "0"}},
      // y1 = cos(x), y2 = (cos(x) + sin(x))/2, y1 pulled onto cos(x) at rate 10^6.
      {"Stiff (rate 10\xE2\x81\xB6)", {"-1e6*(y1 - cos(x)) - sin(x)", "y1 - y2", "0", "1", "0.5"}},
  };
  return examples;
}

std::string ExampleInvariant(const SystemTexts& texts) {
  for (const SystemExample& example : SystemExamples())
    if (example.texts.f1 == texts.f1 && example.texts.f2 == texts.f2) return example.invariant;
  return {};
}

double Invariant::operator()(double x, double y1, double y2) const { return compiled(x, y1, y2).d1; }

Outcome<std::shared_ptr<const Invariant>> ReadInvariant(const std::string& text) {
  auto invariant = std::make_shared<Invariant>();
  invariant->text = text;
  if (text.size() > kMaxEquationLength)
    return EquationFailure(Field::Invariant,
                           "the invariant is longer than " + std::to_string(kMaxEquationLength) + " characters", 0);
  try {
    Program& program = invariant->compiled.program;
    const std::uint16_t slot = Parser(text, program, 0).Equation();
    program.f1 = slot;
    program.f2 = slot;
  } catch (const ParseError& error) {
    return EquationFailure(Field::Invariant, error.text, error.column);
  }
  return std::shared_ptr<const Invariant>(std::move(invariant));
}

Outcome<double> ReadConstant(std::string_view text, Field field) {
  Program program;
  if (text.size() > kMaxEquationLength)
    return EquationFailure(field, "the number is longer than " + std::to_string(kMaxEquationLength) + " characters", 0);
  try {
    Parser parser(text, program, 0);
    parser.ConstantOnly();
    const std::uint16_t slot = parser.Equation();
    program.f1 = slot;
    program.f2 = slot;
  } catch (const ParseError& error) {
    return EquationFailure(field, error.text, error.column);
  }
  const double value = TypedSystem{std::move(program), {}}(0.0, 0.0, 0.0).d1;
  if (!std::isfinite(value)) return EquationFailure(field, Excerpt(Trimmed(text)) + " has no finite value", 1);
  return value;
}

std::string EquationLanguageHelp() {
  return "Expressions in x, y1 and y2 with numbers (\".\" as the decimal point), + - * / ^, parentheses, " +
         FunctionNames() + ", pi and e.";
}

Outcome<std::shared_ptr<const OwnSystem>> ReadSystem(const SystemTexts& texts) {
  auto own = std::make_shared<OwnSystem>();
  own->texts = texts;
  Program& program = own->system.program;
  const Field fields[] = {Field::F1, Field::F2};
  const std::string* equations[] = {&texts.f1, &texts.f2};
  std::uint16_t results[2] = {0, 0};
  for (std::uint8_t i = 0; i < 2; ++i) {
    const std::string& text = *equations[i];
    if (text.size() > kMaxEquationLength)
      return EquationFailure(fields[i],
                             "the equation is longer than " + std::to_string(kMaxEquationLength) + " characters", 0);
    try {
      results[i] = Parser(text, program, i).Equation();
    } catch (const ParseError& error) {
      return EquationFailure(fields[i], error.text, error.column);
    }
  }
  program.f1 = results[0];
  program.f2 = results[1];
  const struct {
    const std::string* text;
    const char* noun;
    Field field;
    double* value;
  } starts[] = {{&texts.x0, "the start x0", Field::X0, &own->system.start.x},
                {&texts.y10, "the initial value y1(0)", Field::Y10, &own->system.start.y1},
                {&texts.y20, "the initial value y2(0)", Field::Y20, &own->system.start.y2}};
  for (const auto& start : starts) {
    if (std::optional<Failure> failure =
            Caught([&] { *start.value = ReadNumber(*start.text, start.noun, start.field); })) {
      // A start value that does not read is a wrong text of the system.
      failure->kind = FailureKind::WrongInput;
      return *failure;
    }
    // Nor one that reads as something other than it shows ("0,5" reads as 0).
    if (!IsPlainNumber(*start.text)) {
      return Failure{FailureKind::WrongInput,
                     {start.field},
                     PlainRoundTripText(*start.value),
                     std::string(start.noun) + " " + QuotedInput(*start.text) + " is not a plain number: it reads as " +
                         PlainRoundTripText(*start.value) + ".",
                     "Enter digits with \".\" as the decimal point, and an exponent if need be: 0.5, -2, 1e-3."};
    }
  }
  return std::shared_ptr<const OwnSystem>(std::move(own));
}

namespace {

// A system that runs the program one instruction at a time and keeps the
// first that left the numbers.
struct Watcher {
  const Program& program;
  std::optional<Fault>& fault;

  Derivatives<double> operator()(double x, double y1, double y2) const {
    std::vector<double> slots{x, y1, y2};
    for (const Instruction& in : program.code) {
      const bool binary = in.op != Op::Constant && in.op != Op::Negate &&
                          (in.op != Op::Function || Functions()[in.function].arity == 2);
      const double a = slots[in.a];
      const double b = binary ? slots[in.b] : 0.0;
      const double r = Apply<double>(in, a, b);
      if (!fault && !std::isfinite(r) && std::isfinite(a) && std::isfinite(b)) fault = Diagnosis(in, a, b, r);
      slots.push_back(r);
    }
    return {slots[program.f1], slots[program.f2]};
  }

  // A function outside its domain by its row (or giving no number), a power
  // of a negative number or of 0 that has none: a domain error.
  static Fault Diagnosis(const Instruction& in, double a, double b, double r) {
    const std::string where =
        std::string(" (f") + std::to_string(in.equation + 1) + ", column " + std::to_string(in.column) + ")";
    const bool domain = (in.op == Op::Function && (!Functions()[in.function].in_domain(a, b) || std::isnan(r))) ||
                        (in.op == Op::Power && (std::isnan(r) || a == 0));
    if (in.op == Op::Divide && b == 0) return {FailureKind::DivisionByZero, "a division by zero" + where};
    if (domain) {
      return {FailureKind::Domain, OpName(in) + " of " + PlainRoundTripText(a) +
                                       (in.op == Op::Power ? " to the power " + PlainRoundTripText(b) : "") +
                                       ", outside its domain" + where};
    }
    return {FailureKind::Overflow, std::string("'").append(OpName(in)).append("' left the range of numbers") + where};
  }
};

}  // namespace

std::optional<Fault> StepFault(const OwnSystem& system, Method method, const State<double>& start, double h) {
  std::optional<Fault> fault;
  const Watcher watcher{system.system.program, fault};
  WithStep(method, [&](auto step) { return step.Step(watcher, start, h); });
  return fault;
}

std::optional<Fault> PointFault(const OwnSystem& system, const State<double>& point) {
  std::optional<Fault> fault;
  Watcher{system.system.program, fault}(point.x, point.y1, point.y2);
  return fault;
}

}  // namespace kavrin
