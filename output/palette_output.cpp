#include "palette_output.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "tintwise/hsb_model.h"

namespace tintwise {

namespace {

// A palette row's fields, in the order of the CSV columns (red, green and
// blue, the input colour's bytes, only by name in a template).
const char* const kFields[] = {"file", "line", "name", "hex", "hue", "saturation", "brightness", "distance",
                               "rendered_hex", "red", "green", "blue"};

void append_hex(std::string& out, unsigned r, unsigned g, unsigned b) {
  const char* const digits = "0123456789abcdef";
  const char text[7] = {'#', digits[r >> 4 & 15], digits[r & 15], digits[g >> 4 & 15], digits[g & 15], digits[b >> 4 & 15], digits[b & 15]};
  out.append(text, sizeof text);
}

// A rendered channel (unit scale) as the nearest byte.
unsigned rendered_byte(float v) {
  const long byte = std::lround(static_cast<double>(v) * 255.0);
  return static_cast<unsigned>(byte < 0 ? 0 : byte > 255 ? 255 : byte);
}

struct PaletteRow {
  const std::string& file;
  const PaletteEntry& e;
  const HsbAnswer& a;
};

// Field i of kFields, as plain text.
void palette_field(const void* row, int i, std::string& out) {
  const PaletteRow& r = *static_cast<const PaletteRow*>(row);
  switch (i) {
    case 0: out += r.file; break;
    case 1: append_number(out, static_cast<long long>(r.e.line)); break;
    case 2: out += r.e.name; break;
    case 3: append_hex(out, r.e.red, r.e.green, r.e.blue); break;
    case 4: append_number(out, r.a.match.hue); break;
    case 5: append_number(out, r.a.match.saturation); break;
    case 6: append_number(out, r.a.match.brightness); break;
    case 7: out += r.a.distance; break;
    case 8: append_rendered_hex(r.a.match, out); break;
    case 9: append_number(out, r.e.red); break;
    case 10: append_number(out, r.e.green); break;
    default: append_number(out, r.e.blue); break;
  }
}

// A name in a template: the index of the field it names, or -1.
int field_index(const RowFields& fields, const std::string& name) {
  for (int f = 0; f < fields.count; ++f) {
    if (name == fields.names[f]) return f;
  }
  return -1;
}

} // namespace

const RowFields kPaletteFields = {kFields, 12, 9, 1u << 0 | 1u << 2 | 1u << 3 | 1u << 8, "csv, json, gpl, text, ase, aco, act, jasc, paintnet, kpl, swatches"};

void append_number(std::string& out, long long v) {
  char text[24];
  out.append(text, static_cast<std::size_t>(std::to_chars(text, text + sizeof text, v).ptr - text));
}

void append_csv(std::string& out, const std::string& field) {
  if (field.find_first_of(",\"\r\n") == std::string::npos) {
    out += field;
    return;
  }
  out += '"';
  for (const char c : field) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
}

void append_json(std::string& out, const std::string& text) {
  out += '"';
  for (const char c : clean_utf8(text)) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  out += '"';
}

// The formats by name, in the order of OutputFormat (a template has none).
const char* const kFormats[] = {"csv", "json", "gpl", "text", "", "ase", "aco", "act", "jasc", "paintnet", "kpl", "swatches"};

bool parse_output_format(const std::string& text, OutputSpec& spec, std::string& error, const RowFields& fields) {
  const std::string formats = std::string(", ") + fields.formats + ",";
  for (int i = 0; i < 12; ++i) {
    if (!text.empty() && text == kFormats[i] && formats.find(", " + text + ",") != std::string::npos) {
      spec = {static_cast<OutputFormat>(i), {}};
      return true;
    }
  }
  // A template: check it now, so that a bad one fails before any row.
  bool any = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '}' && (i + 1 == text.size() || text[++i] != '}')) {
      error = "a lone '}' in the format (write '}}' for a brace)";
      return false;
    }
    if (text[i] != '{') continue;
    if (i + 1 < text.size() && text[i + 1] == '{') {
      ++i;
      continue;
    }
    const std::size_t close = text.find('}', i);
    const std::string name = text.substr(i + 1, close == std::string::npos ? std::string::npos : close - i - 1);
    if (close == std::string::npos || field_index(fields, name) < 0) {
      std::string names;
      for (int f = 0; f < fields.count; ++f) names += std::string(f ? ", " : "") + fields.names[f];
      error = "unknown format or field '" + (close == std::string::npos ? text : name) + "' (formats: " + fields.formats + "; fields: " + names + ")";
      return false;
    }
    any = true;
    i = close;
  }
  if (!any) {
    error = "unknown format '" + text + "' (formats: " + fields.formats + ", or a template with {fields})";
    return false;
  }
  spec = {OutputFormat::custom, text};
  return true;
}

std::string fields_header(const RowFields& fields) {
  std::string header;
  for (int i = 0; i < fields.columns; ++i) header += std::string(i ? "," : "") + fields.names[i];
  return header + "\n";
}

void append_record(const OutputSpec& spec, const RowFields& fields, FieldText field, const void* row, std::string& out) {
  std::string text;
  switch (spec.format) {
    case OutputFormat::csv:
      for (int i = 0; i < fields.columns; ++i) {
        if (i) out += ',';
        text.clear();
        field(row, i, text);
        append_csv(out, text);
      }
      out += '\n';
      break;
    case OutputFormat::json:
      for (int i = 0; i < fields.columns; ++i) {
        out += i ? ",\"" : "{\"";
        out += fields.names[i];
        out += "\":";
        if (!(fields.json_strings >> i & 1)) {
          field(row, i, out);
          continue;
        }
        text.clear();
        field(row, i, text);
        append_json(out, text);
      }
      out += "}\n";
      break;
    case OutputFormat::custom: {
      const std::string& t = spec.custom;
      for (std::size_t i = 0; i < t.size(); ++i) {
        if ((t[i] == '{' || t[i] == '}') && i + 1 < t.size() && t[i + 1] == t[i]) {
          out += t[i++];
        } else if (t[i] == '{') {
          const std::size_t close = t.find('}', i);
          field(row, field_index(fields, t.substr(i + 1, close - i - 1)), out);
          i = close;
        } else if (t[i] == '\\' && i + 1 < t.size() && std::strchr("tn\\", t[i + 1])) {
          ++i;
          out += t[i] == 't' ? '\t' : t[i] == 'n' ? '\n' : '\\';
        } else {
          out += t[i];
        }
      }
      out += '\n';
      break;
    }
    default:
      break;
  }
}

std::string output_header(const OutputSpec& spec, const std::string& name) {
  switch (spec.format) {
    case OutputFormat::csv: return fields_header(kPaletteFields);
    case OutputFormat::gpl: return gpl_header(name);
    case OutputFormat::text: return "where                  colour    hue sat bri    distance  rendered  name\n";
    default: return "";
  }
}

std::string palette_name(const std::string& path) {
  if (path == "-") return "";
  const std::size_t slash = path.find_last_of("/\\");
  std::string name = path.substr(slash == std::string::npos ? 0 : slash + 1);
  const std::size_t dot = name.rfind('.');
  if (dot != std::string::npos && dot > 0) name.erase(dot);
  return clean_utf8(name);
}

std::string gpl_header(const std::string& name) { return "GIMP Palette\nName: " + (name.empty() ? std::string(kPaletteName) : name) + "\nColumns: 0\n#\n"; }

void append_gpl_line(std::uint32_t rgb, const std::string& name, std::string& out) {
  char row[16];
  std::snprintf(row, sizeof row, "%3u %3u %3u\t", rgb >> 16, rgb >> 8 & 255, rgb & 255);
  out += row;
  out += name;
  out += '\n';
}

void append_row(const OutputSpec& spec, const std::string& file, const PaletteEntry& e, const HsbAnswer& a,
                std::string& out) {
  const HsbMatch& m = a.match;
  const PaletteRow row{file, e, a};
  switch (spec.format) {
    case OutputFormat::gpl: // named as the swatch files name it, by its source name and triple
      append_gpl_line(rendered_rgb(m), swatch_of(e, a).name, out);
      break;
    case OutputFormat::text: {
      std::string where = file + ":" + std::to_string(e.line), hex, rendered;
      palette_field(&row, 3, hex);
      palette_field(&row, 8, rendered);
      char line[160];
      std::snprintf(line, sizeof line, "%-22s %s  %3d %3d %3d  %10s  %s  ", where.c_str(), hex.c_str(),
                    static_cast<int>(m.hue), static_cast<int>(m.saturation), static_cast<int>(m.brightness),
                    a.distance, rendered.c_str());
      out += line;
      out += e.name;
      out += '\n';
      break;
    }
    default: // CSV, JSON Lines, a template; swatch files are written whole by swatch_file
      append_record(spec, kPaletteFields, palette_field, &row, out);
      break;
  }
}

std::uint32_t rendered_rgb(const HsbMatch& match) {
  return rendered_byte(match.red) << 16 | rendered_byte(match.green) << 8 | rendered_byte(match.blue);
}

std::uint32_t triple_rgb(int hue, int saturation, int brightness) {
  const RenderedColour c = render_hsb(hue, saturation, brightness);
  return rendered_rgb({hue, saturation, brightness, c.red, c.green, c.blue});
}

void append_hex_rgb(std::uint32_t rgb, std::string& out) { append_hex(out, rgb >> 16, rgb >> 8 & 255, rgb & 255); }

void append_rendered_hex(const HsbMatch& match, std::string& out) { append_hex_rgb(rendered_rgb(match), out); }

bool is_swatch_format(OutputFormat format) { return format >= OutputFormat::ase; }
bool is_binary_format(OutputFormat format) {
  return (format >= OutputFormat::ase && format <= OutputFormat::act) || format >= OutputFormat::kpl;
}

const char* format_extension(OutputFormat format) {
  const char* const extensions[] = {"csv", "jsonl", "gpl", "txt", "txt", "ase", "aco", "act", "pal", "txt", "kpl", "swatches"};
  return extensions[static_cast<int>(format)];
}

std::string beside_suffix(OutputFormat format) {
  const char* const own[] = {"csv", "jsonl", "gpl", "txt", "out.txt", "ase", "aco", "act", "pal", "paintnet.txt", "kpl", "swatches"};
  return std::string(".tintwise.") + own[static_cast<int>(format)];
}

Swatch swatch_of(const PaletteEntry& entry, const HsbAnswer& answer) {
  std::string triple;
  append_number(triple, answer.match.hue);
  triple += ' ';
  append_number(triple, answer.match.saturation);
  triple += ' ';
  append_number(triple, answer.match.brightness);
  return {rendered_rgb(answer.match), entry.name.empty() ? triple : entry.name + " (" + triple + ")"};
}

namespace {

void append_be(std::string& out, std::uint32_t v, int bytes) {
  for (int i = bytes - 1; i >= 0; --i) out += static_cast<char>(v >> (8 * i) & 255);
}

// A name (valid UTF-8, as the reader gives it) as big-endian UTF-16 with its
// closing NUL, as Adobe's files hold names; returns its length in units.
std::uint32_t append_utf16(std::string& out, const std::string& name) {
  std::uint32_t units = 1;
  for (std::size_t i = 0; i < name.size();) {
    const auto byte = [&name](std::size_t k) { return static_cast<std::uint32_t>(static_cast<unsigned char>(name[k])); };
    const std::uint32_t b = byte(i);
    const std::size_t len = b < 0x80 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
    std::uint32_t c = len == 1 ? b : b & (0x3F >> (len - 1));
    for (std::size_t k = 1; k < len && i + k < name.size(); ++k) c = c << 6 | (byte(i + k) & 0x3F);
    i += len;
    if (c >= 0x10000) {
      append_be(out, 0xD800 + ((c - 0x10000) >> 10), 2);
      c = 0xDC00 + ((c - 0x10000) & 0x3FF);
      ++units;
    }
    append_be(out, c, 2);
    ++units;
  }
  append_be(out, 0, 2);
  return units;
}

void append_le(std::string& out, std::uint64_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) out += static_cast<char>(v >> (8 * i) & 255);
}

// p / q (0 <= p <= q, q > 0) as a decimal of at most 15 places, computed in
// integers so that no locale's decimal point and no rounding of a double
// comes into it; read back and multiplied out, it gives p / q to within
// 1e-15, far inside what rounds a channel to its byte.
std::string fraction(std::uint64_t p, std::uint64_t q) {
  const std::uint64_t scale = 1000000000000000; // 10^15; p x 10^15 < 2^63 for every p used here (<= 1530)
  const std::uint64_t v = (p * scale * 2 + q) / (2 * q);
  if (v == scale) return "1";
  std::string digits = std::to_string(scale + v).substr(1);
  while (!digits.empty() && digits.back() == '0') digits.pop_back();
  return digits.empty() ? "0" : "0." + digits;
}

// A name as XML attribute text.
std::string xml_text(const std::string& name) {
  std::string out;
  for (const char c : name) {
    if (c == '&') out += "&amp;";
    else if (c == '<') out += "&lt;";
    else if (c == '"') out += "&quot;";
    else out += c;
  }
  return out;
}

} // namespace

// Stored entries, in order: each a local header (version
// 1.0 needed, no flags, no compression, the time 1980-01-01 00:00 so that
// the same colours give the same bytes, its CRC-32 and sizes) and its bytes;
// then the central directory, and the end record.
std::string stored_zip(const std::vector<std::pair<std::string, std::string>>& files) {
  std::string out, directory;
  for (const auto& file : files) {
    const std::uint32_t crc = crc32(file.second.data(), file.second.size());
    const std::size_t offset = out.size();
    for (std::string* to : {&out, &directory}) {
      const bool central = to == &directory;
      append_le(*to, central ? 0x02014b50 : 0x04034b50, 4);
      if (central) append_le(*to, 20, 2); // made by version 2.0, MS-DOS attributes
      for (const std::uint32_t v : {10u, 0u, 0u, 0u, 0x21u}) append_le(*to, v, 2); // needs 1.0, flags, stored, time, date
      append_le(*to, crc, 4);
      append_le(*to, file.second.size(), 4);
      append_le(*to, file.second.size(), 4);
      append_le(*to, file.first.size(), 2);
      append_le(*to, 0, 2); // no extra field
      if (central) {
        append_le(*to, 0, 6); // no comment, disk 0, no internal attributes
        append_le(*to, 0, 4); // no external ones
        append_le(*to, offset, 4);
      }
      *to += file.first;
    }
    out += file.second;
  }
  const std::size_t at = out.size();
  out += directory;
  append_le(out, 0x06054b50, 4);
  append_le(out, 0, 4); // disk 0, the directory's disk 0
  append_le(out, files.size(), 2);
  append_le(out, files.size(), 2);
  append_le(out, directory.size(), 4);
  append_le(out, at, 4);
  append_le(out, 0, 2); // no comment
  return out;
}

// Each format's structure, as the program that defines it writes it:
//  - .ase: "ASEF", version 1.0, the block count, then a colour entry block a
//    swatch (type 1, its length, the name's length in UTF-16 units with its
//    NUL, the name, "RGB ", three big-endian floats byte / 255, type 2:
//    a normal, not a global or spot, colour);
//  - .aco: version 1 (the count, then each colour: space 0, RGB, red, green
//    and blue as byte x 257, 0), then version 2 (the same, each followed by
//    its name's length in UTF-16 units with its NUL, and the name), as
//    Photoshop writes both;
//  - .act: 256 RGB triples (those past the colours 0), then the count in use
//    and 0xFFFF, no transparent index: 772 bytes;
//  - JASC-PAL: its header, version 0100, the count, then R G B lines, with
//    CR LF as Paint Shop Pro writes them;
//  - Paint.NET: ';' comments, then FFRRGGBB lines, with CR LF;
//  - Krita .kpl: a zip archive of its mimetype (first, stored, as the
//    OpenDocument convention Krita follows has it) and colorset.xml, as
//    Krita 5 writes it: a ColorSet of 16 columns whose ColorSetEntry swatches
//    (name, bitdepth U8) each hold an RGB colour in Krita's sRGB profile and
//    a Position, row by row. Krita reads a profiles.xml only when the archive
//    has one, and needs none for its own sRGB, so none is written;
//  - Procreate .swatches: a zip archive of Swatches.json, a list of one
//    palette, its swatches each hue, saturation and brightness from 0 to 1
//    (computed from the bytes exactly, see fraction), alpha 1 and colour
//    space 0 (sRGB), as Procreate's palettes before version 5 are and every
//    version imports.
std::string swatch_file(OutputFormat format, const std::vector<Swatch>& swatches, std::size_t& kept, const std::string& named) {
  const std::string name = named.empty() ? kPaletteName : named;
  // .aco counts in 16 bits; .kpl and .swatches are held to as many, which the
  // reader reads back whole (within its 64 MiB and its JSON's 524,288 values).
  const bool counted = format == OutputFormat::aco || format == OutputFormat::kpl || format == OutputFormat::swatches;
  const std::size_t most = format == OutputFormat::act ? 256 : counted ? 65535 : swatches.size();
  kept = swatches.size() < most ? swatches.size() : most;
  const auto n = static_cast<std::uint32_t>(kept);
  const auto channel = [](const Swatch& s, int k) { return s.rgb >> (16 - 8 * k) & 255; };
  std::string out;
  switch (format) {
    case OutputFormat::ase:
      out = "ASEF";
      append_be(out, 0x10000, 4);
      append_be(out, n, 4);
      for (std::size_t i = 0; i < kept; ++i) {
        std::string body;
        const std::uint32_t units = append_utf16(body, swatches[i].name);
        body.insert(0, std::string{static_cast<char>(units >> 8), static_cast<char>(units & 255)});
        body += "RGB ";
        for (int k = 0; k < 3; ++k) {
          const float v = static_cast<float>(channel(swatches[i], k)) / 255.0f;
          std::uint32_t bits;
          std::memcpy(&bits, &v, sizeof bits);
          append_be(body, bits, 4);
        }
        append_be(body, 2, 2);
        append_be(out, 1, 2);
        append_be(out, static_cast<std::uint32_t>(body.size()), 4);
        out += body;
      }
      break;
    case OutputFormat::aco:
      for (const int version : {1, 2}) {
        append_be(out, static_cast<std::uint32_t>(version), 2);
        append_be(out, n, 2);
        for (std::size_t i = 0; i < kept; ++i) {
          append_be(out, 0, 2);
          for (int k = 0; k < 3; ++k) append_be(out, channel(swatches[i], k) * 257, 2);
          append_be(out, 0, 2);
          if (version == 1) continue;
          std::string utf16;
          append_be(out, append_utf16(utf16, swatches[i].name), 4);
          out += utf16;
        }
      }
      break;
    case OutputFormat::act:
      if (kept == 0) break; // no table: an .act always counts at least one colour
      out.assign(768, '\0');
      for (std::size_t i = 0; i < kept; ++i) {
        for (int k = 0; k < 3; ++k) out[3 * i + static_cast<std::size_t>(k)] = static_cast<char>(channel(swatches[i], k));
      }
      append_be(out, n, 2);
      append_be(out, 0xFFFF, 2);
      break;
    case OutputFormat::gpl:
      out = gpl_header(name);
      for (std::size_t i = 0; i < kept; ++i) append_gpl_line(swatches[i].rgb, swatches[i].name, out);
      break;
    case OutputFormat::jasc:
      out = "JASC-PAL\r\n0100\r\n" + std::to_string(kept) + "\r\n";
      for (std::size_t i = 0; i < kept; ++i) {
        out += std::to_string(channel(swatches[i], 0)) + ' ' + std::to_string(channel(swatches[i], 1)) + ' ' + std::to_string(channel(swatches[i], 2)) + "\r\n";
      }
      break;
    case OutputFormat::paintnet: {
      out = "; paint.net Palette File\r\n; The colours Tintwise's triples render, in input order, as AARRGGBB\r\n";
      const char* const digits = "0123456789ABCDEF";
      for (std::size_t i = 0; i < kept; ++i) {
        out += "FF";
        for (int shift = 20; shift >= 0; shift -= 4) out += digits[swatches[i].rgb >> shift & 15];
        out += "\r\n";
      }
      break;
    }
    case OutputFormat::kpl:
      out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<ColorSet version=\"2.0\" name=\"" + xml_text(name) + "\" comment=\"\" columns=\"16\" rows=\"" +
            std::to_string((kept + 15) / 16) + "\">\n";
      for (std::size_t i = 0; i < kept; ++i) {
        out += " <ColorSetEntry name=\"" + xml_text(swatches[i].name) + "\" spot=\"false\" bitdepth=\"U8\">\n  <RGB";
        for (int k = 0; k < 3; ++k) out += std::string(" ") + "rgb"[k] + "=\"" + fraction(channel(swatches[i], k), 255) + "\"";
        out += " space=\"sRGB-elle-V2-srgbtrc.icc\"/>\n  <Position row=\"" + std::to_string(i / 16) + "\" column=\"" + std::to_string(i % 16) +
               "\"/>\n </ColorSetEntry>\n";
      }
      out = stored_zip({{"mimetype", "application/x-krita-palette"}, {"colorset.xml", out + "</ColorSet>\n"}});
      break;
    case OutputFormat::swatches:
      out = "[{\"name\":";
      append_json(out, name);
      out += ",\"swatches\":[";
      for (std::size_t i = 0; i < kept; ++i) {
        const std::uint32_t r = channel(swatches[i], 0), g = channel(swatches[i], 1), b = channel(swatches[i], 2);
        const std::uint32_t top = std::max({r, g, b}), d = top - std::min({r, g, b});
        // The hue in sixths of a turn from red, as (a + d x sector) / d.
        const std::uint32_t h = d == 0 ? 0 : top == r ? (g >= b ? g - b : 6 * d - (b - g)) : top == g ? 2 * d + b - r : 4 * d + r - g;
        out += std::string(i ? "," : "") + "{\"hue\":" + fraction(h, d == 0 ? 1 : 6 * d) + ",\"saturation\":" + fraction(d, top == 0 ? 1 : top) +
               ",\"brightness\":" + fraction(top, 255) + ",\"alpha\":1,\"colorSpace\":0}";
      }
      out = stored_zip({{"Swatches.json", out + "]}]"}});
      break;
    default:
      break;
  }
  return out;
}

void append_problem(const std::string& file, const PaletteEntry& entry, std::string& out) {
  out += file;
  if (entry.unit != PaletteUnit::file) out += ":" + std::to_string(entry.line);
  out += ": " + entry.reason + "\n";
}

} // namespace tintwise
