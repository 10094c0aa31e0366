// XML palettes: LibreOffice/OpenOffice (.soc: color elements of the drawing
// namespace, with its name and color attributes, "#rrggbb"), Scribus
// swatches (COLOR elements with NAME and RGB="#rrggbb", or CMYK only) and
// Krita's colorset.xml (inside a .kpl, see krita_swatch below). The first
// element tells which.
//
// A streaming scanner that ends every construct where XML 1.0 ends it:
// comments at the first "-->" after "<!--", CDATA sections at the first "]]>",
// processing instructions at the first "?>", the DOCTYPE after its internal
// subset (quoted literals, comments and processing instructions in it skipped
// as such). Line ends are normalised as XML does (CR LF and CR alone are one
// line end), attribute values as XML normalises them (white space to blanks,
// entity and character references expanded, entities of the internal subset
// included), and names of elements and attributes are resolved through the
// namespace declarations in scope. Elements must nest. Where it is more
// lenient than XML (see the README), what it accepts never changes a colour or
// a name: what it cannot read exactly is reported, and no colour is guessed.
// A tag is held alone, and one longer than kMaxTag is reported and skipped.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unordered_map>
#include <utility>
#include <vector>

#include "reader.h"

namespace tintwise {
namespace palette_reader {

namespace {

constexpr std::size_t kMaxTag = 1 << 16;
constexpr std::size_t kMaxDepth = 256;          // elements open at once
// All the internal subset's declarations together: their names and values,
// and a share of the table for each (so that many empty ones are bounded too).
constexpr std::size_t kMaxEntityText = 1 << 16;
constexpr std::size_t kEntityCost = 32;
constexpr int kMaxEntityDepth = 16;             // entities within entities

// The drawing namespace, in OASIS's OpenDocument and in OpenOffice.org's form.
constexpr const char* kDrawing[] = {"urn:oasis:names:tc:opendocument:xmlns:drawing:1.0", "http://openoffice.org/2000/drawing"};
constexpr const char kXmlNamespace[] = "http://www.w3.org/XML/1998/namespace";

struct Entity {
  std::string value; // the replacement text
  bool external;
};

struct Open {
  std::string name;     // as written, with its prefix
  std::size_t bindings; // namespace bindings in scope before it
};

struct Scanner {
  Reader& r;
  std::uint64_t line = 1; // of the next character
  bool after_cr = false;
  std::uint64_t forbidden_line = 0; // where a character XML forbids was met, since last said
  int forbidden = 0;
  bool latin1 = false, ascii = false; // the encoding the declaration names, where it is not UTF-8
  std::unordered_map<std::string, Entity> entities; // by name: found at once, however many there are
  std::size_t entity_text = 0;
  std::vector<std::pair<std::string, std::string>> bindings; // prefix and namespace, innermost last
  std::vector<Open> open;
};

// The next character, with line ends normalised to "\n"; -1 at the end.
int next(Scanner& x) {
  for (;;) {
    if (!available(x.r.in)) return -1;
    int c = static_cast<unsigned char>(x.r.in.buf[x.r.in.pos++]);
    const bool crlf = c == '\n' && x.after_cr;
    x.after_cr = c == '\r';
    if (crlf) continue;
    if (c == '\r') c = '\n';
    if (c == 0x1A) { // Ctrl-Z bytes that end the input end the text
      while (available(x.r.in) && x.r.in.buf[x.r.in.pos] == 0x1A) ++x.r.in.pos;
      if (!available(x.r.in)) return -1;
    }
    if (c == '\n') ++x.line;
    else if (c < 0x20 && c != '\t' && x.forbidden_line == 0) x.forbidden_line = x.line, x.forbidden = c;
    return c;
  }
}

// Whether the input goes on with `word` (ASCII, no line end); if so it is taken.
bool take_word(Scanner& x, const char* word) {
  const std::size_t n = std::strlen(word);
  gather(x.r.in, n);
  if (buffered(x.r.in) < n || std::memcmp(peek(x.r.in), word, n) != 0) return false;
  x.r.in.pos += n;
  x.after_cr = false;
  return true;
}

// Whether an XML declaration ("<?xml" and a blank) begins here; if so, "?xml" is taken.
bool at_declaration(Scanner& x) {
  gather(x.r.in, 5);
  const unsigned char* p = peek(x.r.in);
  if (buffered(x.r.in) < 5 || std::memcmp(p, "?xml", 4) != 0 || (p[4] != ' ' && p[4] != '\t' && p[4] != '\r' && p[4] != '\n')) return false;
  return take_word(x, "?xml");
}

// Skips up to and past `end`, keeping the first kMaxTag characters before it
// in `kept` if given; false if the input ends first.
bool skip_past(Scanner& x, const char* end, std::string* kept = nullptr) {
  const std::size_t n = std::strlen(end);
  char last[4] = {0, 0, 0, 0}; // the last n characters
  for (int c; (c = next(x)) >= 0;) {
    std::memmove(last, last + 1, n - 1);
    last[n - 1] = static_cast<char>(c);
    if (std::memcmp(last, end, n) == 0) {
      if (kept) kept->resize(kept->size() - std::min(kept->size(), n - 1));
      return true;
    }
    if (kept && kept->size() < kMaxTag) *kept += static_cast<char>(c);
  }
  return false;
}

// Reads up to the first ">" outside quotes into `text` (its first kMaxTag
// characters); false if the input ends first. `too_long` says if any were lost.
bool read_to_close(Scanner& x, std::string& text, bool& too_long) {
  text.clear();
  too_long = false;
  char quote = 0;
  for (int c; (c = next(x)) >= 0;) {
    if (quote ? c == quote : c == '"' || c == '\'') quote = quote ? 0 : static_cast<char>(c);
    else if (!quote && c == '>') return true;
    if (text.size() < kMaxTag) text += static_cast<char>(c);
    else too_long = true, text.back() = static_cast<char>(c); // the last character tells an empty-element tag
  }
  return false;
}

bool is_space(char c) { return c == ' ' || c == '\t' || c == '\n'; }

void skip_spaces(const std::string& s, std::size_t& i) {
  while (i < s.size() && is_space(s[i])) ++i;
}

// A name (of an element, attribute or entity) at s[i]: up to a blank or one of `stops`.
std::string name_at(const std::string& s, std::size_t& i, const char* stops) {
  const std::size_t start = i;
  while (i < s.size() && !is_space(s[i]) && !std::strchr(stops, s[i])) ++i;
  return s.substr(start, i - start);
}

// A quoted literal at s[i] (after its quote), or false.
bool literal_at(const std::string& s, std::size_t& i, std::string& value) {
  if (i == s.size() || (s[i] != '"' && s[i] != '\'')) return false;
  const std::size_t close = s.find(s[i], i + 1);
  if (close == std::string::npos) return false;
  value = s.substr(i + 1, close - i - 1);
  i = close + 1;
  return true;
}

// The characters XML allows in a document.
bool is_xml_char(std::uint32_t c) {
  return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c < 0xD800) || (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

// A character reference's text between "&#" and ";" as a code point, or 0.
std::uint32_t character_reference(const std::string& ref) {
  const bool hex = !ref.empty() && ref[0] == 'x';
  std::uint32_t code = 0;
  if (ref.size() == (hex ? 1u : 0u)) return 0;
  for (std::size_t i = hex ? 1 : 0; i < ref.size(); ++i) {
    const char c = ref[i];
    const int d = c >= '0' && c <= '9' ? c - '0' : hex && (c | 0x20) >= 'a' && (c | 0x20) <= 'f' ? (c | 0x20) - 'a' + 10 : -1;
    if (d < 0 || code > 0x10FFFF) return 0;
    code = code * (hex ? 16 : 10) + static_cast<std::uint32_t>(d);
  }
  return is_xml_char(code) ? code : 0;
}

// Why text of a document that says it is US-ASCII cannot be read: a byte
// outside it, whose character is not known; null if there is none.
const char* outside_ascii(const Scanner& x, const std::string& text) {
  if (!x.ascii) return nullptr;
  for (const char c : text) {
    if (static_cast<unsigned char>(c) >= 0x80) return "a byte outside US-ASCII, the encoding its declaration names";
  }
  return nullptr;
}

// Bytes of ISO-8859-1 as UTF-8.
std::string from_latin1(const std::string& s) {
  std::string out;
  for (const char c : s) append_utf8(out, static_cast<unsigned char>(c));
  return out;
}

// The entity `ref` names: a predefined one's character is appended to `out`;
// an internal one is found. Null, or why it cannot be read.
const char* entity_of(const Scanner& x, const std::string& ref, std::string& out, const Entity*& entity) {
  const char* const predefined[][2] = {{"lt", "<"}, {"gt", ">"}, {"amp", "&"}, {"quot", "\""}, {"apos", "'"}};
  for (const auto& p : predefined) {
    if (ref == p[0]) return out += p[1], nullptr;
  }
  const auto found = x.entities.find(ref);
  if (found == x.entities.end()) return "a reference to an entity that is not declared";
  entity = &found->second;
  return entity->external ? "a reference to an external entity, which is not read" : nullptr;
}

// A reference in character data, after its "&": it must be one XML can read,
// and an entity's text must hold no markup, which XML would read as elements
// (colours among them). Null, or why the text cannot be read. A name longer
// than any declaration can hold names none, and is not kept.
const char* content_reference(Scanner& x) {
  std::string ref, ignored;
  int c = 0;
  while (available(x.r.in) && x.r.in.buf[x.r.in.pos] != '<' && (c = next(x)) != ';') {
    if (ref.size() <= kMaxTag) ref += static_cast<char>(c);
  }
  if (c != ';') return "an & that begins no reference (write &amp;)";
  if (!ref.empty() && ref[0] == '#') return character_reference(ref.substr(1)) ? nullptr : "a character reference to no character XML allows";
  const Entity* entity = nullptr;
  if (const char* why = entity_of(x, ref, ignored, entity)) return why;
  return entity && entity->value.find_first_of("<&") != std::string::npos ? "an entity whose text holds markup, which is not read" : nullptr;
}

// Appends attribute value `v` as XML normalises it: each white space
// character a blank, references expanded (an entity's replacement text
// normalised in turn). Returns null, or why the value cannot be read.
const char* normalise(const Scanner& x, const std::string& v, std::string& out, int depth) {
  if (depth > kMaxEntityDepth) return "an entity that refers to itself, or nests too deep";
  for (std::size_t i = 0; i < v.size(); ++i) {
    if (v[i] == '<') return "a < in an attribute value";
    if (v[i] != '&') {
      out += is_space(v[i]) || v[i] == '\r' ? ' ' : v[i];
      continue;
    }
    const std::size_t semi = v.find(';', i);
    if (semi == std::string::npos) return "an & that begins no reference (write &amp;)";
    const std::string ref = v.substr(i + 1, semi - i - 1);
    i = semi;
    if (!ref.empty() && ref[0] == '#') {
      const std::uint32_t code = character_reference(ref.substr(1));
      if (code == 0) return "a character reference to no character XML allows";
      append_utf8(out, code);
      continue;
    }
    const Entity* entity = nullptr;
    const char* why = entity_of(x, ref, out, entity);
    if (!why && entity) why = normalise(x, entity->value, out, depth + 1);
    if (why) return why;
    if (out.size() > kMaxTag) return "entities that expand past 65536 bytes";
  }
  return nullptr;
}

// --- The DOCTYPE ---------------------------------------------------------------

// An entity declaration's text after "<!ENTITY"; false (with `why`) if it
// cannot be read. General entities are kept, with character references in
// their values expanded as XML expands them when it reads the declaration.
bool declare_entity(Scanner& x, const std::string& d, const char*& why) {
  std::size_t i = 0;
  skip_spaces(d, i);
  const bool parameter = i < d.size() && d[i] == '%';
  if (parameter) ++i, skip_spaces(d, i);
  const std::string name = name_at(d, i, "\"'");
  Entity e{"", true};
  skip_spaces(d, i);
  std::string value;
  if (literal_at(d, i, value)) {
    e.external = false;
    if (x.latin1) value = from_latin1(value); // the bytes as characters, before references add characters of their own
    if ((why = outside_ascii(x, value))) return false;
    for (std::size_t k = 0; k < value.size(); ++k) {
      if (value[k] == '%') return why = "a parameter entity inside an entity's value, which is not read", false;
      const std::size_t semi = value[k] == '&' && k + 1 < value.size() && value[k + 1] == '#' ? value.find(';', k) : std::string::npos;
      if (semi == std::string::npos) {
        e.value += value[k];
        continue;
      }
      const std::uint32_t code = character_reference(value.substr(k + 2, semi - k - 2));
      if (code == 0) return why = "a character reference to no character XML allows", false;
      append_utf8(e.value, code);
      k = semi;
    }
  }
  if (name.empty()) return why = "an entity declaration without a name", false;
  x.entity_text += name.size() + e.value.size() + kEntityCost;
  if (x.entity_text > kMaxEntityText) return why = "entity declarations of more than 65536 bytes in all, which are not read", false;
  if (!parameter) x.entities.emplace(name, std::move(e)); // the first declaration of a name is the one that counts
  return true;
}

// An attribute-list declaration's text after "<!ATTLIST": true if it only
// says attributes exist (CDATA, #IMPLIED or #REQUIRED), which changes nothing
// this scanner reads. A default value or another type would change values or
// add namespaces, and is not applied.
bool harmless_attlist(const std::string& d) {
  std::size_t i = 0, n = 0;
  skip_spaces(d, i);
  name_at(d, i, "");
  for (;; ++n) {
    skip_spaces(d, i);
    if (i == d.size()) return n % 3 == 0;
    const std::string word = name_at(d, i, "");
    if ((n % 3 == 1 && word != "CDATA") || (n % 3 == 2 && word != "#IMPLIED" && word != "#REQUIRED")) return false;
  }
}

// The DOCTYPE after "<!DOCTYPE": its name and external identifier, then its
// internal subset. Returns null when it is read, else why the file is not.
const char* read_doctype(Scanner& x) {
  std::string text;
  char quote = 0;
  for (int c;;) { // up to "[" or ">" outside the external identifier's literals
    if ((c = next(x)) < 0) return "truncated: the file ends inside its DOCTYPE";
    if (quote ? c == quote : c == '"' || c == '\'') quote = quote ? 0 : static_cast<char>(c);
    else if (!quote && c == '>') return nullptr;
    else if (!quote && c == '[') break;
  }
  for (int c;;) {
    if ((c = next(x)) < 0) return "truncated: the file ends inside its DOCTYPE";
    if (is_space(static_cast<char>(c))) continue;
    if (c == ']') {
      while ((c = next(x)) >= 0 && c != '>') {}
      return c < 0 ? "truncated: the file ends inside its DOCTYPE" : nullptr;
    }
    if (c == '%') return "the DOCTYPE refers to parameter entities, which are not read";
    if (c != '<') return "corrupt: text in the DOCTYPE that is no declaration";
    if (take_word(x, "!--")) {
      if (!skip_past(x, "-->")) return "truncated: the file ends inside a comment";
    } else if (take_word(x, "?")) {
      if (!skip_past(x, "?>")) return "truncated: the file ends inside a processing instruction";
    } else {
      const bool entity = take_word(x, "!ENTITY"), attlist = !entity && take_word(x, "!ATTLIST");
      bool too_long;
      if (!read_to_close(x, text, too_long)) return "truncated: the file ends inside its DOCTYPE";
      const char* why = nullptr;
      if (too_long) return "a declaration in the DOCTYPE longer than 65536 bytes";
      if (entity && !declare_entity(x, text, why)) return why;
      if (attlist && !harmless_attlist(text)) return "the DOCTYPE gives attributes defaults or types, which are not applied";
    }
  }
}

// --- Tags ----------------------------------------------------------------------

struct Attribute {
  std::string name, value; // value: as written, between its quotes
};

struct Tag {
  std::string name;
  std::vector<Attribute> attributes;
  bool empty; // <name/>
  std::uint64_t line;
};

// Splits a start tag's text (between "<" and ">") into its name and
// attributes; false if it is not well formed (white space must part each
// attribute from the one before).
bool parse_tag(const std::string& text, Tag& t) {
  std::size_t i = 0;
  t.name = name_at(text, i, "/");
  t.attributes.clear();
  t.empty = false;
  for (;;) {
    const std::size_t before = i;
    skip_spaces(text, i);
    if (i == text.size() || (text[i] == '/' && i + 1 == text.size())) return t.empty = i < text.size(), !t.name.empty();
    if (i == before && !t.attributes.empty()) return false;
    Attribute a{name_at(text, i, "="), ""};
    skip_spaces(text, i);
    if (a.name.empty() || i == text.size() || text[i++] != '=') return false;
    skip_spaces(text, i);
    if (!literal_at(text, i, a.value)) return false;
    t.attributes.push_back(std::move(a));
  }
}

std::string prefix_of(const std::string& name) {
  const std::size_t colon = name.find(':');
  return colon == std::string::npos ? "" : name.substr(0, colon);
}
std::string local_of(const std::string& name) { return name.substr(name.find(':') + 1); }

// The namespace a prefix is bound to in scope ("" for none), or null if it is not bound.
const std::string* namespace_of(const Scanner& x, const std::string& prefix) {
  static const std::string none, xml = kXmlNamespace;
  if (prefix == "xml") return &xml;
  for (std::size_t i = x.bindings.size(); i-- > 0;) {
    if (x.bindings[i].first == prefix) return &x.bindings[i].second;
  }
  return prefix.empty() ? &none : nullptr;
}

// An element or attribute name resolved: its namespace and local part.
struct Expanded {
  std::string space, local;
};

// A start tag's names, resolved after its own namespace declarations are in
// scope, and its attributes' values normalised. Null, or why it cannot be
// read; `fatal` when a namespace declaration itself cannot be, so that no
// name after it can be resolved with certainty.
const char* resolve(Scanner& x, const Tag& t, Expanded& element, std::vector<Expanded>& names, std::vector<std::string>& values,
                    bool& fatal) {
  names.clear();
  values.clear();
  element = {};
  fatal = true;
  const char* unread = nullptr; // why the first attribute value that cannot be read cannot be
  for (const Attribute& a : t.attributes) {
    std::string value;
    const char* why = outside_ascii(x, a.value);
    if (!why) why = normalise(x, x.latin1 ? from_latin1(a.value) : a.value, value, 0);
    const bool declaration = a.name == "xmlns" || prefix_of(a.name) == "xmlns";
    if (declaration && why) return why;
    if (declaration && a.name != "xmlns" && value.empty()) return "a namespace prefix bound to no namespace";
    if (declaration) x.bindings.emplace_back(a.name == "xmlns" ? "" : local_of(a.name), value);
    if (why && !unread) unread = why;
    values.push_back(why ? std::string() : clean_utf8(value));
    names.push_back({why ? why : "", declaration ? "" : a.name}); // the reason kept until the names are resolved
  }
  fatal = false;
  const std::string* space = namespace_of(x, prefix_of(t.name));
  if (!space) return "an element whose prefix is bound to no namespace";
  element = {*space, local_of(t.name)};
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (!names[i].space.empty()) return unread;
    const std::string name = names[i].local, prefix = prefix_of(name);
    if (name.empty()) { // a namespace declaration
      names[i] = {"xmlns", t.attributes[i].name};
      continue;
    }
    space = prefix.empty() ? nullptr : namespace_of(x, prefix);
    if (!prefix.empty() && !space) return "an attribute whose prefix is bound to no namespace";
    names[i] = {prefix.empty() ? "" : *space, local_of(name)};
    for (std::size_t k = 0; k < i; ++k) {
      if (names[k].space == names[i].space && names[k].local == names[i].local) return "the same attribute twice";
    }
  }
  return nullptr;
}

// The value of the attribute of namespace `space` and local name `local`, or null.
const std::string* attribute(const std::vector<Expanded>& names, const std::vector<std::string>& values, const char* space,
                             const char* local) {
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (names[i].space == space && names[i].local == local) return &values[i];
  }
  return nullptr;
}

bool drawing(const std::string& space) { return space == kDrawing[0] || space == kDrawing[1]; }

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

void scribus_colour(Reader& r, std::uint64_t line, const std::vector<Expanded>& names, const std::vector<std::string>& values) {
  const auto get = [&](const char* local) { return attribute(names, values, "", local); };
  std::uint8_t rgb[3];
  const std::string *name = get("NAME"), *space = get("SPACE");
  if (hex6(get("RGB"), rgb) || (byte_of(get("R"), rgb[0]) && byte_of(get("G"), rgb[1]) && byte_of(get("B"), rgb[2]))) {
    return deliver(r, line, rgb, name ? *name : "");
  }
  if (get("RGB")) return report(r, line, "not a colour: RGB must be #rrggbb");
  if (get("CMYK") || (space && *space == "CMYK")) return report(r, line, std::string("CMYK") + kProfile);
  if (space && *space == "Lab") return report(r, line, std::string("Lab") + kProfile);
  report(r, line, "not a colour: a COLOR without RGB");
}

// The encoding an XML declaration names, if the scanner reads it: null for
// UTF-8 and ASCII in a document of bytes, UTF-16 (or UTF-16LE or UTF-16BE as
// its byte order mark says) in one that was (and has been decoded to UTF-8),
// and ISO-8859-1, read as such; else the reason the file is not read. As
// XML says, an encoding the document's bytes are not in is an error.
const char* read_declaration(Scanner& x, const std::string& text) {
  const std::size_t at = text.find("encoding");
  std::size_t i = at == std::string::npos ? text.size() : at + 8;
  skip_spaces(text, i);
  std::string encoding;
  if (i < text.size() && text[i] == '=') ++i, skip_spaces(text, i);
  if (!literal_at(text, i, encoding)) return nullptr;
  for (char& c : encoding) c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
  const std::uint8_t utf16 = x.r.utf16;
  if (utf16 ? encoding == "utf-16" || encoding == (utf16 == 1 ? "utf-16le" : "utf-16be") : encoding == "utf-8" || encoding == "us-ascii") {
    return x.ascii = encoding == "us-ascii", nullptr;
  }
  if (encoding == "iso-8859-1" && !utf16) return x.latin1 = true, nullptr;
  if (encoding.compare(0, 6, "utf-16") == 0 || encoding == "utf-8" || encoding == "us-ascii" || encoding == "iso-8859-1") {
    return utf16 ? "not read: it is in UTF-16, as its byte order mark says, but its declaration names another encoding"
                 : "not read: its declaration names UTF-16, but it is not in UTF-16 (which begins with a byte order mark)";
  }
  return "not read: its encoding is not UTF-8, UTF-16, ISO-8859-1 or US-ASCII; save the palette as UTF-8";
}

// Says a character XML forbids, once for each stretch of markup it is met in;
// true if there was one.
bool said_forbidden(Scanner& x) {
  if (x.forbidden_line == 0) return false;
  char hex[8];
  std::snprintf(hex, sizeof hex, "0x%02X", static_cast<unsigned>(x.forbidden));
  report(x.r, x.forbidden_line, std::string("not XML: the control character ") + hex + (x.forbidden ? "" : " (NUL)") + "; what holds it is not read");
  x.forbidden_line = 0;
  return true;
}

enum class Kind { none, soc, scribus, krita };

// Krita's colorset.xml, as Krita's palette code reads it: a ColorSet root
// (name, columns), whose ColorSetEntry children (name, bitdepth) and those
// of its Group children are the swatches. A swatch's first child element is
// its colour, as Krita writes one: RGB or sRGB with r, g and b from 0 to 1
// (each round(v x 255)); its Position child (row, column) places it. Krita
// shows the palette's own swatches first, then each group's in file order;
// within each, by row and column where every swatch has its place (a later
// one in the same place replaces an earlier), else in file order. Krita
// drops a swatch placed outside the palette's columns, and so is it
// reported. Other colour models (CMYK, Lab, Gray, XYZ, YCbCr) and RGB in
// another profile than sRGB are reported: no profile is guessed.
struct KritaSwatch {
  PaletteEntry entry;
  bool placed;
  long long row, column;
};

struct Krita {
  long long columns = 0;
  std::vector<std::vector<KritaSwatch>> groups = std::vector<std::vector<KritaSwatch>>(1); // the palette's own, then each Group's
  std::size_t open = 0; // elements open with the swatch being read (0: none)
  bool coloured = false, placed = false;
  KritaSwatch swatch{};
};

// A number as Krita writes one (and Qt reads): digits with a point and an
// exponent, maybe signed.
bool decimal(const std::string* v, double& out) {
  if (!v || v->empty() || v->size() > 64) return false;
  std::size_t i = (*v)[0] == '-' || (*v)[0] == '+', digits = 0;
  for (bool point = false; i < v->size(); ++i) {
    const char c = (*v)[i];
    if (c >= '0' && c <= '9') ++digits;
    else if (c == '.' && !point) point = true;
    else break;
  }
  if (digits == 0) return false;
  if (i < v->size() && ((*v)[i] | 0x20) == 'e') {
    std::size_t k = i + 1 + (i + 1 < v->size() && ((*v)[i + 1] == '-' || (*v)[i + 1] == '+'));
    if (k == v->size()) return false;
    for (i = k; i < v->size() && (*v)[i] >= '0' && (*v)[i] <= '9'; ++i) {}
  }
  out = std::strtod(v->c_str(), nullptr); // the programs run in the C locale
  return i == v->size();
}

// Whether a profile Krita names is sRGB's (its own sRGB-elle-V2-srgbtrc.icc,
// or another of that name with sRGB's curve, not a linear one).
bool srgb_profile(const std::string& name) {
  std::string lower;
  for (const char c : name) lower += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return name.empty() || (lower.find("srgb") != std::string::npos && lower.find("g10") == std::string::npos && lower.find("linear") == std::string::npos);
}

// The swatch's colour, from its first child element.
void krita_colour(PaletteEntry& e, const std::string& model, const std::vector<Expanded>& names, const std::vector<std::string>& values) {
  const auto get = [&](const char* local) { return attribute(names, values, "", local); };
  const std::string* space = get("space");
  e.read = false;
  if (model != "RGB" && model != "sRGB") {
    const bool known = model == "CMYK" || model == "Lab" || model == "Gray" || model == "XYZ" || model == "YCbCr";
    e.reason = known ? model + kProfile : "not a colour: <" + clean_utf8(model.substr(0, 64)) + "> is no colour model Krita writes";
    return;
  }
  if (model == "RGB" && space && !srgb_profile(*space)) {
    e.reason = "RGB colour in the profile " + clean_utf8(space->substr(0, 64)) + " not read: turning it into sRGB needs that profile, which is not guessed";
    return;
  }
  const char* const channels[] = {"r", "g", "b"};
  std::uint8_t* const bytes[] = {&e.red, &e.green, &e.blue};
  for (int i = 0; i < 3; ++i) {
    double v;
    if (!decimal(get(channels[i]), v) || !(v >= 0 && v <= 1)) {
      e.reason = "not a colour: an RGB colour needs r, g and b from 0 to 1";
      return;
    }
    *bytes[i] = static_cast<std::uint8_t>(std::floor(v * 255.0 + 0.5));
  }
  e.read = true;
}

// A whole number, as the Position's row and column are.
bool whole_number(const std::string* v, long long& out) {
  double d;
  if (!decimal(v, d) || d != std::floor(d) || std::fabs(d) > 1e9) return false;
  out = static_cast<long long>(d);
  return true;
}

// Hands over every swatch in the order Krita shows them.
void krita_deliver(Reader& r, Krita& k) {
  for (std::vector<KritaSwatch>& group : k.groups) {
    const bool placed = std::all_of(group.begin(), group.end(), [](const KritaSwatch& s) { return s.placed; });
    if (placed) {
      std::stable_sort(group.begin(), group.end(), [](const KritaSwatch& a, const KritaSwatch& b) {
        return a.row != b.row ? a.row < b.row : a.column < b.column;
      });
    }
    for (std::size_t i = 0; i < group.size() && !r.stopped; ++i) {
      const KritaSwatch& s = group[i];
      char where[64];
      std::snprintf(where, sizeof where, "row %lld, column %lld", s.row, s.column);
      if (placed && (s.column < 0 || s.row < 0 || (k.columns > 0 && s.column >= k.columns))) {
        report(r, s.entry.line, std::string("not read: Krita drops a swatch placed at ") + where + ", outside the palette's " +
                                    std::to_string(k.columns) + " columns");
      } else if (placed && i + 1 < group.size() && group[i + 1].row == s.row && group[i + 1].column == s.column) {
        report(r, s.entry.line, std::string("not read: a later swatch at ") + where + " replaces it, as Krita shows them");
      } else if (s.entry.read) {
        const std::uint8_t rgb[3] = {s.entry.red, s.entry.green, s.entry.blue};
        deliver(r, s.entry.line, rgb, s.entry.name);
      } else {
        report(r, s.entry.line, s.entry.reason);
      }
    }
  }
}

} // namespace

PaletteFormat read_xml(Reader& r) {
  r.unit = PaletteUnit::line;
  Scanner x{r, 1, false, 0, 0, false, false, {}, 0, {}, {}};
  Kind kind = Kind::none;
  std::string root_space; // the namespace of the root element, which a Scribus COLOR shares
  bool root_closed = false, prolog = true;
  std::string text;
  Tag t;
  Expanded element;
  std::vector<Expanded> names;
  std::vector<std::string> values;
  const auto format = [&kind] {
    return kind == Kind::soc ? PaletteFormat::soc : kind == Kind::scribus ? PaletteFormat::scribus : kind == Kind::krita ? PaletteFormat::kpl : PaletteFormat::not_palette;
  };
  Krita krita;
  bool shown = false; // Krita's swatches, held to be put in order, have been handed over
  const auto show = [&] {
    if (kind == Kind::krita && !shown) krita_deliver(r, krita);
    shown = true;
  };
  const auto stop = [&](std::uint64_t line, const std::string& why) {
    show();
    report(r, line, why);
    return format();
  };
  const auto close_element = [&] {
    if (krita.open == x.open.size()) { // the end of a swatch
      if (!krita.coloured) krita.swatch.entry.reason = "not a colour: a ColorSetEntry without a colour";
      (krita.open == 2 ? krita.groups.front() : krita.groups.back()).push_back(krita.swatch);
      krita.open = 0;
    }
    x.bindings.resize(x.open.back().bindings);
    x.open.pop_back();
    root_closed = x.open.empty();
    if (root_closed) show();
  };
  for (int c; !r.stopped && (c = next(x)) >= 0;) {
    if (c != '<') { // character data: only white space may stand outside the root element
      if (root_closed && !is_space(static_cast<char>(c))) return stop(x.line, "data after the end of the root element, not read");
      const std::uint64_t line = x.line;
      const char* why = c == '&' ? content_reference(x) : nullptr;
      if (why) report(r, line, std::string("corrupt: ") + why);
      said_forbidden(x);
      continue;
    }
    t.line = x.line;
    const bool declaration = prolog && at_declaration(x);
    prolog = false;
    const char* end = declaration || take_word(x, "?") ? "?>" : take_word(x, "!--") ? "-->" : take_word(x, "![CDATA[") ? "]]>" : nullptr;
    if (end) { // skipped, but for the XML declaration's encoding
      if (!skip_past(x, end, declaration ? &text : nullptr)) return stop(t.line, "truncated: the file ends inside markup that began here");
      const char* why = declaration ? read_declaration(x, text) : nullptr;
      if (why) return report_file(r, why), PaletteFormat::not_palette;
      text.clear();
      said_forbidden(x);
      continue;
    }
    if (take_word(x, "!DOCTYPE")) {
      if (const char* why = read_doctype(x)) return report_file(r, why), PaletteFormat::not_palette;
      said_forbidden(x);
      continue;
    }
    const bool closing = take_word(x, "/");
    bool too_long;
    if (!read_to_close(x, text, too_long)) return stop(t.line, "truncated: the file ends inside a tag that began here");
    if (root_closed) return stop(t.line, "data after the end of the root element, not read");
    if (closing) { // an end tag closes the element open last
      std::size_t i = 0;
      const std::string name = name_at(text, i, "");
      skip_spaces(text, i);
      if (x.open.empty() || name != x.open.back().name || i != text.size()) {
        return stop(t.line, "corrupt: an end tag that closes no open element; reading stops");
      }
      close_element();
      said_forbidden(x);
      continue;
    }
    if (kind == Kind::none && (too_long || !parse_tag(text, t))) {
      return report_file(r, "not a palette: an XML file whose first tag is not XML"), PaletteFormat::not_palette;
    }
    if (too_long) {
      report(r, t.line, "a tag longer than " + std::to_string(kMaxTag) + " bytes, not read");
      if (text.back() != '/') return stop(t.line, "corrupt: elements cannot be told apart after a tag too long; reading stops");
      continue;
    }
    if (!parse_tag(text, t)) return stop(t.line, "corrupt: a tag that is not XML; reading stops");
    if (x.open.size() == kMaxDepth) return stop(t.line, "elements nested more than 256 deep; reading stops");
    x.open.push_back({t.name, x.bindings.size()});
    bool fatal;
    const char* why = resolve(x, t, element, names, values, fatal);
    if (fatal) return stop(t.line, std::string("corrupt: ") + why + "; reading stops");
    const bool forbidden = said_forbidden(x);
    if (kind == Kind::none) {
      kind = local_of(t.name) == "color-table" ? Kind::soc : t.name == "SCRIBUSCOLORS" ? Kind::scribus : t.name == "ColorSet" ? Kind::krita : Kind::none;
      root_space = element.space;
      if (kind == Kind::krita && !whole_number(attribute(names, values, "", "columns"), krita.columns)) krita.columns = 0;
      if (kind == Kind::none) {
        report_file(r, "not a palette: an XML file whose first element is <" + clean_utf8(t.name.substr(0, 64)) +
                           ">, neither a LibreOffice (.soc), a Scribus nor a Krita palette");
        return PaletteFormat::not_palette;
      }
    }
    const std::string local = local_of(t.name);
    std::uint8_t rgb[3];
    if (forbidden) { // said: what holds it is not read
      if (t.empty) close_element();
      continue;
    }
    if (why) {
      report(r, t.line, std::string("corrupt: ") + why + "; the element is not read");
    } else if (kind == Kind::krita && krita.open > 0 && x.open.size() == krita.open + 1) { // a swatch's child
      const auto get = [&](const char* a) { return attribute(names, values, "", a); };
      if (!krita.coloured) krita_colour(krita.swatch.entry, t.name, names, values);
      else if (t.name == "Position" && !krita.placed) {
        krita.swatch.placed = whole_number(get("row"), krita.swatch.row) && whole_number(get("column"), krita.swatch.column);
      }
      krita.placed = krita.placed || (krita.coloured && t.name == "Position");
      krita.coloured = true;
    } else if (kind == Kind::krita && t.name == "Group" && x.open.size() == 2) {
      krita.groups.emplace_back();
    } else if (kind == Kind::krita && t.name == "ColorSetEntry" && krita.open == 0 &&
               (x.open.size() == 2 || (x.open.size() == 3 && x.open[1].name == "Group"))) {
      const std::string* name = attribute(names, values, "", "name");
      krita = Krita{krita.columns, std::move(krita.groups), x.open.size(), false, false, KritaSwatch{}};
      krita.swatch.entry.line = t.line;
      krita.swatch.entry.name = name ? *name : "";
    } else if (kind == Kind::scribus && local == "COLOR" && element.space == root_space) {
      scribus_colour(r, t.line, names, values);
    } else if (kind == Kind::soc && local == "color" && !drawing(element.space)) {
      report(r, t.line, "not read: a color element outside the drawing namespace");
    } else if (kind == Kind::soc && local == "color") {
      const std::string* name = attribute(names, values, element.space.c_str(), "name");
      if (hex6(attribute(names, values, element.space.c_str(), "color"), rgb)) deliver(r, t.line, rgb, name ? *name : "");
      else report(r, t.line, "not a colour: draw:color must be #rrggbb");
    }
    if (t.empty) close_element();
  }
  show();
  if (r.stopped) return format();
  said_forbidden(x);
  if (kind == Kind::none) report_file(r, "not a palette: an XML file without an element");
  else if (!x.open.empty()) report(r, x.line, "truncated: the file ends inside <" + clean_utf8(x.open.back().name.substr(0, 64)) + ">");
  return format();
}

} // namespace palette_reader
} // namespace tintwise
