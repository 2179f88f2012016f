#include "core/tableau_text.h"

#include <cmath>

#include "core/equation.h"
#include "core/number_text.h"
#include "core/text.h"

namespace kavrin {
namespace {

Failure TableauFailure(std::size_t line, std::string text) {
  return {FailureKind::WrongInput, {Field::Tableau}, {}, "line " + std::to_string(line) + ": " + std::move(text), {}};
}

// An entry of a line: its text and where it starts, in bytes.
struct Entry {
  std::string_view text;
  std::size_t start;
};

bool IsOperator(char c) { return c == '+' || c == '-' || c == '*' || c == '/' || c == '^'; }

// The entries of `part` (which starts at byte `offset` of its line): pieces
// apart by blanks or commas outside parentheses; an operator standing alone
// joins the pieces on both sides, one that ends a piece joins the next, and
// a piece that starts with *, / or ^ joins the one before. "1 - sqrt(2)/2"
// is one entry; "1 -1" is two, the second signed.
std::vector<Entry> Entries(std::string_view part, std::size_t offset) {
  std::vector<Entry> pieces;
  int depth = 0;
  std::size_t start = std::string_view::npos;
  for (std::size_t i = 0; i <= part.size(); ++i) {
    const char c = i < part.size() ? part[i] : ' ';
    if (c == '(') ++depth;
    if (c == ')') --depth;
    const bool apart = depth <= 0 && (IsBlank(c) || c == ',');
    if (!apart && start == std::string_view::npos) start = i;
    if (apart && start != std::string_view::npos) {
      pieces.push_back({part.substr(start, i - start), offset + start});
      start = std::string_view::npos;
    }
  }
  std::vector<Entry> entries;
  bool join = false;
  for (const Entry& piece : pieces) {
    const bool alone = piece.text.size() == 1 && IsOperator(piece.text[0]);
    const bool leads = alone || piece.text[0] == '*' || piece.text[0] == '/' || piece.text[0] == '^';
    if (!entries.empty() && (join || leads)) {
      Entry& last = entries.back();
      last.text = std::string_view(last.text.data(), piece.start + piece.text.size() - last.start);
    } else {
      entries.push_back(piece);
    }
    join = IsOperator(piece.text.back());
  }
  return entries;
}

// A line of the weights' rule: dashes (at least three), with + and | where
// the bar crosses.
bool IsRule(std::string_view line) {
  std::size_t dashes = 0;
  for (const char c : line) {
    if (c == '-' || c == '=') {
      ++dashes;
    } else if (c != '+' && c != '|' && !IsBlank(c)) {
      return false;
    }
  }
  return dashes >= 3;
}

// The lines of the text, without their line breaks.
std::vector<std::string_view> Lines(std::string_view text) {
  std::vector<std::string_view> lines;
  for (std::size_t start = 0; start <= text.size();) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

// An entry as an exact fraction: numbers (digits with a point and an
// exponent), + - * / and parentheses; anything else (a name, ^) is not.
class ExactReader {
 public:
  explicit ExactReader(std::string_view text) : m_text(text) {}
  Rational Read() {
    const Rational value = Sum();
    Blanks();
    return m_at == m_text.size() ? value : Rational::Invalid();
  }

 private:
  void Blanks() {
    while (m_at < m_text.size() && IsBlank(m_text[m_at])) ++m_at;
  }
  bool Take(char c) {
    Blanks();
    if (m_at < m_text.size() && m_text[m_at] == c) {
      ++m_at;
      return true;
    }
    return false;
  }
  Rational Sum() {
    Rational value = Product();
    for (;;) {
      if (Take('+')) {
        value = value + Product();
      } else if (Take('-')) {
        value = value - Product();
      } else {
        return value;
      }
    }
  }
  Rational Product() {
    Rational value = Unary();
    for (;;) {
      if (Take('*')) {
        value = value * Unary();
      } else if (Take('/')) {
        value = value / Unary();
      } else {
        return value;
      }
    }
  }
  Rational Unary() {
    if (Take('-')) return -Unary();
    if (Take('+')) return Unary();
    if (Take('(')) {
      const Rational value = Sum();
      return Take(')') ? value : Rational::Invalid();
    }
    return Number();
  }
  Rational Number() {
    Blanks();
    Rational value(0);
    Rational scale(1);
    bool digits = false;
    bool point = false;
    for (; m_at < m_text.size(); ++m_at) {
      const char c = m_text[m_at];
      if (c == '.' && !point) {
        point = true;
      } else if (c >= '0' && c <= '9') {
        digits = true;
        value = value * Rational(10) + Rational(c - '0');
        if (point) scale = scale * Rational(10);
      } else {
        break;
      }
    }
    if (!digits) return Rational::Invalid();
    if (m_at < m_text.size() && (m_text[m_at] == 'e' || m_text[m_at] == 'E')) {
      ++m_at;
      const bool negative = Take('-');
      if (!negative) Take('+');
      int exponent = 0;
      for (; m_at < m_text.size() && m_text[m_at] >= '0' && m_text[m_at] <= '9' && exponent < 100; ++m_at)
        exponent = exponent * 10 + (m_text[m_at] - '0');
      for (int k = 0; k < exponent; ++k) (negative ? scale : value) = (negative ? scale : value) * Rational(10);
    }
    return value / scale;
  }

  std::string_view m_text;
  std::size_t m_at = 0;
};

class Reader {
 public:
  Outcome<TypedTableau> Read(std::string_view text) {
    if (text.size() > kMaxTableauLength)
      return TableauFailure(1, "the tableau is longer than " + std::to_string(kMaxTableauLength) + " characters");
    const std::vector<std::string_view> lines = Lines(text);
    for (std::size_t n = 0; n < lines.size(); ++n)
      if (std::optional<Failure> failure = Line(lines[n], n + 1)) return *failure;
    if (m_rows.empty()) {
      return Failure{FailureKind::WrongInput,
                     {Field::Tableau},
                     {},
                     "the tableau has no stage lines: each is c_i, a bar '|', then a_i1 a_i2 ...",
                     {}};
    }
    if (m_weights.empty())
      return TableauFailure(lines.size(), "the tableau has no weights: a line of dashes, then '|' and b_1 b_2 ...");
    return Build();
  }

 private:
  // One line: a comment, a blank line, a stage, the rule or weights.
  std::optional<Failure> Line(std::string_view line, std::size_t number) {
    const std::string_view trimmed = Trimmed(line);
    if (trimmed.empty()) return std::nullopt;
    if (trimmed[0] == '#') {
      if (m_rows.empty() && m_name.empty() && !m_named) {
        m_name = std::string(Trimmed(trimmed.substr(1)));
        m_named = true;
      }
      return std::nullopt;
    }
    if (IsRule(trimmed)) {
      if (m_ruled) return TableauFailure(number, "a second line of dashes");
      m_ruled = true;
      return std::nullopt;
    }
    const std::size_t bar = line.find('|');
    if (bar == std::string_view::npos)
      return TableauFailure(number, "no bar '|': a stage line is c_i | a_i1 a_i2 ..., a weights line | b_1 b_2 ...");
    Row row;
    row.line = number;
    const std::string_view node = Trimmed(line.substr(0, bar));
    if (m_ruled) {
      if (!node.empty())
        return TableauFailure(number, "a weights line has nothing before its bar, but here is " + Excerpt(node));
      if (m_weights.size() == 2) return TableauFailure(number, "a third weights line: a tableau has at most two");
    } else if (node.empty()) {
      return TableauFailure(number, "the node c_" + std::to_string(m_rows.size() + 1) + " is missing before the bar");
    } else {
      const std::size_t start = static_cast<std::size_t>(node.data() - line.data());
      if (std::optional<Failure> failure = Value(line, {node, start}, number, row.node)) return failure;
    }
    for (const Entry& entry : Entries(line.substr(bar + 1), bar + 1)) {
      double value = 0;
      if (std::optional<Failure> failure = Value(line, entry, number, value)) return failure;
      row.entries.push_back(value);
      row.exact.push_back(ExactReader(entry.text).Read());
      m_exact = m_exact && row.exact.back().valid();
    }
    (m_ruled ? m_weights : m_rows).push_back(std::move(row));
    if (m_rows.size() > kMaxStages)
      return TableauFailure(number, "more than " + std::to_string(kMaxStages) + " stages");
    return std::nullopt;
  }

  // An entry's value; a failure names the line and the column in it.
  static std::optional<Failure> Value(std::string_view line, const Entry& entry, std::size_t number, double& value) {
    // Blanks in place of what comes before, so that the parser counts the line's columns.
    const std::string text = std::string(CodePoints(line.substr(0, entry.start)), ' ') + std::string(entry.text);
    const Outcome<double> read = ReadConstant(text, Field::Tableau);
    if (!read.ok()) return TableauFailure(number, read.failure().text);
    value = read.value();
    return std::nullopt;
  }

  Outcome<TypedTableau> Build() {
    TypedTableau typed;
    typed.name = m_name;
    Tableau& t = typed.tableau;
    ExactTableau exact;
    t.stages = m_rows.size();
    for (std::size_t i = 0; i < t.stages; ++i) {
      const Row& row = m_rows[i];
      if (row.entries.size() > t.stages)
        return TableauFailure(row.line, "row " + std::to_string(i + 1) + " has " + std::to_string(row.entries.size()) +
                                            " entries, but the tableau has " + std::to_string(t.stages) + " stages");
      t.c[i] = row.node;
      double sum = 0;
      for (std::size_t j = 0; j < row.entries.size(); ++j) {
        t.a[i][j] = row.entries[j];
        exact.a[i][j] = row.exact[j];
        sum += row.entries[j];
      }
      if (std::fabs(sum - row.node) > 1e-12 * (1 + std::fabs(row.node))) {
        typed.warnings.push_back("row " + std::to_string(i + 1) + " (line " + std::to_string(row.line) + "): c_" +
                                 std::to_string(i + 1) + " = " + SignificantText(row.node, 10) +
                                 ", but its entries sum to " + SignificantText(sum, 10));
      }
    }
    for (std::size_t w = 0; w < m_weights.size(); ++w) {
      const Row& row = m_weights[w];
      if (row.entries.size() > t.stages)
        return TableauFailure(row.line, std::to_string(row.entries.size()) + " weights, but the tableau has " +
                                            std::to_string(t.stages) + " stages");
      std::copy(row.entries.begin(), row.entries.end(), (w == 0 ? t.b : t.second).begin());
      std::copy(row.exact.begin(), row.exact.end(), (w == 0 ? exact.b : exact.second).begin());
    }
    t.embedded = m_weights.size() == 2;
    exact.stages = t.stages;
    if (m_exact) typed.exact = exact;
    return typed;
  }

  struct Row {
    std::size_t line = 0;
    double node = 0;
    std::vector<double> entries;
    std::vector<Rational> exact;
  };
  std::string m_name;
  bool m_named = false;
  bool m_ruled = false;
  bool m_exact = true;
  std::vector<Row> m_rows;
  std::vector<Row> m_weights;
};

}  // namespace

Outcome<TypedTableau> ReadTableau(std::string_view text) { return Reader().Read(text); }

}  // namespace kavrin
