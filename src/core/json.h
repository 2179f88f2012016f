#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/failure.h"

// JSON as the page and the program exchange it: requests are objects of
// named strings, numbers, booleans and lists of strings; answers are written
// field by field.
namespace kavrin {

// A JSON object of names and values, one level deep; nested objects and
// lists of other things are read and skipped.
class JsonObject {
 public:
  // Reads a whole object; a text that is not one is wrong input, saying where.
  static Outcome<JsonObject> Parse(std::string_view text);

  bool Has(std::string_view name) const;
  // The value of a name, when it is of that kind.
  std::optional<std::string> Text(std::string_view name) const;
  std::optional<double> Number(std::string_view name) const;
  std::optional<std::vector<std::string>> Texts(std::string_view name) const;

 private:
  struct Value {
    enum class Kind { Text, Number, Boolean, Texts, Other } kind = Kind::Other;
    std::string text;
    double number = 0;
    std::vector<std::string> texts;
  };
  friend class JsonReader;
  std::map<std::string, Value, std::less<>> m_values;
};

// An object written field by field: {"a":1,"b":"x"}.
class JsonWriter {
 public:
  JsonWriter& Text(std::string_view name, std::string_view value);
  JsonWriter& Number(std::string_view name, double value);
  JsonWriter& Boolean(std::string_view name, bool value);
  JsonWriter& Texts(std::string_view name, const std::vector<std::string>& values);
  // A value that is JSON already: an object or a list.
  JsonWriter& Raw(std::string_view name, std::string_view json);
  std::string Done() const { return m_out + "}"; }

 private:
  JsonWriter& Name(std::string_view name);
  std::string m_out = "{";
};

// A list of JSON values that are JSON already: [a,b,...].
std::string JsonList(const std::vector<std::string>& items);

// The failure as the page reads it: its kind, where, what was read, the text,
// the advice and the whole report as `message`, worded with `name`.
std::string FailureJson(const Failure& failure, FieldName name = PlainFieldName);

}  // namespace kavrin
