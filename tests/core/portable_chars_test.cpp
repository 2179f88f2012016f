// The portable number text (snprintf, strtod), which the WebAssembly build
// uses, against std::to_chars and std::from_chars on the same values.
#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "core/number_text.h"

namespace kavrin {
namespace {

std::string Std(double v, std::chars_format format, int precision = -1) {
  static char buffer[1500];
  const auto r = precision < 0 && format == std::chars_format{} ? std::to_chars(buffer, buffer + sizeof buffer, v)
                 : precision < 0 ? std::to_chars(buffer, buffer + sizeof buffer, v, format)
                                 : std::to_chars(buffer, buffer + sizeof buffer, v, format, precision);
  return {buffer, r.ptr};
}

std::string Portable(double v, CharsStyle style, int precision = -1) {
  static char buffer[1500];
  char* end = precision < 0 ? portable::ToChars(buffer, buffer + sizeof buffer, v, style)
                            : portable::ToChars(buffer, buffer + sizeof buffer, v, style, precision);
  return {buffer, end};
}

// Random bit patterns across the whole range, values a user types, and edges.
std::vector<double> Values() {
  std::vector<double> values{0.0,
                             -0.0,
                             1.0,
                             0.1,
                             1.0 / 3,
                             2.0 / 3,
                             1e-7,
                             123456.0,
                             1e15,
                             1e16,
                             1e17,
                             1e22,
                             1e23,
                             1e-6,
                             1e-5,
                             0.0001,
                             100000.0,
                             5e-324,
                             2e-308,
                             1e308,
                             1.7976931348623157e308,
                             0.30000000000000004,
                             9007199254740993.0};
  std::mt19937_64 random(20261208);
  for (int i = 0; i < 5000; ++i) {
    const std::uint64_t bits = random();
    double v = 0;
    std::memcpy(&v, &bits, sizeof v);
    if (std::isfinite(v)) values.push_back(v);
    values.push_back(static_cast<double>(random() % 2000000) / 1000 - 1000);  // typed-looking
  }
  return values;
}

TEST(PortableChars, WritesWhatToCharsWrites) {
  for (const double v : Values()) {
    ASSERT_EQ(Portable(v, CharsStyle::Shortest), Std(v, std::chars_format{})) << v;
    ASSERT_EQ(Portable(v, CharsStyle::Scientific), Std(v, std::chars_format::scientific)) << v;
    ASSERT_EQ(Portable(v, CharsStyle::General), Std(v, std::chars_format::general)) << v;
    ASSERT_EQ(Portable(v, CharsStyle::Scientific, 14), Std(v, std::chars_format::scientific, 14)) << v;
    if (std::fabs(v) >= 1e-6 && std::fabs(v) < 1e15) {
      ASSERT_EQ(Portable(v, CharsStyle::Fixed), Std(v, std::chars_format::fixed)) << v;
      ASSERT_EQ(Portable(v, CharsStyle::Fixed, 1100), Std(v, std::chars_format::fixed, 1100)) << v;
    }
  }
}

TEST(PortableChars, ReadsWhatFromCharsReads) {
  std::vector<std::string> texts{"0",
                                 "1",
                                 "0.1",
                                 "1e308",
                                 "1e309",
                                 "2e-308",
                                 "4.9e-324",
                                 "2e-324",
                                 "1e-400",
                                 "123456789012345678901234567890",
                                 "0.000000000000000000000000000001e-300",
                                 "12abc"};
  for (const double v : Values()) texts.push_back(Std(v, std::chars_format::scientific, 20));
  for (const std::string& t : texts) {
    double a = 7, b = 7;
    const auto s = std::from_chars(t.data(), t.data() + t.size(), a);
    const CharsRead p = portable::FromChars(t.data(), t.data() + t.size(), b, false);
    ASSERT_EQ(p.out_of_range, s.ec == std::errc::result_out_of_range) << t;
    ASSERT_EQ(p.end, s.ptr) << t;
    ASSERT_EQ(a, b) << t;
    ASSERT_EQ(std::signbit(a), std::signbit(b)) << t;
  }
  for (const std::string t : {"ff", "1fffffffffffff8",
                              "10000000000000000000000000000000000000000000000000000000000000000"
                              "00000000000000000000000000000000000000000000000000000000000000000"
                              "00000000000000000000000000000000000000000000000000000000000000000"
                              "00000000000000000000000000000000000000000000000000000000000000000"
                              "0000000"}) {
    double a = 7, b = 7;
    const auto s = std::from_chars(t.data(), t.data() + t.size(), a, std::chars_format::hex);
    const CharsRead p = portable::FromChars(t.data(), t.data() + t.size(), b, true);
    ASSERT_EQ(p.out_of_range, s.ec == std::errc::result_out_of_range) << t;
    ASSERT_EQ(a, b) << t;
  }
}

}  // namespace
}  // namespace kavrin
