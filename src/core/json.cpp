#include "core/json.h"

#include <cmath>

#include "core/number_text.h"
#include "core/text.h"

namespace kavrin {

// Reads one object, one character at a time, never deeper than kMaxDepth.
class JsonReader {
 public:
  explicit JsonReader(std::string_view text) : m_text(text) {}

  JsonObject Object() {
    JsonObject object;
    Expect('{');
    if (Peek() == '}') {
      ++m_pos;
    } else {
      for (;;) {
        std::string name = String();
        Expect(':');
        object.m_values[std::move(name)] = Value(1);
        if (Peek() == '}') break;
        Expect(',');
      }
      Expect('}');
    }
    if (Peek() != '\0') Fail("more after the object");
    return object;
  }

  struct Error {
    std::string text;
  };

 private:
  static constexpr int kMaxDepth = 64;

  [[noreturn]] void Fail(const std::string& what) const {
    throw Error{"the request is not a JSON object: " + what + " at byte " + std::to_string(m_pos + 1)};
  }
  char Peek() {
    while (m_pos < m_text.size() &&
           (m_text[m_pos] == ' ' || m_text[m_pos] == '\t' || m_text[m_pos] == '\n' || m_text[m_pos] == '\r'))
      ++m_pos;
    return m_pos < m_text.size() ? m_text[m_pos] : '\0';
  }
  void Expect(char c) {
    if (Peek() != c) Fail(std::string("'") + c + "' expected");
    ++m_pos;
  }

  JsonObject::Value Value(int depth) {
    using Kind = JsonObject::Value::Kind;
    JsonObject::Value value;
    const char c = Peek();
    if (c == '"') {
      value.kind = Kind::Text;
      value.text = String();
    } else if (c == '[') {
      value = List(depth);
    } else if (c == '{') {
      SkipObject(depth);
    } else if (Word("true")) {
      value.kind = Kind::Boolean;
      value.number = 1;
    } else if (Word("false")) {
      value.kind = Kind::Boolean;
    } else if (Word("null")) {
    } else {
      value.kind = Kind::Number;
      value.number = NumberValue();
    }
    return value;
  }

  bool Word(std::string_view word) {
    if (m_text.substr(m_pos, word.size()) != word) return false;
    m_pos += word.size();
    return true;
  }

  double NumberValue() {
    const std::size_t start = m_pos;
    while (m_pos < m_text.size() && std::string_view("+-.0123456789eE").find(m_text[m_pos]) != std::string_view::npos)
      ++m_pos;
    double number = 0;
    const char* first = m_text.data() + start;
    if (m_pos == start || FromChars(first, m_text.data() + m_pos, number).end != m_text.data() + m_pos ||
        !std::isfinite(number))
      Fail("a value expected");
    return number;
  }

  JsonObject::Value List(int depth) {
    using Kind = JsonObject::Value::Kind;
    if (depth > kMaxDepth) Fail("nested too deeply");
    JsonObject::Value list;
    list.kind = Kind::Texts;
    Expect('[');
    if (Peek() == ']') {
      ++m_pos;
      return list;
    }
    for (;;) {
      const JsonObject::Value item = Value(depth + 1);
      if (item.kind == Kind::Text)
        list.texts.push_back(item.text);
      else
        list.kind = Kind::Other;
      if (Peek() == ']') break;
      Expect(',');
    }
    ++m_pos;
    return list;
  }

  void SkipObject(int depth) {
    if (depth > kMaxDepth) Fail("nested too deeply");
    Expect('{');
    if (Peek() == '}') {
      ++m_pos;
      return;
    }
    for (;;) {
      String();
      Expect(':');
      Value(depth + 1);
      if (Peek() == '}') break;
      Expect(',');
    }
    ++m_pos;
  }

  std::string String() {
    Expect('"');
    std::string out;
    while (m_pos < m_text.size() && m_text[m_pos] != '"') {
      const char c = m_text[m_pos++];
      if (static_cast<unsigned char>(c) < 0x20) Fail("a control character in a string");
      if (c != '\\') {
        out += c;
        continue;
      }
      if (m_pos >= m_text.size()) break;
      const char e = m_text[m_pos++];
      const std::string_view plain = "\"\\/bfnrt";
      const std::string_view meant = "\"\\/\b\f\n\r\t";
      if (const std::size_t k = plain.find(e); k != std::string_view::npos) {
        out += meant[k];
      } else if (e == 'u') {
        AppendUtf8(out, CodePoint());
      } else {
        Fail("an unknown escape");
      }
    }
    if (m_pos >= m_text.size()) Fail("an unfinished string");
    ++m_pos;
    return out;
  }

  unsigned Hex4() {
    if (m_pos + 4 > m_text.size()) Fail("four hexadecimal digits expected");
    unsigned value = 0;
    for (int i = 0; i < 4; ++i) {
      const char c = m_text[m_pos++];
      const std::size_t digit = std::string_view("0123456789abcdef").find(Lower(std::string(1, c))[0]);
      if (digit == std::string_view::npos) Fail("four hexadecimal digits expected");
      value = value * 16 + static_cast<unsigned>(digit);
    }
    return value;
  }

  // \uXXXX, or a pair of them for a character beyond the first plane; a lone
  // half of a pair stands as the replacement character.
  unsigned CodePoint() {
    const unsigned first = Hex4();
    if (first < 0xD800 || first > 0xDFFF) return first;
    if (first <= 0xDBFF && m_text.substr(m_pos, 2) == "\\u") {
      const std::size_t back = m_pos;
      m_pos += 2;
      const unsigned second = Hex4();
      if (second >= 0xDC00 && second <= 0xDFFF) return 0x10000 + ((first - 0xD800) << 10) + (second - 0xDC00);
      m_pos = back;
    }
    return 0xFFFD;
  }

  static void AppendUtf8(std::string& out, unsigned c) {
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }

  std::string_view m_text;
  std::size_t m_pos = 0;
};

Outcome<JsonObject> JsonObject::Parse(std::string_view text) {
  try {
    return JsonReader(text).Object();
  } catch (const JsonReader::Error& error) {
    return Failure{FailureKind::WrongInput, {}, {}, error.text, {}};
  }
}

bool JsonObject::Has(std::string_view name) const { return m_values.find(name) != m_values.end(); }

std::optional<std::string> JsonObject::Text(std::string_view name) const {
  const auto found = m_values.find(name);
  if (found == m_values.end() || found->second.kind != Value::Kind::Text) return std::nullopt;
  return found->second.text;
}

std::optional<double> JsonObject::Number(std::string_view name) const {
  const auto found = m_values.find(name);
  if (found == m_values.end() || found->second.kind != Value::Kind::Number) return std::nullopt;
  return found->second.number;
}

std::optional<std::vector<std::string>> JsonObject::Texts(std::string_view name) const {
  const auto found = m_values.find(name);
  if (found == m_values.end() || found->second.kind != Value::Kind::Texts) return std::nullopt;
  return found->second.texts;
}

JsonWriter& JsonWriter::Name(std::string_view name) {
  if (m_out.size() > 1) m_out += ',';
  m_out += JsonQuoted(name);
  m_out += ':';
  return *this;
}

JsonWriter& JsonWriter::Text(std::string_view name, std::string_view value) {
  Name(name).m_out += JsonQuoted(value);
  return *this;
}

JsonWriter& JsonWriter::Number(std::string_view name, double value) {
  Name(name).m_out += std::isfinite(value) ? RoundTripText(value) : std::string("null");
  return *this;
}

JsonWriter& JsonWriter::Boolean(std::string_view name, bool value) {
  Name(name).m_out += value ? "true" : "false";
  return *this;
}

JsonWriter& JsonWriter::Texts(std::string_view name, const std::vector<std::string>& values) {
  std::vector<std::string> quoted;
  quoted.reserve(values.size());
  for (const std::string& value : values) quoted.push_back(JsonQuoted(value));
  Name(name).m_out += JsonList(quoted);
  return *this;
}

JsonWriter& JsonWriter::Raw(std::string_view name, std::string_view json) {
  Name(name).m_out += json;
  return *this;
}

std::string JsonList(const std::vector<std::string>& items) {
  std::string out = "[";
  for (const std::string& item : items) out.append(out.size() > 1 ? "," : "").append(item);
  return out + "]";
}

std::string FailureJson(const Failure& failure, FieldName name) {
  static const char* const kKinds[] = {"division-by-zero", "overflow", "index-out-of-range", "out-of-memory", "domain",
                                       "wrong-input",      "output"};
  static const char* const kFields[] = {"",   "x0",       "y10",   "y20",     "x1",      "N",      "f1",
                                        "f2", "study-x1", "steps", "methods", "against", "format", "file"};
  JsonWriter json;
  json.Text("kind", kKinds[static_cast<int>(failure.kind)])
      .Text("field", kFields[static_cast<int>(failure.where.field)]);
  if (failure.where.column > 0) json.Number("column", failure.where.column);
  if (failure.where.step > 0) json.Number("step", static_cast<double>(failure.where.step)).Number("x", failure.where.x);
  if (!failure.read_as.empty()) json.Text("readAs", failure.read_as);
  return json.Text("text", failure.text).Text("advice", failure.advice).Text("message", Describe(failure, name)).Done();
}

}  // namespace kavrin
