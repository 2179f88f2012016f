#pragma once

namespace kavrin {

// Twips (1/1440 inch) to logical pixels at 96 dots per inch.
constexpr int Px(int twips) { return twips / 15; }

}  // namespace kavrin
