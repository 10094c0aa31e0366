// The rows tintwise-palette writes, one a colour, shared with the web page and
// the Python module so that all write the same bytes: CSV (RFC 4180 quoting),
// JSON Lines, a GIMP palette of the rendered colours, aligned text, or a
// template; and the rendered colours as the swatch files editors import
// (Adobe .ase, .aco and .act, JASC-PAL, Paint.NET, Krita .kpl, Procreate
// .swatches), written whole once every colour is known. The CSV, JSON and template writing serves any kind of row
// (tintwise-lights' too).
#ifndef TINTWISE_PALETTE_OUTPUT_H
#define TINTWISE_PALETTE_OUTPUT_H

#include <cstdint>
#include <string>
#include <vector>

#include "tintwise/hsb_search.h"
#include "tintwise/palette.h"

namespace tintwise {

enum class OutputFormat { csv, json, gpl, text, custom, ase, aco, act, jasc, paintnet, kpl, swatches };

struct OutputSpec {
  OutputFormat format;
  std::string custom; // the template of OutputFormat::custom
};

// The fields of a kind of row: their names (what a template may name), how
// many of them, first in order, are the CSV and JSON Lines columns, which of
// those are strings in JSON (bit i for field i; the others are numbers), and
// the formats (by name) such rows are written in.
struct RowFields {
  const char* const* names;
  int count, columns;
  unsigned json_strings;
  const char* formats;
};
// A palette's rows: file, line, name, hex, hue, saturation, brightness,
// distance and rendered_hex as columns, and red, green, blue by name.
extern const RowFields kPaletteFields;

// Appends field i (of its RowFields) of a row as plain text.
using FieldText = void (*)(const void* row, int i, std::string& out);

// Reads a --format value: one of `fields.formats`, or a template with fields
// in braces ("{hue} {saturation} {brightness}"; "{{" and "}}" stand for
// braces, "\t", "\n" and "\\" for a tab, a line end and a backslash).
// Returns false, with `error` saying why, for a template that names no known
// field.
bool parse_output_format(const std::string& text, OutputSpec& spec, std::string& error, const RowFields& fields = kPaletteFields);

// The CSV header of rows of `fields`.
std::string fields_header(const RowFields& fields);

// Appends a row in CSV (RFC 4180 quoting), JSON Lines or a template; nothing
// in other formats.
void append_record(const OutputSpec& spec, const RowFields& fields, FieldText field, const void* row, std::string& out);

// A field as RFC 4180 writes it (quoted, its quotes doubled, when it holds a
// comma, a quote or a line end); text as a JSON string (once valid UTF-8:
// names from the command line may not be); a number.
void append_csv(std::string& out, const std::string& field);
void append_json(std::string& out, const std::string& text);
void append_number(std::string& out, long long v);

// What comes before the first row: the CSV header, the GIMP palette's
// header (naming the palette `name`), the text columns' titles; nothing for
// JSON Lines and templates.
std::string output_header(const OutputSpec& spec, const std::string& name = "");

// The name a palette written from the file at `path` carries: the file's
// own, without its folder and its extension ("theme" for themes/theme.gpl);
// empty for standard input ("-"), whose palette is named kPaletteName.
std::string palette_name(const std::string& path);
constexpr const char kPaletteName[] = "Tintwise rendered colours";

// A GIMP palette of the rendered colours: its header, and a colour's line.
std::string gpl_header(const std::string& name);
void append_gpl_line(std::uint32_t rgb, const std::string& name, std::string& out);

// Appends the row of one colour that was read, with its search's answer.
void append_row(const OutputSpec& spec, const std::string& file, const PaletteEntry& entry,
                const HsbAnswer& answer, std::string& out);

// The colour a match renders, to the nearest byte, as 0xRRGGBB, and as "#rrggbb".
std::uint32_t rendered_rgb(const HsbMatch& match);
void append_rendered_hex(const HsbMatch& match, std::string& out);
// The colour a triple renders (hue 0..254), to the nearest byte, as 0xRRGGBB.
std::uint32_t triple_rgb(int hue, int saturation, int brightness);
void append_hex_rgb(std::uint32_t rgb, std::string& out);

// The swatch files: written whole, once the input has ended (their headers
// count the colours); the binary ones (.ase, .aco, .act, and the zip
// archives .kpl and .swatches) are no text for a terminal. The file name extension of every format.
bool is_swatch_format(OutputFormat format);
bool is_binary_format(OutputFormat format);
const char* format_extension(OutputFormat format);
// What --beside adds to an input's name for its output: ".tintwise." and an
// extension, one of its own for each format, so that no run writes one
// format's output over another's (".tintwise.txt" for text,
// ".tintwise.out.txt" for a template, ".tintwise.paintnet.txt" for Paint.NET).
std::string beside_suffix(OutputFormat format);

// A colour as a swatch file holds it: the colour its match renders, named by
// its source name (when it has one) and its triple, as "Orange (7 70 255)".
struct Swatch {
  std::uint32_t rgb; // 0xRRGGBB
  std::string name;
};
Swatch swatch_of(const PaletteEntry& entry, const HsbAnswer& answer);

// The whole swatch file of `swatches`, in their order (also a GIMP palette,
// for rows that are not written as they come). `kept` is how many it holds:
// all but past what the format can (256 in an .act, 65,535 in an .aco,
// .kpl or .swatches). Formats that name their palette (GIMP's, Krita's,
// Procreate's) name it `name`, or kPaletteName where that is empty.
std::string swatch_file(OutputFormat format, const std::vector<Swatch>& swatches, std::size_t& kept, const std::string& name = "");

// A zip archive of `files` (name and bytes), each stored, in order, with
// fixed times, so that the same files give the same bytes.
std::string stored_zip(const std::vector<std::pair<std::string, std::string>>& files);

// "FILE:LINE: reason\n" for an entry that was not read (LINE its line, .ase
// block or colour table index; "FILE: reason" for the file as a whole).
void append_problem(const std::string& file, const PaletteEntry& entry, std::string& out);

} // namespace tintwise

#endif
