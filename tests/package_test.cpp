// The game's packages, written here from the format's facts (the public
// headers' layout, the documented tags): every version boundary, the state
// frame, every tag size code, arrays, structs and bools, and what breaks the
// structure, each read back; a map's lights and zones listed as T3D's are,
// and a texture package's palettes.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <fstream>

#include "tintwise/lights.h"
#include "tintwise/package.h"
#include "tintwise/palette.h"

using namespace tintwise;

namespace {

std::string le(std::uint64_t v, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += static_cast<char>(v >> (8 * i) & 255);
  return out;
}

// A compact index: the sign and 6 bits, then 7 bits a byte, the fifth byte 8.
std::string compact(std::int32_t value) {
  std::uint32_t v = value < 0 ? 0u - static_cast<std::uint32_t>(value) : static_cast<std::uint32_t>(value);
  std::string out(1, static_cast<char>((value < 0 ? 0x80 : 0) | (v & 0x3F) | (v > 0x3F ? 0x40 : 0)));
  for (v >>= 6; v > 0; v >>= 7) out += static_cast<char>((v & 0x7F) | (v > 0x7F ? 0x80 : 0));
  return out;
}

// A property tag: a name's index, the info byte (type, size code, the array
// flag or a bool's value), a struct's name, the size where its code says,
// an array index in 1, 2 or 4 bytes, then the value.
std::string tag(int name, int type, const std::string& value, long array = -1, int struct_name = -1) {
  const std::size_t n = value.size();
  const int code = n == 1 ? 0 : n == 2 ? 1 : n == 4 ? 2 : n == 12 ? 3 : n == 16 ? 4 : n < 256 ? 5 : n < 65536 ? 6 : 7;
  std::string out = compact(name) + static_cast<char>(type | code << 4 | (array >= 0 ? 0x80 : 0));
  if (struct_name >= 0) out += compact(struct_name);
  if (code >= 5) out += le(n, code == 5 ? 1 : code == 6 ? 2 : 4);
  const auto b = [](long v) { return static_cast<char>(v & 255); };
  if (array >= 0 && type != 3) {
    out += array < 128 ? std::string{b(array)} : array < 16384 ? std::string{b(0x80 | array >> 8), b(array)} : std::string{b(0xC0 | array >> 24), b(array >> 16), b(array >> 8), b(array)};
  }
  return out + (type == 3 ? "" : value);
}

struct Object {
  std::int32_t class_ref;
  int name;
  std::string data;
  std::uint32_t flags = 0;
  std::int32_t package = 0;
};

// A package: the summary, the names (NUL-ended before version 64, counted from it), the imports (each a class
// package, a class name, its package and name), the objects' data, and the export table last; the GUID and one
// generation from version 68, a heritage table before it.
std::string package(std::uint32_t version, const std::vector<std::string>& names, const std::vector<std::array<int, 4>>& imports,
                    const std::vector<Object>& objects) {
  std::string body;
  const std::size_t head = 36 + (version >= 68 ? 16 + 4 + 8 : 8);
  const std::size_t names_at = head;
  for (const std::string& n : names) body += (version < 64 ? "" : compact(static_cast<std::int32_t>(n.size() + 1))) + n + std::string(1, '\0') + le(0, 4);
  const std::size_t imports_at = head + body.size();
  for (const auto& i : imports) body += compact(i[0]) + compact(i[1]) + le(static_cast<std::uint32_t>(i[2]), 4) + compact(i[3]);
  std::string table;
  for (const Object& o : objects) {
    table += compact(o.class_ref) + compact(0) + le(static_cast<std::uint32_t>(o.package), 4) + compact(o.name) + le(o.flags, 4) + compact(static_cast<std::int32_t>(o.data.size()));
    if (!o.data.empty()) table += compact(static_cast<std::int32_t>(head + body.size()));
    body += o.data;
  }
  const std::size_t exports_at = head + body.size() + (version < 68 ? 16 : 0);
  std::string out = le(kPackageTag, 4) + le(version, 4) + le(0, 4) + le(names.size(), 4) + le(names_at, 4) + le(objects.size(), 4) + le(exports_at, 4) +
                    le(imports.size(), 4) + le(imports_at, 4);
  out += version >= 68 ? std::string(16, 'g') + le(1, 4) + le(objects.size(), 4) + le(names.size(), 4) : le(1, 4) + le(exports_at - 16, 4);
  return out + body + (version < 68 ? std::string(16, 'h') : "") + table;
}

// Every property of the package's first export as "name[index] type=text", or why it is not read.
std::string properties_of(const std::string& bytes) {
  Package p;
  std::string why, out, data;
  if (!read_package(package_bytes(bytes), p, why)) return why;
  std::vector<PackageProperty> props;
  std::size_t end = 0;
  if (!read_export(package_bytes(bytes), p.exports[0], data, why) || !read_properties(p, p.exports[0], data, props, end, why)) return why;
  for (const PackageProperty& prop : props) out += prop.name + "[" + std::to_string(prop.index) + "] " + std::to_string(prop.type) + "=" + property_text(p, data, prop) + " ";
  return out + (end == data.size() ? "end" : "short");
}

std::string f32(float v) {
  std::uint32_t bits;
  std::memcpy(&bits, &v, sizeof bits);
  return le(bits, 4);
}

const std::vector<std::string> kNames = {"None", "Engine", "Class", "Light", "LightHue", "LightSaturation", "LightBrightness", "Tag", "Hall", "Light0",
                                         "Light1", "LevelInfo", "LevelInfo0", "AmbientBrightness", "Location", "Vector", "bHidden", "Palette", "Texture",
                                         "Pal", "Lava", "Light2", "TriggerLight", "Lamp9", "Unknown", "Group"};
const std::vector<std::array<int, 4>> kImports = {{1, 2, 0, 3}, {1, 2, 0, 11}, {1, 2, 0, 17}, {1, 2, 0, 18}, {1, 2, 0, 22}, {1, 2, 0, 24}};

// A map: lights at their class's defaults and with colour bytes, a Tag, a zone, an actor of a class no one knows
// that gives a colour, an actor whose properties do not end its data.
std::vector<Object> sample_map() {
  const std::string none = compact(0);
  return {{-2, 12, tag(13, 1, "\x0c") + none}, {-1, 9, none}, {-1, 10, tag(4, 1, "\x07") + tag(5, 1, "\x46") + tag(7, 6, compact(8)) + none},
          {-5, 21, tag(6, 1, "\xc8") + none}, {-6, 23, tag(4, 1, "\x03") + none}, {-1, 24, tag(4, 1, "\x07") + none + "x"}};
}

// Textures: a palette a texture names (by its group and name), one named by itself, one of 16 colours, one cut short.
std::vector<Object> sample_textures() {
  const std::string none = compact(0);
  std::string colours;
  for (int i = 0; i < 256; ++i) colours += le(static_cast<std::uint64_t>(i) | 0x8000u | 0xFF000000u, 4);
  return {{-3, 19, none + compact(256) + colours}, {-3, 19, none + compact(16) + colours.substr(0, 64)}, {0, 25, ""},
          {-4, 20, tag(17, 5, compact(1)) + none, 0, 3}, {-3, 19, none + compact(256) + colours.substr(4)}};
}

} // namespace

// Each boundary of the format, and each break of its structure, alone.
TEST(Package, ReadsTheFormatAtItsEdges) {
  const std::string byte7 = tag(4, 1, "\x07"), none = compact(0);
  const auto light = [&](std::uint32_t version, const std::string& data, std::uint32_t flags = 0) { return package(version, kNames, kImports, {{-1, 9, data, flags}}); };
  const struct {
    std::string bytes, read;
  } cases[] = {
      // Versions: names NUL-ended to 63, counted from 64; a heritage table to 67, a GUID from 68; the known ones alone.
      {light(61, byte7 + none), "LightHue[0] 1=7 end"}, {light(63, byte7 + none), "LightHue[0] 1=7 end"}, {light(64, byte7 + none), "LightHue[0] 1=7 end"},
      {light(67, byte7 + none), "LightHue[0] 1=7 end"}, {light(68, byte7 + none), "LightHue[0] 1=7 end"}, {light(128 | 0x1D << 16, byte7 + none), "LightHue[0] 1=7 end"},
      {light(60, none), "not read: a package of version 60, licensee 0: its layout is another engine's"}, {light(70, none), "not read: a package of version 70"},
      {light(69 | 5 << 16, none), "not read: a package of version 69, licensee 5"}, {light(129, none), "not read: a package of version 129"},
      // The state frame, with Node and without; every size code; arrays of each index width; structs; bools; names, objects, strings.
      {light(69, compact(1) + compact(2) + le(0, 8) + le(0, 4) + compact(5) + byte7 + none, kHasStack), "LightHue[0] 1=7 end"},
      {light(69, compact(0) + compact(2) + le(0, 8) + le(0, 4) + byte7 + none, kHasStack), "LightHue[0] 1=7 end"},
      {light(69, tag(5, 1, "\x01") + tag(5, 2, le(70, 2)) + tag(6, 4, f32(200)) + tag(14, 10, std::string(12, '\0'), -1, 15) + tag(14, 10, std::string(16, '\0'), -1, 15) +
                     tag(7, 13, std::string(200, 'a')) + tag(7, 13, std::string(300, 'a')) + tag(7, 2, le(9, 4), 1) + tag(7, 2, le(9, 4), 300) + tag(7, 2, le(9, 4), 70000) + none),
       "LightSaturation[0] 1=1 LightSaturation[0] 2= LightBrightness[0] 4=200.000000 Location[0] 10= Location[0] 10= Tag[0] 13= Tag[0] 13= Tag[1] 2=9 Tag[300] 2=9 "
       "Tag[70000] 2=9 end"},
      {light(69, tag(16, 3, "", 1) + tag(16, 3, "") + tag(7, 6, compact(8)) + tag(7, 5, compact(-1)) + none), "bHidden[0] 3=True bHidden[0] 3=False Tag[0] 6=Hall Tag[0] 5=Light end"},
      {light(69, byte7 + none + "tail"), "LightHue[0] 1=7 short"},
      // What breaks it: a value past the export, no None, a compact index of six bytes, a name or a struct past the table, no type.
      {light(69, tag(4, 13, std::string(9, 'a')).substr(0, 8) + none), "corrupt: property LightHue of 9 bytes runs past its data"},
      {light(69, byte7), "corrupt: its properties run past its data, with no None to end them"},
      {light(69, std::string("\x40\x80\x80\x80\x80\x00", 6) + none), "corrupt: a compact index of more than 31 bits"},
      {light(69, compact(99) + none), "corrupt: a property named by 99, which is past the name table"},
      {light(69, tag(14, 10, std::string(12, '\0'), -1, 99) + none), "corrupt: property Location names a struct past the name table"},
      {light(69, compact(4) + '\x00' + none), "corrupt: property LightHue of no type"},
      {light(69, compact(1), kHasStack), "corrupt: its script state runs past its data"},
      {light(69, byte7 + none).substr(0, 60), "corrupt: the name table (26 entries at "},
      {package(69, kNames, {{1, 2, 0, 99}}, {}), "corrupt: import 1 runs past the file, or names what is not in its tables"},
      {package(69, kNames, kImports, {{-99, 9, none}}), "corrupt: export 1 names what is not in its tables"},
  };
  for (const auto& c : cases) EXPECT_EQ(properties_of(c.bytes).substr(0, c.read.size()), c.read) << c.read;
  // A compact index takes at most 5 bytes: its fifth byte's top bit is a value bit, never "more".
  std::size_t at = 0;
  std::int32_t v = 0;
  const std::string six("\x7F\xFF\xFF\xFF\x0F\x01", 6);
  EXPECT_TRUE(read_compact(six, at, six.size(), v));
  EXPECT_EQ(at, 5u);
  EXPECT_EQ(v, 0x7FFFFFFF);
  at = 0;
  EXPECT_FALSE(read_compact(std::string("\x7F\xFF\xFF\xFF\x10", 5), at, 5, v)); // past 31 bits
  EXPECT_EQ(compact(-0x7FFFFFFF).size(), 5u);
}

// A map's lights and zones listed as T3D's are (the line the export's number), the later generation's float
// brightness as written; never recoloured. A texture package's palettes, named by the textures that use them, a
// count that is not 256 said.
TEST(Package, ListsAMapsLightsAndATexturePackagesPalettes) {
  const std::string none = compact(0);
  const std::vector<Object> map = sample_map();
  const auto listed = [](const std::string& bytes, bool recolour = false) {
    std::string said;
    struct Give {
      const std::string& bytes;
      std::size_t at;
    } give{bytes, 0};
    const auto read = [](void* c, char* buf, std::size_t size) {
      Give& g = *static_cast<Give*>(c);
      const std::size_t n = std::min(size, g.bytes.size() - g.at);
      std::memcpy(buf, g.bytes.data() + g.at, n);
      return g.at += n, n;
    };
    const auto entry = [](void* c, const LightEntry& e) {
      *static_cast<std::string*>(c) += std::to_string(e.line) + " " + e.actor + " " + e.class_name + " " + std::to_string(e.hue) + " " + std::to_string(e.saturation) + " " +
                                       (e.later ? e.brightness_text : std::to_string(e.brightness)) + " " + e.defaults_of + "\n";
    };
    const auto report = [](void* c, const LightsReport& r) { *static_cast<std::string*>(c) += "!" + std::to_string(r.line) + ": " + r.reason + "\n"; };
    const LightsResult result = read_lights({read, &give}, {recolour, 1, 2, 3, false, false, {}}, {entry, report, nullptr, &said});
    return said + (result.package ? "package" : "");
  };
  EXPECT_EQ(listed(package(69, kNames, kImports, map)),
            "1 LevelInfo0 LevelInfo 0 255 12 Object ZoneInfo\n2 Light0 Light 0 255 64 Object Light Light\n3 Light1 Light 7 70 64 Light\n"
            "4 Light2 TriggerLight 0 255 200 Object Light\n!5: Lamp9: class Unknown is not known to ut99's classes; give its .uc file as one of the mod's classes (--classes)\n"
            "!6: Unknown: its properties end 1 bytes before its data does; the actor is not read\npackage");
  std::vector<Object> later = map;
  later[3].data = tag(6, 4, f32(31.25f)) + none;
  EXPECT_NE(listed(package(128 | 0x1D << 16, kNames, kImports, later)).find("4 Light2 TriggerLight 0 255 31.250000 Object Light\n"), std::string::npos);
  EXPECT_EQ(listed(package(69, kNames, kImports, map), true).substr(0, 54), "!0: not recoloured: a package is never written; export");
  std::string read;
  const auto keep = [](void* c, const PaletteEntry& e) { return *static_cast<std::string*>(c) += std::to_string(e.line) + " " + e.name + (e.read ? "" : e.reason) + "\n", true; };
  const std::string utx = package(69, kNames, kImports, sample_textures());
  struct Give {
    const std::string& bytes;
    std::size_t at;
  } give{utx, 0};
  const auto source = [](void* c, char* buf, std::size_t size) {
    Give& g = *static_cast<Give*>(c);
    const std::size_t n = std::min(size, g.bytes.size() - g.at);
    std::memcpy(buf, g.bytes.data() + g.at, n);
    return g.at += n, n;
  };
  EXPECT_EQ(read_palette({source, &give, nullptr}, keep, &read), PaletteFormat::package);
  EXPECT_EQ(read.substr(0, 28), "0 Group.Lava\n1 Group.Lava\n2 ");
  EXPECT_NE(read.find("255 Group.Lava\n0 palette Pal holds 16 colours, where the engine's hold 256; they are read as they are\n0 Pal\n"), std::string::npos);
  EXPECT_NE(read.find("15 Pal\n0 corrupt: palette Pal: its colours do not end where its data does; not read\n"), std::string::npos);
}

// The sample packages in tests/data, which the Python module's and the page's tests read as the commands do; written
// again, as the known answers are, with --gtest_filter=Record.* --gtest_also_run_disabled_tests.
TEST(Record, DISABLED_SamplePackages) {
  std::ofstream(std::string(TINTWISE_DATA) + "/lights/sample.unr", std::ios::binary) << package(69, kNames, kImports, sample_map());
  std::ofstream(std::string(TINTWISE_DATA) + "/palettes/sample.utx", std::ios::binary) << package(69, kNames, kImports, sample_textures());
}
