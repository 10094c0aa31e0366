// The rows tintwise-palette writes, one a colour, shared with the web page so
// that both write the same bytes: CSV (RFC 4180 quoting), JSON Lines, a GIMP
// palette of the rendered colours, aligned text, or a template.
#ifndef TINTWISE_PALETTE_OUTPUT_H
#define TINTWISE_PALETTE_OUTPUT_H

#include <string>

#include "tintwise/hsb_search.h"
#include "tintwise/palette.h"

namespace tintwise {

enum class OutputFormat { csv, json, gpl, text, custom };

struct OutputSpec {
  OutputFormat format;
  std::string custom; // the template of OutputFormat::custom
};

// Reads a --format value: csv, json, gpl, text, or a template with fields in
// braces ("{hue} {saturation} {brightness}"; "{{" and "}}" stand for braces,
// "\t", "\n" and "\\" for a tab, a line end and a backslash). Returns false,
// with `error` saying why, for a template that names no known field.
bool parse_output_format(const std::string& text, OutputSpec& spec, std::string& error);

// What comes before the first row: the CSV header, the GIMP palette's
// header, the text columns' titles; nothing for JSON Lines and templates.
std::string output_header(const OutputSpec& spec);

// Appends the row of one colour that was read, with its search's answer.
void append_row(const OutputSpec& spec, const std::string& file, const PaletteEntry& entry,
                const HsbAnswer& answer, std::string& out);

// The colour a match renders, to the nearest byte, as "#rrggbb".
void append_rendered_hex(const HsbMatch& match, std::string& out);

// "FILE:LINE: reason\n" for an entry that was not read (LINE its line, .ase
// block or colour table index; "FILE: reason" for the file as a whole).
void append_problem(const std::string& file, const PaletteEntry& entry, std::string& out);

} // namespace tintwise

#endif
