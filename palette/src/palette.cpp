#include "tintwise/palette.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace tintwise {

namespace {

// --- Input -------------------------------------------------------------------

// The source's bytes through a fixed buffer: nothing here grows with the input.
struct Input {
  PaletteSource source;
  void* context;
  std::size_t pos, len;
  bool ended;
  char buf[16384];
};

bool refill(Input& in) {
  if (in.ended) return false;
  in.pos = 0;
  in.len = in.source(in.context, in.buf, sizeof in.buf);
  if (in.len > sizeof in.buf) in.len = 0; // a source that misreports ends the input
  in.ended = in.len == 0;
  return !in.ended;
}

bool available(Input& in) { return in.pos < in.len || refill(in); }

// Makes the next `n` bytes (n <= the buffer) lie together in the buffer,
// unless the input ends first, for a source that hands out fewer at a time.
void gather(Input& in, std::size_t n) {
  while (in.len - in.pos < n && !in.ended) {
    std::memmove(in.buf, in.buf + in.pos, in.len - in.pos);
    in.len -= in.pos;
    in.pos = 0;
    const std::size_t room = sizeof in.buf - in.len;
    const std::size_t got = in.source(in.context, in.buf + in.len, room);
    if (got == 0 || got > room) in.ended = true;
    else in.len += got;
  }
}

// Appends the next `n` bytes to `out` (or skips them when out is null);
// returns how many there were.
std::size_t take(Input& in, std::size_t n, std::string* out) {
  std::size_t got = 0;
  while (got < n && available(in)) {
    const std::size_t chunk = std::min(n - got, in.len - in.pos);
    if (out) out->append(in.buf + in.pos, chunk);
    in.pos += chunk;
    got += chunk;
  }
  return got;
}

// One line of text, without its end ("\n", "\r\n"). Only its first
// kPaletteMaxLine bytes are kept; the rest is read and dropped, so a line of
// any length costs no more memory.
struct Line {
  std::string text;
  bool too_long;
};

bool read_line(Input& in, Line& line) {
  line.text.clear();
  line.too_long = false;
  if (!available(in)) return false;
  while (available(in)) {
    const char* start = in.buf + in.pos;
    const std::size_t left = in.len - in.pos;
    const char* end = static_cast<const char*>(std::memchr(start, '\n', left));
    const std::size_t n = end ? static_cast<std::size_t>(end - start) : left;
    // Two bytes more than a line may hold: a "\r" ending it, and one to
    // tell a line that fits from one that does not.
    const std::size_t room = kPaletteMaxLine + 2 - line.text.size();
    line.text.append(start, std::min(n, room));
    in.pos += end ? n + 1 : n;
    if (end) break;
  }
  if (!line.text.empty() && line.text.back() == '\r') line.text.pop_back();
  if (line.text.size() > kPaletteMaxLine) {
    line.too_long = true;
    line.text.resize(kPaletteMaxLine);
  }
  return true;
}

// --- Text --------------------------------------------------------------------

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\r'; }
bool is_digit(char c) { return c >= '0' && c <= '9'; }
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

constexpr const char kRange[] = "R, G and B must each be a whole number from 0 to 255";

// What a line of text holds.
enum class Kind { skip, colour, bad };

struct Parsed {
  Kind kind;
  std::uint8_t rgb[3];
  std::size_t name_at; // where the name begins (after the colour), for a colour
  const char* reason;  // for a bad line
};

Parsed bad(const char* reason) { return {Kind::bad, {0, 0, 0}, 0, reason}; }

// A colour ends at the end of the line or at a blank before its name.
Parsed colour_ending(const std::string& s, std::size_t at, const std::uint8_t rgb[3]) {
  if (at < s.size() && !is_blank(s[at])) return bad("not a colour: unexpected text after it");
  return {Kind::colour, {rgb[0], rgb[1], rgb[2]}, at, nullptr};
}

// Reads a channel 0..255 in decimal at s[at]; false if there is none or it is
// out of range (then `range` is set).
bool read_channel(const std::string& s, std::size_t& at, std::uint8_t& value, bool& range) {
  std::size_t b = at;
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

// n hex digits at s[at] as bytes: 3 (each doubled) or 6, or 8 = AARRGGBB.
void hex_colour(const std::string& s, std::size_t at, std::size_t n, std::uint8_t rgb[3]) {
  const std::size_t skip = n == 8 ? 2 : 0; // the alpha of AARRGGBB is not part of the colour
  for (int i = 0; i < 3; ++i) {
    if (n == 3) {
      rgb[i] = static_cast<std::uint8_t>(hex_value(s[at + static_cast<std::size_t>(i)]) * 17);
    } else {
      const std::size_t p = at + skip + 2 * static_cast<std::size_t>(i);
      rgb[i] = static_cast<std::uint8_t>(hex_value(s[p]) * 16 + hex_value(s[p + 1]));
    }
  }
}

std::size_t hex_run(const std::string& s, std::size_t at) {
  std::size_t e = at;
  while (e < s.size() && hex_value(s[e]) >= 0) ++e;
  return e - at;
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
  return colour_ending(s, at + 1, rgb);
}

// A plain line (leading blanks removed): #rrggbb, rrggbb, #rgb, AARRGGBB
// (Paint.NET), R G B, R,G,B or rgb(...), each maybe followed by a name; or a
// comment: "#" then a blank or nothing, ";" or "//".
Parsed plain_line(const std::string& s) {
  std::uint8_t rgb[3];
  if (s.empty() || s[0] == ';' || starts_with(s, "//")) return {Kind::skip, {0, 0, 0}, 0, nullptr};
  if (s[0] == '#') {
    if (s.size() == 1 || is_blank(s[1])) return {Kind::skip, {0, 0, 0}, 0, nullptr};
    const std::size_t n = hex_run(s, 1);
    if (n != 3 && n != 6) return bad("not a colour: # needs 3 or 6 hex digits, as #ff8000 or #f80");
    hex_colour(s, 1, n, rgb);
    return colour_ending(s, 1 + n, rgb);
  }
  if (s.size() >= 4 && (s[0] | 0x20) == 'r' && (s[1] | 0x20) == 'g' && (s[2] | 0x20) == 'b' && s[3] == '(') {
    return css_colour(s, 4);
  }
  const std::size_t n = hex_run(s, 0);
  if ((n == 6 || n == 8) && (n == s.size() || is_blank(s[n]))) {
    hex_colour(s, 0, n, rgb);
    return colour_ending(s, n, rgb);
  }
  if (is_digit(s[0])) {
    bool range = false;
    const std::size_t end = read_triple(s, 0, true, rgb, range);
    if (end != std::string::npos) return colour_ending(s, end, rgb);
    return bad(range ? kRange : "not a colour: use #rrggbb, #rgb, R G B, R,G,B or rgb(R, G, B)");
  }
  return bad("not a colour: use #rrggbb, #rgb, R G B, R,G,B or rgb(R, G, B)");
}

// An "R G B name" line of a GIMP or JASC palette: decimal, any spacing.
Parsed spaced_line(const std::string& s, const char* reason) {
  std::uint8_t rgb[3];
  bool range = false;
  const std::size_t end = is_digit(s[0]) ? read_triple(s, 0, false, rgb, range) : std::string::npos;
  if (end == std::string::npos) return bad(range ? kRange : reason);
  return colour_ending(s, end, rgb);
}

// --- Entries -----------------------------------------------------------------

struct Reader {
  Input& in;
  PaletteSink sink;
  void* context;
  bool stopped;
  PaletteEntry entry;
};

void report(Reader& r, std::uint64_t line, std::string reason) {
  if (r.stopped) return;
  r.entry.line = line;
  r.entry.read = false;
  r.entry.red = r.entry.green = r.entry.blue = 0;
  r.entry.name.clear();
  r.entry.reason = std::move(reason);
  r.stopped = !r.sink(r.context, r.entry);
}

void deliver(Reader& r, std::uint64_t line, const std::uint8_t rgb[3], std::string name) {
  if (r.stopped) return;
  r.entry.line = line;
  r.entry.read = true;
  r.entry.red = rgb[0];
  r.entry.green = rgb[1];
  r.entry.blue = rgb[2];
  r.entry.name = std::move(name);
  r.entry.reason.clear();
  r.stopped = !r.sink(r.context, r.entry);
}

// Hands on a parsed line: a colour, or the reason it is not one.
void hand_on(Reader& r, std::uint64_t number, const std::string& s, const Parsed& p) {
  if (p.kind == Kind::bad) report(r, number, p.reason);
  else if (p.kind == Kind::colour) deliver(r, number, p.rgb, clean_utf8(trimmed(s, p.name_at)));
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

void read_text(Reader& r, PaletteFormat& format) {
  Line line;
  std::uint64_t number = 0;
  // JASC-PAL: header lines seen after the first (version, count), the count
  // declared and its line, and the colour lines that follow.
  int jasc_header = 0;
  std::uint64_t declared = 0, declared_at = 0, counted = 0;
  while (!r.stopped && read_line(r.in, line)) {
    ++number;
    if (number == 1 && starts_with(line.text, "\xEF\xBB\xBF")) line.text.erase(0, 3); // UTF-8 byte order mark
    const std::string s = line.too_long ? std::string("?") : trimmed(line.text);
    if (s.empty()) continue;
    if (format == PaletteFormat::empty) { // the first line that is not blank tells the format
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
    if (line.too_long) report(r, number, "line longer than 4096 bytes, not read");
    else if (s.find('\0') != std::string::npos) report(r, number, "not text: a NUL byte in the line");
    else if (format == PaletteFormat::gimp) hand_on(r, number, s, spaced_line(s, "not a colour line of a GIMP palette: use R G B, then a name"));
    else if (format == PaletteFormat::jasc) hand_on(r, number, s, spaced_line(s, "not a colour line of a JASC palette: use R G B"));
    else hand_on(r, number, s, plain_line(s));
  }
  if (declared_at != 0 && declared != counted) {
    report(r, declared_at, "the header says " + std::to_string(declared) + " colours, the file has " + std::to_string(counted));
  }
}

// --- Adobe Swatch Exchange ---------------------------------------------------

// Big-endian fields of a block held in memory, every read checked.
struct Cursor {
  const std::string& data;
  std::size_t at;
  bool fits(std::size_t n) const { return n <= data.size() - at; }
  std::uint32_t uint(std::size_t n) { // n = 2 or 4, after fits(n)
    std::uint32_t v = 0;
    for (std::size_t i = 0; i < n; ++i) v = v << 8 | static_cast<unsigned char>(data[at++]);
    return v;
  }
};

void append_utf8(std::string& out, std::uint32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | c >> 6);
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | c >> 12);
    out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | c >> 18);
    out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
    out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

constexpr std::uint32_t kReplacement = 0xFFFD;

// `units` UTF-16 code units, big-endian, up to the first NUL; unpaired
// surrogates become U+FFFD.
std::string utf16_name(Cursor& c, std::uint32_t units) {
  std::string out;
  bool ended = false;
  for (std::uint32_t i = 0; i < units; ++i) {
    std::uint32_t u = c.uint(2);
    if (u == 0) ended = true;
    if (ended) continue;
    if (u >= 0xD800 && u < 0xDC00 && i + 1 < units) {
      const std::size_t back = c.at;
      const std::uint32_t low = c.uint(2);
      if (low >= 0xDC00 && low < 0xE000) {
        u = 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00);
        ++i;
      } else {
        c.at = back;
        u = kReplacement;
      }
    } else if (u >= 0xD800 && u < 0xE000) {
      u = kReplacement;
    }
    append_utf8(out, u);
  }
  return clean_utf8(out);
}

// A colour entry's block, after its type and length.
void ase_colour(Reader& r, std::uint64_t number, const std::string& block) {
  Cursor c{block, 0};
  if (!c.fits(2)) return report(r, number, "corrupt: a colour entry without its name length");
  const std::uint32_t units = c.uint(2);
  if (!c.fits(2 * std::size_t{units})) return report(r, number, "corrupt: the name runs past the end of its entry");
  std::string name = utf16_name(c, units);
  if (!c.fits(4)) return report(r, number, "corrupt: a colour entry without its colour model");
  const std::string model = block.substr(c.at, 4);
  c.at += 4;
  const std::size_t channels = model == "RGB " ? 3 : model == "Gray" ? 1 : model == "CMYK" ? 4 : model == "LAB " ? 3 : 0;
  if (channels == 0) return report(r, number, "unknown colour model, not read");
  if (!c.fits(4 * channels)) return report(r, number, "corrupt: the colour's values run past the end of its entry");
  if (model == "CMYK" || model == "LAB ") {
    return report(r, number, std::string(model == "CMYK" ? "CMYK" : "LAB") +
                                 " colour not read: turning it into RGB needs a colour profile, which is not guessed");
  }
  std::uint8_t rgb[3];
  for (std::size_t i = 0; i < channels; ++i) {
    const std::uint32_t bits = c.uint(4);
    float v;
    std::memcpy(&v, &bits, sizeof v);
    if (!(v >= 0.0f && v <= 1.0f)) return report(r, number, "corrupt: a colour value outside 0..1");
    rgb[i] = static_cast<std::uint8_t>(std::lround(static_cast<double>(v) * 255.0)); // exact product, half away from zero
  }
  if (channels == 1) rgb[1] = rgb[2] = rgb[0]; // Gray
  deliver(r, number, rgb, std::move(name));
}

// The longest block read: a colour entry with the longest name (65,535 UTF-16
// units) and four values is 131,094 bytes.
constexpr std::uint32_t kMaxBlock = 1u << 18;

void read_ase(Reader& r) {
  std::string head;
  if (take(r.in, 12, &head) < 12) return report(r, 0, "truncated: the .ase header ends early");
  Cursor h{head, 8};
  const std::uint32_t blocks = h.uint(4);
  std::string block;
  for (std::uint64_t number = 1; number <= blocks && !r.stopped; ++number) {
    block.clear();
    const std::size_t got = take(r.in, 6, &block);
    if (got == 0) return report(r, number, "truncated: the file ends after " + std::to_string(number - 1) + " of " + std::to_string(blocks) + " blocks");
    if (got < 6) return report(r, number, "truncated: the block's header ends early");
    Cursor c{block, 0};
    const std::uint32_t type = c.uint(2), length = c.uint(4);
    if (length > kMaxBlock) return report(r, number, "corrupt: a block of " + std::to_string(length) + " bytes; reading stops");
    block.clear();
    if (take(r.in, length, &block) < length) return report(r, number, "truncated: the block ends early");
    if (type == 0x0001) ase_colour(r, number, block);
    else if (type != 0xC001 && type != 0xC002) report(r, number, "unknown block type, not read"); // groups: flattened
  }
  if (!r.stopped && available(r.in)) report(r, blocks + std::uint64_t{1}, "data after the last block, not read");
}

} // namespace

std::string clean_utf8(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  const auto* s = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t n = text.size();
  for (std::size_t i = 0; i < n;) {
    const unsigned char b = s[i];
    if (b < 0x80) {
      out += b < 0x20 || b == 0x7F ? ' ' : static_cast<char>(b);
      ++i;
      continue;
    }
    // The length of a well-formed sequence and the range of its second byte
    // (which excludes overlong forms, surrogates and code points past U+10FFFF).
    std::size_t len = 0;
    unsigned char lo = 0x80, hi = 0xBF;
    if (b >= 0xC2 && b <= 0xDF) len = 2;
    else if (b >= 0xE0 && b <= 0xEF) len = 3, lo = b == 0xE0 ? 0xA0 : 0x80, hi = b == 0xED ? 0x9F : 0xBF;
    else if (b >= 0xF0 && b <= 0xF4) len = 4, lo = b == 0xF0 ? 0x90 : 0x80, hi = b == 0xF4 ? 0x8F : 0xBF;
    bool ok = len > 0 && i + len <= n && s[i + 1] >= lo && s[i + 1] <= hi;
    for (std::size_t k = 2; ok && k < len; ++k) ok = s[i + k] >= 0x80 && s[i + k] <= 0xBF;
    if (ok) {
      out.append(text, i, len);
      i += len;
    } else {
      append_utf8(out, kReplacement);
      ++i;
    }
  }
  return out;
}

PaletteFormat read_palette(PaletteSource source, void* source_context, PaletteSink sink, void* sink_context) {
  Input in{source, source_context, 0, 0, false, {}};
  Reader r{in, sink, sink_context, false, {}};
  // An Adobe Swatch Exchange file begins with its magic; anything else is
  // read as text.
  gather(in, 4);
  if (in.len - in.pos >= 4 && std::memcmp(in.buf + in.pos, "ASEF", 4) == 0) {
    read_ase(r);
    return PaletteFormat::ase;
  }
  PaletteFormat format = PaletteFormat::empty;
  read_text(r, format);
  return format;
}

const char* palette_format_name(PaletteFormat format) {
  switch (format) {
    case PaletteFormat::plain: return "plain";
    case PaletteFormat::gimp: return "gimp";
    case PaletteFormat::jasc: return "jasc";
    case PaletteFormat::ase: return "ase";
    default: return "empty";
  }
}

} // namespace tintwise
