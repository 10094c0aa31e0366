#include <cstdio>

#include "tintwise/hsb_search.h"
#include "tintwise/lights.h"
#include "tintwise/palette.h"

int main() {
  tintwise::HsbMatch match{};
  tintwise::find_best_hsb(match, 255, 128, 0, false);
  std::printf("%d %d %d %s\n", static_cast<int>(match.hue), static_cast<int>(match.saturation),
              static_cast<int>(match.brightness), tintwise::palette_format_name(tintwise::PaletteFormat::gimp));
  std::printf("%d\n", tintwise::glob_matches("Light*", "light3") ? 1 : 0);
  return 0;
}
