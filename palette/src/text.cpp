// Text palettes, a colour a line: GIMP .gpl, JASC .pal, and plain lines of
// #rrggbb, rrggbb, #rgb, AARRGGBB (Paint.NET), R G B, R,G,B or rgb(...), each
// maybe followed by a name. In find mode, every colour written anywhere in a
// line of any text: #rgb(a), #rrggbb(aa), rgb()/rgba(), (R=..,G=..,B=..).
#include <algorithm>
#include <cctype>
#include <cstring>
#include <vector>

#include "reader.h"

namespace tintwise {
namespace palette_reader {

namespace {

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\r'; }
bool is_digit(char c) { return c >= '0' && c <= '9'; }
bool is_word(char c) { return is_digit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_'; }
char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
int hex_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string trimmed(const std::string& s, std::size_t from = 0) {
  std::size_t b = from, e = s.size();
  while (b < e && is_blank(s[b])) ++b;
  while (e > b && is_blank(s[e - 1])) --e;
  return s.substr(b, e - b);
}

bool starts_with(const std::string& s, const char* prefix) { return s.compare(0, std::strlen(prefix), prefix) == 0; }

// Whether s[at..] begins with `word` in any case.
bool has_word(const std::string& s, std::size_t at, const char* word) {
  for (std::size_t i = 0; word[i]; ++i) {
    if (at + i >= s.size() || lower(s[at + i]) != word[i]) return false;
  }
  return true;
}

constexpr const char kRange[] = "R, G and B must each be a whole number from 0 to 255";

// What a line of text holds.
enum class Kind { skip, colour, bad };

struct Parsed {
  Kind kind;
  std::uint8_t rgb[3];
  std::size_t end;    // where the colour ends (its name begins after it)
  const char* reason; // for a bad line
};

Parsed bad(const char* reason) { return {Kind::bad, {0, 0, 0}, 0, reason}; }
Parsed skip() { return {Kind::skip, {0, 0, 0}, 0, nullptr}; }

// A colour ends at the end of the line or at a blank before its name; with
// `comments` (plain lines, Paint.NET's among them) a ";" after it, with or
// without blanks, begins a comment instead of a name.
Parsed colour_ending(const std::string& s, std::size_t at, const std::uint8_t rgb[3], bool comments = false) {
  std::size_t name = at;
  while (name < s.size() && is_blank(s[name])) ++name;
  if (comments && name < s.size() && s[name] == ';') return {Kind::colour, {rgb[0], rgb[1], rgb[2]}, s.size(), nullptr};
  if (at < s.size() && !is_blank(s[at])) return bad("not a colour: unexpected text after it");
  return {Kind::colour, {rgb[0], rgb[1], rgb[2]}, at, nullptr};
}

// Reads a channel 0..255 in decimal at s[at]; false if there is none or it is
// out of range (then `range` is set).
bool read_channel(const std::string& s, std::size_t& at, std::uint8_t& value, bool& range) {
  const std::size_t b = at;
  unsigned v = 0;
  while (at < s.size() && is_digit(s[at])) {
    if (v <= 255) v = v * 10 + static_cast<unsigned>(s[at] - '0');
    ++at;
  }
  if (at == b) return false;
  if (v > 255) {
    range = true;
    return false;
  }
  value = static_cast<std::uint8_t>(v);
  return true;
}

// "R G B", or with `commas` also "R,G,B" (blanks allowed around the commas).
// Returns the position after B, or npos.
std::size_t read_triple(const std::string& s, std::size_t at, bool commas, std::uint8_t rgb[3], bool& range) {
  for (int i = 0; i < 3; ++i) {
    if (i > 0) {
      const std::size_t before = at;
      while (at < s.size() && is_blank(s[at])) ++at;
      if (commas && at < s.size() && s[at] == ',') {
        ++at;
        while (at < s.size() && is_blank(s[at])) ++at;
      } else if (at == before) {
        return std::string::npos;
      }
    }
    if (!read_channel(s, at, rgb[i], range)) return std::string::npos;
  }
  return at;
}

std::size_t hex_run(const std::string& s, std::size_t at) {
  std::size_t e = at;
  while (e < s.size() && hex_value(s[e]) >= 0) ++e;
  return e - at;
}

// n hex digits at s[at]: 3 or 4 (each doubled), 6 or 8; with 4 or 8 the
// alpha is left out, first in Paint.NET's AARRGGBB, last in CSS's #rrggbbaa.
void hex_colour(const std::string& s, std::size_t at, std::size_t n, bool alpha_first, std::uint8_t rgb[3]) {
  const std::size_t digits = n <= 4 ? 1 : 2;
  if (alpha_first && (n == 4 || n == 8)) at += digits;
  for (std::size_t i = 0; i < 3; ++i) {
    const std::size_t p = at + digits * i;
    rgb[i] = static_cast<std::uint8_t>(digits == 1 ? hex_value(s[p]) * 17 : hex_value(s[p]) * 16 + hex_value(s[p + 1]));
  }
}

// CSS rgb(R, G, B) or rgb(R G B), from s[at] just after "rgb(".
Parsed css_colour(const std::string& s, std::size_t at) {
  std::uint8_t rgb[3];
  bool range = false;
  while (at < s.size() && is_blank(s[at])) ++at;
  at = read_triple(s, at, true, rgb, range);
  if (at == std::string::npos) return bad(range ? kRange : "not a colour: rgb() needs three whole numbers, as rgb(255, 128, 0)");
  while (at < s.size() && is_blank(s[at])) ++at;
  if (at >= s.size() || s[at] != ')') return bad("not a colour: rgb() needs three whole numbers, as rgb(255, 128, 0)");
  return colour_ending(s, at + 1, rgb, true);
}

// How many whole numbers a line begins with, separated by blanks or commas.
int leading_numbers(const std::string& s) {
  int count = 0;
  for (std::size_t i = 0; i < s.size() && is_digit(s[i]); ++count) {
    while (i < s.size() && is_digit(s[i])) ++i;
    if (i < s.size() && !is_blank(s[i]) && s[i] != ',') return count; // a number that runs into a word is a name
    while (i < s.size() && (is_blank(s[i]) || s[i] == ',')) ++i;
  }
  return count;
}

// A plain line (leading blanks removed): #rrggbb, rrggbb, #rgb, #rgba and
// #rrggbbaa (as CSS writes alpha, last), AARRGGBB (Paint.NET's, alpha first),
// R G B, R,G,B or rgb(...), each maybe followed by a name; or a
// comment: "#" then a blank or nothing, ";", "//" or "!" (X11's rgb.txt).
// A line of four or more whole numbers is not guessed at: it may be an index
// then R G B (a game's palette) or C M Y K (a swatch list).
Parsed plain_line(const std::string& s) {
  std::uint8_t rgb[3];
  if (s.empty() || s[0] == ';' || s[0] == '!' || starts_with(s, "//")) return skip();
  if (leading_numbers(s) >= 4) return bad("not read: four or more numbers could be an index then R G B, or C M Y K; write R G B alone");
  if (s[0] == '#') {
    if (s.size() == 1 || is_blank(s[1]) || s[1] == '!') return skip(); // "#!" heads netpbm's rgb.txt
    const std::size_t n = hex_run(s, 1);
    if (n != 3 && n != 4 && n != 6 && n != 8) return bad("not a colour: # needs 3, 4, 6 or 8 hex digits, as #ff8000, #f80 or #ff8000ff");
    hex_colour(s, 1, n, false, rgb);
    return colour_ending(s, 1 + n, rgb, true);
  }
  if (has_word(s, 0, "rgb(")) return css_colour(s, 4);
  const std::size_t n = hex_run(s, 0);
  if ((n == 6 || n == 8) && (n == s.size() || is_blank(s[n]) || s[n] == ';')) {
    hex_colour(s, 0, n, true, rgb);
    return colour_ending(s, n, rgb, true);
  }
  if (is_digit(s[0])) {
    bool range = false;
    const std::size_t end = read_triple(s, 0, true, rgb, range);
    if (end != std::string::npos) return colour_ending(s, end, rgb, true);
    return bad(range ? kRange : "not a colour: use #rrggbb, #rgb, AARRGGBB (Paint.NET), R G B, R,G,B or rgb(R, G, B)");
  }
  return bad("not a colour: use #rrggbb, #rgb, AARRGGBB (Paint.NET), R G B, R,G,B or rgb(R, G, B)");
}

// An "R G B name" line of a GIMP or JASC palette: decimal, any spacing.
Parsed spaced_line(const std::string& s, const char* reason) {
  std::uint8_t rgb[3];
  bool range = false;
  const std::size_t end = is_digit(s[0]) ? read_triple(s, 0, false, rgb, range) : std::string::npos;
  if (end == std::string::npos) return bad(range ? kRange : reason);
  return colour_ending(s, end, rgb);
}

// Hands on a parsed line: a colour, or the reason it is not one.
void hand_on(Reader& r, std::uint64_t number, const std::string& s, const Parsed& p) {
  if (p.kind == Kind::bad) report(r, number, p.reason);
  else if (p.kind == Kind::colour) deliver(r, number, p.rgb, clean_utf8(trimmed(s, p.end)));
}

// A JASC-PAL colour count: up to nine digits.
bool read_count(const std::string& s, std::uint64_t& count) {
  if (s.empty() || s.size() > 9) return false;
  count = 0;
  for (const char c : s) {
    if (!is_digit(c)) return false;
    count = count * 10 + static_cast<std::uint64_t>(c - '0');
  }
  return true;
}

// --- Find mode ---------------------------------------------------------------

// The keys of a line's colours, found as the line is read from left to right
// once, so that a line of many colours costs its length and no more. A
// colour's key is the word before the nearest ':' or '=' to its left within
// the same statement (not past a ';', '{' or '}'), quotes and blanks aside,
// passing over whole parenthesised groups (an earlier colour's own fields),
// as in `--accent: #ff8000`, `"editor.background": "#1e1e1e"`,
// `ConsoleColor=(R=255,G=128,B=0,A=255)`, `Colors=((R=1,G=2,B=3),(R=4,...))`
// or `background: linear-gradient(#fff, #000)`; empty where there is none.
// Each level of open parentheses keeps where its last such character stands
// and where the nearest one below it stood when it opened; a closing
// parenthesis drops its level, and one that closes nothing hides all before it.
struct Keys {
  struct Level {
    std::size_t last, below; // 1 + the position of the last ":=;{}" on this level, and below it; 0 for none
  };
  const std::string& s;
  std::size_t at = 0; // the characters before it are taken
  std::vector<Level> levels = {{0, 0}};
  std::size_t stop = 0; // of the key last found
  std::string key = {};
};

// The key of a colour that begins at `to`, no earlier than the last asked for.
const std::string& key_at(Keys& k, std::size_t to) {
  for (; k.at < to; ++k.at) {
    const char c = k.s[k.at];
    const Keys::Level top = k.levels.back();
    if (c == '(') k.levels.push_back({0, top.last ? top.last : top.below});
    else if (c == ')' && k.levels.size() > 1) k.levels.pop_back();
    else if (c == ')') k.levels.back() = {0, 0};
    else if (c != '\0' && std::strchr(":=;{}", c)) k.levels.back().last = k.at + 1;
  }
  const std::size_t stop = k.levels.back().last ? k.levels.back().last : k.levels.back().below;
  if (stop == k.stop) return k.key;
  k.stop = stop;
  k.key.clear();
  const std::string& s = k.s;
  std::size_t i = stop - 1;
  if (stop == 0 || (s[i] != ':' && s[i] != '=')) return k.key;
  while (i > 0 && (is_blank(s[i - 1]) || s[i - 1] == '"' || s[i - 1] == '\'' || s[i - 1] == '`')) --i;
  const std::size_t end = i;
  while (i > 0 && (is_word(s[i - 1]) || std::strchr("-.$@", s[i - 1]) != nullptr)) --i;
  if (i == 0 || s[i - 1] != '#') k.key = s.substr(i, end - i); // not "#fed:hover", an id selector
  return k.key;
}

constexpr const char kFraction[] = "not read: a colour written with fractions is linear, and its bytes depend on the program that wrote it";
constexpr const char kCssFraction[] = "not read: rgb() with fractions or percentages; Tintwise takes whole numbers 0..255";

// A whole number at s[at]; `problem` says why it is no channel (negative or
// above 255, or with a fraction: `fraction`); false if there is no number.
bool find_number(const std::string& s, std::size_t& at, std::uint8_t& v, const char*& problem, const char* fraction) {
  const bool negative = at + 1 < s.size() && s[at] == '-' && is_digit(s[at + 1]);
  bool range = false;
  at += negative;
  if (!read_channel(s, at, v, range) && !range) return false;
  if (at < s.size() && (s[at] == '.' || s[at] == '%')) problem = fraction;
  else if (range || negative) problem = kRange;
  return true;
}

// rgb(...) or rgba(...) with whole numbers, from s[at] just after "(": R, G
// and B separated by commas or blanks, then maybe one alpha (after a comma
// or a slash) that is not read. Returns the end, or npos.
std::size_t find_css(const std::string& s, std::size_t at, std::uint8_t rgb[3], const char*& problem) {
  const auto blanks = [&s](std::size_t& i) { while (i < s.size() && is_blank(s[i])) ++i; };
  const auto fraction = [&s](std::size_t& i) { while (i < s.size() && (is_digit(s[i]) || s[i] == '.' || s[i] == '%')) ++i; };
  for (int i = 0; i < 3; ++i) {
    while (at < s.size() && (is_blank(s[at]) || (i > 0 && s[at] == ','))) ++at;
    if (!find_number(s, at, rgb[i], problem, kCssFraction)) return std::string::npos;
    fraction(at);
  }
  blanks(at);
  if (at < s.size() && (s[at] == ',' || s[at] == '/')) {
    blanks(++at);
    const std::size_t alpha = at;
    fraction(at);
    if (at == alpha) return std::string::npos;
    blanks(at);
  }
  return at < s.size() && s[at] == ')' ? at + 1 : std::string::npos;
}

// The engine's struct form, from s[at] just after "(": R=, G=, B= in any
// order and case (blanks allowed around "=" and ","), maybe A= (not read).
// Returns the end, or npos.
std::size_t find_struct(const std::string& s, std::size_t at, std::uint8_t rgb[3], const char*& problem) {
  bool seen[4] = {false, false, false, false};
  for (;;) {
    while (at < s.size() && is_blank(s[at])) ++at;
    const char* keys = "rgba";
    const char* key = at < s.size() && s[at] != '\0' ? std::strchr(keys, lower(s[at])) : nullptr;
    if (!key || seen[key - keys]) return std::string::npos;
    for (++at; at < s.size() && is_blank(s[at]);) ++at;
    if (at >= s.size() || s[at] != '=') return std::string::npos;
    for (++at; at < s.size() && is_blank(s[at]);) ++at;
    const std::size_t k = static_cast<std::size_t>(key - keys);
    seen[k] = true;
    std::uint8_t alpha;
    const char* ignored = nullptr;
    if (!find_number(s, at, k < 3 ? rgb[k] : alpha, k < 3 ? problem : ignored, kFraction)) return std::string::npos;
    while (at < s.size() && (is_digit(s[at]) || s[at] == '.')) ++at; // a fraction's digits
    while (at < s.size() && is_blank(s[at])) ++at;
    if (at < s.size() && s[at] == ')') return seen[0] && seen[1] && seen[2] ? at + 1 : std::string::npos;
    if (at >= s.size() || s[at] != ',') return std::string::npos;
    ++at;
  }
}

// What a selector may hold between an id and the "{" that ends it: names,
// blanks, and the punctuation of classes, pseudo-classes, attributes and
// combinators.
bool in_selector(char c) { return c != '\0' && (is_word(c) || is_blank(c) || std::strchr("#.:,>+~*[]=()\"'^$|-", c)); }

// Where selector text from `from` ends: at its first other character, or the
// end. Asked in order along a line, it is found once for all the positions
// before that character.
struct SelectorEnd {
  const std::string& s;
  std::size_t from = std::string::npos, to = 0;
};
std::size_t selector_end(SelectorEnd& e, std::size_t from) {
  if (e.from > from || from > e.to) {
    e.to = from;
    while (e.to < e.s.size() && in_selector(e.s[e.to])) ++e.to;
  }
  e.from = from;
  return e.to;
}

enum class Hash { colour, other, open };

// Whether the "#" run at s[at..end), with `key`, is a colour or something
// else: a CSS id selector, or a link's fragment (after "/", inside url(...),
// or the value of an href or src). An id selector is followed (after blanks)
// by "{", or outside a declaration by ",", ".", ":", "[" or ">"; it follows a
// combinator ("+", "~", ">" or "*" after something) or opens a pseudo-class's
// parentheses (":not(", ":is(", ":where(", ":has(" ...); or selector text
// leads from it to a "{" on its line, or, outside a declaration, to its end
// and the next line that is not blank begins with "{" (`open` until that
// line is known). A run right after a quote is a string's value, never a
// selector.
Hash classify(const std::string& s, std::size_t at, std::size_t end, const std::string& key, SelectorEnd& selector, const std::string* next) {
  std::size_t e = end, b = at;
  while (e < s.size() && is_blank(s[e])) ++e;
  while (b > 0 && is_blank(s[b - 1])) --b;
  const auto is_key = [&key](const char* word) {
    return key.size() == std::strlen(word) && std::equal(key.begin(), key.end(), word, [](char c, char w) { return lower(c) == w; });
  };
  if (e < s.size() && s[e] != '\0' && (s[e] == '{' || (key.empty() && std::strchr(",.:[>", s[e])))) return Hash::other;
  if ((at > 0 && s[at - 1] == '/') || is_key("href") || is_key("src")) return Hash::other;
  // Inside url(...): the nearest parenthesis to the left (within a few hundred
  // bytes) opens, and follows "url".
  for (std::size_t i = at, stop = at > 256 ? at - 256 : 0; i > stop; --i) {
    if (s[i - 1] == ')') break;
    if (s[i - 1] == '(') {
      if (i >= 4 && has_word(s, i - 4, "url(")) return Hash::other;
      break;
    }
  }
  if (at > 0 && (s[at - 1] == '"' || s[at - 1] == '\'')) return Hash::colour;
  if (key.empty() && b > 1 && std::strchr("+~>*", s[b - 1])) {
    std::size_t c = b - 1;
    while (c > 0 && is_blank(s[c - 1])) --c;
    if (c > 0) return Hash::other; // a combinator after a selector
  }
  if (b > 0 && s[b - 1] == '(') {
    for (const char* pseudo : {":not", ":is", ":where", ":has", ":matches", ":any"}) {
      const std::size_t n = std::strlen(pseudo);
      if (b - 1 >= n && has_word(s, b - 1 - n, pseudo)) return Hash::other;
    }
  }
  const std::size_t to = selector_end(selector, end);
  if (to < s.size()) return s[to] == '{' ? Hash::other : Hash::colour;
  if (!key.empty()) return Hash::colour;
  if (!next) return Hash::open;
  return !next->empty() && (*next)[0] == '{' ? Hash::other : Hash::colour;
}

// A colour found in a line, or why what looks like one is not.
struct Found {
  std::uint8_t rgb[3];
  std::string name;
  const char* problem; // null for a colour
};

// Every colour written in line `s`, in order; one that cannot be a colour
// (out of range, or a linear colour with fractions) is found with its
// problem. Returns false, finding nothing, when a "#" run is told from an id
// selector only by the next line that is not blank, which `next` (trimmed;
// empty at the end of the text) is not yet.
bool find_in_line(const std::string& s, const std::string* next, std::vector<Found>& found) {
  found.clear();
  Keys keys{s};
  SelectorEnd selector{s};
  for (std::size_t i = 0; i < s.size();) {
    const bool after_word = i > 0 && (is_word(s[i - 1]) || s[i - 1] == '&');
    std::uint8_t rgb[3];
    std::size_t end = std::string::npos;
    const char* problem = nullptr;
    if (s[i] == '#' && !after_word) {
      const std::size_t n = hex_run(s, i + 1);
      if ((n == 3 || n == 4 || n == 6 || n == 8) && (i + 1 + n == s.size() || !is_word(s[i + 1 + n]))) {
        const Hash h = classify(s, i, i + 1 + n, key_at(keys, i), selector, next);
        if (h == Hash::open) return found.clear(), false;
        if (h == Hash::colour) hex_colour(s, i + 1, n, false, rgb), end = i + 1 + n;
      }
    } else if (!after_word && (has_word(s, i, "rgb(") || has_word(s, i, "rgba("))) {
      end = find_css(s, i + (s[i + 3] == '(' ? 4 : 5), rgb, problem);
    } else if (s[i] == '(') {
      end = find_struct(s, i + 1, rgb, problem);
    }
    if (end == std::string::npos) {
      ++i;
      continue;
    }
    found.push_back({{rgb[0], rgb[1], rgb[2]}, problem ? "" : clean_utf8(key_at(keys, i)), problem});
    i = end;
  }
  return true;
}

void hand_on_found(Reader& r, std::uint64_t number, const std::vector<Found>& found) {
  for (const Found& f : found) {
    if (f.problem) report(r, number, f.problem);
    else deliver(r, number, f.rgb, f.name);
  }
}

} // namespace

bool palette_line(const std::string& line, PaletteMode mode) {
  const std::string s = trimmed(line);
  std::vector<Found> found;
  if (mode == PaletteMode::find) return !find_in_line(s, nullptr, found) || !found.empty();
  return s == "GIMP Palette" || s == "JASC-PAL" || (!s.empty() && plain_line(s).kind == Kind::colour);
}

namespace {

} // namespace

namespace {

// The first line of T3D text, the level editor's: "Begin Map" or "Begin
// Actor", in any case, then a blank or nothing.
bool t3d_start(const std::string& s) {
  for (const char* begin : {"begin map", "begin actor"}) {
    const std::size_t n = std::strlen(begin);
    bool same = s.size() >= n && (s.size() == n || s[n] == ' ' || s[n] == '\t');
    for (std::size_t i = 0; same && i < n; ++i) same = std::tolower(static_cast<unsigned char>(s[i])) == begin[i];
    if (same) return true;
  }
  return false;
}

} // namespace

PaletteFormat read_text(Reader& r, PaletteMode mode) {
  const bool find = mode == PaletteMode::find;
  PaletteFormat format = find ? PaletteFormat::found : PaletteFormat::empty;
  const std::size_t max = find ? kPaletteMaxFindLine : kPaletteMaxLine;
  Line line;
  std::uint64_t number = 0;
  // JASC-PAL: header lines seen after the first (version, count), the count
  // declared and its line, and the colour lines that follow.
  int jasc_header = 0;
  std::uint64_t declared = 0, declared_at = 0, counted = 0;
  // Find mode: a line held until the next that is not blank tells its colours.
  std::string held;
  std::uint64_t held_at = 0;
  std::vector<Found> found;
  while (!r.stopped && read_line(r.in, line, max)) {
    ++number;
    if (number == 1 && starts_with(line.text, "\xEF\xBB\xBF")) line.text.erase(0, 3); // UTF-8 byte order mark
    const std::string s = line.too_long ? std::string("?") : trimmed(line.text);
    if (s.empty()) continue;
    if (format == PaletteFormat::empty) { // the first line that is not blank tells the format
      if (!find && t3d_start(s)) {
        report_file(r, "not a palette: T3D text (actors copied from the level editor, or a map exported); tintwise-lights lists its lights' colours");
        return PaletteFormat::not_palette;
      }
      format = s == "GIMP Palette" ? PaletteFormat::gimp : s == "JASC-PAL" ? PaletteFormat::jasc : PaletteFormat::plain;
      if (format != PaletteFormat::plain) continue;
    }
    if (format == PaletteFormat::jasc && jasc_header < 2) {
      if (++jasc_header == 1 && s != "0100") report(r, number, "not a JASC-PAL version: expected 0100");
      if (jasc_header == 2) {
        if (read_count(s, declared)) declared_at = number;
        else report(r, number, "not a JASC-PAL colour count");
      }
      continue;
    }
    if (format == PaletteFormat::gimp && (s[0] == '#' || starts_with(s, "Name:") || starts_with(s, "Columns:"))) continue;
    if (format == PaletteFormat::jasc) ++counted;
    if (held_at != 0) { // the line before, told by this one
      find_in_line(held, &s, found);
      hand_on_found(r, held_at, found);
      held_at = 0;
    }
    if (line.too_long) report(r, number, "line longer than " + std::to_string(max) + " bytes, not read");
    else if (s.find('\0') != std::string::npos) report(r, number, "not text: a NUL byte in the line");
    else if (find && !find_in_line(s, nullptr, found)) held = s, held_at = number;
    else if (find) hand_on_found(r, number, found);
    else if (format == PaletteFormat::gimp) hand_on(r, number, s, spaced_line(s, "not a colour line of a GIMP palette: use R G B, then a name"));
    else if (format == PaletteFormat::jasc) hand_on(r, number, s, spaced_line(s, "not a colour line of a JASC palette: use R G B"));
    else hand_on(r, number, s, plain_line(s));
  }
  if (held_at != 0 && !r.stopped) {
    const std::string none; // nothing follows it
    find_in_line(held, &none, found);
    hand_on_found(r, held_at, found);
  }
  if (declared_at != 0 && declared != counted) {
    report(r, declared_at, "the header says " + std::to_string(declared) + " colours, the file has " + std::to_string(counted));
  }
  // Lines that were all reported, and not one colour: say what is wrong once.
  if (format == PaletteFormat::plain && r.delivered == 0 && r.reported > 0) {
    report_file(r, "not a palette: no line holds a colour; colours written inside other text are taken in find mode (--find)");
  }
  return format;
}

} // namespace palette_reader
} // namespace tintwise
