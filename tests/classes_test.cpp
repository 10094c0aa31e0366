// Class defaults: the .uc reader's rules at their edges, in one table; a
// chain of a mod's classes over a game's, and what cannot be resolved; and
// each game's table spot-checked against its sources.
#include <gtest/gtest.h>

#include "classes.h"
#include "tintwise/lights.h"

using namespace tintwise;
using namespace tintwise::lights_classes;

namespace {

// A .uc file read: "NAME PARENT" and each value it sets, then each report as "!LINE: reason".
std::string read_uc(const std::string& text, std::vector<UcClass>& classes) {
  static const char* const names[] = {"LightType", "LightHue", "LightSaturation", "LightBrightness", "AmbientHue", "AmbientSaturation", "AmbientBrightness"};
  std::vector<LightsReport> reports;
  std::string out;
  if (add_uc_class(text, "X.uc", classes, reports)) {
    out = classes.back().name + " " + classes.back().parent;
    for (int k = 0; k < kClassValues; ++k) {
      if (classes.back().set[k]) out += std::string(" ") + names[k] + "=" + classes.back().value[k];
    }
  }
  for (const LightsReport& r : reports) out += "\n!" + std::to_string(r.line) + ": " + r.reason;
  return out;
}

std::string utf16le(const std::string& ascii) {
  std::string out = "\xFF\xFE";
  for (const char c : ascii) out += std::string{c, '\0'};
  return out;
}

} // namespace

// Each rule of the reader just inside and just past its edge: comments and strings, both verbs, a package before
// the parent, blanks around "=", a sign, a ; ending a value, array elements and sub-objects not the class's own, the
// later of two lines, braces in strings, UTF-16; what cannot be read said with its line.
TEST(LightClasses, ReadsUnrealScriptAsItsCompilerDoes) {
  const std::string dp = "class A extends B;\ndefaultproperties\n{\n";
  const struct {
    std::string uc, read;
  } cases[] = {
      {dp + "LightHue=5\n}\n", "A B LightHue=5"},
      {"// class C extends D\n/* class E\n extends F */ Class A Expands Engine.B\n  native;\n", "A B"},
      {dp + " LightHue = +007 ;\n LightSaturation=1\n LightSaturation=2\n LightBrightness(0)=9\n AmbientHue[1]=9\n Begin Object Class=X Name=O\n"
            "  LightBrightness=8\n End Object\n AmbientHue=\"7\"\n}\n",
       "A B LightHue=+007 LightSaturation=2\n!12: AmbientHue=\"7\" is no value of it that can be read; not read"},
      {"class A extends B;\nvar string S; // \"}\"\ndefaultproperties{S=\"}\" /* { */\nLightType=LT_Pulse\nLightBrightness=1.5\nAmbientBrightness=1.5\n}\nLightHue=1\n",
       "A B LightType=LT_Pulse LightBrightness=1.5\n!6: AmbientBrightness=1.5 is no value of it that can be read; not read"},
      {utf16le(dp + "AmbientSaturation=9\r\n}\r\n"), "A B AmbientSaturation=9"},
      {dp + "LightHue=5\n", "A B LightHue=5\n!3: defaultproperties never ends (no }): its values up to the end are read"},
      {"class A extends B;\ndefaultproperties\nLightHue=3\n", "A B\n!3: defaultproperties without its {: its values are not read"},
      {"class Object native;\n", "Object "},
      {"class A;\n", "\n!1: not read: a class declaration without its name and the class it extends"},
      {"var int classes; // class X extends Y\n", "\n!0: not read: it declares no class (class X extends Y;)"},
  };
  for (const auto& c : cases) {
    std::vector<UcClass> classes;
    EXPECT_EQ(read_uc(c.uc, classes), c.read) << c.uc;
  }
  std::vector<UcClass> classes;
  read_uc("class Lamp extends Light;", classes);
  EXPECT_EQ(read_uc("class LAMP extends Decoration;", classes), "\n!1: class LAMP again (first in X.uc); the first is kept");
  EXPECT_EQ(classes.size(), 1u);
}

// A mod's chain of three classes over the game's, each value from the nearest class that sets it (a stock class's
// name taken by the mod first); a package before a name; a loop and a parent no one knows said, not guessed.
TEST(LightClasses, ResolvesEachValueUpTheChain) {
  std::vector<UcClass> mod;
  for (const char* uc : {"class Lamp extends Light;\ndefaultproperties\n{\nLightHue=10\nLightBrightness=20\n}", "class RedLamp extends Lamp;\ndefaultproperties\n{\nLightSaturation=30\n}",
                         "class DimRedLamp expands RedLamp;\ndefaultproperties\n{\nLightBrightness=5\n}", "class TorchFlame extends Light;",
                         "class Loop1 extends Loop2;", "class Loop2 extends Loop1;", "class Odd extends NoSuchClass;", "class Crate extends Decoration;"}) {
    std::vector<LightsReport> reports;
    EXPECT_TRUE(add_uc_class(uc, "Mod.uc", mod, reports)) << uc;
  }
  const auto values = [&mod](const char* name, LightsGame game = LightsGame::ut99) {
    const Defaults d = class_defaults(name, mod, game);
    std::string out = d.known ? std::string(d.light ? "light" : "") + (d.zone ? "zone" : "") : "? " + d.why;
    for (int k = 0; d.known && k < kClassValues; ++k) out += " " + d.value[k] + (d.origin[k].empty() ? "" : "@" + d.origin[k]);
    return out;
  };
  EXPECT_EQ(values("MyMod.DimRedLamp"), "light LT_Steady@Light 10@Lamp 30@RedLamp 5@DimRedLamp 0 0 0");
  EXPECT_EQ(values("TorchFlame"), "light LT_Steady@Light 0 255@Light 64@Light 0 0 0"); // the mod's, which sets nothing
  EXPECT_EQ(values("Crate"), " LT_None 0 0 0 0 0 0");
  EXPECT_EQ(values("Engine.LevelInfo"), "zone LT_None 0 0 0 0 255@ZoneInfo 0");
  EXPECT_EQ(values("Loop1"), "? its classes extend one another in a loop (Mod.uc)");
  EXPECT_EQ(values("Odd"), "? class Odd (Mod.uc) extends NoSuchClass, which neither the classes given nor ut99's know");
  EXPECT_EQ(values("Nothing", LightsGame::rune), "? it is not known to rune's classes");
  EXPECT_EQ(unresolved_class("RedLamp", mod, LightsGame::ut99), "");
}

// Each game's table against its sources: a handful of classes each, their values as the .uc files at the tables'
// commits set them (read there by hand), each with the class that sets it.
TEST(LightClasses, TablesAgreeWithTheirSources) {
  using G = LightsGame;
  const struct {
    G game;
    const char* name;
    Value value;
    const char* is;
  } rows[] = {
      {G::unreal, "SightLight", kHue, "107@SightLight"}, {G::unreal, "SightLight", kSaturation, "63@SightLight"}, {G::unreal, "TorchFlame", kBrightness, "40@TorchFlame"},
      {G::unreal, "TorchFlame", kSaturation, "255@Light"},
      {G::ut99, "WeaponLight", kType, "LT_TexturePaletteOnce@WeaponLight"}, {G::ut99, "WeaponLight", kBrightness, "250@WeaponLight"},
      {G::ut99, "Lantern", kHue, "35@Lantern"}, {G::ut99, "LevelInfo", kAmbientSaturation, "255@ZoneInfo"},
      {G::deusex, "CageLight", kHue, "32@CageLight"}, {G::deusex, "CageLight", kSaturation, "224@CageLight"}, {G::deusex, "Light", kBrightness, "64@Light"},
      {G::rune, "Light", kHue, "51@Light"}, {G::rune, "Spotlight", kHue, "51@Light"},
      {G::nerf, "ChargeLight", kHue, "21@ChargeLight"}, {G::nerf, "ChargeLight", kSaturation, "0@ChargeLight"}, {G::nerf, "Light", kSaturation, "255@Light"},
      {G::undying, "ActiveEtherTrapFX", kHue, "145@ActiveEtherTrapFX"}, {G::undying, "ActiveEtherTrapFX", kBrightness, "204@ActiveEtherTrapFX"},
      {G::khg, "AssaultProjectile", kType, "LT_Steady@AssaultProjectile"}, {G::khg, "AssaultProjectile", kHue, "140@AssaultProjectile"},
      {G::wot, "AMAPearl", kType, "1@AMAPearl"}, {G::wot, "AMAPearl", kHue, "214@AMAPearl"},
      {G::ut2004, "ASOBJ_EnergyCore_Spawn", kType, "LT_SubtlePulse@ASOBJ_EnergyCore_Spawn"}, {G::ut2004, "ASOBJ_EnergyCore_Spawn", kHue, "37@ASOBJ_EnergyCore_Spawn"},
      {G::ut2004, "ONSHeadlightCorona", kSaturation, "175@ONSHeadlightCorona"},
  };
  for (const auto& r : rows) {
    const Defaults d = class_defaults(r.name, {}, r.game);
    EXPECT_EQ(d.value[r.value] + "@" + d.origin[r.value], r.is) << lights_game_name(r.game) << " " << r.name;
  }
}
