// The lights of a map package: each actor export's property tags, read as
// T3D's lines are, its class's defaults for what it leaves out. Only the
// exports whose data is needed are read: those of actor classes the game or
// the mod knows, and, of classes no one knows, those whose tags hold a
// colour (which are then said to be unknown, as in T3D).
#include "map.h"

#include <algorithm>

namespace tintwise {
namespace lights_map {

using lights_actors::Cause;

// How much of an export of a class no one knows is read for its tags: an
// actor's are a few hundred bytes.
constexpr std::uint64_t kUnknownTags = 1 << 14;

bool list_map(const PackageSource& file, lights_actors::Reading& r, const lights_actors::Reporter& said, const LightsSink& sink) {
  Package p;
  std::string why, data;
  PackageWindow window{file, {}, 0}; // actors lie together, mostly in the order of the export table
  const PackageSource source = windowed(window);
  if (!read_package(file, p, why)) {
    said.report(said.context, lights_actors::kOnce, 0, why);
    return false;
  }
  // The generation is the package's own: its version tells it.
  const bool later = later_package(p);
  if (r.given && (r.generation == 2) != later) {
    said.report(said.context, lights_actors::kOnce, 0,
                std::string("the package is of the ") + (later ? "later" : "first") + " engine generation (version " + std::to_string(p.version) + "), and --game=" +
                    lights_game_name(r.game) + " of the other: its brightnesses are read as its version says, with " + lights_game_name(r.game) + "'s classes");
  }
  if (!r.given) r.game = later ? LightsGame::ut2004 : LightsGame::ut99;
  r.generation = later ? 2 : 1;
  std::vector<PackageProperty> properties;
  for (std::size_t i = 0; i < p.exports.size(); ++i) {
    const PackageExport& e = p.exports[i];
    if (e.class_ref == 0 || e.size == 0) continue; // a class, or an object with no data
    lights_actors::Actor a;
    a.line = i + 1;
    a.name = e.name;
    a.class_name = class_name(p, e);
    const bool known = lights_actors::defaults_of(r, a.class_name).known;
    // An actor of a known class is its properties alone, read whole; of
    // another class, only the start where its tags are (a model's data,
    // most of a map, is never read).
    PackageExport part = e;
    part.size = known ? e.size : std::min<std::uint64_t>(e.size, kUnknownTags);
    std::size_t end = 0;
    const bool read = read_export(source, part, data, why) && read_properties(p, e, data, properties, end, why);
    if (!known && !read) continue; // no actor of a known class: its data is not this reader's to judge
    if (!read || (known && end != data.size())) {
      said.report(said.context, lights_actors::kValue, a.line,
                  e.name + ": " + (read ? "its properties end " + std::to_string(data.size() - end) + " bytes before its data does" : why) +
                      "; the actor is not read");
      continue;
    }
    bool colour = false;
    for (const PackageProperty& prop : properties) {
      for (int k = 0; k < lights_actors::kProperties; ++k) {
        if (prop.index != 0 || prop.name.size() != std::string(lights_actors::kNames[k]).size()) continue;
        bool same = true;
        for (std::size_t c = 0; c < prop.name.size() && same; ++c) same = (prop.name[c] | 32) == (lights_actors::kNames[k][c] | 32);
        if (!same) continue;
        lights_actors::Held& h = a.held[k];
        ++h.seen;
        h.value = property_text(p, data, prop);
        h.line = a.line;
        colour = colour || k < lights_actors::kType;
      }
    }
    if (!known && !colour) continue;
    lights_actors::Colour colours[2];
    lights_actors::colours_of(r, a, said, true, colours);
    for (int g = 0; g < 2; ++g) {
      if (colours[g].is && colours[g].complete && sink.entry) sink.entry(sink.context, lights_actors::entry_of(a, colours[g], g == 1));
    }
  }
  return true;
}

} // namespace lights_map
} // namespace tintwise
