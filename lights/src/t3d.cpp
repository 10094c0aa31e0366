// T3D text, a line at a time: blocks tracked as they open and close, each
// actor held from its "Begin Actor" to its "End Actor", and then listed, or
// written back with only the values of its colour lines changed (and the
// missing ones inserted). Everything outside actors is written back as it is
// read; nothing is decoded but the ASCII the structure is made of.
#include <algorithm>
#include <cstring>
#include <string_view>
#include <vector>

#include "actors.h"
#include "map.h"
#include "tintwise/package.h"
#include "tintwise/lights.h"

namespace tintwise {

namespace {

char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
// A stray carriage return ("End Actor\r\r\n") is a blank, as a tab is.
bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\r'; }
bool same(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < b.size(); ++i) {
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

// A name as the rows show it: valid UTF-8, no control characters (each
// byte that is not, U+FFFD; each control character, a blank).
std::string clean(const std::string& s) {
  std::string out;
  for (std::size_t i = 0; i < s.size();) {
    const unsigned char b = static_cast<unsigned char>(s[i]);
    std::size_t n = b < 0x80 ? 1 : b >= 0xC2 && b <= 0xDF ? 2 : b >= 0xE0 && b <= 0xEF ? 3 : b >= 0xF0 && b <= 0xF4 ? 4 : 0;
    for (std::size_t k = 1; k < n; ++k) {
      const unsigned char c = i + k < s.size() ? static_cast<unsigned char>(s[i + k]) : 0;
      const unsigned char lo = k > 1 ? 0x80 : b == 0xE0 ? 0xA0 : b == 0xF0 ? 0x90 : 0x80, hi = k > 1 ? 0xBF : b == 0xED ? 0x9F : b == 0xF4 ? 0x8F : 0xBF;
      if (c < lo || c > hi) n = 0;
    }
    if (n == 0) out += "\xEF\xBF\xBD";
    else if (n == 1) out += b < 0x20 || b == 0x7F ? ' ' : static_cast<char>(b);
    else out.append(s, i, n);
    i += n == 0 ? 1 : n;
  }
  return out;
}

// --- The input, a line at a time ----------------------------------------------

// The text's units: bytes, or UTF-16 code units (after a byte order mark) in
// the text's byte order.
struct Input {
  LightsSource source;
  std::string buf;
  std::size_t pos = 0;
  bool ended = false;
  std::size_t width = 1;
  bool big_endian = false;
};

// The unit at byte `at` of the buffer (which holds it whole).
unsigned unit_at(const Input& in, std::size_t at) {
  const auto byte = [&in](std::size_t i) { return static_cast<unsigned>(static_cast<unsigned char>(in.buf[i])); };
  if (in.width == 1) return byte(at);
  return in.big_endian ? byte(at) << 8 | byte(at + 1) : byte(at + 1) << 8 | byte(at);
}

// More bytes into the buffer, dropping what was taken; false at the end.
bool fill(Input& in) {
  if (in.ended) return false;
  in.buf.erase(0, in.pos);
  in.pos = 0;
  char chunk[1 << 16];
  const std::size_t n = in.source.read(in.source.context, chunk, sizeof chunk);
  if (n == 0 || n > sizeof chunk) return in.ended = true, false;
  in.buf.append(chunk, n);
  return true;
}

// The next line, its end included, into `line`; false at the end of the text.
// A line whose characters pass kLightsMaxLine bytes, its line end (LF, or
// CR LF) aside, is `too_long`; if its end lies past that, only its start is
// taken (`cut`), and the rest is left in the input for pass_rest.
bool next_line(Input& in, std::string& line, bool& too_long, bool& cut) {
  const std::size_t reach = kLightsMaxLine + 2 * in.width; // the longest line read, and a CR LF
  std::size_t looked = 0;                                  // bytes of the line already looked at
  for (;;) {
    const std::size_t most = std::min((in.buf.size() - in.pos) / in.width * in.width, reach);
    std::size_t end = std::string::npos; // where its line feed is
    if (in.width == 1) {
      const void* lf = looked < most ? std::memchr(in.buf.data() + in.pos + looked, '\n', most - looked) : nullptr;
      if (lf) end = static_cast<std::size_t>(static_cast<const char*>(lf) - in.buf.data()) - in.pos;
    } else {
      for (std::size_t at = looked; at < most && end == std::string::npos; at += in.width) {
        if (unit_at(in, in.pos + at) == '\n') end = at;
      }
    }
    looked = most;
    if (end != std::string::npos || most == reach) {
      cut = end == std::string::npos;
      const std::size_t size = cut ? reach : end + in.width;
      const bool cr = !cut && end >= in.width && unit_at(in, in.pos + end - in.width) == '\r';
      too_long = cut || end - (cr ? in.width : 0) > kLightsMaxLine;
      line.assign(in.buf, in.pos, size);
      in.pos += size;
      return true;
    }
    if (!fill(in)) { // the last line, with no line end
      if (in.pos == in.buf.size()) return false;
      line.assign(in.buf, in.pos, std::string::npos);
      in.pos = in.buf.size();
      too_long = line.size() > kLightsMaxLine;
      cut = false;
      return true;
    }
  }
}

// --- Lines as T3D reads them -------------------------------------------------------

// A line's characters, one a unit (a unit that is not ASCII as 0x80), its
// line end (LF, or CR LF) included: its bytes as they are, or for UTF-16
// into `s`.
std::string_view characters(const Input& in, const std::string& bytes, std::string& s) {
  if (in.width == 1) return bytes;
  s.clear();
  for (std::size_t i = 0; i + in.width <= bytes.size(); i += in.width) {
    unsigned u = static_cast<unsigned char>(bytes[i]);
    const unsigned next = in.width == 2 ? static_cast<unsigned char>(bytes[i + 1]) : 0;
    if (in.width == 2) u = in.big_endian ? u << 8 | next : next << 8 | u;
    s += u < 0x80 ? static_cast<char>(u) : '\x80';
  }
  return s;
}

// A line as text, for the names it gives: its bytes as they are, or its
// UTF-16 units as UTF-8 (an unpaired surrogate as U+FFFD).
std::string decoded(const Input& in, const std::string& bytes) {
  if (in.width == 1) return bytes;
  std::string out;
  const auto unit = [&](std::size_t i) {
    const unsigned a = static_cast<unsigned char>(bytes[i]), b = static_cast<unsigned char>(bytes[i + 1]);
    return in.big_endian ? a << 8 | b : b << 8 | a;
  };
  for (std::size_t i = 0; i + 2 <= bytes.size(); i += 2) {
    unsigned c = unit(i);
    if (c >= 0xD800 && c < 0xDC00 && i + 4 <= bytes.size() && unit(i + 2) >= 0xDC00 && unit(i + 2) < 0xE000) {
      c = 0x10000 + ((c - 0xD800) << 10) + (unit(i + 2) - 0xDC00);
      i += 2;
    } else if (c >= 0xD800 && c < 0xE000) {
      c = 0xFFFD;
    }
    const int n = c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
    out += static_cast<char>(n == 1 ? c : (0xF00u >> n & 0xF0) | c >> (6 * (n - 1)));
    for (int k = n - 2; k >= 0; --k) out += static_cast<char>(0x80 | (c >> (6 * k) & 0x3F));
  }
  return out;
}

// How many characters end a line: 2 for CR LF, 1 for LF, 0 for none.
std::size_t line_end(std::string_view s) {
  if (s.empty() || s.back() != '\n') return 0;
  return s.size() >= 2 && s[s.size() - 2] == '\r' ? 2 : 1;
}

enum class Kind { other, begin, end, property };

// One line: a block's Begin or End (with its kind), a property (its name and
// the value's place, in characters, the blanks around it left out), or
// neither.
struct Parsed {
  Kind kind = Kind::other;
  std::string_view word; // the block's kind, or the property's name
  std::string_view rest; // of a Begin line, after its kind: the block's attributes
  std::size_t indent = 0, value_at = 0, value_size = 0;
};

Parsed parse(std::string_view s) {
  Parsed p;
  std::size_t i = 0;
  while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
  p.indent = i; // the indentation an inserted line copies: spaces and tabs, never a stray CR
  while (i < s.size() && is_blank(s[i])) ++i;
  std::size_t k = i;
  while (k < s.size() && !is_blank(s[k]) && s[k] != '=') ++k;
  const std::string_view first = s.substr(i, k - i);
  if ((same(first, "Begin") || same(first, "End")) && k < s.size() && is_blank(s[k])) {
    while (k < s.size() && is_blank(s[k])) ++k;
    std::size_t e = k;
    while (e < s.size() && !is_blank(s[e])) ++e;
    if (e == k) return p;
    p.kind = same(first, "Begin") ? Kind::begin : Kind::end;
    p.word = s.substr(k, e - k);
    p.rest = s.substr(e);
    return p;
  }
  std::size_t eq = k; // blanks may stand around "=", as the importer reads them
  while (eq < s.size() && is_blank(s[eq])) ++eq;
  if (k == i || eq == s.size() || s[eq] != '=') return p;
  p.kind = Kind::property;
  p.word = first;
  std::size_t at = eq + 1, end = s.size();
  while (at < end && is_blank(s[at])) ++at;
  while (end > at && is_blank(s[end - 1])) --end;
  p.value_at = at;
  p.value_size = end - at;
  return p;
}

// An attribute of a Begin line ("Class=Light Name=\"Light 5\""), without its
// quotes; empty when it has none.
std::string attribute(std::string_view rest, const char* key) {
  for (std::size_t i = 0; i < rest.size();) {
    while (i < rest.size() && is_blank(rest[i])) ++i;
    std::size_t k = i;
    while (k < rest.size() && !is_blank(rest[k]) && rest[k] != '=') ++k;
    const std::string_view name = rest.substr(i, k - i);
    std::string_view value;
    if (k < rest.size() && rest[k] == '=') {
      ++k;
      const bool quoted = k < rest.size() && rest[k] == '"';
      const std::size_t from = k + quoted;
      k = from;
      while (k < rest.size() && (quoted ? rest[k] != '"' : !is_blank(rest[k]))) ++k;
      value = rest.substr(from, k - from);
      k += quoted && k < rest.size();
    }
    if (same(name, key)) return std::string(value);
    i = k;
  }
  return "";
}

// --- Actors --------------------------------------------------------------------

using lights_actors::Cause;
using lights_actors::kProperties;
using lights_actors::kEndCloses, lights_actors::kEndEarly, lights_actors::kDeep, lights_actors::kLongLine, lights_actors::kLargeActor,
    lights_actors::kNeverEnds, lights_actors::kBlockOpen, lights_actors::kOnce;

// Where a property's line lies in the actor's text.
struct Place {
  std::size_t value_at = 0;    // its value's bytes
  std::size_t value_bytes = 0;
  std::size_t line_end = 0;    // where its line ends (after its line end)
};

struct Actor {
  lights_actors::Actor values; // its name, class and what it holds of its colour
  std::size_t depth = 0;     // of the actor's own block in the stack
  std::string text;          // its bytes so far, while held
  bool held = true;          // else passed through as read (too large, a line too long, its end not certain)
  std::string indent;        // bytes of its property lines' indentation
  std::string begin_indent;  // and of its Begin line's
  std::size_t begin_end = 0; // where its Begin line ends in `text`
  std::size_t last_property = 0; // where its last property line at its own level ends
  Place places[kProperties];
};

struct Block {
  std::string kind;
  std::uint64_t line;
};

struct Reading {
  Input in;
  const LightsRecolour& recolour;
  const LightsSink& sink;
  LightsResult result{false, 0, true, 0};
  std::uint64_t said[lights_actors::kCauses] = {}, last[lights_actors::kCauses] = {}; // reports of each cause, and the line of the last
  std::uint64_t line = 0;
  std::vector<Block> blocks;
  bool in_actor = false;
  Actor actor;
  std::string eol;   // the text's line end, as its first line ends, in its units
  std::string chars; // a UTF-16 line's characters
  lights_actors::Reading colours; // the game and generation
};

// A report, unless the text can no longer be written (what would follow is
// that failure over again), or its cause has been said often enough.
void report(Reading& r, Cause cause, std::uint64_t line, const std::string& reason) {
  if (!r.sink.report || !r.result.written) return;
  r.last[cause] = line;
  if (++r.said[cause] <= kLightsShownReports || cause == lights_actors::kOnce) r.sink.report(r.sink.context, {line, reason});
}

// A flood of one cause: its count, once, at the end.
void say_flood(Reading& r, int cause) {
  if (r.said[cause] <= kLightsShownReports) return;
  report(r, kOnce, 0, "and " + std::to_string(r.said[cause] - kLightsShownReports) + " more " + lights_actors::kCauseSaid[cause] + " (the last at line " +
                          std::to_string(r.last[cause]) + "), each as the ones said");
}

void report_to(void* context, Cause cause, std::uint64_t line, const std::string& reason) { report(*static_cast<Reading*>(context), cause, line, reason); }

void write(Reading& r, const char* bytes, std::size_t n) {
  if (r.sink.write && r.result.written && n > 0) r.result.written = r.sink.write(r.sink.context, bytes, n);
}
void write(Reading& r, const std::string& bytes) { write(r, bytes.data(), bytes.size()); }

// ASCII characters in the text's units.
std::string units(const Reading& r, const std::string& ascii) {
  if (r.in.width == 1) return ascii;
  std::string out;
  for (const char c : ascii) out += r.in.big_endian ? std::string{'\0', c} : std::string{c, '\0'};
  return out;
}

// The rest of a line cut at kLightsMaxLine, passed through without being held.
void pass_rest(Reading& r) {
  for (;;) {
    for (std::size_t at = r.in.pos; at + r.in.width <= r.in.buf.size(); at += r.in.width) {
      if (unit_at(r.in, at) != '\n') continue;
      write(r, r.in.buf.data() + r.in.pos, at + r.in.width - r.in.pos);
      r.in.pos = at + r.in.width;
      return;
    }
    const std::size_t whole = (r.in.buf.size() - r.in.pos) / r.in.width * r.in.width;
    write(r, r.in.buf.data() + r.in.pos, whole);
    r.in.pos += whole;
    if (!fill(r.in)) return write(r, r.in.buf.data() + r.in.pos, r.in.buf.size() - r.in.pos), void(r.in.pos = r.in.buf.size());
  }
}

// The actor from here on is passed through as it is read, and said why,
// once, at the line where the cause is.
void let_pass(Reading& r, Cause cause, std::uint64_t line, const std::string& why) {
  Actor& a = r.actor;
  if (!a.held) return;
  report(r, cause, line, lights_actors::text_name(a.values.name) + " (line " + std::to_string(a.values.line) + "): " + why + "; the actor is passed through unchanged");
  write(r, a.text);
  a.text.clear();
  a.held = false;
}

// The actor, whole: listed, or recoloured and written, as asked.
void finish_actor(Reading& r) {
  Actor& a = r.actor;
  r.in_actor = false;
  if (!a.held) return;
  lights_actors::Colour colours[2];
  lights_actors::colours_of(r.colours, a.values, {report_to, &r}, !r.recolour.recolour, colours);
  if (!r.recolour.recolour) {
    for (int g = 0; g < 2; ++g) {
      if (colours[g].is && colours[g].complete && r.sink.entry) r.sink.entry(r.sink.context, lights_actors::entry_of(a.values, colours[g], g == 1));
    }
    return;
  }
  const int g = r.recolour.ambient ? 1 : 0;
  const lights_actors::Colour& c = colours[g];
  const bool chosen = lights_actors::chosen(r.recolour, a.values);
  r.result.matched += chosen && !r.recolour.only.empty();
  if (!c.is || !c.certain || !chosen) return write(r, a.text);
  // The lines to write: each value in place; each missing line after the
  // last colour line of this group it has, else after its last property at
  // its own level (never inside a nested block), else after its Begin line,
  // with the indentation of its property lines and the text's line end. The
  // later generation's brightness, a float of another scale, is never
  // written.
  const std::uint8_t triple[3] = {r.recolour.hue, r.recolour.saturation, r.recolour.brightness};
  struct Edit {
    std::size_t at, size;
    std::string bytes;
  };
  std::vector<Edit> edits;
  std::size_t after = 0;
  for (int k = 0; k < 3; ++k) after = std::max(after, a.places[3 * g + k].line_end);
  if (after == 0) after = a.last_property ? a.last_property : a.begin_end;
  const std::string indent = a.last_property ? a.indent : a.begin_indent + units(r, "    ");
  std::string inserted;
  for (int k = 0; k < (r.recolour.keep_brightness || c.later ? 2 : 3); ++k) {
    const Place& p = a.places[3 * g + k];
    const std::string value = units(r, std::to_string(triple[k]));
    if (a.values.held[3 * g + k].seen) edits.push_back({p.value_at, p.value_bytes, value});
    else inserted += indent + units(r, lights_actors::kNames[3 * g + k]) + units(r, "=") + value + r.eol;
  }
  if (!inserted.empty()) edits.push_back({after, 0, inserted});
  std::sort(edits.begin(), edits.end(), [](const Edit& x, const Edit& y) { return x.at < y.at; });
  std::string out;
  std::size_t from = 0;
  for (const Edit& e : edits) {
    out.append(a.text, from, e.at - from);
    out += e.bytes;
    from = e.at + e.size;
  }
  out.append(a.text, from, std::string::npos);
  ++r.result.changed;
  write(r, out);
}

// A line of the text, with its place and what it reads as.
void take_line(Reading& r, const std::string& bytes, bool too_long, bool cut) {
  Actor& a = r.actor;
  std::string_view s = characters(r.in, bytes, r.chars);
  const std::size_t ends = line_end(s);
  if (r.eol.empty() && ends > 0) r.eol = units(r, std::string(s.substr(s.size() - ends)));
  s.remove_suffix(ends);
  if (too_long) {
    const std::string said = "a line of more than " + std::to_string(kLightsMaxLine) + " bytes";
    if (r.in_actor && a.held) let_pass(r, kLongLine, r.line, said);
    else report(r, kLongLine, r.line, said + ", passed through unchanged");
    write(r, bytes);
    return cut ? pass_rest(r) : void();
  }
  const Parsed p = parse(s);
  if (p.kind == Kind::begin && same(p.word, "Actor")) {
    // Actors do not nest: an actor whose End Actor has not come by the next
    // Begin Actor never ends, and the next is read as the actor it is.
    if (r.in_actor) {
      if (a.held) {
        report(r, kNeverEnds, a.values.line, lights_actors::text_name(a.values.name) + ": the actor never ends (a Begin Actor, line " + std::to_string(r.line) +
                                                                  ", comes before its End Actor); passed through unchanged");
      }
      write(r, a.text);
      r.blocks.resize(a.depth);
    }
    r.result.t3d = true;
    r.in_actor = true;
    a = Actor{};
    a.values.line = r.line;
    const std::string line = r.in.width == 1 ? std::string(p.rest) : decoded(r.in, bytes.substr(0, bytes.size() - ends * r.in.width)); // its names as text
    const std::string_view text = r.in.width == 1 ? std::string_view(line) : parse(line).rest;
    a.values.name = attribute(text, "Name");
    a.values.class_name = attribute(text, "Class"); // Engine.Light: Light of the package Engine
    a.depth = r.blocks.size();
    a.text = bytes;
    a.begin_end = bytes.size();
    a.begin_indent = bytes.substr(0, p.indent * r.in.width);
    r.blocks.push_back({std::string(p.word), r.line});
    return;
  }
  const std::size_t at = a.text.size(); // where the line starts in the actor's text, while held
  const bool held = r.in_actor && a.held;
  if (held) a.text += bytes;
  else write(r, bytes);
  // A fault in the structure: said once, as the actor's when it is in one
  // that is held (which is then passed through), else as the text's.
  const auto fault = [&](Cause cause, const std::string& said, const char* then) {
    if (held) let_pass(r, cause, r.line, said);
    else report(r, cause, r.line, said + then);
  };
  if (p.kind == Kind::begin) {
    if (r.blocks.size() < 1024) return r.blocks.push_back({std::string(p.word), r.line});
    return fault(kDeep, "blocks nested more than 1024 deep", "; the structure after it is not certain");
  }
  if (p.kind == Kind::end) {
    std::size_t open = r.blocks.size();
    const std::string word = clean(std::string(p.word));
    while (open > 0 && !same(r.blocks[open - 1].kind, p.word)) --open;
    if (open == 0) return fault(kEndCloses, "End " + word + " closes no block that is open", "; passed through unchanged");
    if (open < r.blocks.size()) {
      fault(kEndEarly, "End " + word + " closes " + clean(r.blocks.back().kind) + " (line " + std::to_string(r.blocks.back().line) + ") before it ends", "");
    }
    r.blocks.resize(open - 1);
    if (r.in_actor && r.blocks.size() <= a.depth) finish_actor(r);
    return;
  }
  if (!held) return;
  if (a.text.size() > kLightsMaxActor) return let_pass(r, kLargeActor, r.line, "an actor of more than " + std::to_string(kLightsMaxActor) + " bytes");
  if (p.kind != Kind::property || r.blocks.size() != a.depth + 1) return;
  if (a.last_property == 0) a.indent = bytes.substr(0, p.indent * r.in.width);
  a.last_property = a.text.size();
  for (int k = 0; k < kProperties; ++k) {
    if (!same(p.word, lights_actors::kNames[k])) continue;
    lights_actors::Held& given = a.values.held[k];
    ++given.seen;
    given.value = std::string(s.substr(p.value_at, p.value_size));
    given.line = r.line;
    if (k == lights_actors::kTag) { // a name, as characters: UTF-16's decoded
      if (r.in.width == 2) given.value = decoded(r.in, bytes.substr(0, bytes.size() - ends * r.in.width)).substr(p.value_at);
      while (!given.value.empty() && is_blank(given.value.back())) given.value.pop_back();
      if (given.value.size() >= 2 && given.value.front() == '"' && given.value.back() == '"') given.value = given.value.substr(1, given.value.size() - 2);
    }
    a.places[k] = {at + p.value_at * r.in.width, p.value_size * r.in.width, a.text.size()};
  }
}

// A map package: listed, never written. Read where its lights are, where
// the source can be read anywhere; else held whole, as it comes.
LightsResult read_package(Reading& r) {
  std::string bytes;
  PackageSource source{r.in.source.read_at, r.in.source.context, r.in.source.size};
  if (!source.read_at) {
    bytes = r.in.buf.substr(r.in.pos); // read straight into the whole, a MiB at a time
    for (std::size_t n = 1; n > 0 && bytes.size() <= kPackageMax;) {
      const std::size_t had = bytes.size();
      bytes.resize(had + (1 << 20));
      n = r.in.ended ? 0 : r.in.source.read(r.in.source.context, &bytes[had], 1 << 20);
      bytes.resize(had + (n <= (1 << 20) ? n : 0));
    }
    source = package_bytes(bytes);
  }
  r.result.package = true;
  if (source.size > kPackageMax) {
    report(r, kOnce, 0, "not read: a package of more than " + std::to_string(kPackageMax >> 20) + " MiB");
  } else if (r.recolour.recolour) {
    report(r, kOnce, 0, "not recoloured: a package is never written; export the map to T3D in the editor (File, Export), recolour that text, and "
                        "import it back, or paste the actors you recoloured");
  } else {
    r.result.t3d = lights_map::list_map(source, r.colours, {report_to, &r}, r.sink);
  }
  for (int cause = 0; cause < kOnce; ++cause) say_flood(r, cause);
  return r.result;
}

} // namespace

LightsResult read_lights(const LightsSource& source, const LightsRecolour& recolour, const LightsSink& sink) {
  Reading r{Input{source, {}, 0, false, 1, false}, recolour, sink, {false, 0, true, 0}, {}, {}, 0, {}, false, {}, {}, {}, {}};
  lights_actors::start_reading(r.colours, recolour);
  while (r.in.buf.size() < 4 && fill(r.in)) {}
  if (r.in.buf.compare(0, 4, "\xC1\x83\x2A\x9E") == 0) return read_package(r);
  // UTF-16, told by its byte order mark, which is passed on (as UTF-8's is).
  const std::string& b = r.in.buf;
  const std::size_t mark = b.compare(0, 2, "\xFF\xFE") == 0 || b.compare(0, 2, "\xFE\xFF") == 0 ? 2 : b.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
  if (mark == 2) {
    r.in.width = 2;
    r.in.big_endian = b[0] == '\xFE';
  }
  write(r, b.substr(0, mark));
  r.in.pos = mark;
  if (r.in.pos == r.in.buf.size() && !fill(r.in)) {
    report(r, kOnce, 0, "empty: it holds no text");
    return r.result;
  }
  std::string line;
  bool too_long, cut;
  while (r.result.written && next_line(r.in, line, too_long, cut)) {
    ++r.line;
    take_line(r, line, too_long, cut);
  }
  if (r.in_actor && r.actor.held) {
    report(r, kNeverEnds, r.actor.values.line, lights_actors::text_name(r.actor.values.name) + ": the actor never ends (no End Actor); passed through unchanged");
    write(r, r.actor.text);
  }
  for (std::size_t i = 0; i < (r.in_actor ? r.actor.depth : r.blocks.size()); ++i) { // the blocks around an actor that never ends, or all
    report(r, kBlockOpen, r.blocks[i].line, "Begin " + clean(r.blocks[i].kind) + " never ends (no End " + clean(r.blocks[i].kind) + ")");
  }
  for (int cause = 0; cause < kOnce; ++cause) say_flood(r, cause);
  if (!r.result.t3d) report(r, kOnce, 0, "not a T3D text");
  return r.result;
}

} // namespace tintwise
