// The classes an actor's colour defaults come from: each game's stock
// classes (the tables lights/classes/GAME.tsv, made by scripts/class-defaults
// from the game's UnrealScript, compiled in), and a mod's or a map's own,
// read from their .uc files, looked up first.
#ifndef TINTWISE_LIGHTS_CLASSES_H
#define TINTWISE_LIGHTS_CLASSES_H

#include <string>
#include <vector>

#include "tintwise/lights.h"

namespace tintwise {
namespace lights_classes {

// The tables' text, in the order of LightsGame: one class a line, tab-separated:
// name, parent, kind, then LightType and the six colour bytes (light, then
// ambient), each VALUE or VALUE@CLASS (the class that sets it); or, for an
// actor class whose values are all Actor's, its name alone.
extern const char* const kTables[];

// The properties of a class's colour, in the tables' order.
enum Value { kType, kHue, kSaturation, kBrightness, kAmbientHue, kAmbientSaturation, kAmbientBrightness };

// What a class gives an actor of it: whether it is known at all, whether it
// is a light (a subclass of Light, or a LightType other than LT_None) and a
// zone (a subclass of ZoneInfo), and each value with the class that sets it
// ("" where none does: the value is then the engine's 0).
struct Defaults {
  bool known = false;
  bool light_class = false; // a subclass of Light: a light whatever its LightType
  bool light = false, zone = false;
  std::string value[kClassValues];
  std::string origin[kClassValues];
  std::string why; // when not known: why, in a few words
};

// The defaults of the class named `name` (case aside; a package before a
// point, as "Engine.Light", is looked up too): the mod's own classes first,
// their chain up to a class the game knows, then the game's.
Defaults class_defaults(const std::string& name, const std::vector<UcClass>& own, LightsGame game);

} // namespace lights_classes
} // namespace tintwise

#endif
