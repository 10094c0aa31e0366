#include "palette_output.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace tintwise {

namespace {

// The template's fields, in the order of the CSV columns (red, green and
// blue, the input colour's bytes, only by name).
const char* const kFields[] = {"file", "line", "name", "hex", "hue", "saturation", "brightness", "distance",
                               "rendered_hex", "red", "green", "blue"};
constexpr int kCsvColumns = 9;

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

void append_number(std::string& out, long long v) {
  char text[24];
  out.append(text, static_cast<std::size_t>(std::to_chars(text, text + sizeof text, v).ptr - text));
}

// Field i of kFields, as plain text.
void append_field(std::string& out, int i, const std::string& file, const PaletteEntry& e, const HsbAnswer& a) {
  switch (i) {
    case 0: out += file; break;
    case 1: append_number(out, static_cast<long long>(e.line)); break;
    case 2: out += e.name; break;
    case 3: append_hex(out, e.red, e.green, e.blue); break;
    case 4: append_number(out, a.match.hue); break;
    case 5: append_number(out, a.match.saturation); break;
    case 6: append_number(out, a.match.brightness); break;
    case 7: out += a.distance; break;
    case 8: append_rendered_hex(a.match, out); break;
    case 9: append_number(out, e.red); break;
    case 10: append_number(out, e.green); break;
    default: append_number(out, e.blue); break;
  }
}

// The text fields (file, name) may need quoting or escaping; the others are
// numbers and hex codes.
bool is_text_field(int i) { return i == 0 || i == 2; }

// RFC 4180: a field with a comma, a quote or a line end is quoted, its quotes doubled.
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

// A JSON string of text that is valid UTF-8 once cleaned (file names from
// the command line may not be).
void append_json(std::string& out, const std::string& text) {
  out += '"';
  for (const char c : clean_utf8(text)) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  out += '"';
}

} // namespace

bool parse_output_format(const std::string& text, OutputSpec& spec, std::string& error) {
  const char* const names[] = {"csv", "json", "gpl", "text"};
  for (int i = 0; i < 4; ++i) {
    if (text == names[i]) {
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
    bool known = false;
    for (const char* f : kFields) known = known || name == f;
    if (close == std::string::npos || !known) {
      error = "unknown format or field '" + (close == std::string::npos ? text : name) +
              "' (formats: csv, json, gpl, text; fields: file, line, name, hex, hue, saturation, brightness, "
              "distance, rendered_hex, red, green, blue)";
      return false;
    }
    any = true;
    i = close;
  }
  if (!any) {
    error = "unknown format '" + text + "' (formats: csv, json, gpl, text, or a template with {fields})";
    return false;
  }
  spec = {OutputFormat::custom, text};
  return true;
}

std::string output_header(const OutputSpec& spec) {
  switch (spec.format) {
    case OutputFormat::csv: {
      std::string header;
      for (int i = 0; i < kCsvColumns; ++i) header += std::string(i ? "," : "") + kFields[i];
      return header + "\n";
    }
    case OutputFormat::gpl: return "GIMP Palette\nName: Tintwise rendered colours\nColumns: 0\n#\n";
    case OutputFormat::text: return "where                  colour    hue sat bri    distance  rendered  name\n";
    default: return "";
  }
}

void append_row(const OutputSpec& spec, const std::string& file, const PaletteEntry& e, const HsbAnswer& a,
                std::string& out) {
  const HsbMatch& m = a.match;
  switch (spec.format) {
    case OutputFormat::csv: {
      for (int i = 0; i < kCsvColumns; ++i) {
        if (i) out += ',';
        if (is_text_field(i)) append_csv(out, i == 0 ? file : e.name);
        else append_field(out, i, file, e, a);
      }
      out += '\n';
      break;
    }
    case OutputFormat::json: {
      for (int i = 0; i < kCsvColumns; ++i) {
        out += i ? ",\"" : "{\"";
        out += kFields[i];
        out += "\":";
        if (is_text_field(i)) {
          append_json(out, i == 0 ? file : e.name);
        } else if (i == 3 || i == 8) { // hex codes: strings with nothing to escape
          out += '"';
          append_field(out, i, file, e, a);
          out += '"';
        } else {
          append_field(out, i, file, e, a);
        }
      }
      out += "}\n";
      break;
    }
    case OutputFormat::gpl: {
      char row[64];
      std::snprintf(row, sizeof row, "%3u %3u %3u\t%d %d %d\n", rendered_byte(m.red), rendered_byte(m.green),
                    rendered_byte(m.blue), static_cast<int>(m.hue), static_cast<int>(m.saturation),
                    static_cast<int>(m.brightness));
      out += row;
      break;
    }
    case OutputFormat::text: {
      std::string where = file + ":" + std::to_string(e.line), hex, rendered;
      append_field(hex, 3, file, e, a);
      append_field(rendered, 8, file, e, a);
      char row[160];
      std::snprintf(row, sizeof row, "%-22s %s  %3d %3d %3d  %10s  %s  ", where.c_str(), hex.c_str(),
                    static_cast<int>(m.hue), static_cast<int>(m.saturation), static_cast<int>(m.brightness),
                    a.distance, rendered.c_str());
      out += row;
      out += e.name;
      out += '\n';
      break;
    }
    case OutputFormat::custom: {
      const std::string& t = spec.custom;
      for (std::size_t i = 0; i < t.size(); ++i) {
        if ((t[i] == '{' || t[i] == '}') && i + 1 < t.size() && t[i + 1] == t[i]) {
          out += t[i++];
        } else if (t[i] == '{') {
          const std::size_t close = t.find('}', i);
          const std::string name = t.substr(i + 1, close - i - 1);
          for (int f = 0; f < 12; ++f) {
            if (name == kFields[f]) append_field(out, f, file, e, a);
          }
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
  }
}

void append_rendered_hex(const HsbMatch& match, std::string& out) {
  append_hex(out, rendered_byte(match.red), rendered_byte(match.green), rendered_byte(match.blue));
}

void append_problem(const std::string& file, const PaletteEntry& entry, std::string& out) {
  out += file;
  if (entry.unit != PaletteUnit::file) out += ":" + std::to_string(entry.line);
  out += ": " + entry.reason + "\n";
}

} // namespace tintwise
