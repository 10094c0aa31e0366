// Lights: the T3D reader's rules at their edges, in one table, read whole, a
// byte at a time and as UTF-16 of either byte order; the text given back byte
// for byte on exports shaped like real ones, only colour lines changed or
// added, and a second recolour changing nothing; and tintwise-lights as a
// process: the triple `Tintwise` gives, its statuses, no file half written.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <sstream>

#include "driver.h"
#include "lights_output.h"
#include "tool_run.h"
#include "tintwise/lights.h"

using namespace tintwise;
using namespace tintwise_tests;

namespace {

struct Read {
  std::string said; // each entry as "LINE ACTOR CLASS PROPERTY H S B DEFAULTS", each report as "!LINE: reason", in order
  std::string text; // what was written back
  LightsResult result;
};

struct Chunks {
  const std::string& bytes;
  std::size_t at, chunk;
};

Read read(const std::string& bytes, const LightsRecolour& recolour = {false, 0, 0, 0, false, false, {}}, std::size_t chunk = 1 << 20) {
  Read r;
  Chunks source{bytes, 0, chunk};
  const auto give = [](void* context, char* buf, std::size_t size) {
    Chunks& c = *static_cast<Chunks*>(context);
    const std::size_t n = std::min({size, c.chunk, c.bytes.size() - c.at});
    std::memcpy(buf, c.bytes.data() + c.at, n);
    c.at += n;
    return n;
  };
  const auto entry = [](void* context, const LightEntry& e) {
    std::ostringstream line;
    line << e.line << ' ' << e.actor << ' ' << e.class_name << (e.ambient ? " ambient " : " light ") << int{e.hue} << ' ' << int{e.saturation} << ' '
         << int{e.brightness} << ' ' << int{e.from_defaults} << '\n';
    static_cast<Read*>(context)->said += line.str();
  };
  const auto report = [](void* context, const LightsReport& rep) { static_cast<Read*>(context)->said += "!" + std::to_string(rep.line) + ": " + rep.reason + "\n"; };
  const auto write = [](void* context, const char* b, std::size_t n) { return static_cast<Read*>(context)->text.append(b, n), true; };
  r.result = read_lights({give, &source}, recolour, {entry, report, recolour.recolour ? +write : nullptr, &r});
  return r;
}

// Text of ASCII and UTF-8 as UTF-16 of one byte order, with its byte order mark.
std::string utf16(const std::string& utf8, bool big_endian) {
  std::string out = big_endian ? "\xFE\xFF" : "\xFF\xFE";
  for (std::size_t i = 0; i < utf8.size();) {
    const unsigned char b = static_cast<unsigned char>(utf8[i]);
    const std::size_t n = b < 0x80 ? 1 : b < 0xE0 ? 2 : 3; // the samples hold no character past U+FFFF
    unsigned c = n == 1 ? b : b & (0x3F >> (n - 1));
    for (std::size_t k = 1; k < n; ++k) c = c << 6 | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
    out += big_endian ? std::string{char(c >> 8), char(c & 255)} : std::string{char(c & 255), char(c >> 8)};
    i += n;
  }
  return out;
}

LightsRecolour to(int h, int s, int b, const char* only = "", bool keep = false, bool ambient = false) {
  return {true, static_cast<std::uint8_t>(h), static_cast<std::uint8_t>(s), static_cast<std::uint8_t>(b), keep, ambient, only};
}

const std::string kLight = "Begin Actor Class=Light Name=L\n";

} // namespace

// Each rule, just inside and just past its edge: what counts as a light or
// a zone, defaults, values, names, nesting, structure, and the sizes held.
TEST(LightsReader, KeepsEachRuleAtItsEdges) {
  const std::string long_line(kLightsMaxLine - 1, 'x'); // with its line feed, kLightsMaxLine bytes
  const std::string big = kLight + std::string(kLightsMaxActor - kLight.size() - 10, '\n') + "End Actor\n";
  const struct {
    std::string text, said;
  } cases[] = {
      {kLight + "End Actor\n", "1 L Light light 0 255 64 7\n"},
      {kLight + "  LightHue=0\n\tLightSaturation=255\n   LightBrightness=007  \nEnd Actor\n", "1 L Light light 0 255 7 0\n"},
      {kLight + "LightHue=255\nEnd Actor\n", "1 L Light light 255 255 64 6\n"},
      {kLight + "LightHue=256\nEnd Actor\n" + kLight + "LightHue=-1\nEnd Actor\n" + kLight + "LightHue=\nEnd Actor\n" + kLight + "LightHue=1 2\nEnd Actor\n",
       "!2: L: LightHue=256 is not a whole number from 0 to 255; not read\n!5: L: LightHue=-1 is not a whole number from 0 to 255; not read\n"
       "!8: L: LightHue= is not a whole number from 0 to 255; not read\n!11: L: LightHue=1 2 is not a whole number from 0 to 255; not read\n"},
      {kLight + "LightHue=3\nLighthue=4\nEnd Actor\n", "!3: L: LightHue is given 2 times, so which holds is not certain; not read\n"},
      {kLight + "LightBrightness=150.000000\nEnd Actor\n" + kLight + "LightBrightness=150.\nEnd Actor\n",
       "!2: L: LightBrightness=150.000000 is a brightness of another engine generation, not this model's byte; the actor is neither listed nor recoloured\n"
       "!5: L: LightBrightness=150. is not a whole number from 0 to 255; not read\n"},
      // A light by its class, its colour lines, or a LightType other than LT_None; a zone by its ambient lines; stock defaults for Light and ZoneInfo alone.
      {"Begin Actor Class=Torch Name=T\nLightType=LT_None\nEnd Actor\nBegin Actor Class=Torch Name=T2\nLightType=LT_Steady\nEnd Actor\n"
       "Begin Actor Class=Torch Name=T3\nLightHue=1\nLightSaturation=2\nLightBrightness=3\nEnd Actor\n",
       "!4: T2: LightHue, LightSaturation and LightBrightness are its class's defaults, which the text does not hold\n7 T3 Torch light 1 2 3 0\n"},
      {"Begin Actor Class=ZoneInfo Name=Z\nAmbientHue=9\nLightType=LT_Steady\nEnd Actor\nBegin Actor Class=LevelInfo Name=V\nAmbientBrightness=9\nEnd Actor\n",
       "!1: Z: LightHue, LightSaturation and LightBrightness are its class's defaults, which the text does not hold\n1 Z ZoneInfo ambient 9 255 0 6\n"
       "!5: V: AmbientHue and AmbientSaturation are its class's defaults, which the text does not hold\n"},
      // Names quoted or not, classes qualified, property names in any case; properties of nested blocks are not the actor's.
      {"Begin Actor Class=Engine.Light Name=\"Light 5\"\nlightHUE=5\n Begin Object Class=X Name=O\n  LightSaturation=1\n End Object\nEnd Actor\n",
       "1 Light 5 Light light 5 255 64 6\n"},
      // Structure: no actor, an actor or a block that never ends, an End that closes nothing or closes early.
      {"Begin Surface\nEnd Surface\n", "!0: not a T3D text\n"},
      {"Begin Map\n" + kLight + "LightHue=1", "!2: L: the actor never ends (no End Actor); passed through unchanged\n!1: Begin Map never ends (no End Map)\n"},
      {"End Actor\n" + kLight + " Begin Brush\n  Begin Polygon\n End Brush\nEnd Actor\n",
       "!1: End Actor closes no block that is open; passed through unchanged\n!5: End Brush closes Polygon (line 4) before it ends\n"
       "!2: L: its blocks do not nest; the actor is passed through unchanged\n"},
      // A line of 1 MiB is read, one byte more is passed through; so is an actor of more than 16 MiB.
      {kLight + long_line + "\nEnd Actor\n" + kLight + long_line + "xx\nEnd Actor\n",
       "1 L Light light 0 255 64 7\n!4: L: a line of more than 1048576 bytes (line 5); the actor is passed through unchanged\n"},
      {big, "1 L Light light 0 255 64 7\n"},
      {big + big.substr(0, 20) + big, "1 L Light light 0 255 64 7\n!16777178: L: an actor of more than 16777216 bytes; the actor is passed through unchanged\n"},
  };
  for (const auto& c : cases) {
    const Read whole = read(c.text);
    EXPECT_EQ(whole.said, c.said) << c.text.substr(0, 120);
    if (c.text.size() > 4096) continue;
    EXPECT_EQ(read(c.text, {}, 1).said, whole.said) << c.text.substr(0, 120);
    for (const bool big_endian : {false, true}) EXPECT_EQ(read(utf16(c.text, big_endian)).said, whole.said) << c.text.substr(0, 120);
  }
}

// Recolouring exports shaped like real ones (a map with brushes, polygons and
// nested objects, CR LF, UTF-16; a copy with tabs, LF and no final line end):
// nothing chosen, nothing changed; else only colour lines rewritten or added,
// all the text kept around them; and a second recolour changes nothing.
TEST(LightsReader, GivesTheTextBackWithOnlyColourLinesChanged) {
  for (const char* name : {"map.t3d", "copy.t3d", "utf16.t3d", "surfaces.t3d"}) {
    const std::string text = slurp(data_path(std::string("lights/") + name));
    ASSERT_FALSE(text.empty()) << name;
    EXPECT_EQ(read(text, to(7, 70, 255, "NoSuch*")).text, text) << name;
    for (const LightsRecolour& r : {to(7, 70, 255), to(13, 78, 200, "*lamps", true), to(142, 64, 10, "", false, true)}) {
      const std::string once = read(text, r).text, twice = read(once, r).text;
      EXPECT_EQ(twice, once) << name;
      if (text[0] == '\xFF') continue; // UTF-16: the map's own, checked below
      const auto others = [](const std::string& t) { // its lines but the colour lines, each with its end
        std::string kept;
        for (std::size_t at = 0, end; at < t.size(); at = end) {
          end = std::min(t.find('\n', at), t.size() - 1) + 1;
          const std::string line = t.substr(at, end - at);
          std::string key = line.substr(line.find_first_not_of(" \t"), 9);
          std::transform(key.begin(), key.end(), key.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
          if (key != "lighthue=" && key.rfind("lightsatu", 0) && key.rfind("lightbrig", 0) && key.rfind("ambient", 0)) kept += line;
        }
        return kept;
      };
      EXPECT_EQ(others(once), others(text)) << name;
      EXPECT_EQ(once.back(), text.back()) << name;
    }
  }
  const std::string map = slurp(data_path("lights/map.t3d")), wide = slurp(data_path("lights/utf16.t3d"));
  std::string named = map;
  named.replace(named.find("Light0"), 6, "Lumi\xC3\xA8re0").replace(named.find("Light0"), 6, "Lumi\xC3\xA8re0");
  EXPECT_EQ(read(wide, to(7, 70, 255)).text, utf16(read(named, to(7, 70, 255)).text, false));
}

// Where the values go: in place, keeping indentation, the name as written and
// the line end; a missing line after the group's last colour line, else the
// actor's last property at its own level (not inside a nested block), else
// its Begin line, with its properties' indentation and the text's line end.
TEST(LightsReader, WritesEachValueWhereItBelongs) {
  const struct {
    std::string text, recoloured;
    LightsRecolour recolour;
  } cases[] = {
      {kLight + "\tlighthue=3  \r\n  Tag=Hall\nEnd Actor", kLight + "\tlighthue=7  \r\n\tLightSaturation=70\n\tLightBrightness=255\n  Tag=Hall\nEnd Actor", to(7, 70, 255, "h?LL")},
      {"Begin Actor Class=Lamp Name=L\r\n   LightType=LT_Steady\r\n   Begin Object\r\n      X=1\r\n   End Object\r\nEnd Actor\r\n",
       "Begin Actor Class=Lamp Name=L\r\n   LightType=LT_Steady\r\n   LightHue=7\r\n   LightSaturation=70\r\n   Begin Object\r\n      X=1\r\n   End Object\r\nEnd Actor\r\n",
       to(7, 70, 255, "", true)},
      {"  " + kLight + "  End Actor\n", "  " + kLight + "      LightHue=7\n      LightSaturation=70\n      LightBrightness=255\n  End Actor\n", to(7, 70, 255, "[k-m]")},
      {"Begin Actor Class=ZoneInfo Name=Z\nAmbientBrightness=1\nEnd Actor\n", "Begin Actor Class=ZoneInfo Name=Z\nAmbientBrightness=3\nAmbientHue=1\nAmbientSaturation=2\nEnd Actor\n",
       to(1, 2, 3, "", false, true)},
  };
  for (const auto& c : cases) EXPECT_EQ(read(c.text, c.recolour).text, c.recoloured) << c.text;
  EXPECT_TRUE(!glob_matches("Light1*", "Light2") && glob_matches("LIGHT1*", "light12") && glob_matches("*[!0-4]", "Lamp5") && !glob_matches("*[!0-5]", "Lamp5"));
}

#if !defined(_WIN32) && !defined(__EMSCRIPTEN__)
// The command: the triple `Tintwise R G B` gives for the colour, usage and
// statuses, rows and swatches, and no file half written when a write fails.
TEST(LightsCommand, RecoloursWithTintwisesTripleAndFailsWhole) {
  const std::string map = data_path("lights/map.t3d");
  const char* const argv[] = {"Tintwise", "200", "100", "50"};
  CommandOutput tool;
  run_command(4, argv, tool);
  const ToolRun recoloured = run_program(TINTWISE_LIGHTS_EXE, {"--recolour=rgb(200, 100, 50)", "--only=Light0", map});
  EXPECT_NE(recoloured.out.find("     LightHue=" + std::to_string(tool.match.hue) + "\r\n     LightSaturation=" + std::to_string(tool.match.saturation) +
                                "\r\n     LightBrightness=" + std::to_string(tool.match.brightness) + "\r\n"), std::string::npos) << recoloured.out;
  const struct {
    std::vector<std::string> args;
    int status;
    const char* err; // the start of what it says
  } runs[] = {
      {{"--keep-brightness", map}, 64, "tintwise-lights: --keep-brightness says how to recolour"},
      {{"--recolour=#12345", map}, 64, "tintwise-lights: --recolour needs one colour"},
      {{"--recolour=1 2 3 4", map}, 64, "tintwise-lights: --recolour needs one colour"},
      {{"--recolour=#f80", "--format=json", map}, 64, "tintwise-lights: --format is the list's"},
      {{"--recolour=#f80", map, map}, 64, "tintwise-lights: --recolour gives one text back"},
      {{"--format=text", map}, 64, "tintwise-lights: unknown format 'text'"},
      {{"--format={actor} {colour}", map}, 64, "tintwise-lights: unknown format or field 'colour'"},
      {{"no-such.t3d"}, 66, "tintwise-lights: no-such.t3d: cannot open"},
      {{"--format={actor}", data_path("lights/copy.t3d")}, 0, ""},
      {{"--format=gpl", map}, 65, map.c_str()},
  };
  for (const auto& r : runs) {
    const ToolRun run = run_program(TINTWISE_LIGHTS_EXE, r.args);
    EXPECT_EQ(run.status, r.status) << r.args[0];
    EXPECT_EQ(run.err.substr(0, std::strlen(r.err)), r.err) << r.args[0];
  }
  EXPECT_NE(run_program(TINTWISE_LIGHTS_EXE, {"--format=gpl", map}).out.find(kGplHeader + std::string("104 104 104\tLight0 (0 255 64)\n185  12  12\tLight 5 (255 16 200)\n")), std::string::npos);
  // A write that fails part way: standard output cut back to nothing, and nothing left beside the file.
  const TempDir dir;
  std::ofstream(dir.path + "/big.t3d", std::ios::binary) << std::string(300000, '\n') << slurp(map);
  const std::string lights = std::string(TINTWISE_EMULATOR) + " \"$0\" --recolour=#f80"; // the shell is the host's, the program the target's
  const ToolRun cut = run_program("/bin/sh", {"-c", "trap '' XFSZ; ulimit -f 100; " + lights + " \"$1\" >\"$1.out\"; echo $?; " + lights + " --beside \"$1\"; echo $?",
                                              TINTWISE_LIGHTS_EXE, dir.path + "/big.t3d"}, "", true);
  EXPECT_EQ(cut.out, "1\n1\n") << cut.err;
  EXPECT_EQ(slurp(dir.path + "/big.t3d.out"), "");
  EXPECT_FALSE(std::ifstream(dir.path + "/big.t3d.tintwise.t3d")) << "half written";
  EXPECT_FALSE(std::ifstream(dir.path + "/big.t3d.tintwise.t3d.part")) << "left behind";
}
#endif
