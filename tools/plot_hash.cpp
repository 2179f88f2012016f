// Prints the FNV-1a hash of the picture the desktop draws for one
// calculation (x1, N, the method's place in the table) at 317 x 245 pixels,
// as 0xAARRGGBB: the browser page's test compares its canvas with it. With
// --captions, prints the captions of the window's seven methods, one a line, in their order.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "core/session.h"
#include "plot/graphic.h"
#include "plot/raster_image.h"

int main(int argc, char* argv[]) {
  if (argc == 2 && std::string_view(argv[1]) == "--captions") {
    for (std::size_t i = 0; i < kavrin::kWindowMethodCount; ++i) {
      const kavrin::MethodInfo& info = kavrin::kMethods[i];
      std::printf("%.*s\n", static_cast<int>(info.caption.size()), info.caption.data());
    }
    return 0;
  }
  if (argc != 4) {
    std::fprintf(stderr, "usage: %s X1 N METHOD | --captions\n", argv[0]);
    return 2;
  }
  kavrin::Session session;
  kavrin::PressRequest request;
  request.x1 = argv[1];
  request.N = argv[2];
  request.method = static_cast<kavrin::Method>(std::atoi(argv[3]));
  const kavrin::PressResult press = session.Press(request);
  kavrin::RasterImage picture(kavrin::kPaleYellow);
  picture.Resize(317, 245);
  if (press.failure || kavrin::DrawPicture(session.calculation(), picture)) {
    std::fprintf(stderr, "%s: the press or its picture failed\n", argv[0]);
    return 1;
  }
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
