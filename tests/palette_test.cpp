// Palettes: the reader on hand-written files of every format (names,
// comments, bad lines, edge cases), whole or a byte at a time; the reader
// against hostile input; and tintwise-palette as a process, its rows against
// what Tintwise prints for the same colours, its formats and exit statuses.
#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <map>
#include <random>
#include <sstream>

#include "driver.h"
#include "palette_output.h"
#include "tool_run.h"
#include "tintwise/palette.h"

#if defined(__linux__)
#include <sys/resource.h>
#endif

using namespace tintwise;
using namespace tintwise_tests;

namespace {

std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

// Hands out `bytes` at most `chunk` at a time.
struct Bytes {
  const std::string& bytes;
  std::size_t at, chunk;
};
std::size_t from_bytes(void* context, char* buf, std::size_t size) {
  Bytes& b = *static_cast<Bytes*>(context);
  const std::size_t n = std::min({size, b.chunk, b.bytes.size() - b.at});
  std::memcpy(buf, b.bytes.data() + b.at, n);
  b.at += n;
  return n;
}
bool keep(void* context, const PaletteEntry& e) {
  static_cast<std::vector<PaletteEntry>*>(context)->push_back(e);
  return true;
}

// Every entry as "LINE #rrggbb NAME" or "LINE !REASON", one a line.
std::string describe(const std::vector<PaletteEntry>& entries) {
  std::string out;
  for (const PaletteEntry& e : entries) {
    char hex[8];
    std::snprintf(hex, sizeof hex, "#%02x%02x%02x", e.red, e.green, e.blue);
    out += std::to_string(e.line) + (e.read ? " " + std::string(hex) + (e.name.empty() ? "" : " " + e.name) : " !" + e.reason) + "\n";
  }
  return out;
}

std::vector<PaletteEntry> read_bytes(const std::string& bytes, std::size_t chunk, PaletteFormat* format = nullptr) {
  std::vector<PaletteEntry> entries;
  Bytes source{bytes, 0, chunk};
  const PaletteFormat f = read_palette(from_bytes, &source, keep, &entries);
  if (format) *format = f;
  return entries;
}

// What each sample holds, entry by entry (reasons by their first words).
const struct {
  const char* file;
  PaletteFormat format;
  const char* entries;
} kSamples[] = {
    {"sample.gpl", PaletteFormat::gimp,
     "6 #ff0000 Red\n7 #00ff00 Green with blanks\n8 #0000ff Blue after blanks\n9 #c86432\n11 #0d0c0d Near grey\n"
     "12 !R, G and B\n13 !not a colour line\n14 !not a colour line\n15 #ff00ff Magenta\n"},
    {"sample.pal", PaletteFormat::jasc,
     "4 #ff8000\n5 #0a141e\n6 !not a colour line\n7 #000000\n3 !the header says 5 colours, the file has 4\n"},
    {"sample-paintnet.txt", PaletteFormat::plain, "4 #ff8000\n5 #0a141e\n6 !not a colour\n7 !not a colour\n8 #000000\n"},
    {"sample.hex", PaletteFormat::plain, "1 #ff8000\n2 #0a141e\n3 #c86432\n5 #ffffff\n"},
    {"sample-css.txt", PaletteFormat::plain,
     "1 !not a colour\n3 #0a141e Navy-ish\n4 #ff8000\n5 #c86432 rust\n6 !not a colour: rgb()\n7 !not a colour: rgb()\n"
     "8 !not a colour: # needs\n11 #ff8800 short\n12 #ff8000 comma\n13 #010203 spaced\n14 !not a colour: # needs\n15 #0d0c0d\n"},
    {"sample.ase", PaletteFormat::ase,
     "2 #ff8000 Orange\n3 #008000 Gr\xC3\xBCn\n5 #808080 Mid grey\n6 !CMYK colour not read\n7 !LAB colour not read\n"
     "8 #336699 Smile \xF0\x9F\x98\x80\n9 !corrupt: a colour value outside 0..1\n"},
};

// Entries match when lines, colours and names agree and each reason begins
// with the words expected.
void expect_entries(const std::string& expected, const std::string& found, const char* what) {
  std::istringstream e(expected), f(found);
  std::string a, b;
  while (std::getline(e, a)) {
    std::getline(f, b);
    EXPECT_EQ(b.substr(0, a.find('!') == std::string::npos ? std::string::npos : a.size()), a) << what;
  }
  EXPECT_FALSE(std::getline(f, b)) << what << ": more entries than expected: " << b;
}

std::string palette_path(const char* file) { return data_path(std::string("palettes/") + file); }

} // namespace

TEST(PaletteReader, ReadsEachFormatWholeOrAByteAtATime) {
  for (const auto& sample : kSamples) {
    const std::string bytes = slurp(palette_path(sample.file));
    ASSERT_FALSE(bytes.empty()) << sample.file;
    PaletteFormat format;
    const std::string whole = describe(read_bytes(bytes, bytes.size(), &format));
    EXPECT_EQ(format, sample.format) << sample.file;
    expect_entries(sample.entries, whole, sample.file);
    EXPECT_EQ(describe(read_bytes(bytes, 1)), whole) << sample.file;
  }
}

// Every rule the reader states, just inside and just past its edge; each
// case read whole and a byte at a time.
TEST(PaletteReader, KeepsEachRuleAtItsEdges) {
  const std::string x4090 = "x" + std::string(4089, ' '), ase = slurp(palette_path("sample.ase")).substr(0, 12);
  const auto ase_block = [](std::uint32_t length, const std::string& body) { // type 1, a colour entry
    const char head[6] = {0, 1, char(length >> 24), char(length >> 16), char(length >> 8), char(length)};
    return std::string(head, 6) + body;
  };
  const std::string grey = std::string("\0\1\0\0Gray\x3f\x80\0\0\0\2", 14); // no name, white, a type
  const struct {
    std::string bytes;
    const char* entries;
  } cases[] = {
      // Channels: 255 is read, 256 and a number past any integer are not.
      {"255 255 255\n256 0 0\n0,256,0\nrgb(0, 0, 256)\n99999999999 0 0\n4294967296,0,0\n",
       "1 #ffffff\n2 !R, G and B\n3 !R, G and B\n4 !R, G and B\n5 !R, G and B\n6 !R, G and B\n"},
      {"GIMP Palette\n255 255 255 White\n0 0 256 Past\n", "2 #ffffff White\n3 !R, G and B\n"},
      {"JASC-PAL\n0100\n2\n255 0 255\n256 0 0\n", "4 #ff00ff\n5 !R, G and B\n"},
      // The JASC count: up to nine digits, and it must match the colour lines.
      {"JASC-PAL\n0100\n999999999\n1 2 3\n", "4 #010203\n3 !the header says 999999999 colours, the file has 1\n"},
      {"JASC-PAL\n0100\n1000000000\n1 2 3\n", "3 !not a JASC-PAL colour count\n4 #010203\n"},
      {"JASC-PAL\n0100\n0\n", ""},
      {"JASC-PAL\n0101\n1\n1 2 3\n", "2 !not a JASC-PAL version\n4 #010203\n"},
      // Where a colour ends and its name begins: at a blank, never inside a word.
      {"#ff8000 Orange \n#ff8000\tTab\n#ff8000Orange\nff8000 x\nff8000x\n1 2 3x\n1,2,3 y\n1 , 2 ,3\nrgb(1 2 3) z\nrgb(1,2,3)z\n",
       "1 #ff8000 Orange\n2 #ff8000 Tab\n3 !not a colour: unexpected\n4 #ff8000 x\n5 !not a colour\n6 !not a colour: unexpected\n"
       "7 #010203 y\n8 #010203\n9 #010203 z\n10 !not a colour: unexpected\n"},
      {"#f80\n#ff800\n#ff80000\nffff8000 AARRGGBB\n#ffff8000\n# a comment\n#\n; semicolon\n// slashes\n",
       "1 #ff8800\n2 !not a colour: # needs\n3 !not a colour: # needs\n4 #ff8000 AARRGGBB\n5 !not a colour: # needs\n"},
      // The byte order mark: dropped from the first line only.
      {"\xEF\xBB\xBFGIMP Palette\n1 2 3\n", "2 #010203\n"},
      {"1 2 3\n\xEF\xBB\xBF" "4 5 6\n", "1 #010203\n2 !not a colour\n"},
      // Lines: 4096 bytes are read whatever their end, 4097 are not, even after a colour.
      {"1 2 3 " + x4090 + "\n1 2 3 " + x4090 + "\r\n1 2 3 " + x4090 + "y\n#ff8000 " + x4090 + "\n4 5 6",
       "1 #010203 x\n2 #010203 x\n3 !line longer than 4096 bytes\n4 !line longer than 4096 bytes\n5 #040506\n"},
      {std::string("1 2 3 a\0b\n", 10), "1 !not text: a NUL byte\n"},
      // Names: valid UTF-8 is kept; anything else is U+FFFD a byte, a control character a blank.
      {"1 2 3 \xC3\xBC\xE2\x82\xAC\xF0\x9F\x98\x80 \x01\x7F|\xC0\x80|\xED\xA0\x80|\xF4\x90\x80\x80|\xE2\x82",
       "1 #010203 \xC3\xBC\xE2\x82\xAC\xF0\x9F\x98\x80   |\xEF\xBF\xBD\xEF\xBF\xBD|\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD|"
       "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD|\xEF\xBF\xBD\xEF\xBF\xBD\n"},
      // .ase blocks: the largest is read, one byte more is not; nothing after the last block is lost unsaid.
      {ase.substr(0, 11) + "\2" + ase_block(1u << 18, grey + std::string((1u << 18) - 14, '\0')) + ase_block((1u << 18) + 1, grey),
       "1 #ffffff\n2 !corrupt: a block of 262145 bytes\n"},
      {ase.substr(0, 11) + "\1" + ase_block(14, grey) + "!", "1 #ffffff\n2 !data after the last block\n"},
      {ase.substr(0, 11) + "\1" + ase_block(11, grey), "1 !corrupt: the colour's values run past\n2 !data after the last block\n"},
  };
  for (const auto& c : cases) {
    const std::string whole = describe(read_bytes(c.bytes, c.bytes.size()));
    expect_entries(c.entries, whole, c.bytes.substr(0, 40).c_str());
    EXPECT_EQ(describe(read_bytes(c.bytes, 1)), whole) << c.bytes.substr(0, 40);
  }
}

TEST(PaletteReader, ReportsHostileInputAndGoesOn) {
  const std::string ase = slurp(palette_path("sample.ase"));
  const std::size_t colours = 4;
  for (std::size_t cut = 0; cut < ase.size(); ++cut) { // cut anywhere, the rest is reported, never read past
    const auto entries = read_bytes(ase.substr(0, cut), 7);
    std::size_t read = 0;
    for (const auto& e : entries) read += e.read;
    EXPECT_LE(read, colours) << cut;
    if (cut >= 4) {
      EXPECT_TRUE(!entries.empty() && !entries.back().read) << cut;
    }
  }
  std::string huge_block = ase.substr(0, 12) + std::string("\x00\x01\xff\xff\xff\xff", 6);
  EXPECT_EQ(describe(read_bytes(huge_block, 64)), "1 !corrupt: a block of 4294967295 bytes; reading stops\n");
  std::string long_name = ase.substr(0, 12) + std::string("\x00\x01\x00\x00\x00\x04\xff\xff\x00\x41", 10);
  EXPECT_EQ(describe(read_bytes(long_name, 64)).substr(0, 47), "1 !corrupt: the name runs past the end of its e");

  EXPECT_EQ(describe(read_bytes(std::string("1 2 3\n4 5\0 6\n\xff\xfe 7 8 9\n10 11 12 \xc3\x28\x01name\n", 38), 5)),
            "1 #010203\n2 !not text: a NUL byte in the line\n3 !not a colour: use #rrggbb, #rgb, R G B, R,G,B or rgb(R, G, B)\n"
            "4 #0a0b0c \xEF\xBF\xBD( name\n");
  std::mt19937 rng(7);
  std::string junk(1 << 20, '\0');
  for (char& c : junk) c = static_cast<char>(rng());
  for (const auto& e : read_bytes(junk, 4093)) EXPECT_EQ(clean_utf8(e.name), e.name);
}

// A 100 MB line, then 200 MB of colour lines, handed out as a file would be:
// one line reported, every colour read, and memory that does not grow.
TEST(PaletteReader, StreamsAHugeLineAndAHugeFile) {
  static constexpr std::uint64_t kLines = (200u << 20) / 11; // of 11 bytes each
  struct Generated {
    std::uint64_t at, line_end, end;
  } g{0, 100u << 20, (100u << 20) + 11 * kLines};
  const auto source = [](void* context, char* buf, std::size_t size) -> std::size_t {
    Generated& s = *static_cast<Generated*>(context);
    std::size_t n = 0;
    for (; n < size && s.at < s.end; ++n, ++s.at) {
      const std::uint64_t in_lines = s.at - s.line_end;
      buf[n] = s.at < s.line_end ? (s.at + 1 == s.line_end ? '\n' : 'x') : "1 2 3 name\n"[in_lines % 11];
    }
    return n;
  };
  struct Counts {
    std::uint64_t read, unread, last_line;
  } counts{0, 0, 0};
  const auto sink = [](void* context, const PaletteEntry& e) {
    Counts& c = *static_cast<Counts*>(context);
    (e.read ? c.read : c.unread) += 1;
    c.last_line = e.line;
    return true;
  };
#if defined(__linux__)
  rusage before;
  getrusage(RUSAGE_SELF, &before);
#endif
  read_palette(source, &g, sink, &counts);
  EXPECT_EQ(counts.unread, 1u);
  EXPECT_EQ(counts.read, kLines);
  EXPECT_EQ(counts.last_line, 1 + kLines);
#if defined(__linux__)
  rusage after;
  getrusage(RUSAGE_SELF, &after);
  EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 16 * 1024) << "KiB more at the peak";
#endif
}

TEST(PaletteOutput, QuotesAndEscapesNamesAndChecksTemplates) {
  PaletteEntry e{12, true, 200, 100, 50, "a \"b\", c", ""};
  HsbAnswer a{};
  find_best_hsb_answer(a, 200, 100, 50);
  std::string out;
  for (const char* format : {"csv", "json", "gpl", "{{{name}}}\\t{red},{green},{blue} {rendered_hex}"}) {
    OutputSpec spec;
    std::string error;
    ASSERT_TRUE(parse_output_format(format, spec, error)) << error;
    append_row(spec, "x.gpl", e, a, out);
  }
  EXPECT_EQ(out,
            "x.gpl,12,\"a \"\"b\"\", c\",#c86432,13,78,255,23.438883,#bb5640\n"
            "{\"file\":\"x.gpl\",\"line\":12,\"name\":\"a \\\"b\\\", c\",\"hex\":\"#c86432\",\"hue\":13,\"saturation\":78,"
            "\"brightness\":255,\"distance\":23.438883,\"rendered_hex\":\"#bb5640\"}\n"
            "187  86  64\t13 78 255\n"
            "{a \"b\", c}\t200,100,50 #bb5640\n");
  OutputSpec spec;
  std::string error;
  for (const char* bad : {"cvs", "{hue", "{colour}", "}", "plain text"}) EXPECT_FALSE(parse_output_format(bad, spec, error)) << bad;
}

#if !defined(_WIN32) && !defined(__EMSCRIPTEN__)
// Every sample at once: each row's triple and distance are what Tintwise
// prints for its colour, each unread entry is on standard error as
// FILE:LINE: reason, in order, and the status says some were not read.
TEST(PaletteCommand, ConvertsEverySampleAsTintwisePrints) {
  std::vector<std::string> args = {"--format={file}\t{line}\t{name}\t{red} {green} {blue}\t{hue} {saturation} {brightness}\t{distance}"};
  std::string rows, problems;
  for (const auto& sample : kSamples) {
    const std::string path = palette_path(sample.file);
    args.push_back(path);
    for (const PaletteEntry& e : read_bytes(slurp(path), 4096)) {
      if (!e.read) {
        append_problem(path, e, problems);
        continue;
      }
      const std::string rgb[] = {std::to_string(e.red), std::to_string(e.green), std::to_string(e.blue)};
      const char* const argv[] = {"Tintwise", rgb[0].c_str(), rgb[1].c_str(), rgb[2].c_str()};
      CommandOutput tool;
      run_command(4, argv, tool);
      char distance[16];
      std::sscanf(tool.text, "[Distance between RGB and the best matching HSB = %15[0-9.]", distance);
      const HsbMatch& m = tool.match;
      rows += path + '\t' + std::to_string(e.line) + '\t' + e.name + '\t' + rgb[0] + ' ' + rgb[1] + ' ' + rgb[2] + '\t' +
              std::to_string(m.hue) + ' ' + std::to_string(m.saturation) + ' ' + std::to_string(m.brightness) + '\t' + distance + '\n';
    }
  }
  const ToolRun run = run_program(TINTWISE_PALETTE_EXE, args);
  EXPECT_EQ(run.out, rows);
  EXPECT_EQ(run.err, problems);
  EXPECT_EQ(run.status, 65);
}

// Standard input, formats, usage, missing files and failed writes.
TEST(PaletteCommand, ExitStatusesAndStreams) {
  const std::string hex = palette_path("sample.hex");
  const struct {
    std::vector<std::string> args;
    std::string redirect;
    int status;
    const char* out; // null: not checked
    const char* err; // null: not checked
  } runs[] = {
      {{"--format=gpl"}, "<" + hex, 0,
       "GIMP Palette\nName: Tintwise rendered colours\nColumns: 0\n#\n197  70  57\t7 70 255\n 10  20  30\t142 64 10\n"
       "187  86  64\t13 78 255\n209 209 209\t32 255 255\n", ""},
      {{"--format", "{hue}", "-"}, "</dev/null", 0, "", ""},
      {{}, "</dev/null", 0, "file,line,name,hex,hue,saturation,brightness,distance,rendered_hex\n", ""},
      {{"--version"}, "", 0, "tintwise-palette " TINTWISE_VERSION "\n", ""},
      {{"--format=cvs", hex}, "", 64, "", "tintwise-palette: unknown format 'cvs' (formats: csv, json, gpl, text, or a template with {fields})\nTry 'tintwise-palette --help'.\n"},
      {{"--colour"}, "", 64, "", "tintwise-palette: unknown option '--colour'\nTry 'tintwise-palette --help'.\n"},
      {{"--format"}, "", 64, "", "tintwise-palette: --format needs a value\nTry 'tintwise-palette --help'.\n"},
      {{"--format={line}", "no-such-file", hex}, "", 66, "1\n2\n3\n5\n", "tintwise-palette: no-such-file: cannot open: No such file or directory\n"},
      {{hex}, ">/dev/full", 1, nullptr, "tintwise-palette: write error: No space left on device\n"},
      // A file not opened outranks entries not read, whichever comes first.
      {{"--format={line}", "no-such-file", "-"}, "<" + palette_path("sample.pal"), 66, "4\n5\n7\n", nullptr},
      {{"--format={line}", "-", "no-such-file"}, "<" + palette_path("sample.pal"), 66, "4\n5\n7\n", nullptr},
      {{"--format={line}", "-", hex}, "<" + palette_path("sample.pal"), 65, "4\n5\n7\n1\n2\n3\n5\n", nullptr},
  };
  for (const auto& r : runs) {
    const ToolRun run = run_program(TINTWISE_PALETTE_EXE, r.args, r.redirect);
    const std::string what = r.args.empty() ? "(no arguments)" : r.args[0];
    EXPECT_EQ(run.status, r.status) << what;
    if (r.out) {
      EXPECT_EQ(run.out, r.out) << what;
    }
    if (r.err) {
      EXPECT_EQ(run.err, r.err) << what;
    }
  }
  const ToolRun help = run_program(TINTWISE_PALETTE_EXE, {"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.out.rfind("Usage: tintwise-palette", 0), 0u);
}

// A CSV document as RFC 4180 reads it, records ending in "\n"; false where
// a field breaks its rules.
bool parse_csv(const std::string& t, std::vector<std::vector<std::string>>& rows) {
  rows.clear();
  for (std::size_t i = 0; i < t.size();) {
    rows.emplace_back();
    for (char end = ','; end == ',';) {
      std::string field;
      if (t[i] == '"') {
        for (++i; i < t.size() && (t[i] != '"' || (i + 1 < t.size() && t[i + 1] == '"')); ++i) field += t[t[i] == '"' ? i++ : i];
        if (i++ >= t.size()) return false;
      } else {
        for (; i < t.size() && t[i] != ',' && t[i] != '\n'; ++i) {
          if (t[i] == '"' || t[i] == '\r') return false;
          field += t[i];
        }
      }
      rows.back().push_back(field);
      if (i >= t.size() || (t[i] != ',' && t[i] != '\n')) return false;
      end = t[i++];
    }
  }
  return true;
}

// One JSON Lines record as a strict parser reads it: an object of strings
// (valid UTF-8, escapes decoded) and numbers; false on anything JSON forbids.
bool parse_json(const std::string& t, std::map<std::string, std::string>& fields) {
  std::size_t i = 0;
  const auto string = [&](std::string& out) {
    if (i >= t.size() || t[i++] != '"') return false;
    for (; i < t.size() && t[i] != '"'; ++i) {
      const unsigned char c = static_cast<unsigned char>(t[i]);
      if (c < 0x20) return false;
      if (c != '\\') {
        out += t[i];
      } else if (i + 1 < t.size() && std::strchr("\"\\/bfnrt", t[i + 1]) && t[i + 1] != '\0') {
        out += "\"\\/\b\f\n\r\t"[std::strchr("\"\\/bfnrt", t[++i]) - "\"\\/bfnrt"];
      } else if (i + 5 < t.size() && t[i + 1] == 'u' && std::isxdigit(t[i + 2]) && std::isxdigit(t[i + 3]) &&
                 std::isxdigit(t[i + 4]) && std::isxdigit(t[i + 5])) {
        out += static_cast<char>(std::stoi(t.substr(i + 2, 4), nullptr, 16)); // only ASCII is written so
        i += 5;
      } else {
        return false;
      }
    }
    return i++ < t.size() && clean_utf8(out) == out;
  };
  if (t.empty() || t[i++] != '{') return false;
  for (char next = ','; next == ',';) {
    std::string key, value;
    if (!string(key) || i >= t.size() || t[i++] != ':') return false;
    if (i < t.size() && t[i] == '"') {
      if (!string(value)) return false;
    } else {
      while (i < t.size() && std::strchr("-0123456789.eE+", t[i]) && t[i] != '\0') value += t[i++];
      if (value.empty()) return false;
    }
    fields[key] = value;
    if (i >= t.size()) return false;
    next = t[i++];
    if (next != ',' && next != '}') return false;
  }
  return i == t.size();
}

// Names and a file name that hold what CSV and JSON must quote or escape:
// both formats parse strictly, and give back each name as read.
TEST(PaletteCommand, WritesRowsAStrictParserReadsForAnyName) {
  const std::string path = "/tmp/tintwise-palette odd, \"name\" \\.txt";
  const std::string palette = "1 2 3 a \"quoted\", name\n4 5 6 back\\slash\\\n7 8 9 ctl\x01x\x7f\x1b[31m\n"
                              "10 11 12 bad\xff\xfe utf\n13 14 15 tab\there\n16 17 18 \xF0\x9F\x98\x80 \\u0041 {}\n19 20 21 a, b\n";
  std::ofstream(path, std::ios::binary) << palette;
  const auto entries = read_bytes(palette, 4096);
  std::vector<std::vector<std::string>> csv;
  ASSERT_TRUE(parse_csv(run_program(TINTWISE_PALETTE_EXE, {path}).out, csv));
  ASSERT_EQ(csv.size(), entries.size() + 1);
  std::istringstream json(run_program(TINTWISE_PALETTE_EXE, {"--format=json", path}).out);
  std::string line;
  for (std::size_t k = 0; k < entries.size(); ++k) {
    EXPECT_EQ(csv[k + 1].size(), 9u);
    EXPECT_EQ(csv[k + 1][0], path);
    EXPECT_EQ(csv[k + 1][2], entries[k].name);
    std::map<std::string, std::string> fields;
    ASSERT_TRUE(std::getline(json, line) && parse_json(line, fields)) << line;
    EXPECT_EQ(fields["file"], path);
    EXPECT_EQ(fields["name"], entries[k].name);
    EXPECT_EQ(fields["hex"], csv[k + 1][3]);
  }
  std::remove(path.c_str());
}

// More distinct colours than the table of recent colours has slots, each
// followed now and then by a colour from up to 20,000 rows back, whose slot
// another colour may have taken since: every row is the library's answer
// for its own colour.
TEST(PaletteCommand, RepeatsGetTheirOwnColoursAnswer) {
  std::mt19937 rng(2024);
  std::vector<std::uint32_t> distinct, order;
  std::vector<bool> used(1u << 24);
  while (distinct.size() < 70000) {
    const std::uint32_t c = rng() & 0xFFFFFF;
    if (used[c]) continue;
    used[c] = true;
    distinct.push_back(c);
    order.push_back(c);
    if (distinct.size() % 3 == 0) order.push_back(distinct[distinct.size() - 1 - rng() % std::min<std::size_t>(distinct.size(), 20000)]);
  }
  const std::string input = "/tmp/tintwise-palette-repeats.txt";
  {
    std::ofstream out(input, std::ios::binary);
    for (const std::uint32_t c : order) out << (c >> 16) << ' ' << (c >> 8 & 255) << ' ' << (c & 255) << '\n';
  }
  std::istringstream rows(run_program(TINTWISE_PALETTE_EXE, {"--format={red} {green} {blue} {hue} {saturation} {brightness} {distance}", input}).out);
  std::size_t n = 0, wrong = 0;
  for (std::string row; std::getline(rows, row); ++n) {
    const std::uint32_t c = n < order.size() ? order[n] : 0;
    HsbAnswer a{};
    find_best_hsb_answer(a, static_cast<std::int32_t>(c >> 16), c >> 8 & 255, c & 255);
    const std::string expected = std::to_string(c >> 16) + ' ' + std::to_string(c >> 8 & 255) + ' ' + std::to_string(c & 255) + ' ' +
                                 std::to_string(a.match.hue) + ' ' + std::to_string(a.match.saturation) + ' ' + std::to_string(a.match.brightness) + ' ' + a.distance;
    if (row != expected && ++wrong <= 3) ADD_FAILURE() << "row " << n + 1 << ": " << row << ", expected " << expected;
  }
  EXPECT_EQ(n, order.size());
  std::remove(input.c_str());
}

// A write that fails part way leaves only whole rows in the file.
TEST(PaletteCommand, LeavesNoHalfWrittenRow) {
  if (std::strlen(TINTWISE_EMULATOR) > 0) GTEST_SKIP() << "the shell would run under the emulator";
  std::string many;
  for (int i = 0; i < 40000; ++i) many += std::to_string(i % 256) + " " + std::to_string(i / 256 % 256) + " 7 a name\n";
  const std::string input = "/tmp/tintwise-palette-many.txt", output = "/tmp/tintwise-palette-limited.csv";
  std::ofstream(input, std::ios::binary) << many;
  // A file size limit of 200 blocks of 512 bytes makes the write fail part
  // way (SIGXFSZ ignored, so write() reports EFBIG).
  const ToolRun run = run_program("/bin/sh", {"-c", "trap '' XFSZ; ulimit -f 200; exec \"$0\" \"$1\" >\"$2\"", TINTWISE_PALETTE_EXE, input, output});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "tintwise-palette: write error: File too large\n");
  const std::string written = slurp(output);
  EXPECT_GT(written.size(), 100000u);
  EXPECT_EQ(written.back(), '\n');
  std::remove(input.c_str());
  std::remove(output.c_str());
}
#endif
