#include "core/text.h"

#include <cstdio>

namespace kavrin {
namespace {

bool Continues(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

}  // namespace

std::size_t CodePoints(std::string_view text) {
  std::size_t count = 0;
  for (const char c : text) count += Continues(c) ? 0 : 1;
  return count;
}

std::size_t CharacterStart(std::string_view text, std::size_t characters) {
  std::size_t i = 0;
  for (std::size_t seen = 0; i < text.size(); ++i) {
    if (Continues(text[i])) continue;
    if (seen == characters) break;
    ++seen;
  }
  return i;
}

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

std::string Lower(std::string_view text) {
  std::string lower(text);
  for (char& c : lower)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return lower;
}

std::string JsonQuoted(std::string_view text) {
  std::string out = "\"";
  for (const char c : text) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (static_cast<unsigned char>(c) < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(static_cast<unsigned char>(c)));
      out += escaped;
    } else {
      out += c;
    }
  }
  return out + '"';
}

std::string Excerpt(std::string_view text) {
  constexpr std::size_t kWhole = 80;
  constexpr std::size_t kShown = 64;
  const std::size_t characters = CodePoints(text);
  // Appended piece by piece: GCC 12 warns falsely (-Wrestrict) on "'" + string.
  std::string quoted(1, '\'');
  if (characters <= kWhole) return quoted.append(text).append(1, '\'');
  return quoted.append(text.substr(0, CharacterStart(text, kShown)))
      .append("...' (")
      .append(std::to_string(characters))
      .append(" characters)");
}

std::string Padded(std::string_view text, std::size_t width, bool left_aligned) {
  const std::size_t columns = CodePoints(text);
  const std::string pad(columns < width ? width - columns : 0, ' ');
  return left_aligned ? std::string(text) + pad : pad + std::string(text);
}

}  // namespace kavrin
