#include "core/equation.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "core/number_text.h"

namespace kavrin {
namespace {

constexpr long double kPi = 3.141592653589793238462643383279502884L;
constexpr long double kE = 2.718281828459045235360287471352662498L;
// Whole-number exponents up to this are repeated multiplication.
constexpr long kMaxRepeatedPower = 64;

struct Function {
  const char* name;
  Op op;
};
constexpr Function kFunctions[] = {{"sin", Op::Sin},   {"cos", Op::Cos},   {"tan", Op::Tan},   {"asin", Op::Asin},
                                   {"acos", Op::Acos}, {"atan", Op::Atan}, {"sinh", Op::Sinh}, {"cosh", Op::Cosh},
                                   {"tanh", Op::Tanh}, {"exp", Op::Exp},   {"log", Op::Log},   {"sqrt", Op::Sqrt},
                                   {"abs", Op::Abs}};

const char* OpName(Op op) {
  for (const Function& f : kFunctions)
    if (f.op == op) return f.name;
  switch (op) {
    case Op::Add:
      return "+";
    case Op::Subtract:
      return "-";
    case Op::Multiply:
      return "*";
    case Op::Divide:
      return "/";
    case Op::Negate:
      return "-";
    case Op::Power:
      return "^";
    default:
      break;
  }
  return "a constant";
}

struct ParseError {
  std::string message;
};

// A recursive-descent parser that emits the program as it reads: operands
// first, then the operation, so that the program runs in the order written.
class Parser {
 public:
  Parser(std::string_view text, Program& program, std::uint8_t equation)
      : m_text(text), m_program(program), m_equation(equation) {}

  std::uint16_t Equation() {
    Skip();
    if (m_pos == m_text.size()) throw ParseError{"the equation is empty"};
    const std::uint16_t slot = Sum();
    Skip();
    if (m_pos < m_text.size()) {
      if (m_text[m_pos] == ')') throw ParseError{"unexpected ')' at column " + Column(m_pos)};
      throw ParseError{"missing an operator before " + Token(m_pos) + " at column " + Column(m_pos)};
    }
    return slot;
  }

 private:
  // Columns count characters from 1, whatever their bytes.
  // Columns count characters, not the bytes of their UTF-8 encoding.
  std::size_t ColumnNumber(std::size_t pos) const {
    std::size_t column = 1;
    for (std::size_t i = 0; i < pos; ++i) column += (static_cast<unsigned char>(m_text[i]) & 0xC0) != 0x80 ? 1 : 0;
    return column;
  }
  std::string Column(std::size_t pos) const { return std::to_string(ColumnNumber(pos)); }
  std::string Token(std::size_t pos) const {
    std::size_t end = pos + 1;
    if (std::isalnum(static_cast<unsigned char>(m_text[pos])) || m_text[pos] == '_' || m_text[pos] == '.') {
      while (end < m_text.size() &&
             (std::isalnum(static_cast<unsigned char>(m_text[end])) || m_text[end] == '_' || m_text[end] == '.'))
        ++end;
    } else {
      while (end < m_text.size() && (static_cast<unsigned char>(m_text[end]) & 0xC0) == 0x80) ++end;
    }
    return "'" + std::string(m_text.substr(pos, end - pos)) + "'";
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
  std::uint16_t Constant(double value, long double wide, std::size_t pos) {
    Instruction in;
    in.op = Op::Constant;
    in.value = value;
    in.wide = wide;
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
      throw ParseError{std::string("'") + op + "' needs a number or an expression after it (column " + Column(at) +
                       ")"};
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
    if (c == ')') throw ParseError{"unexpected ')' at column " + Column(m_pos)};
    throw ParseError{"unexpected " + Token(m_pos) + " at column " + Column(m_pos)};
  }

  [[noreturn]] void Missing(std::size_t open) {
    Skip();
    if (m_pos == m_text.size()) throw ParseError{"missing ')' at the end"};
    throw ParseError{"missing ')' for the '(' at column " + Column(open) + " before " + Token(m_pos) + " at column " +
                     Column(m_pos)};
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
    if (!ReadPlainNumber(literal, value, wide)) {
      throw ParseError{"'" + literal + "' at column " + Column(at) + " is not a number"};
    }
    if (!std::isfinite(value)) throw ParseError{"'" + literal + "' at column " + Column(at) + " is too large"};
    return Constant(value, wide, at);
  }

  std::uint16_t Name() {
    const std::size_t at = m_pos;
    std::size_t end = m_pos;
    while (end < m_text.size() && (std::isalnum(static_cast<unsigned char>(m_text[end])) || m_text[end] == '_')) ++end;
    const std::string_view name = m_text.substr(at, end - at);
    m_pos = end;
    if (name == "x") return 0;
    if (name == "y1") return 1;
    if (name == "y2") return 2;
    if (name == "pi") return Constant(static_cast<double>(kPi), kPi, at);
    if (name == "e") return Constant(static_cast<double>(kE), kE, at);
    for (const Function& f : kFunctions) {
      if (name != f.name) continue;
      Skip();
      const std::size_t open = m_pos;
      if (!Next('('))
        throw ParseError{"'" + std::string(name) + "' at column " + Column(at) + " needs '(' and an argument after it"};
      Deeper depth(*this, open);
      Skip();
      if (m_pos < m_text.size() && m_text[m_pos] == ')')
        throw ParseError{"'" + std::string(name) + "' at column " + Column(at) + " needs an argument"};
      const std::uint16_t argument = Sum();
      if (!Next(')')) Missing(open);
      return Binary(f.op, argument, 0, at);
    }
    throw ParseError{"unknown name '" + std::string(name) + "' at column " + Column(at)};
  }

  // Counts the nesting while it lives: parentheses, functions and signs.
  struct Deeper {
    Deeper(Parser& parser, std::size_t at) : m_parser(parser) {
      if (++m_parser.m_depth > kMaxEquationDepth)
        throw ParseError{"the equation nests deeper than " + std::to_string(kMaxEquationDepth) + " levels at column " +
                         m_parser.Column(at)};
    }
    ~Deeper() { --m_parser.m_depth; }
    Deeper(const Deeper&) = delete;
    Deeper& operator=(const Deeper&) = delete;
    Parser& m_parser;
  };

  std::string_view m_text;
  Program& m_program;
  std::uint8_t m_equation;
  std::size_t m_pos = 0;
  int m_depth = -1;  // the top level is 0
};

}  // namespace

const std::vector<SystemExample>& SystemExamples() {
  static const std::vector<SystemExample> examples = {
      {"Built-in system", {"y1*y2 + x", "x*y2 + y1", "0", "1", "-1"}},
      {"Harmonic oscillator", {"y2", "-y1", "0", "1", "0"}},
      {"Lotka-Volterra", {"1.1*y1 - 0.4*y1*y2", "0.1*y1*y2 - 0.4*y2", "0", "10", "10"}},
      {"Pendulum", {"y2", "-sin(y1)", "0", "1", "0"}},
      {"Van der Pol (\xCE\xBC = 1)", {"y2", "(1 - y1^2)*y2 - y1", "0", "2", "0"}},
  };
  return examples;
}

bool IsBuiltIn(const SystemTexts& texts) {
  const SystemTexts& b = SystemExamples().front().texts;
  return texts.f1 == b.f1 && texts.f2 == b.f2 && texts.x0 == b.x0 && texts.y10 == b.y10 && texts.y20 == b.y20;
}

std::string OwnSystem::Title() const { return "y1' = " + texts.f1 + ", y2' = " + texts.f2; }

std::string OwnSystem::Description() const {
  return "y1' = " + texts.f1 + "; y2' = " + texts.f2 + "; x0 = " + texts.x0 + "; y1(0) = " + texts.y10 +
         "; y2(0) = " + texts.y20;
}

SystemRead ReadSystem(const SystemTexts& texts) {
  auto own = std::make_shared<OwnSystem>();
  own->texts = texts;
  Program& program = own->system.program;
  const std::string_view names[] = {"f1", "f2"};
  const std::string* equations[] = {&texts.f1, &texts.f2};
  std::uint16_t results[2] = {0, 0};
  for (std::uint8_t i = 0; i < 2; ++i) {
    const std::string& text = *equations[i];
    if (text.size() > kMaxEquationLength)
      return {nullptr, std::string(names[i]) + ": the equation is longer than " + std::to_string(kMaxEquationLength) +
                           " characters"};
    try {
      results[i] = Parser(text, program, i).Equation();
    } catch (const ParseError& error) {
      return {nullptr, std::string(names[i]) + ": " + error.message};
    }
  }
  program.f1 = results[0];
  program.f2 = results[1];
  const std::pair<const std::string*, const char*> starts[] = {
      {&texts.x0, "the start x0"}, {&texts.y10, "the initial value y1(0)"}, {&texts.y20, "the initial value y2(0)"}};
  double* values[] = {&own->system.start.x, &own->system.start.y1, &own->system.start.y2};
  for (std::size_t i = 0; i < 3; ++i) {
    try {
      *values[i] = ReadNumber(*starts[i].first, starts[i].second);
    } catch (const Failure& failure) {
      return {nullptr, failure.detail()};
    }
  }
  return {own, {}};
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
      const double a = slots[in.a];
      const double b = in.op == Op::Constant || in.op == Op::Negate || (in.op >= Op::Sin) ? 0.0 : slots[in.b];
      const double r = Apply<double>(in, a, b);
      if (!fault && !std::isfinite(r) && std::isfinite(a) && std::isfinite(b)) {
        const std::string where =
            std::string(" (f") + std::to_string(in.equation + 1) + ", column " + std::to_string(in.column) + ")";
        const bool domain = in.op == Op::Log || in.op == Op::Sqrt || in.op == Op::Asin || in.op == Op::Acos ||
                            in.op == Op::Power || (std::isnan(r) && in.op >= Op::Sin);
        if (in.op == Op::Divide && b == 0) {
          fault = Fault{FailureKind::DivisionByZero, "a division by zero" + where};
        } else if (domain) {
          fault = Fault{FailureKind::Domain, std::string(OpName(in.op)) + " of " + ShortestText(a) +
                                                 (in.op == Op::Power ? " to the power " + ShortestText(b) : "") +
                                                 ", outside its domain" + where};
        } else {
          fault = Fault{FailureKind::Overflow,
                        std::string(1, '\'').append(OpName(in.op)) + "' left the range of numbers" + where};
        }
      }
      slots.push_back(r);
    }
    return {slots[program.f1], slots[program.f2]};
  }
};

}  // namespace

std::optional<Fault> StepFault(const OwnSystem& system, Method method, const State<double>& start, double h) {
  std::optional<Fault> fault;
  const Watcher watcher{system.system.program, fault};
  WithStep(method, [&](auto step) { return decltype(step)::Step(watcher, start, h); });
  return fault;
}

}  // namespace kavrin
