// An independent reading of XML palettes, by expat (a conforming XML 1.0
// parser with namespaces, used only by the tests): the colour elements of a
// LibreOffice or Scribus palette, one a line as "LINE #rrggbb NAME", or
// "LINE !" for one that holds no colour. The reader's entries in the same
// form come from `entries_text`; `compare_with_expat` says where they part.
#ifndef TINTWISE_TESTS_XML_ORACLE_H
#define TINTWISE_TESTS_XML_ORACLE_H

#include <expat.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "tintwise/palette.h"

namespace tintwise_tests {

struct ExpatReading {
  std::vector<std::string> entries;
  bool accepted = false;
  int depth = 0, kind = 0; // kind: 1 LibreOffice, 2 Scribus
  std::string root_space;  // of the root element
  XML_Parser parser = nullptr;
};

inline std::string entry_text(unsigned long long line, bool read, unsigned rgb, const std::string& name) {
  char hex[16];
  std::snprintf(hex, sizeof hex, " #%06x", rgb);
  return std::to_string(line) + (read ? hex + (name.empty() ? "" : " " + name) : " !");
}

inline void expat_start(void* context, const XML_Char* qualified, const XML_Char** attributes) {
  ExpatReading& x = *static_cast<ExpatReading*>(context);
  const auto split = [](const char* name) { // "namespace\1local", or a name in no namespace
    const char* sep = std::strchr(name, '\1');
    return sep ? std::make_pair(std::string(name, sep), std::string(sep + 1)) : std::make_pair(std::string(), std::string(name));
  };
  const auto [space, local] = split(qualified);
  if (x.depth++ == 0) {
    x.kind = local == "color-table" ? 1 : space.empty() && local == "SCRIBUSCOLORS" ? 2 : 0;
    x.root_space = space;
    if (x.kind == 0) x.entries.push_back("- !"); // not a palette
    return;
  }
  const bool drawing = space == "urn:oasis:names:tc:opendocument:xmlns:drawing:1.0" || space == "http://openoffice.org/2000/drawing";
  if (!(x.kind == 1 && local == "color") && !(x.kind == 2 && local == "COLOR" && space == x.root_space)) return;
  const char *name = nullptr, *colour = nullptr, *channels[3] = {nullptr, nullptr, nullptr}; // Scribus' R, G and B
  for (const XML_Char** a = attributes; *a; a += 2) {
    const auto [a_space, a_local] = split(*a);
    if (a_space == (x.kind == 1 ? space : "") && a_local == (x.kind == 1 ? "name" : "NAME")) name = a[1];
    if (a_space == (x.kind == 1 ? space : "") && a_local == (x.kind == 1 ? "color" : "RGB")) colour = a[1];
    for (int i = 0; i < 3; ++i) channels[i] = x.kind == 2 && a_space.empty() && a_local == std::string(1, "RGB"[i]) ? a[1] : channels[i];
  }
  const bool hex = colour && std::strlen(colour) == 7 && colour[0] == '#' && std::strspn(colour + 1, "0123456789abcdefABCDEF") == 6;
  unsigned rgb = hex ? static_cast<unsigned>(std::strtoul(colour + 1, nullptr, 16)) : 0, whole = 0;
  for (int i = 0; i < 3 && x.kind == 2 && !hex; ++i) {
    const char* c = channels[i];
    const bool byte = c && *c && std::strlen(c) <= 3 && std::strspn(c, "0123456789") == std::strlen(c) && std::atoi(c) <= 255;
    whole += byte, rgb = rgb << 8 | (byte ? static_cast<unsigned>(std::atoi(c)) : 0);
  }
  const bool read = (x.kind == 2 || drawing) && (hex || whole == 3);
  x.entries.push_back(entry_text(XML_GetCurrentLineNumber(x.parser), read, rgb, tintwise::clean_utf8(name ? name : "")));
}

inline ExpatReading read_with_expat(const std::string& bytes) {
  ExpatReading x;
  x.parser = XML_ParserCreateNS(nullptr, '\1');
  XML_SetUserData(x.parser, &x);
  XML_SetElementHandler(x.parser, expat_start, [](void* context, const XML_Char*) { --static_cast<ExpatReading*>(context)->depth; });
  x.accepted = XML_Parse(x.parser, bytes.data(), static_cast<int>(bytes.size()), 1) == XML_STATUS_OK;
  XML_ParserFree(x.parser);
  return x;
}

// The reader's entries in the same form ("- !" for a reason about the whole file).
inline std::vector<std::string> entries_text(const std::vector<tintwise::PaletteEntry>& all) {
  std::vector<std::string> out;
  for (const auto& e : all) out.push_back(e.unit == tintwise::PaletteUnit::file ? "- !" : entry_text(e.line, e.read, static_cast<unsigned>(e.red << 16 | e.green << 8 | e.blue), e.name));
  return out;
}

// Where expat accepts the document, the reader must give exactly its
// entries; where it does not, every colour the reader gives before its first
// report must be expat's at the same place (`strict`: and it must report at
// or before the place where expat stopped). Returns what differs, or "".
inline std::string compare_with_expat(const ExpatReading& x, const std::vector<std::string>& ours, bool strict) {
  std::string all;
  for (const std::string& e : x.entries) all += "  " + e + "\n";
  all += "against the reader's\n";
  for (const std::string& e : ours) all += "  " + e + "\n";
  if (x.accepted) return ours == x.entries ? "" : "expat accepts the document and reads\n" + all;
  std::size_t i = 0;
  for (; i < ours.size() && ours[i].find(" !") != ours[i].size() - 2; ++i) {
    if (i < x.entries.size() && ours[i] != x.entries[i]) return "expat rejects the document, and the entries before that differ:\n" + all;
  }
  return strict && (i == ours.size() || i > x.entries.size()) ? "expat rejects the document, and the reader reads on without a report:\n" + all : "";
}

} // namespace tintwise_tests

#endif
