// libFuzzer target for the package reader: any bytes made a package (its tag
// written over their first four), read as the package library reads one (its
// tables, every export's properties and their values, names and paths), then
// as a map's lights and as a texture package's palettes, as the programs
// read them. Every reason must say something, every name be clean, every
// entry sound, and every reading end.
#include <algorithm>
#include <cstdint>
#include <cstring>

#include "entry_check.h"
#include "tintwise/lights.h"
#include "tintwise/package.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string bytes(reinterpret_cast<const char*>(data), size);
  bytes.replace(0, std::min<std::size_t>(4, bytes.size()), "\xC1\x83\x2A\x9E");
  tintwise::Package p;
  std::string why;
  const tintwise::PackageSource source = tintwise::package_bytes(bytes);
  if (tintwise::read_package(source, p, why)) {
    std::vector<tintwise::PackageProperty> properties;
    std::string exported;
    for (const tintwise::PackageExport& e : p.exports) {
      tintwise::path_name(p, e);
      tintwise::import_package(p, e.class_ref);
      std::size_t end = 0;
      if (!tintwise::read_export(source, e, exported, why) || !tintwise::read_properties(p, e, exported, properties, end, why)) {
        if (why.empty()) tintwise_fuzz::fail("properties not read, and no reason why");
        why.clear();
        continue;
      }
      if (end > exported.size()) tintwise_fuzz::fail("properties that end past their export");
      for (const tintwise::PackageProperty& prop : properties) tintwise::property_text(p, exported, prop);
    }
  } else if (why.empty()) {
    tintwise_fuzz::fail("a package not read, and no reason why");
  }
  tintwise_fuzz::Source lights{bytes};
  const auto entry = [](void*, const tintwise::LightEntry& e) {
    if (tintwise::clean_utf8(e.actor) != e.actor || tintwise::clean_utf8(e.class_name) != e.class_name) tintwise_fuzz::fail("a light's name is not clean");
  };
  const auto report = [](void*, const tintwise::LightsReport& r) {
    if (r.reason.empty()) tintwise_fuzz::fail("a report that says nothing");
  };
  tintwise::read_lights({tintwise_fuzz::hand_out, &lights}, {false, 0, 0, 0, false, false, {}, static_cast<int>(size % (tintwise::kLightsGames + 1)) - 1}, {entry, report, nullptr, nullptr});
  tintwise_fuzz::Source palettes{bytes};
  std::vector<tintwise::PaletteEntry> entries;
  tintwise::read_palette({tintwise_fuzz::hand_out, &palettes, nullptr}, tintwise_fuzz::check, &entries);
  return 0;
}
