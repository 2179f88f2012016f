#pragma once

#include <cstdint>

namespace kavrin {

// A colour as red, green and blue from 0 to 255.
struct Rgb {
  std::uint8_t red;
  std::uint8_t green;
  std::uint8_t blue;
  friend bool operator==(const Rgb&, const Rgb&) = default;
};

// The shapes that mark a method's points on a chart.
enum class MarkerShape { Circle, Square, TriangleUp, Diamond, TriangleDown, Plus, Cross };

}  // namespace kavrin
