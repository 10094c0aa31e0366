// The lights of an Unreal level editor's T3D text (a map exported, or actors
// copied to the clipboard): read, and recoloured with every other byte kept.
//
// T3D holds blocks, "Begin Map" ... "End Map" (optional), "Begin Actor
// Class=Light Name=Light3" ... "End Actor", and within actors nested ones
// (Brush, PolyList, Polygon, Object ...), each property a "Name=Value" line.
// A light is an actor of class Light, or one that sets LightHue,
// LightSaturation or LightBrightness, or a LightType other than LT_None; a
// zone's ambient light is an actor that sets AmbientHue, AmbientSaturation or
// AmbientBrightness. Only values that differ from the class's defaults are
// written: a stock Light's are hue 0, saturation 255, brightness 64, a
// ZoneInfo's ambient light's hue 0, saturation 255, brightness 0; any other
// class's are its own, which the text does not hold.
//
// A map package (.unr, .dx, .run, .ut2: the engine's binary save, told by its
// tag) is listed the same way, each row's line its export's number, and is
// never written: a recolour of one is refused, and said how to do it.
//
// The text is read as the bytes it is: lines end at LF (CR LF too); bytes
// that are not ASCII are never decoded or re-encoded, and UTF-16 (told by its
// byte order mark) is read a unit at a time and written back in its own byte
// order. Memory holds one actor at most (past kLightsMaxActor it is passed
// through unchanged, and said) and one line (a line whose characters, its
// line end aside, pass kLightsMaxLine bytes the same).
// What cannot be read with certainty is reported and passed through
// unchanged. Depends on nothing but the standard library, and searches
// nothing: the triple to write is the caller's.
#ifndef TINTWISE_LIGHTS_H
#define TINTWISE_LIGHTS_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tintwise {

constexpr std::size_t kLightsMaxLine = std::size_t{1} << 20;
constexpr std::size_t kLightsMaxActor = std::size_t{16} << 20;

// What was not read with certainty, at `line` (0 for the text as a whole).
struct LightsReport {
  std::uint64_t line;
  std::string reason;
};

// The games whose stock classes are known (lights/classes/GAME.tsv): their
// actors' colour defaults, which T3D and a map's package leave out.
enum class LightsGame : std::uint8_t { unreal, ut99, deusex, rune, nerf, undying, khg, wot, ut2004 };
constexpr int kLightsGames = 9;
const char* lights_game_name(LightsGame game); // "ut99"
bool lights_game_named(const std::string& name, LightsGame& game);
// Whether a game is of the later engine generation (UT2003/2004), whose
// LightBrightness is a float of another scale than this model's byte.
bool later_generation(LightsGame game);

// A class as its .uc file declares it (`class X extends Y;` and its
// defaultproperties): its name, its parent (without a package), and the
// values of its colour it sets itself, in this order: LightType, LightHue,
// LightSaturation, LightBrightness, AmbientHue, AmbientSaturation,
// AmbientBrightness (each as written, the later line where one is set twice).
constexpr int kClassValues = 7;
struct UcClass {
  std::string name, parent;
  std::string file;   // as reports name it
  std::uint64_t line; // of its class declaration
  bool set[kClassValues];
  std::string value[kClassValues];
};

// One .uc file's bytes (Latin-1, or UTF-16 with its byte order mark) read as
// UnrealScript reads them: // and /* */ comments, strings and names,
// `class X extends Y` (or `expands`), a `defaultproperties { ... }` block of
// Name=Value lines (blanks around = allowed; array elements Name(0)= and
// sub-objects Begin Object ... End Object are not the class's own values).
// The class is added to `classes`, unless it declares none or one of the
// same name is there already (the first is kept); returns whether it was.
// What cannot be read is reported, at the file's lines.
bool add_uc_class(const std::string& bytes, const std::string& file, std::vector<UcClass>& classes, std::vector<LightsReport>& reports);
// Why the defaults of class `name` cannot be had, through `classes` and up
// to a class `game` knows (a parent neither knows, a loop); "" where they can.
std::string unresolved_class(const std::string& name, const std::vector<UcClass>& classes, LightsGame game);

// A light's or a zone's ambient colour, as the text holds it, the values it
// does not hold taken from its class's defaults.
struct LightEntry {
  std::uint64_t line;         // of its actor's "Begin Actor"
  std::string actor;          // its Name, without quotes (valid UTF-8)
  std::string class_name;     // its Class
  bool ambient;               // a zone's ambient light, else a light
  std::uint8_t hue, saturation, brightness;
  std::uint8_t from_defaults; // which came from the class's defaults: kFromDefaults bits
  std::string defaults_of;    // of each of those, in that order, the class that sets it ("Object": none does; its value is 0)
  bool later = false;         // of the later engine generation: its brightness is `brightness_text`, a number as written,
  std::string brightness_text; // on another scale than this model's byte, so no colour is rendered from it
};
constexpr std::uint8_t kHueFromDefaults = 1, kSaturationFromDefaults = 2, kBrightnessFromDefaults = 4;


// Where the text comes from: `read` fills buf with up to `size` bytes and
// returns how many, 0 only at the end. A file that can be read anywhere (a
// regular file) may give `read_at` (the `n` bytes at `at` into `out`, false
// where they cannot be read) and its `size` too: a map package is then read
// only where its lights are, not held whole.
struct LightsSource {
  std::size_t (*read)(void* context, char* buf, std::size_t size);
  void* context;
  bool (*read_at)(void* context, std::uint64_t at, std::size_t n, std::string& out) = nullptr;
  std::uint64_t size = 0;
};

// Where what is found goes. `write`, when given, takes the text back,
// recoloured where asked, in order; it returns false when the bytes could not
// be written, which stops the reading.
struct LightsSink {
  void (*entry)(void* context, const LightEntry& entry);
  void (*report)(void* context, const LightsReport& report);
  bool (*write)(void* context, const char* bytes, std::size_t n);
  void* context;
};

// What to write into the lights (or, with `ambient`, the zones' ambient
// lights): the triple, all of it or, with `keep_brightness`, its hue and
// saturation, into every one whose Name or Tag matches `only` (a glob of
// characters: *, ?, [set]; ASCII letters of any case alike; empty for all).
// With `recolour` false the text is only listed: entries, and reports of
// what cannot be listed with certainty. The values the text leaves out come
// from the actor's class: `classes` first (a mod's or a map's own), then the
// stock classes of `game` (a LightsGame), or, where no game is given (-1),
// UT99's, until the text shows itself of the later generation (a float
// LightBrightness or LightRadius), UT2004's from there on.
struct LightsRecolour {
  bool recolour;
  std::uint8_t hue, saturation, brightness;
  bool keep_brightness, ambient;
  std::string only;
  int game = -1;
  std::vector<UcClass> classes = {};
};

struct LightsResult {
  bool t3d;              // an actor was found (else "not a T3D text" was reported)
  std::uint64_t changed; // lights (or zones) recoloured
  bool written;          // every byte went to `write` (or there was none to take them)
  std::uint64_t matched; // actors `only` chose, lights or not (with `only` given)
  bool package = false;  // a map package, listed (or, to be recoloured, refused: a package is never written)
};

// Reports of one cause past this many are not made one by one: they are
// counted, and said at the end as one report (line 0) with their count and
// the last line.
constexpr std::uint64_t kLightsShownReports = 10;

LightsResult read_lights(const LightsSource& source, const LightsRecolour& recolour, const LightsSink& sink);

// Whether `name` matches the glob `pattern`, letters of any case alike.
bool glob_matches(const std::string& pattern, const std::string& name);

} // namespace tintwise

#endif
