// XML palettes: LibreOffice/OpenOffice (.soc: draw:color elements with
// draw:name and draw:color="#rrggbb") and Scribus swatches (COLOR elements
// with NAME and RGB="#rrggbb", or CMYK only). The first element tells which.
//
// A small scanner, only as far as these files need: start tags and their
// attributes (the five entities and character references decoded), with
// comments, CDATA, processing instructions, the DOCTYPE and end tags
// skipped. It streams: a tag is held alone, and one longer than kMaxTag is
// reported and skipped.
#include <cstring>
#include <utility>
#include <vector>

#include "reader.h"

namespace tintwise {
namespace palette_reader {

namespace {

constexpr std::size_t kMaxTag = 1 << 16;

struct Scanner {
  Reader& r;
  std::uint64_t line; // of the next character
};

int next(Scanner& x) {
  if (!available(x.r.in)) return -1;
  const char c = x.r.in.buf[x.r.in.pos++];
  if (c == '\n') ++x.line;
  return static_cast<unsigned char>(c);
}

// Skips up to and past `end`; false if the input ends first.
bool skip_past(Scanner& x, const char* end) {
  const std::size_t n = std::strlen(end);
  std::size_t matched = 0;
  for (int c; (c = next(x)) >= 0;) {
    matched = c == end[matched] ? matched + 1 : c == end[0] ? 1 : 0;
    if (matched == n) return true;
  }
  return false;
}

struct Tag {
  std::string name;
  std::vector<std::pair<std::string, std::string>> attributes;
  std::uint64_t line;
};

// The local part of a name ("draw:color" -> "color").
std::string local(const std::string& name) { return name.substr(name.find(':') + 1); }

const std::string* attribute(const Tag& t, const char* name) {
  for (const auto& a : t.attributes) {
    if (local(a.first) == name) return &a.second;
  }
  return nullptr;
}

// An attribute value with its entities and character references decoded.
std::string decode(const std::string& v) {
  std::string out;
  for (std::size_t i = 0; i < v.size(); ++i) {
    const std::size_t semi = v[i] == '&' ? v.find(';', i) : std::string::npos;
    if (semi == std::string::npos || semi - i > 10) {
      out += v[i];
      continue;
    }
    const std::string ref = v.substr(i + 1, semi - i - 1);
    const char* const names[][2] = {{"lt", "<"}, {"gt", ">"}, {"amp", "&"}, {"quot", "\""}, {"apos", "'"}};
    bool known = false;
    for (const auto& n : names) {
      if (ref == n[0]) out += n[1], known = true;
    }
    if (!known && ref.size() > 1 && ref[0] == '#') {
      const bool hex = ref[1] == 'x';
      const std::string digits = ref.substr(hex ? 2 : 1);
      std::uint32_t code = 0;
      bool ok = !digits.empty();
      for (const char c : digits) {
        const int d = c >= '0' && c <= '9' ? c - '0' : hex && (c | 0x20) >= 'a' && (c | 0x20) <= 'f' ? (c | 0x20) - 'a' + 10 : -1;
        ok = ok && d >= 0 && code <= 0x10FFFF;
        code = code * (hex ? 16 : 10) + static_cast<std::uint32_t>(d < 0 ? 0 : d);
      }
      if (ok) {
        append_utf8(out, code == 0 || code > 0x10FFFF || (code >= 0xD800 && code < 0xE000) ? kReplacement : code);
        known = true;
      }
    }
    if (!known) {
      out += v[i];
      continue;
    }
    i = semi;
  }
  return clean_utf8(out);
}

bool is_space(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Splits a start tag's text (between "<" and ">") into its name and
// attributes; false if it is not well formed.
bool parse_tag(const std::string& text, Tag& t) {
  std::size_t i = 0;
  while (i < text.size() && !is_space(text[i]) && text[i] != '/') ++i;
  t.name = text.substr(0, i);
  t.attributes.clear();
  for (;;) {
    while (i < text.size() && is_space(text[i])) ++i;
    if (i == text.size() || (text[i] == '/' && i + 1 == text.size())) return !t.name.empty();
    const std::size_t start = i;
    while (i < text.size() && !is_space(text[i]) && text[i] != '=') ++i;
    std::string name = text.substr(start, i - start);
    while (i < text.size() && is_space(text[i])) ++i;
    if (name.empty() || i == text.size() || text[i++] != '=') return false;
    while (i < text.size() && is_space(text[i])) ++i;
    if (i == text.size() || (text[i] != '"' && text[i] != '\'')) return false;
    const std::size_t close = text.find(text[i], i + 1);
    if (close == std::string::npos) return false;
    t.attributes.emplace_back(std::move(name), decode(text.substr(i + 1, close - i - 1)));
    i = close + 1;
  }
}

// The next start tag; false at the end of the input. What is not one is
// skipped, and what cannot be read is reported.
bool next_tag(Scanner& x, Tag& t) {
  std::string text;
  for (int c; !x.r.stopped && (c = next(x)) >= 0;) {
    if (c != '<') continue;
    t.line = x.line;
    gather(x.r.in, 8);
    const char* p = x.r.in.buf + x.r.in.pos;
    const std::size_t n = buffered(x.r.in);
    const char* end = n >= 3 && std::memcmp(p, "!--", 3) == 0                 ? "-->"
                      : n >= 8 && std::memcmp(p, "![CDATA[", 8) == 0          ? "]]>"
                      : n >= 1 && p[0] == '?'                                 ? "?>"
                      : n >= 1 && (p[0] == '!' || p[0] == '/')                ? ">"
                                                                              : nullptr;
    if (end) {
      if (!skip_past(x, end)) report(x.r, t.line, "truncated: the file ends inside markup that began here");
      continue;
    }
    // A start tag: up to the ">" outside quotes.
    text.clear();
    char quote = 0;
    bool closed = false, too_long = false;
    while ((c = next(x)) >= 0) {
      if (quote ? c == quote : c == '"' || c == '\'') quote = quote ? 0 : static_cast<char>(c);
      else if (!quote && c == '>') {
        closed = true;
        break;
      }
      if (text.size() < kMaxTag) text += static_cast<char>(c);
      else too_long = true;
    }
    if (!closed) report(x.r, t.line, "truncated: the file ends inside a tag that began here");
    else if (too_long) report(x.r, t.line, "a tag longer than " + std::to_string(kMaxTag) + " bytes, not read");
    else if (!parse_tag(text, t)) report(x.r, t.line, "corrupt: a tag that is not XML");
    else return true;
  }
  return false;
}

// "#rrggbb" as bytes.
bool hex6(const std::string* v, std::uint8_t rgb[3]) {
  if (!v || v->size() != 7 || (*v)[0] != '#') return false;
  for (int i = 0; i < 3; ++i) {
    unsigned byte = 0;
    for (int k = 1; k <= 2; ++k) {
      const char c = static_cast<char>((*v)[static_cast<std::size_t>(2 * i + k)] | 0x20);
      if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
      byte = byte * 16 + static_cast<unsigned>(c <= '9' ? c - '0' : c - 'a' + 10);
    }
    rgb[i] = static_cast<std::uint8_t>(byte);
  }
  return true;
}

// A whole number 0..255.
bool byte_of(const std::string* v, std::uint8_t& out) {
  if (!v || v->empty() || v->size() > 3) return false;
  unsigned n = 0;
  for (const char c : *v) {
    if (c < '0' || c > '9') return false;
    n = n * 10 + static_cast<unsigned>(c - '0');
  }
  out = static_cast<std::uint8_t>(n);
  return n <= 255;
}

constexpr const char kProfile[] = " colour not read: turning it into RGB needs a colour profile, which is not guessed";

void scribus_colour(Reader& r, const Tag& t) {
  std::uint8_t rgb[3];
  const std::string* name = attribute(t, "NAME");
  const std::string* space = attribute(t, "SPACE");
  if (hex6(attribute(t, "RGB"), rgb) ||
      (byte_of(attribute(t, "R"), rgb[0]) && byte_of(attribute(t, "G"), rgb[1]) && byte_of(attribute(t, "B"), rgb[2]))) {
    return deliver(r, t.line, rgb, name ? *name : "");
  }
  if (attribute(t, "RGB")) return report(r, t.line, "not a colour: RGB must be #rrggbb");
  if (attribute(t, "CMYK") || (space && *space == "CMYK")) return report(r, t.line, std::string("CMYK") + kProfile);
  if (space && *space == "Lab") return report(r, t.line, std::string("Lab") + kProfile);
  report(r, t.line, "not a colour: a COLOR without RGB");
}

} // namespace

PaletteFormat read_xml(Reader& r) {
  r.unit = PaletteUnit::line;
  Scanner x{r, 1};
  Tag t;
  if (!next_tag(x, t)) {
    if (!r.stopped) report_file(r, "not a palette: an XML file without an element");
    return PaletteFormat::not_palette;
  }
  const bool soc = local(t.name) == "color-table", scribus = t.name == "SCRIBUSCOLORS";
  if (!soc && !scribus) {
    report_file(r, "not a palette: an XML file whose first element is <" + clean_utf8(t.name.substr(0, 64)) +
                       ">, neither a LibreOffice (.soc) nor a Scribus palette");
    return PaletteFormat::not_palette;
  }
  while (next_tag(x, t)) {
    std::uint8_t rgb[3];
    if (soc && local(t.name) == "color") {
      const std::string* name = attribute(t, "name");
      if (hex6(attribute(t, "color"), rgb)) deliver(r, t.line, rgb, name ? *name : "");
      else report(r, t.line, "not a colour: draw:color must be #rrggbb");
    } else if (scribus && t.name == "COLOR") {
      scribus_colour(r, t);
    }
  }
  return soc ? PaletteFormat::soc : PaletteFormat::scribus;
}

} // namespace palette_reader
} // namespace tintwise
