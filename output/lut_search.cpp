// The lookup tables' searches, on threads of their own, and what they fill:
// apart from the rest of the writers, which the page builds without threads.
#include <atomic>
#include <thread>

#include "gamut.h"

namespace tintwise {

namespace {

struct PictureFill {
  LutFormat format;
  int points;
  unsigned char* rgb;
};

void take_pixel(void* context, std::size_t p, const HsbMatch& match) {
  const PictureFill& f = *static_cast<PictureFill*>(context);
  const std::uint32_t rgb = rendered_rgb(match);
  unsigned char* px = f.rgb + lut_pixel(f.format, f.points, p) * 3;
  px[0] = static_cast<unsigned char>(rgb >> 16);
  px[1] = static_cast<unsigned char>(rgb >> 8);
  px[2] = static_cast<unsigned char>(rgb);
}

void take_colour(void* context, std::size_t p, const HsbMatch& match) {
  float* c = static_cast<float*>(context) + p * 3;
  c[0] = match.red;
  c[1] = match.green;
  c[2] = match.blue;
}

} // namespace

void search_lut(int points, unsigned jobs, LutTake take, void* context) {
  const std::size_t n = static_cast<std::size_t>(points), total = n * n * n;
  constexpr std::size_t kChunk = 4096; // points a thread takes at a time: small beside 2^24, large beside the atomic's cost
  std::atomic<std::size_t> next{0};
  const auto work = [&] {
    HsbMatch match;
    for (std::size_t first; (first = next.fetch_add(kChunk)) < total;) {
      for (std::size_t p = first; p < first + kChunk && p < total; ++p) {
        const LutPoint at = lut_point(points, p);
        find_best_hsb(match, at.red, at.green, at.blue, false);
        take(context, p, match);
      }
    }
  };
  std::vector<std::thread> threads;
  for (unsigned t = 1; t < jobs; ++t) threads.emplace_back(work);
  work();
  for (std::thread& t : threads) t.join();
}

std::vector<float> lut_colours(int points, unsigned jobs) {
  std::vector<float> colours(static_cast<std::size_t>(points) * static_cast<std::size_t>(points) * static_cast<std::size_t>(points) * 3);
  search_lut(points, jobs, take_colour, colours.data());
  return colours;
}

std::vector<unsigned char> lut_picture(LutFormat format, int points, unsigned jobs) {
  int width, height;
  lut_picture_size(format, points, width, height);
  std::vector<unsigned char> rgb(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3);
  PictureFill fill_context{format, points, rgb.data()};
  search_lut(points, jobs, take_pixel, &fill_context);
  return rgb;
}

} // namespace tintwise
