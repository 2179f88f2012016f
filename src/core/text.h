#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Text as the program handles it everywhere: UTF-8 characters counted as
// characters, the blanks that reading ignores, and JSON strings.
namespace kavrin {

// The characters of UTF-8 text (bytes that do not continue a character).
std::size_t CodePoints(std::string_view text);

// The byte at which character `characters` starts (or the end).
std::size_t CharacterStart(std::string_view text, std::size_t characters);

// The blanks that reading numbers and lists ignores: space, tab, line feed.
constexpr bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n'; }

// The text without blanks at either end.
std::string_view Trimmed(std::string_view text);

// ASCII letters in lower case, other bytes as they are.
std::string Lower(std::string_view text);

// The text as a JSON string, quotes included: quotes, backslashes and every
// control character escaped, other bytes as they are.
std::string JsonQuoted(std::string_view text);

// A typed text in single quotes for a report: whole up to 80 characters,
// else its first 64, "...", and its length: '--xxx...' (131072 characters).
std::string Excerpt(std::string_view text);

// The text padded with blanks to `width` characters, on the right
// (left-aligned) or the left.
std::string Padded(std::string_view text, std::size_t width, bool left_aligned);

}  // namespace kavrin
