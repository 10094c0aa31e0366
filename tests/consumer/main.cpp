#include <cstdio>

#include "tintwise/hsb_search.h"

int main() {
  tintwise::HsbMatch match{};
  tintwise::find_best_hsb(match, 255, 128, 0, false);
  std::printf("%d %d %d\n", static_cast<int>(match.hue), static_cast<int>(match.saturation),
              static_cast<int>(match.brightness));
  return 0;
}
