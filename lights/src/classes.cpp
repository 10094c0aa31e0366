// The classes an actor's colour defaults come from: the games' tables, read
// once each from the text compiled in, and the .uc files of a mod or a map,
// read as UnrealScript reads them.
#include "classes.h"

#include <algorithm>
#include <cstring>
#include <unordered_map>

namespace tintwise {

namespace {

const char* const kGames[kLightsGames] = {"unreal", "ut99", "deusex", "rune", "nerf", "undying", "khg", "wot", "ut2004"};

std::string lowered(std::string s) {
  for (char& c : s) c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
  return s;
}

// A value no class sets: LT_None for LightType, else 0.
const char* unset(int k) { return k == lights_classes::kType ? "LT_None" : "0"; }

// --- The games' tables --------------------------------------------------------------

struct Row {
  std::string name, parent;
  bool plain = true;          // its values are Actor's, and it is neither a light nor a zone
  bool light = false, zone = false; // a subclass of Light, of ZoneInfo
  std::string value[kClassValues], origin[kClassValues];
};

struct Table {
  std::unordered_map<std::string, Row> rows; // by name, lowered
  const Row* actor = nullptr;
};

Table parse(const char* text) {
  Table t;
  for (const char* at = text; *at;) {
    const char* end = std::strchr(at, '\n');
    if (!end) end = at + std::strlen(at);
    std::vector<std::string> fields;
    for (const char* f = at; f <= end;) {
      const char* tab = std::find(f, end, '\t');
      fields.emplace_back(f, tab);
      f = tab + 1;
    }
    at = *end ? end + 1 : end;
    if (fields[0].empty()) continue;
    Row row;
    row.name = fields[0];
    if (fields.size() >= 3 + kClassValues) {
      row.plain = false;
      row.parent = fields[1];
      for (int k = 0; k < kClassValues; ++k) {
        const std::string& f = fields[3 + static_cast<std::size_t>(k)];
        const std::size_t by = f.find('@');
        row.value[k] = f.substr(0, by);
        row.origin[k] = by == std::string::npos ? "" : f.substr(by + 1);
      }
    }
    t.rows.emplace(lowered(row.name), std::move(row));
  }
  const auto found = t.rows.find("actor");
  t.actor = found == t.rows.end() ? nullptr : &found->second;
  // Which classes are lights and zones by their ancestry: the chain of full rows up to Light or ZoneInfo.
  for (auto& [key, row] : t.rows) {
    const Row* up = &row;
    for (int depth = 0; up && depth < 64; ++depth) {
      const std::string name = lowered(up->name.substr(up->name.rfind('.') + 1));
      row.light = row.light || name == "light";
      row.zone = row.zone || name == "zoneinfo";
      const auto parent = up->parent.empty() ? t.rows.end() : t.rows.find(lowered(up->parent));
      up = parent == t.rows.end() ? nullptr : &parent->second;
    }
  }
  return t;
}

template <int G> const Table& table_at() {
  static const Table t = parse(lights_classes::kTables[G]);
  return t;
}

const Table& table_of(LightsGame game) {
  using Get = const Table& (*)();
  static const Get tables[kLightsGames] = {table_at<0>, table_at<1>, table_at<2>, table_at<3>, table_at<4>, table_at<5>, table_at<6>, table_at<7>, table_at<8>};
  return tables[static_cast<int>(game)]();
}

// The row of a class by its name (lowered; a package before a point looked
// up too, and a name two packages share found by either); `why` set where
// there is none, or two that differ.
const Row* find_row(const Table& t, const std::string& key, std::string& why) {
  auto exact = t.rows.find(key);
  if (exact != t.rows.end()) return &exact->second;
  const std::string bare = key.substr(key.rfind('.') + 1);
  if (bare != key && (exact = t.rows.find(bare)) != t.rows.end()) return &exact->second;
  const Row* one = nullptr;
  for (const auto& [k, row] : t.rows) {
    if (k.size() <= bare.size() || k.compare(k.size() - bare.size(), bare.size(), bare) != 0 || k[k.size() - bare.size() - 1] != '.') continue;
    if (one && !std::equal(one->value, one->value + kClassValues, row.value)) {
      why = "two classes of that name, whose defaults differ (" + one->name + ", " + row.name + "): write the class with its package";
      return nullptr;
    }
    one = &row;
  }
  return one;
}

bool is_none(const std::string& type) { return type.empty() || lowered(type) == "lt_none" || type == "0"; }

} // namespace

const char* lights_game_name(LightsGame game) { return kGames[static_cast<int>(game)]; }

bool lights_game_named(const std::string& name, LightsGame& game) {
  for (int g = 0; g < kLightsGames; ++g) {
    if (lowered(name) == kGames[g]) return game = static_cast<LightsGame>(g), true;
  }
  return false;
}

bool later_generation(LightsGame game) { return game == LightsGame::ut2004; }

namespace lights_classes {

Defaults class_defaults(const std::string& name, const std::vector<UcClass>& own, LightsGame game) {
  Defaults d;
  // The mod's own chain, from the class up to the first one it does not hold.
  std::vector<const UcClass*> chain;
  std::string key = lowered(name.substr(name.rfind('.') + 1));
  for (bool more = true; more;) {
    more = false;
    for (const UcClass& c : own) {
      if (lowered(c.name) != key) continue;
      if (chain.size() >= 64 || std::find(chain.begin(), chain.end(), &c) != chain.end()) {
        d.why = "its classes extend one another in a loop (" + c.file + ")";
        return d;
      }
      chain.push_back(&c);
      key = lowered(c.parent);
      more = !key.empty();
      break;
    }
  }
  const Table& t = table_of(game);
  std::string why;
  // Object, the root, sets nothing: the end of a mod's own chain that is no actor's, or that holds its own Actor.
  const bool root = (key == "object" || key.empty()) && !chain.empty();
  const Row* row = root ? nullptr : find_row(t, chain.empty() ? lowered(name) : key, why);
  if (!root && (!row || !t.actor)) {
    d.why = chain.empty() ? (why.empty() ? std::string("it is not known to ") + lights_game_name(game) + "'s classes" : why)
                          : "class " + chain.back()->name + " (" + chain.back()->file + ") extends " + chain.back()->parent + ", which " +
                                (why.empty() ? std::string("neither the classes given nor ") + lights_game_name(game) + "'s know" : "has " + why);
    return d;
  }
  const Row* from = root ? nullptr : row->plain ? t.actor : row;
  d.known = true;
  d.light_class = row && row->light;
  d.zone = row && row->zone;
  for (const UcClass* c : chain) { // a chain of the mod's own through its own Light or ZoneInfo
    d.light_class = d.light_class || lowered(c->name) == "light";
    d.zone = d.zone || lowered(c->name) == "zoneinfo";
  }
  for (int k = 0; k < kClassValues; ++k) {
    d.value[k] = from ? from->value[k] : "";
    d.origin[k] = from ? from->origin[k] : "";
  }
  for (auto c = chain.rbegin(); c != chain.rend(); ++c) {
    for (int k = 0; k < kClassValues; ++k) {
      if (!(*c)->set[k]) continue;
      d.value[k] = (*c)->value[k];
      d.origin[k] = (*c)->name;
    }
  }
  for (int k = 0; k < kClassValues; ++k) {
    if (d.value[k].empty()) d.value[k] = unset(k);
  }
  d.light = d.light_class || !is_none(d.value[kType]);
  return d;
}
} // namespace lights_classes

std::string unresolved_class(const std::string& name, const std::vector<UcClass>& classes, LightsGame game) {
  const lights_classes::Defaults d = lights_classes::class_defaults(name, classes, game);
  return d.known ? "" : d.why;
}

// --- .uc files ----------------------------------------------------------------------

namespace {

// A .uc file's characters, one a character (what is not ASCII as 0x80: no
// name or value read here is), UTF-16 after its byte order mark, else bytes.
std::string uc_characters(const std::string& bytes) {
  const bool le = bytes.compare(0, 2, "\xFF\xFE") == 0, be = bytes.compare(0, 2, "\xFE\xFF") == 0;
  if (!le && !be) return bytes;
  std::string out;
  for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
    const unsigned a = static_cast<unsigned char>(bytes[i]), b = static_cast<unsigned char>(bytes[i + 1]);
    const unsigned u = le ? b << 8 | a : a << 8 | b;
    out += u < 0x80 ? static_cast<char>(u) : '\x80';
  }
  return out;
}

// The text with its comments blanked (line ends kept), strings and names untouched.
std::string without_comments(const std::string& s) {
  std::string out = s;
  for (std::size_t i = 0; i < s.size();) {
    if (s[i] == '"' || s[i] == '\'') {
      std::size_t end = i + 1;
      while (end < s.size() && s[end] != s[i] && s[end] != '\n') end += s[end] == '\\' ? 2 : 1;
      i = end + 1;
    } else if (s.compare(i, 2, "//") == 0) {
      for (; i < s.size() && s[i] != '\n'; ++i) out[i] = ' ';
    } else if (s.compare(i, 2, "/*") == 0) {
      const std::size_t end = std::min(s.find("*/", i + 2), s.size() - 2) + 2;
      for (; i < end && i < s.size(); ++i) out[i] = s[i] == '\n' ? '\n' : ' ';
    } else {
      ++i;
    }
  }
  return out;
}

bool word_char(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_'; }
bool blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Where the word `w` (any case) stands alone in `s` from `at`, or npos.
std::size_t find_word(const std::string& s, const char* w, std::size_t at = 0) {
  const std::string lw = lowered(w), ls = lowered(s);
  for (std::size_t i = ls.find(lw, at); i != std::string::npos; i = ls.find(lw, i + 1)) {
    if ((i == 0 || !word_char(s[i - 1])) && (i + lw.size() == s.size() || !word_char(s[i + lw.size()]))) return i;
  }
  return std::string::npos;
}

std::string word_at(const std::string& s, std::size_t& i) {
  while (i < s.size() && blank(s[i])) ++i;
  const std::size_t from = i;
  while (i < s.size() && (word_char(s[i]) || s[i] == '.')) ++i;
  return s.substr(from, i - from);
}

std::uint64_t line_of(const std::string& s, std::size_t at) { return 1 + static_cast<std::uint64_t>(std::count(s.begin(), s.begin() + static_cast<long>(at), '\n')); }

// A value of a colour property as the importer would read it: a byte's and a
// LightType's (a name, or a number), or a brightness's (a byte or a float).
bool readable(int k, const std::string& v) {
  if (v.empty()) return false;
  if (k == lights_classes::kType) return std::all_of(v.begin(), v.end(), word_char);
  std::size_t i = v[0] == '+' || v[0] == '-' ? 1 : 0, digits = 0, point = 0;
  for (; i < v.size(); ++i) {
    if (v[i] >= '0' && v[i] <= '9') ++digits;
    else if (v[i] == '.' && k == lights_classes::kBrightness) ++point;
    else return false;
  }
  return digits > 0 && point <= 1;
}

} // namespace

namespace {

bool read_uc_class(const std::string& bytes, const std::string& file, UcClass& out, std::vector<LightsReport>& reports) {
  static const char* const kNames[kClassValues] = {"LightType", "LightHue", "LightSaturation", "LightBrightness", "AmbientHue", "AmbientSaturation", "AmbientBrightness"};
  out = UcClass{};
  out.file = file;
  for (bool& set : out.set) set = false;
  const std::string s = without_comments(uc_characters(bytes));
  std::size_t at = find_word(s, "class");
  if (at == std::string::npos) {
    reports.push_back({0, "not read: it declares no class (class X extends Y;)"});
    return false;
  }
  out.line = line_of(s, at);
  at += 5;
  out.name = word_at(s, at);
  std::size_t after = at;
  const std::string verb = lowered(word_at(s, after));
  if (verb == "extends" || verb == "expands") {
    out.parent = word_at(s, after);
    out.parent = out.parent.substr(out.parent.rfind('.') + 1);
  }
  if (out.name.empty() || (out.parent.empty() && lowered(out.name) != "object")) {
    reports.push_back({out.line, "not read: a class declaration without its name and the class it extends"});
    return false;
  }
  std::size_t block = find_word(s, "defaultproperties");
  if (block == std::string::npos) return true;
  block += 17;
  while (block < s.size() && blank(s[block])) ++block;
  if (block >= s.size() || s[block] != '{') {
    reports.push_back({line_of(s, block), "defaultproperties without its {: its values are not read"});
    return true;
  }
  // The block ends at its } outside strings and names.
  std::size_t end = block + 1;
  for (char quote = 0; end < s.size() && (quote || s[end] != '}'); ++end) {
    if (quote) quote = s[end] == quote || s[end] == '\n' ? 0 : quote;
    else if (s[end] == '"' || s[end] == '\'') quote = s[end];
  }
  if (end >= s.size()) reports.push_back({line_of(s, block), "defaultproperties never ends (no }): its values up to the end are read"});
  int depth = 0; // of sub-objects (Begin Object ... End Object), whose values are theirs
  for (std::size_t from = block + 1; from < end;) {
    const std::size_t stop = std::min(s.find('\n', from), end);
    const std::string line = s.substr(from, stop - from);
    const std::uint64_t number = line_of(s, from);
    from = stop + 1;
    std::size_t i = 0;
    const std::string first = lowered(word_at(line, i)), second = lowered(word_at(line, i));
    if ((first == "begin" || first == "end") && second == "object") {
      depth += first == "begin" ? 1 : -1;
      continue;
    }
    i = 0;
    const std::string name = word_at(line, i);
    while (i < line.size() && blank(line[i])) ++i;
    if (depth > 0 || name.empty() || i >= line.size() || line[i] != '=') continue; // an array element Name(0)= or Name[0]= is not the property
    std::string value = line.substr(i + 1);
    while (!value.empty() && (blank(value.back()) || value.back() == ';')) value.pop_back();
    value.erase(0, value.find_first_not_of(" \t"));
    for (int k = 0; k < kClassValues; ++k) {
      if (lowered(name) != lowered(kNames[k])) continue;
      if (!readable(k, value)) {
        reports.push_back({number, std::string(kNames[k]) + "=" + value.substr(0, 64) + " is no value of it that can be read; not read"});
        break;
      }
      out.set[k] = true;
      out.value[k] = value;
    }
  }
  return true;
}

} // namespace

bool add_uc_class(const std::string& bytes, const std::string& file, std::vector<UcClass>& classes, std::vector<LightsReport>& reports) {
  UcClass c;
  if (!read_uc_class(bytes, file, c, reports)) return false;
  for (const UcClass& other : classes) {
    if (lowered(other.name) != lowered(c.name)) continue;
    reports.push_back({c.line, "class " + c.name + " again (first in " + other.file + "); the first is kept"});
    return false;
  }
  classes.push_back(std::move(c));
  return true;
}

} // namespace tintwise
