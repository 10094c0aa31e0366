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
  std::string said; // each entry as "LINE ACTOR CLASS PROPERTY H S B DEFAULTS[ OF]", each report as "!LINE: reason", in order
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
         << (e.later ? e.brightness_text : std::to_string(e.brightness)) << ' ' << int{e.from_defaults} << (e.defaults_of.empty() ? "" : " ") << e.defaults_of << '\n';
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
  const std::string longest(kLightsMaxLine, 'x'), ends = "End Actor\n"; // the longest line read, its line end aside
  std::string flood = kLight + ends;
  for (int i = 0; i < 25; ++i) flood += "End Object\n";
  const std::string big = kLight + std::string(kLightsMaxActor - kLight.size() - 10, '\n') + "End Actor\n";
  const struct {
    std::string text, said;
  } cases[] = {
      {kLight + "End Actor\n", "1 L Light light 0 255 64 7 Object Light Light\n"},
      {kLight + "  LightHue=0\n\tLightSaturation=255\n   LightBrightness=007  \nEnd Actor\n", "1 L Light light 0 255 7 0\n"},
      {kLight + "LightHue=255\nEnd Actor\n", "1 L Light light 255 255 64 6 Light Light\n"},
      {kLight + "LightHue=256\nEnd Actor\n" + kLight + "LightHue=-1\nEnd Actor\n" + kLight + "LightHue=\nEnd Actor\n" + kLight + "LightHue=1 2\nEnd Actor\n",
       "!2: L: LightHue=256 is not a whole number from 0 to 255; not read\n!5: L: LightHue=-1 is not a whole number from 0 to 255; not read\n"
       "!8: L: LightHue= is not a whole number from 0 to 255; not read\n!11: L: LightHue=1 2 is not a whole number from 0 to 255; not read\n"},
      {kLight + "LightHue=3\nLighthue=4\nEnd Actor\n", "!3: L: LightHue is given 2 times, so which holds is not certain; not read\n"},
      // The engine generation, told by the first brightness (or radius): a whole number the first's, a float the later's.
      {kLight + "LightBrightness=150\nEnd Actor\n" + kLight + "LightBrightness=150.0\nEnd Actor\n" + kLight + "LightBrightness=1e2\nEnd Actor\n",
       "1 L Light light 0 255 150 3 Object Light\n!5: L: LightBrightness=150.0 is a brightness of the later engine generation, not this model's byte, and the text is read as "
       "ut99's (give --game=ut2004 if it is that generation's); the light is neither listed nor recoloured\n!8: L: LightBrightness=1e2 is a brightness of the later "
       "engine generation, not this model's byte, and the text is read as ut99's (give --game=ut2004 if it is that generation's); the light is neither listed "
       "nor recoloured\n"},
      {kLight + "End Actor\n" + kLight + "LightRadius=64.000000\nEnd Actor\n" + kLight + "LightBrightness=+007\nEnd Actor\n" + kLight + "LightBrightness=x\nEnd Actor\n",
       "1 L Light light 0 255 64 7 Object Light Light\n!4: LightRadius=64.000000 is a float: the text is of the later engine generation (UT2003/2004), read so from here on, with "
       "UT2004's classes; the light before it whose brightness is its class's default (L) was read as the first generation's, given a byte: give "
       "--game=ut2004 to read it so\n3 L Light light 0 255 64 7 Object Light Light\n6 L Light light 0 255 +007 3 Object Light\n!10: L: LightBrightness=x is not a number; not read\n"},
      // A light by its class, its colour lines, or a LightType other than LT_None; a zone by its ambient lines; stock defaults for Light and ZoneInfo alone.
      {"Begin Actor Class=Torch Name=T\nLightType=LT_None\nEnd Actor\nBegin Actor Class=Torch Name=T2\nLightType=LT_Steady\nEnd Actor\n"
       "Begin Actor Class=Torch Name=T3\nLightHue=1\nLightSaturation=2\nLightBrightness=3\nEnd Actor\n",
       "!4: T2: class Torch is not known to ut99's classes; give its .uc file as one of the mod's classes (--classes)\n7 T3 Torch light 1 2 3 0\n"},
      {"Begin Actor Class=ZoneInfo Name=Z\nAmbientHue=9\nLightType=LT_Steady\nEnd Actor\nBegin Actor Class=LevelInfo Name=V\nAmbientBrightness=9\nEnd Actor\n",
       "1 Z ZoneInfo light 0 0 0 7 Object Object Object\n1 Z ZoneInfo ambient 9 255 0 6 ZoneInfo Object\n5 V LevelInfo ambient 0 255 9 3 Object ZoneInfo\n"},
      // Names quoted or not, classes qualified, property names in any case; properties of nested blocks are not the actor's.
      {"Begin Actor Class=Engine.Light Name=\"Light 5\"\nlightHUE=5\n Begin Object Class=X Name=O\n  LightSaturation=1\n End Object\nEnd Actor\n",
       "1 Light 5 Light light 5 255 64 6 Light Light\n"},
      // Structure: no actor, an actor or a block that never ends, an End that closes nothing or closes early.
      {"Begin Surface\nEnd Surface\n", "!0: not a T3D text\n"},
      {"Begin Map\n" + kLight + "LightHue=1", "!2: L: the actor never ends (no End Actor); passed through unchanged\n!1: Begin Map never ends (no End Map)\n"},
      {"End Actor\n" + kLight + " Begin Brush\n  Begin Polygon\n End Brush\nEnd Actor\n",
       "!1: End Actor closes no block that is open; passed through unchanged\n"
       "!5: L (line 2): End Brush closes Polygon (line 4) before it ends; the actor is passed through unchanged\n"},
      // A line of 1 MiB is read, one byte more is passed through; so is an actor of more than 16 MiB.
      {kLight + longest + "\n" + ends + kLight + longest + "\r\n" + ends + kLight + longest + "x\n" + ends + kLight + longest + "x\r\n" + ends + kLight + longest,
       "1 L Light light 0 255 64 7 Object Light Light\n4 L Light light 0 255 64 7 Object Light Light\n!8: L (line 7): a line of more than 1048576 bytes; the actor is passed through unchanged\n"
       "!11: L (line 10): a line of more than 1048576 bytes; the actor is passed through unchanged\n!13: L: the actor never ends (no End Actor); passed through unchanged\n"},
      {longest + "x", "!1: a line of more than 1048576 bytes, passed through unchanged\n!0: not a T3D text\n"},
      // Nothing to read; a stray CR; an actor whose End never comes before the next; a flood of one cause, counted.
      {"", "!0: empty: it holds no text\n"},
      {"Begin Actor Class=Light Name=A\nEnd Actor\r\r\n" + kLight + "LightHue=3\n" + kLight + ends,
       "1 A Light light 0 255 64 7 Object Light Light\n!3: L: the actor never ends (a Begin Actor, line 5, comes before its End Actor); passed through unchanged\n5 L Light light 0 255 64 7 Object Light Light\n"},
      {flood, "1 L Light light 0 255 64 7 Object Light Light\n" + [] {
         std::string said;
         for (int line = 3; line < 13; ++line) said += "!" + std::to_string(line) + ": End Object closes no block that is open; passed through unchanged\n";
         return said + "!0: and 15 more lines whose End closes no block that is open (the last at line 27), each as the ones said\n";
       }()},
      {big, "1 L Light light 0 255 64 7 Object Light Light\n"},
      {big + big.substr(0, 20) + big, "1 L Light light 0 255 64 7 Object Light Light\n!33554344: L (line 16777178): an actor of more than 16777216 bytes; the actor is passed through unchanged\n"},
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
      // A stray CR before a property is no indentation to copy.
      {kLight + "\r Tag=A\nEnd Actor\n", kLight + "\r Tag=A\nLightHue=7\nLightSaturation=70\nLightBrightness=255\nEnd Actor\n", to(7, 70, 255)},
      {"Begin Actor Class=ZoneInfo Name=Z\nAmbientBrightness=1\nEnd Actor\n", "Begin Actor Class=ZoneInfo Name=Z\nAmbientBrightness=3\nAmbientHue=1\nAmbientSaturation=2\nEnd Actor\n",
       to(1, 2, 3, "", false, true)},
  };
  for (const auto& c : cases) EXPECT_EQ(read(c.text, c.recolour).text, c.recoloured) << c.text;
  EXPECT_TRUE(!glob_matches("Light1*", "Light2") && glob_matches("LIGHT1*", "light12") && glob_matches("*[!0-4]", "Lamp5") && !glob_matches("*[!0-5]", "Lamp5"));
}

// What the text leaves out comes from the actor's class, as the game's or a mod's classes set it, and the row says
// which (line, from_defaults and defaults_of differ between the actors here); the later generation's float
// brightness is listed as written, never written nor inserted; spellings the importer reads are read and rewritten
// in place, blanks kept; --only matches characters, ASCII letters of any case alike, in UTF-8, UTF-16 and
// Windows-1252 alike.
TEST(LightsReader, TakesWhatTheTextLeavesOutFromItsClass) {
  std::vector<LightsReport> reports;
  LightsRecolour list{false, 0, 0, 0, false, false, {}};
  add_uc_class("class Lamp extends Light;\ndefaultproperties\n{\nLightHue=10\n}", "Lamp.uc", list.classes, reports);
  EXPECT_EQ(read("Begin Map\nBegin Actor Class=Lamp Name=A\nLightSaturation=9\nEnd Actor\nBegin Actor Class=TorchFlame Name=B\nLightHue=4\nEnd Actor\n"
                 "Begin Actor Class=UnrealShare.Lantern Name=C\nEnd Actor\nEnd Map\n", list).said,
            "2 A Lamp light 10 9 64 5 Lamp Light\n5 B TorchFlame light 4 255 40 6 Light TorchFlame\n8 C Lantern light 35 59 203 7 Lantern Lantern Lantern\n");
  const std::string later = "Begin Actor Class=Light Name=A\r\n    LightBrightness=200.000000\r\n    LightHue=3\r\nEnd Actor\r\nBegin Actor Class=TriggerLight Name=B\r\nEnd Actor\r\n";
  LightsRecolour ut2004 = to(7, 70, 255);
  ut2004.game = static_cast<int>(LightsGame::ut2004);
  EXPECT_EQ(read(later, ut2004).text, "Begin Actor Class=Light Name=A\r\n    LightBrightness=200.000000\r\n    LightHue=7\r\n    LightSaturation=70\r\nEnd Actor\r\n"
                                      "Begin Actor Class=TriggerLight Name=B\r\n    LightHue=7\r\n    LightSaturation=70\r\nEnd Actor\r\n");
  const std::string listed = "1 A Light light 3 255 200.000000 2 Light\n5 B TriggerLight light 0 255 64 7 Object Light Light\n";
  ut2004.recolour = false;
  EXPECT_EQ(read(later, ut2004).said, listed);
  EXPECT_EQ(read(later).said, listed); // told by its first light
  const std::string spelled = kLight + "  LightHue = 5 \nLightSaturation=+5\nLightBrightness\t=0005\nAmbientHue=-0\nAmbientSaturation=-1\nEnd Actor\n";
  EXPECT_EQ(read(spelled).said, "!6: L: AmbientSaturation=-1 is not a whole number from 0 to 255; not read\n1 L Light light 5 5 5 0\n");
  EXPECT_EQ(read(spelled, to(7, 70, 255)).text, kLight + "  LightHue = 7 \nLightSaturation=70\nLightBrightness\t=255\nAmbientHue=-0\nAmbientSaturation=-1\nEnd Actor\n");
  const std::string named = "Begin Actor Class=Light Name=\"K\xC3\xBC" "che\"\nEnd Actor\nBegin Actor Class=Light Name=B\nTag=\"K\xC3\xBC" "CHE\"\nEnd Actor\n" + kLight + "End Actor\n";
  std::string latin1 = named;
  for (std::size_t at; (at = latin1.find("\xC3\xBC")) != std::string::npos;) latin1.replace(at, 2, "\xFC");
  for (const auto& [pattern, matched] : {std::pair<const char*, std::uint64_t>{"k?che", 2}, {"K\xC3\xBC*", 2}, {"K\xC3\x9C*", 0}, {"K\xFC" "CHE", 2}, {"?", 2}}) {
    for (const std::string& text : {named, utf16(named, false), utf16(named, true), latin1}) {
      EXPECT_EQ(read(text, to(7, 70, 255, pattern)).result.matched, matched) << pattern << " in " << text.substr(0, 2);
    }
  }
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
    std::string err; // the start of what it says
  } runs[] = {
      {{"--keep-brightness", map}, 64, "tintwise-lights: --keep-brightness says how to recolour"},
      {{"--recolour=#12345", map}, 64, "tintwise-lights: --recolour needs one colour"},
      {{"--recolour=1 2 3 4", map}, 64, "tintwise-lights: --recolour needs one colour"},
      {{"--recolour=#f80", "--format=json", map}, 64, "tintwise-lights: --format is the list's"},
      {{"--recolour=#f80", map, map}, 64, "tintwise-lights: --recolour gives one text back"},
      {{"--recolour=#f80", "--only=", map}, 64, "tintwise-lights: --only= names no actor (an empty pattern"},
      {{"--recolour=#f80", "--only=NoSuch*", map}, 0, "tintwise-lights: " + map + ": --only=NoSuch* matches no actor's Name or Tag; nothing was recoloured\n"},
      {{"--format=text", map}, 64, "tintwise-lights: unknown format 'text'"},
      {{"--format={actor} {colour}", map}, 64, "tintwise-lights: unknown format or field 'colour'"},
      {{"no-such.t3d"}, 66, "tintwise-lights: no-such.t3d: cannot open"},
      {{"--format={actor}", data_path("lights/copy.t3d")}, 0, ""},
      {{"--format=gpl", map}, 0, ""},
  };
  for (const auto& r : runs) {
    const ToolRun run = run_program(TINTWISE_LIGHTS_EXE, r.args);
    EXPECT_EQ(run.status, r.status) << r.args[0];
    EXPECT_EQ(run.err.substr(0, r.err.size()), r.err) << r.args[0];
  }
  EXPECT_NE(run_program(TINTWISE_LIGHTS_EXE, {"--format=gpl", map}).out.find(gpl_header("map") + std::string(" 44  44  44\tLevelInfo0 (0 255 12)\n104 104 104\tLight0 (0 255 64)\n185  12  12\tLight 5 (255 16 200)\n")), std::string::npos);
}

// Each option of tintwise-lights shown, through the command, to change only what it names: --ambient leaves every
// light's lines byte for byte, --keep-brightness and the later generation every brightness, --only every other actor,
// --classes only the rows of its own classes.
TEST(LightsCommand, EachOptionChangesOnlyWhatItNames) {
  const TempDir dir;
  const std::string map = data_path("lights/map.t3d");
  const auto actors = [](const std::string& text) { // the text's actors, each with its lines up to the next
    std::vector<std::string> found;
    for (std::size_t at = text.find("Begin Actor"), next; at != std::string::npos; at = next) {
      next = text.find("Begin Actor", at + 1);
      found.push_back(text.substr(at, next == std::string::npos ? std::string::npos : next - at));
    }
    return found;
  };
  const auto lines = [](const std::string& actor, const std::string& prefix) { // its lines that begin so, any case
    std::string kept;
    for (std::size_t at = 0, end; at < actor.size(); at = end + 1) {
      end = std::min(actor.find('\n', at), actor.size());
      std::string line = actor.substr(at, end - at);
      line.erase(0, line.find_first_not_of(" \t"));
      std::string low = line.substr(0, prefix.size());
      std::transform(low.begin(), low.end(), low.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
      if (low == prefix) kept += line + "\n";
    }
    return kept;
  };
  const std::vector<std::string> before = actors(slurp(map));
  const auto after = [&](std::vector<std::string> args) { args.push_back(map); return actors(run_program(TINTWISE_LIGHTS_EXE, args).out); };
  const struct {
    std::vector<std::string> args;
    std::string kept;  // the lines kept in every actor, by how they begin; "" the actors but those named, whole
    const char* named; // an actor whose lines must change
  } runs[] = {{{"--recolour=#f80", "--ambient"}, "light", "ZoneInfo3"}, {{"--recolour=#f80", "--keep-brightness"}, "lightbrightness", "Light0"},
              {{"--recolour=#f80", "--game=ut2004"}, "lightbrightness", "Light0"}, {{"--recolour=#f80", "--only=LIGHT0"}, "", "Light0"}};
  for (const auto& r : runs) {
    const std::vector<std::string> got = after(r.args);
    ASSERT_EQ(got.size(), before.size()) << r.args[1];
    for (std::size_t i = 0; i < got.size(); ++i) {
      const bool named = before[i].find(std::string("Name=") + r.named + "\r") != std::string::npos;
      if (r.kept.empty() && !named) {
        EXPECT_EQ(got[i], before[i]) << r.args[1];
      } else if (!r.kept.empty()) {
        EXPECT_EQ(lines(got[i], r.kept), lines(before[i], r.kept)) << r.args[1] << " " << i;
      }
      if (named) {
        EXPECT_NE(got[i], before[i]) << r.args[1];
      }
    }
  }
  std::ofstream(dir.path + "/TorchFlame.uc", std::ios::binary) << "class TorchFlame extends Light;\r\ndefaultproperties\r\n{\r\n\tLightSaturation=9\r\n}\r\n";
  const ToolRun plain = run_program(TINTWISE_LIGHTS_EXE, {map}), modded = run_program(TINTWISE_LIGHTS_EXE, {"--classes=" + dir.path, map});
  std::string expected = plain.out; // the mod's TorchFlame in the stock one's place
  const std::string stock = "TorchFlame,light,20,255,40,#525252,saturation brightness,Light TorchFlame";
  expected.replace(expected.find(stock), stock.size(), "TorchFlame,light,20,9,64,#501b04,saturation brightness,TorchFlame Light");
  EXPECT_EQ(modded.out, expected);
}

// What both programs write never loses a byte that was there: a write that fails cuts standard output back to where
// it began, under ">>" too, and leaves nothing beside; a temporary file is made afresh, never through a link that
// is there (one to the input, say); standard output that is an input is refused before anything is read or
// written, with what a ">" did to it; an empty input and a folder are each said once.
TEST(Writes, LoseNothingThatWasThere) {
  const TempDir dir;
  const std::string map = slurp(data_path("lights/map.t3d"));
  std::ofstream(dir.path + "/big.t3d", std::ios::binary) << std::string(300000, '\n') << map;
  std::ofstream(dir.path + "/map.t3d", std::ios::binary) << map;
  std::ofstream(dir.path + "/big.gpl", std::ios::binary) << "GIMP Palette\n" << [] { std::string rows; for (int i = 0; i < 3000; ++i) rows += "255 128 0\n"; return rows; }();
  std::ofstream(dir.path + "/pal.gpl", std::ios::binary) << "#ff8000 Orange\n";
  const std::string script = R"sh(cd "$0"; L="$1 $2"; P="$1 $3"; echo keep >a; echo keep >b
    (trap '' XFSZ; ulimit -f 1; $L --recolour=#f80 big.t3d >>a 2>/dev/null; echo "lights >> $?"; $P big.gpl >>b 2>/dev/null; echo "palette >> $?"
     $L --recolour=#f80 big.t3d >c 2>err; echo "lights > $? $(wc -l <err) $(wc -c <c)"; $L --recolour=#f80 --beside big.t3d 2>err; echo "beside $? $(wc -l <err)")
    echo "kept: $(cat a) $(head -n 1 b) $(ls big.t3d.* 2>&1 | wc -l)"
    cp map.t3d m.t3d; ln -s m.t3d m.t3d.tintwise.t3d.part; cp pal.gpl p.gpl; ln -s p.gpl p.gpl.tintwise.csv.part
    $L --recolour=#f80 --beside m.t3d && $P --beside p.gpl && cmp -s m.t3d map.t3d && cmp -s p.gpl pal.gpl && echo "inputs kept: $(ls *.part)"
    $L --recolour=#f80 map.t3d | cmp -s - m.t3d.tintwise.t3d && $P p.gpl | cmp -s - p.gpl.tintwise.csv && echo "beside: whole"
    $L --recolour=#f80 m.t3d >>m.t3d 2>err; echo "$? $(cmp -s m.t3d map.t3d && echo unchanged): $(cat err)"
    $P p.gpl >>p.gpl 2>err; echo "$? $(cmp -s p.gpl pal.gpl && echo unchanged): $(cat err)"
    $L --recolour=#f80 m.t3d >m.t3d 2>err; echo "$?: $(cut -c 1-70 err)"
    : >e.t3d; $L e.t3d 2>err >/dev/null; echo "$?: $(cat err)"; mkdir d; $L d 2>err >/dev/null; echo "$?: $(cat err)"
    TINTWISE_LIGHTS_EXPLORER=1 $L map.t3d </dev/null 2>/dev/null; $L map.t3d 2>/dev/null | cmp -s - map.t3d.tintwise.csv && echo "from Explorer: beside")sh";
  const ToolRun run = run_program("/bin/sh", {"-c", script, dir.path, TINTWISE_EMULATOR, TINTWISE_LIGHTS_EXE, TINTWISE_PALETTE_EXE}, "", true);
  EXPECT_EQ(run.out, "lights >> 1\npalette >> 1\nlights > 1 1 0\nbeside 1 1\nkept: keep keep 1\n"
                     "inputs kept: m.t3d.tintwise.t3d.part\np.gpl.tintwise.csv.part\nbeside: whole\n"
                     "64 unchanged: tintwise-lights: m.t3d is standard output too, and reading it while writing it would lose it: write to another "
                     "file, or use --beside\n"
                     "64 unchanged: tintwise-palette: p.gpl is standard output too, and reading it while writing it would lose it: write to another "
                     "file, or use --beside\n"
                     "64: tintwise-lights: m.t3d is empty, and it is standard output too: a shel\n"
                     "65: e.t3d: empty: it holds no text\n66: tintwise-lights: d: cannot open: it is a folder\n"
                     "Wrote map.t3d.tintwise.csv\n\nPress Enter to close this window.\nfrom Explorer: beside\n") << run.err;
}
#endif
