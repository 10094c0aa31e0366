// The palettes of the game's packages (textures, .utx; or a map, .unr,
// which may hold textures of its own): every export of class Palette, in
// export order, each its property tags (None ending them), a compact count,
// and that many colours of 4 bytes (red, green, blue, and an alpha left
// aside), which end where its data does. Each is named by the textures that
// use it (their names in the package, "LavaFlow.Lava1"), else by its own.
// The package is read where its palettes and textures are, where the source
// can be read anywhere; else held whole (kPackageMax bytes at most). Its
// tables are read by the package library, which checks each against the
// file.
#include <algorithm>
#include <map>

#include "reader.h"
#include "tintwise/package.h"

namespace tintwise {
namespace palette_reader {

PaletteFormat read_utx(Reader& r) {
  r.unit = PaletteUnit::index;
  std::string bytes, data;
  PackageSource source{r.in.source.read_at, r.in.source.context, r.in.source.size};
  if (!source.read_at) {
    take(r.in, kPackageMax + std::uint64_t{1}, &bytes);
    source = package_bytes(bytes);
  }
  Package p;
  std::string why;
  if (!read_package(source, p, why)) return report_file(r, why), PaletteFormat::not_palette;
  PackageWindow window{source, {}, 0}; // textures' tags and palettes, small, read a window at a time
  source = windowed(window);
  // The textures that name each palette (by its reference), from their
  // Palette property: the first three, and how many more.
  std::map<std::int32_t, std::vector<std::string>> users;
  std::vector<PackageProperty> properties;
  std::size_t end;
  for (const PackageExport& e : p.exports) {
    const std::string cls = class_name(p, e);
    // A texture's tags, before its pixels: the start of its data.
    PackageExport tags = e;
    tags.size = std::min<std::uint64_t>(e.size, 1 << 14);
    if (cls.size() < 7 || cls.compare(cls.size() - 7, 7, "Texture") != 0 || !read_export(source, tags, data, why) ||
        !read_properties(p, e, data, properties, end, why)) {
      continue;
    }
    for (const PackageProperty& prop : properties) {
      std::size_t at = prop.at;
      std::int32_t ref = 0;
      if (prop.name != "Palette" || prop.type != 5 || !read_compact(data, at, prop.at + prop.size, ref) || ref == 0) continue;
      if (ref < 0) {
        report_file(r, "texture " + path_name(p, e) + " uses the palette " + object_name(p, ref) + " of the package " + import_package(p, ref) +
                           ", which this file does not hold; read that package for it");
        continue;
      }
      users[ref].push_back(path_name(p, e));
    }
  }
  bool any = false;
  for (std::size_t i = 0; i < p.exports.size() && !r.stopped; ++i) {
    const PackageExport& e = p.exports[i];
    if (class_name(p, e) != "Palette") continue;
    any = true;
    const auto used = users.find(static_cast<std::int32_t>(i + 1));
    std::string name = used == users.end() ? path_name(p, e) : "";
    for (std::size_t k = 0; used != users.end() && k < used->second.size() && k < 3; ++k) name += (k ? ", " : "") + used->second[k];
    if (used != users.end() && used->second.size() > 3) name += " and " + std::to_string(used->second.size() - 3) + " more";
    name = clean_utf8(name);
    std::int32_t count = 0;
    std::size_t at = 0;
    std::string bad;
    if (!read_export(source, e, data, bad) || !read_properties(p, e, data, properties, end, bad) || !read_compact(data, at = end, data.size(), count) || count < 0 ||
        static_cast<std::uint64_t>(count) * 4 != data.size() - at) {
      report_file(r, "corrupt: palette " + name + (bad.empty() ? ": its colours do not end where its data does" : ": " + bad) + "; not read");
      continue;
    }
    if (count != 256) report_file(r, "palette " + name + " holds " + std::to_string(count) + " colours, where the engine's hold 256; they are read as they are");
    for (std::int32_t k = 0; k < count && !r.stopped; ++k, at += 4) {
      const std::uint8_t rgb[3] = {static_cast<std::uint8_t>(data[at]), static_cast<std::uint8_t>(data[at + 1]), static_cast<std::uint8_t>(data[at + 2])};
      deliver(r, static_cast<std::uint64_t>(k), rgb, name);
    }
  }
  if (!any) {
    report_file(r, "not a palette: a package of the game (version " + std::to_string(p.version) + ") that holds no palette; a map's lights are listed by tintwise-lights");
    return PaletteFormat::not_palette;
  }
  return PaletteFormat::package;
}

} // namespace palette_reader
} // namespace tintwise
