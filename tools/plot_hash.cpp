// Prints the FNV-1a hash of the picture the desktop draws for one
// calculation (x1, N, method 0 to 6) at 317 x 245 pixels, as 0xAARRGGBB:
// the browser page's test compares its canvas with it. With --captions,
// prints the method buttons' captions, one a line, in their order.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "core/calculation.h"
#include "plot/graphic.h"
#include "plot/raster_image.h"

int main(int argc, char* argv[]) {
  if (argc == 2 && std::string_view(argv[1]) == "--captions") {
    for (const kavrin::MethodInfo& info : kavrin::kMethods)
      std::printf("%.*s\n", static_cast<int>(info.caption.size()), info.caption.data());
    return 0;
  }
  if (argc != 4) {
    std::fprintf(stderr, "usage: %s X1 N METHOD | --captions\n", argv[0]);
    return 2;
  }
  kavrin::Calculation calculation;
  calculation.Calculate(kavrin::BuiltInTexts(argv[1], argv[2]), static_cast<kavrin::Method>(std::atoi(argv[3])), ".");
  kavrin::RasterImage picture(kavrin::kPaleYellow);
  picture.Resize(317, 245);
  kavrin::Graphic(calculation.N(), calculation.tables(), calculation.x1(), picture);
  std::uint32_t hash = 2166136261u;
  for (int i = 0; i < 317 * 245; ++i) {
    for (int shift = 0; shift < 32; shift += 8) {
      hash ^= (picture.pixels()[i] >> shift) & 0xFFu;
      hash *= 16777619u;
    }
  }
  std::printf("%08x\n", hash);
  return 0;
}
