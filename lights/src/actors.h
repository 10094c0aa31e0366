// What an actor's colours are, from what it holds of them (T3D's lines, or a
// map package's property tags) and its class's defaults: shared by the two
// readers, so that a map lists alike however it comes.
#ifndef TINTWISE_LIGHTS_ACTORS_H
#define TINTWISE_LIGHTS_ACTORS_H

#include <cstdint>
#include <string>
#include <unordered_map>

#include "classes.h"
#include "tintwise/lights.h"

namespace tintwise {
namespace lights_actors {

// The properties read of an actor: its light's colour, its zone's ambient
// light's, then what else tells a light, names it, or tells the generation.
enum Property { kHue, kSaturation, kBrightness, kAmbientHue, kAmbientSaturation, kAmbientBrightness, kType, kTag, kRadius, kProperties };
extern const char* const kNames[kProperties];

struct Held {
  int seen = 0;           // how many times the actor gives it
  std::string value;      // as written (a package's: as T3D would write it)
  std::uint64_t line = 0; // where
};

struct Actor {
  std::uint64_t line = 0; // where it begins
  std::string name, class_name; // as the text spells them (a name's bytes UTF-8 or Windows-1252)
  Held held[kProperties];
};

// What a report is about. Reports of one cause past kLightsShownReports are
// counted rather than made, and said once at the end.
enum Cause { kEndCloses, kEndEarly, kDeep, kLongLine, kLargeActor, kNeverEnds, kBlockOpen, kValue, kTwice, kGeneration, kDefaults, kUnknown, kOnce, kCauses };
extern const char* const kCauseSaid[kCauses];

struct Reporter {
  void (*report)(void* context, Cause cause, std::uint64_t line, const std::string& reason);
  void* context;
};

// One reading (a text, or a package): the game whose classes it takes, and
// its engine generation as far as told: by the game given, or else by the
// first LightBrightness or LightRadius the reading meets (a float is the later
// generation's; a whole number, the first's).
struct Reading {
  const LightsRecolour* options = nullptr;
  LightsGame game = LightsGame::ut99;
  bool given = false;
  int generation = 0; // 0 not told, 1 the first, 2 the later
  std::uint64_t guessed = 0; // lights read before it was told, given a byte brightness of the first generation's defaults
  std::string guessed_names;
  // The defaults of each class met, by its name as spelled, for the game read
  // (a map has a few dozen classes and thousands of actors).
  std::unordered_map<std::string, lights_classes::Defaults> classes;
  LightsGame classes_of = LightsGame::ut99;
};
// The defaults of a class, for the reading's game, looked up once a class.
const lights_classes::Defaults& defaults_of(Reading& r, const std::string& class_name);
void start_reading(Reading& r, const LightsRecolour& options);

// One of an actor's two colours: its light's (0) or its zone's ambient
// light's (1).
struct Colour {
  bool is = false;         // it has one
  bool certain = true;     // what it holds can be read (else said)
  bool complete = false;   // every value is known: its own or its class's (else said, when listing)
  std::uint8_t value[3] = {0, 0, 0};
  bool present[3] = {false, false, false}; // held by the actor itself
  bool later = false;      // of the later generation: its brightness is brightness_text
  std::string brightness_text;
  std::uint8_t from_defaults = 0;
  std::string defaults_of;
};

// Both colours of an actor, with what cannot be read with certainty said;
// `listing`: what its class's defaults cannot give is said too.
void colours_of(Reading& r, const Actor& a, const Reporter& said, bool listing, Colour out[2]);

// Whether the options' `only` chooses the actor, by its Name or its Tag.
bool chosen(const LightsRecolour& options, const Actor& a);

// The entry of one of its colours, as listed.
LightEntry entry_of(const Actor& a, const Colour& c, bool ambient);

// A name as rows show it: its bytes as UTF-8 where they are, else as
// Windows-1252, the code page the editor writes names in; no control
// characters.
std::string text_name(const std::string& bytes);

} // namespace lights_actors
} // namespace tintwise

#endif
