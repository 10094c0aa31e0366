// Palettes: the reader on hand-written files of every format (names,
// comments, bad lines, edge cases), whole or a byte at a time; the reader
// against hostile input; and tintwise-palette as a process, its rows against
// what Tintwise prints for the same colours, its formats and exit statuses.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <map>
#include <random>
#include <sstream>
#include <tuple>

#include "driver.h"
#include "palette_output.h"
#include "tool_run.h"
#include "tintwise/palette.h"
#ifdef TINTWISE_HAVE_ZLIB
#include <zlib.h>

#include "tintwise/palette_zlib.h"
#endif
#ifdef TINTWISE_HAVE_EXPAT
#include "xml_oracle.h"
#endif

#if defined(__linux__)
#include <sys/resource.h>
#endif

using namespace tintwise;
using namespace tintwise_tests;
using namespace std::string_literals;

namespace {

// Hands out `bytes` at most `chunk` at a time; with `pause`, the first read
// stops there and the source then says it has nothing ready, as a pipe whose
// writer waits.
struct Bytes {
  const std::string& bytes;
  std::size_t at, chunk, pause = 0;
};
std::size_t from_bytes(void* context, char* buf, std::size_t size) {
  Bytes& b = *static_cast<Bytes*>(context);
  const std::size_t n = std::min({size, b.chunk, b.bytes.size() - b.at, b.at < b.pause ? b.pause - b.at : size});
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
    out += (e.unit == PaletteUnit::file ? "-" : std::to_string(e.line)) + (e.read ? " " + std::string(hex) + (e.name.empty() ? "" : " " + e.name) : " !" + e.reason) + "\n";
  }
  return out;
}

// Read as the programs read: with zlib as the inflater where the target has it.
std::vector<PaletteEntry> read_bytes(const std::string& bytes, std::size_t chunk, PaletteFormat* format = nullptr,
                                     PaletteMode mode = PaletteMode::palette, std::size_t pause = 0, bool vga = false) {
  std::vector<PaletteEntry> entries;
  Bytes source{bytes, 0, chunk, pause};
  const auto ready = [](void* context) { const Bytes& b = *static_cast<Bytes*>(context); return b.at != b.pause; };
  PaletteOptions options;
#ifdef TINTWISE_HAVE_ZLIB
  options = zlib_options();
#endif
  options.mode = mode;
  options.vga = vga;
  const PaletteFormat f = read_palette({from_bytes, &source, pause ? +ready : nullptr}, keep, &entries, options);
  if (format) *format = f;
  return entries;
}

// What each sample holds, entry by entry (reasons by their first words; "-"
// for a reason about the whole file; "...N": N entries in all, the rest not
// listed).
const struct {
  const char* file;
  PaletteFormat format;
  const char* entries;
  PaletteMode mode = PaletteMode::palette;
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
     "8 !not a colour: # needs\n11 #ff8800 short\n12 #ff8000 comma\n13 #010203 spaced\n14 #ff8000\n15 #0d0c0d\n"},
    {"sample-utf16.gpl", PaletteFormat::gimp, "3 #ff8000 Orange\n4 #0a141e Caf\xC3\xA9 \xF0\x9F\x98\x80\n5 !R, G and B\n"},
    {"sample.ase", PaletteFormat::ase,
     "2 #ff8000 Orange\n3 #008000 Gr\xC3\xBCn\n5 #808080 Mid grey\n6 !CMYK colour not read\n7 !LAB colour not read\n"
     "8 #336699 Smile \xF0\x9F\x98\x80\n9 !corrupt: a colour value outside 0..1\n"},
    // Version 2 alone, though version 1 comes first; RGB as round(v / 257), HSB computed.
    {"sample.aco", PaletteFormat::aco,
     "0 #ff8000 Orange\n1 #00ff00 Green HSB\n2 !CMYK colour not read\n3 !Lab colour not read\n4 !Grayscale colour not read\n"
     "5 #1280ff Odd \xF0\x9F\x98\x80\n6 !a named ink\n"},
    {"sample-v1.aco", PaletteFormat::aco, "0 #ff8000\n1 #00ff00\n2 #1280ff\n"},
    {"sample.act", PaletteFormat::act, "0 #00ff00\n1 #01fe07\n255 #ff00f9\n...256"},
    {"sample-vga.pal", PaletteFormat::act, "0 #000000\n1 #00002a\n15 #3f3f3f\n...256"},
    {"sample-count.act", PaletteFormat::act, "0 #00ff00\n1 #01fe07\n2 #02fd0e\n3 #03fc15 transparent\n4 #04fb1c\n...16"},
    {"sample-riff.pal", PaletteFormat::riff, "0 #ff8000\n1 #0a141e\n2 #000000\n"},
    {"sample.soc", PaletteFormat::soc,
     "4 #ff8000 Orange & \"Co\"\n5 #0a141e Caf\xC3\xA9 \xF0\x9F\x98\x80\n7 #c86432 Over <two> lines\n10 !not a colour: draw:color\n"},
    {"sample-scribus.xml", PaletteFormat::scribus,
     "3 #ff8000 Orange\n4 #0a141e Gr\xC3\xBCn 'n' \xE2\x82\xAC\n5 !CMYK colour not read\n6 !CMYK colour not read\n7 #c86432 Spaced\n"
     "8 !Lab colour not read\n"},
    {"sample.png", PaletteFormat::png, "0 #ff8000\n1 #0a141e\n2 #c86432\n3 #ffffff\n"},
    {"sample.gif", PaletteFormat::gif, "0 #ff8000\n1 #0a141e\n2 #c86432\n3 #000000\n"},
    {"sample.bmp", PaletteFormat::bmp, "0 #ff8000\n1 #0a141e\n2 #c86432\n3 #000000\n4 #ffffff\n"},
    {"sample-os2.bmp", PaletteFormat::bmp, "0 #00ff00\n1 #11ee35\n15 #ff001b\n...16"},
    {"sample-4bit.pcx", PaletteFormat::pcx, "0 #00ff00\n1 #11ee35\n15 #ff001b\n...16"},
    {"sample-8bit.pcx", PaletteFormat::pcx, "0 #0000ff\n1 #0103fe\n255 #fffd00\n...256"},
    // Zip archives made by Python's zipfile, their palettes deflated: Krita's in the order Krita shows them (by
    // place, then each group), Procreate's by slot (slot 1 empty). An Aseprite picture with both palette chunks.
    {"sample.kpl", PaletteFormat::kpl,
     "7 #ff8000 Orange\n3 #0080ff Blue\n11 !CMYK colour not read\n15 #643214 Caf\xC3\xA9 & co\n20 #f0c8a0 Light\n24 !RGB colour in the profile\n"},
    {"sample.swatches", PaletteFormat::swatches,
     "0 #ff8000\n2 #808080\n3 #ff0000\n4 !not read: a swatch in another colour space\n5 !not read: a swatch in the colour profile Display P3\n"
     "6 !not read: a swatch whose colour is given only as components\n"},
    {"sample.aseprite", PaletteFormat::aseprite, "0 #000000 transparent\n1 #ff8000 Orange\n2 #0a141e\n3 #c86432 Rust\n"},
    {"sample-find.css", PaletteFormat::found,
     "2 #ff8000 --accent\n2 #0a141e --shadow\n2 #ffffff --pale\n3 #0a141e color\n3 #c86432 border\n3 #ffffff background\n"
     "3 #000000 background\n5 #1e1e1e editor.background\n6 #ff8000 ConsoleColor\n7 #c86432 Tint\n8 !not read: a colour written with fractions\n"
     "9 !R, G and B\n", PaletteMode::find},
};

// Entries match when places, colours and names agree and each reason begins
// with the words expected. Where the expected list ends in "...N", the found
// entries listed by place must match and there must be N in all.
void expect_entries(const std::string& expected, const std::string& found, const char* what) {
  const std::size_t dots = expected.find("...");
  std::vector<std::string> lines;
  std::map<std::string, std::string> at; // found entries by place, for a list of only some
  std::istringstream f(found), e(expected.substr(0, dots));
  for (std::string b; std::getline(f, b);) lines.push_back(b), at[b.substr(0, b.find(' '))] = b;
  std::size_t n = 0;
  for (std::string a; std::getline(e, a); ++n) {
    const std::string b = dots != std::string::npos ? at[a.substr(0, a.find(' '))] : n < lines.size() ? lines[n] : "";
    EXPECT_EQ(b.substr(0, a.find('!') == std::string::npos ? std::string::npos : a.size()), a) << what;
  }
  EXPECT_EQ(lines.size(), dots == std::string::npos ? n : std::stoul(expected.substr(dots + 3))) << what << ": " << found;
}

std::string palette_path(const char* file) { return data_path(std::string("palettes/") + file); }

// What tintwise-palette says, once a run, of a colour table that may be a VGA palette.
[[maybe_unused]] std::string vga_note(const std::string& path) { // (no command is run on WebAssembly)
  return "tintwise-palette: " + path + ": every value of this colour table lies in 0..63, as in a DOS-era game's VGA palette; if it is one, read it with --vga\n";
}

// Whether a sample ("": any deflated entry) needs an inflater this target lacks (WebAssembly has no zlib: the page
// inflates with the browser's).
bool needs_zlib(const char* file) {
#ifdef TINTWISE_HAVE_ZLIB
  return file == nullptr;
#else
  return !*file || std::strstr(file, ".kpl") || std::strstr(file, ".swatches");
#endif
}

} // namespace

TEST(PaletteReader, ReadsEachFormatWholeOrAByteAtATime) {
  for (const auto& sample : kSamples) {
    if (needs_zlib(sample.file)) continue;
    const std::string bytes = slurp(palette_path(sample.file));
    ASSERT_FALSE(bytes.empty()) << sample.file;
    PaletteFormat format;
    const std::string whole = describe(read_bytes(bytes, bytes.size(), &format, sample.mode));
    EXPECT_EQ(format, sample.format) << sample.file;
    expect_entries(sample.entries, whole, sample.file);
    EXPECT_EQ(describe(read_bytes(bytes, 1, nullptr, sample.mode)), whole) << sample.file;
    for (std::size_t pause = 1; pause <= 16; ++pause) EXPECT_EQ(describe(read_bytes(bytes, 4096, nullptr, sample.mode, pause)), whole) << sample.file << " paused at " << pause;
  }
}

// A case read whole, a byte at a time and paused at each of its first bytes: the same entries, those expected.
static void expect_read(const std::string& bytes, const std::string& entries, PaletteMode mode = PaletteMode::palette, bool vga = false) {
  const std::string whole = describe(read_bytes(bytes, bytes.size(), nullptr, mode, 0, vga));
  expect_entries(entries, whole, bytes.substr(0, 40).c_str());
  EXPECT_EQ(describe(read_bytes(bytes, 1, nullptr, mode, 0, vga)), whole) << bytes.substr(0, 40);
  for (std::size_t pause = 1; pause <= 16; ++pause) EXPECT_EQ(describe(read_bytes(bytes, 4096, nullptr, mode, pause, vga)), whole) << bytes.substr(0, 16) << " paused at " << pause;
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
  const auto le = [](auto v, int n) { // n bytes, little-endian
    std::string out;
    for (int i = 0; i < n; ++i) out += static_cast<char>(static_cast<std::uint64_t>(v) >> (8 * i));
    return out;
  };
  const auto be = [&le](std::uint32_t v, int n) { std::string out = le(v, n); return std::string(out.rbegin(), out.rend()); };
  const std::string png = "\x89PNG\r\n\x1a\n", act = slurp(palette_path("sample.act")), counted = slurp(palette_path("sample-count.act"));
  const auto with = [](std::string bytes, const std::string& head) { return bytes.replace(0, head.size(), head); };
  const auto ihdr = [&be](int type) { // 1 by 1 pixel, 8 bits; its CRC as zlib's crc32() gives it
    return be(13, 4) + "IHDR" + be(1, 4) + be(1, 4) + "\x08" + char(type) + std::string(3, '\0') + be(type == 0 ? 0x3a7e9b55 : type == 2 ? 0x907753de : 0x28cb34bb, 4);
  };
  std::string bad_plte = slurp(palette_path("sample.png"));
  bad_plte[bad_plte.find("PLTE") + 5] ^= 1;
  const auto bmp = [&le](int bits, std::uint32_t used, std::uint32_t room = 16) { // a Windows info header, 16 entries of 4 bytes, pixels after `room` of them
    return "BM" + le(0, 8) + le(54 + 4 * room, 4) + le(40, 4) + le(1, 4) + le(1, 4) + le(1, 2) + le(bits, 2) + std::string(16, '\0') +
           le(used, 4) + le(0, 4) + std::string(64, '\x20');
  };
  const auto pcx = [](int version, int bits, int planes, const std::string& colours = "") { // a 128-byte header with the header palette's first colours
    return (std::string{10, char(version), 1, char(bits)} + std::string(61, '\0') + char(planes) + '\1' + std::string(61, '\0')).replace(16, colours.size(), colours);
  };
  const std::string black_white = std::string(3, '\0') + std::string(3, '\xff');
  const auto aco_names = [&be](std::uint32_t count) { // version 2 alone, each colour named "A"
    std::string out = be(2, 2) + be(count, 2);
    for (std::uint32_t i = 0; i < count; ++i) out += std::string(10, '\0') + be(1, 4) + std::string("\0A", 2);
    return out;
  };
  const auto aco2 = [&be](std::uint32_t units, const std::string& name) {
    return be(2, 2) + be(1, 2) + be(0, 2) + be(65535, 2) + std::string(6, '\0') + be(units, 4) + name;
  };
  const auto times = [](const std::string& t, std::size_t n) { std::string out; while (n-- > 0) out += t; return out; };
  const auto utf16 = [](const std::string& ascii, bool big_endian) { // each character a unit
    std::string out;
    for (const char c : ascii) out += big_endian ? std::string{'\0', c} : std::string{c, '\0'};
    return out;
  };
  const std::string scribus = "<SCRIBUSCOLORS><COLOR RGB=\"#ff8000\"/></SCRIBUSCOLORS>";
  const auto declared = [&](const char* encoding, int bytes) { // a Scribus palette in UTF-8 (0), or UTF-16 LE (1) or BE (2) with its byte order mark
    const std::string doc = std::string("<?xml version=\"1.0\" encoding=\"") + encoding + "\"?>" + scribus;
    return bytes == 0 ? doc : (bytes == 1 ? "\xFF\xFE" : "\xFE\xFF") + utf16(doc, bytes == 2);
  };
  const auto entities = [&](int n) { return "<!DOCTYPE SCRIBUSCOLORS [" + times("<!ENTITY e0000 \"\">", static_cast<std::size_t>(n)) + "]>\n" + scribus; };
  const std::string tag = "<SCRIBUSCOLORS>\n<", pre = "COLOR RGB=\"#ff8000\" NAME=\"", post = "\"/";
  const std::string fits(65536 - pre.size() - post.size(), ' ');
  const std::string find_fits = "#ff8000" + std::string(kPaletteMaxFindLine - 7, ' ');
  const struct {
    std::string bytes;
    std::string entries;
    PaletteMode mode = PaletteMode::palette;
  } cases[] = {
      // Channels: 255 is read, 256 and a number past any integer are not.
      {"255 255 255\n256 0 0\n0,256,0\nrgb(0, 0, 256)\n99999999999 0 0\n4294967296,0,0\n",
       "1 #ffffff\n2 !R, G and B\n3 !R, G and B\n4 !R, G and B\n5 !R, G and B\n6 !R, G and B\n"},
      {"GIMP Palette\n255 255 255 White\n0 0 256 Past\n", "2 #ffffff White\n3 !R, G and B\n"},
      {"JASC-PAL\n0100\n2\n255 0 255\n256 0 0\n", "4 #ff00ff\n5 !R, G and B\n"},
      // The level editor's text is no palette (its lights are tintwise-lights'); in find mode, a text like any other.
      {"\r\n begin MAP\r\nBegin Actor Class=Light\r\nLightHue=3\r\n", "- !not a palette: T3D text (actors copied from the level editor, or a map exported); tintwise-lights"},
      {"Begin Actor\tClass=Light\n(R=1,G=2,B=3)\n", "- !not a palette: T3D text"},
      {"Begin Mapping\n#ff8000\n", "1 !not a colour\n2 #ff8000\n"},
      {"Begin Map\nColor=(R=1,G=2,B=3)\n", "2 #010203 Color\n", PaletteMode::find},
      // The JASC count: up to nine digits, and it must match the colour lines.
      {"JASC-PAL\n0100\n999999999\n1 2 3\n", "4 #010203\n3 !the header says 999999999 colours, the file has 1\n"},
      {"JASC-PAL\n0100\n1000000000\n1 2 3\n", "3 !not a JASC-PAL colour count\n4 #010203\n"},
      {"JASC-PAL\n0100\n0\n", ""},
      {"JASC-PAL\n0101\n1\n1 2 3\n", "2 !not a JASC-PAL version\n4 #010203\n"},
      // Where a colour ends and its name begins: at a blank, never inside a word.
      {"#ff8000 Orange \n#ff8000\tTab\n#ff8000Orange\nff8000 x\nff8000x\n1 2 3x\n1,2,3 y\n1 , 2 ,3\nrgb(1 2 3) z\nrgb(1,2,3)z\n",
       "1 #ff8000 Orange\n2 #ff8000 Tab\n3 !not a colour: unexpected\n4 #ff8000 x\n5 !not a colour\n6 !not a colour: unexpected\n"
       "7 #010203 y\n8 #010203\n9 #010203 z\n10 !not a colour: unexpected\n"},
      {"#f80\n#ff800\n#ff80000\nffff8000 AARRGGBB\n#ffff8000\n# a comment\n#\n; semicolon\n// slashes\n#f80a\n#ff8000a\n",
       "1 #ff8800\n2 !not a colour: # needs\n3 !not a colour: # needs\n4 #ff8000 AARRGGBB\n5 #ffff80\n10 #ff8800\n11 !not a colour: # needs\n"},
      // Line ends: LF, CR LF and CR alone; a Ctrl-Z that ends the input ends the text, one before its end does not.
      {"1 2 3 a\r4 5 6 b\r\n7 8 9\r\r\n\n10 11 12\x1a", "1 #010203 a\n2 #040506 b\n3 #070809\n6 #0a0b0c\n"},
      {"JASC-PAL\r\n0100\r\n1\r\n1 2 3\r\n\x1a", "4 #010203\n"},
      {"1 2 3\n\x1a\n", "1 #010203\n2 !not a colour\n"},
      {"1 2 3\n4 5 6\x1a\x1a\x1a", "1 #010203\n2 #040506\n"},
      {"1 2 3\n" + std::string(5000, '\x1a'), "1 #010203\n"},
      {"1 2 3\x1a\x1a 4\n", "1 !not a colour: unexpected\n- !not a palette: no line holds a colour\n"},
      // Comments: netpbm's "#!" line; Paint.NET's ";" after a colour, with or without blanks, but not inside a name.
      {"#! netpbm rgb.txt\n1 2 3\tblack\n", "2 #010203 black\n"},
      {"; paint.net\nFFFF8000;Orange\nFF112233 ; note\n#ff8000;x\n1,2,3 ;y\n#ff8000 a;b\nFF112233x\n",
       "2 #ff8000\n3 #112233\n4 #ff8000\n5 #010203\n6 #ff8000 a;b\n7 !not a colour\n"},
      // X11's rgb.txt: "!" comments. Four numbers are index R G B or CMYK, and not guessed; a GIMP palette's names may be numbers.
      {"! $Xorg: rgb.txt\n255 250 250\t\tsnow\n0 255 128 0\n1,2,3,4 cmyk\n1 2 3 4x\n",
       "2 #fffafa snow\n3 !not read: four or more numbers could be an index then R G B, or C M Y K\n4 !not read: four\n5 #010203 4x\n"},
      {"GIMP Palette\n1 2 3 4\n", "2 #010203 4\n"},
      // The byte order mark: dropped from the first line only.
      {"\xEF\xBB\xBFGIMP Palette\n1 2 3\n", "2 #010203\n"},
      {"1 2 3\n\xEF\xBB\xBF" "4 5 6\n", "1 #010203\n2 !not a colour\n"},
      // Lines: 4096 bytes are read whatever their end, 4097 are not, even after a colour.
      {"1 2 3 " + x4090 + "\n1 2 3 " + x4090 + "\r\n1 2 3 " + x4090 + "y\n#ff8000 " + x4090 + "\n4 5 6",
       "1 #010203 x\n2 #010203 x\n3 !line longer than 4096 bytes\n4 !line longer than 4096 bytes\n5 #040506\n"},
      {std::string("1 2 3 first\n4 5 6 a\0b\n", 22), "1 #010203 first\n2 !not text: a NUL byte\n"},
      // Names: valid UTF-8 is kept; anything else is U+FFFD a byte, a control character a blank.
      {"; a comment, as long as the names below, which are mostly what is not text: a file of such names alone is binary\n"
       "1 2 3 \xC3\xBC\xE2\x82\xAC\xF0\x9F\x98\x80 \x01\x7F|\xC0\x80|\xED\xA0\x80|\xF4\x90\x80\x80|\xE2\x82",
       "2 #010203 \xC3\xBC\xE2\x82\xAC\xF0\x9F\x98\x80   |\xEF\xBF\xBD\xEF\xBF\xBD|\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD|"
       "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD|\xEF\xBF\xBD\xEF\xBF\xBD\n"},
      // .ase blocks: the largest is read, one byte more is not; nothing after the last block is lost unsaid.
      {ase.substr(0, 11) + "\2" + ase_block(1u << 18, grey + std::string((1u << 18) - 14, '\0')) + ase_block((1u << 18) + 1, grey),
       "1 #ffffff\n2 !corrupt: a block of 262145 bytes\n"},
      {ase.substr(0, 11) + "\1" + ase_block(14, grey) + "!", "1 #ffffff\n2 !data after the last block\n"},
      {ase.substr(0, 11) + "\1" + ase_block(11, grey), "1 !corrupt: the colour's values run past\n2 !data after the last block\n"},
      {ase.substr(0, 11) + "\1" + ase_block(6, std::string("\0\4\xff\xff\0\x41", 6)), "1 !corrupt: the name runs past the end\n"},
      // Text and binary data: a text of 768 bytes is no colour table; UTF-16 is
      // text with its byte order mark; what is neither is said once.
      {"1 2 3" + std::string(762, ' ') + "\n", "1 #010203\n"},
      {std::string("\xFE\xFF\0" "1\0 \0" "2\0 \0" "3\0\n", 14), "1 #010203\n"},
      {std::string("\xFF\xFE" "1\0 \0" "2\0 \0" "3\0 \0" "\0\xD8" "x\0\n\0" "Z", 21), "1 #010203 \xEF\xBF\xBDx\n2 !not a colour\n"},
      {std::string("\xFF\xD8\xFF\xE0\0\x10JFIF\0\1\1\0\0\1\0\1\0\0\xFF\xDB", 22), "- !not a palette: a JPEG picture\n"},
      {std::string("PK\x03\x04\x14\0kpl", 9), "- !truncated or corrupt: a zip archive without an end record that leads to its central directory\n"},
      {std::string("abc\0def\n1 2 3\n", 14), "- !not a palette: binary data of no known format\n"},
      // Binary data, told from text: control characters in more than 1 byte of 20, bytes not UTF-8 in more than 1 of 10.
      {"1 2 3 \x01\x02" + std::string(32, 'x'), "1 #010203   " + std::string(32, 'x') + "\n"},
      {"1 2 3 \x01\x02" + std::string(31, 'x'), "- !not a palette: binary data\n"},
      {"1 2 3 ca\xe9\n", "1 #010203 ca\xEF\xBF\xBD\n"},
      {"1 2 3 c\xe9\n", "- !not a palette: binary data\n"},
      {"root:x:0:0:root:/root:/bin/bash\ndaemon:x:1:1::/:/usr/sbin/nologin\n", "1 !not a colour\n2 !not a colour\n- !not a palette: no line holds a colour\n"},
      // Formats told by their whole structure, never by their first bytes or their timing: tables of 768 and 772 bytes
      // that begin like another format, a shifted picture, text that begins like a magic number, XML after blank lines.
      {with(act, std::string("\0\1\0\2", 4)), "0 #000100\n...256"},
      {with(act, std::string("\0\2\0\1", 4)), "0 #000200\n...256"},
      {with(counted, std::string("\0\1\0\0", 4)), "0 #000100\n3 #03fc15 transparent\n...16"},
      {with(act, "\x0a\x05\x01\x08"), "0 #0a0501\n...256"},
      {with(counted, "\x0a\x05\x01\x04"), "0 #0a0501\n...16"},
      {with(act, "\xFF\xD8\xFF\xE0"), "0 #ffd8ff\n...256"},
      {with(act, "BM"), "0 #424d00\n...256"},
      {with(act, "GIMP Palette"), "0 #47494d\n...256"},
      {with(act, "1 2 3 x"), "0 #312032\n...256"},
      {with(act, "ab\n"), "0 #61620a\n...256"}, // a line feed among a table's first bytes, which no pause makes a typed line
      // A table's first colour may be a UTF-16 byte order mark, or an .aco's start followed by black; an .aco or UTF-16 text of the size stays so.
      {with(act, "\xFE\xFF\xFF"), "0 #feffff\n...256"},
      {with(act, "\xFF\xFE\0"), "0 #fffe00\n...256"},
      {std::string("\0\1\0\x50", 4) + std::string(764, '\0') + be(2, 2) + be(0xFFFF, 2), "0 #000100\n1 #500000\n"},
      {aco2(375, times(std::string("\0A", 2), 374) + std::string(2, '\0')), "0 #ff0000 " + std::string(374, 'A') + "\n"},
      {"\xFF\xFE" + utf16("1 2 3\n", false) + utf16(std::string(377, ' '), false), "1 #010203\n"},
      {std::string(1, '\0') + slurp(palette_path("sample.png")), "- !not a palette: binary data\n"},
      {"GIF8 and RIFF begin this text\n1 2 3\n", "1 !not a colour\n2 #010203\n"},
      {"\n \r\n" + slurp(palette_path("sample.soc")), "6 #ff8000 Orange & \"Co\"\n12 !not a colour: draw:color\n...4"},
      {"\xEF\xBB\xBF\n" + slurp(palette_path("sample-scribus.xml")).substr(38), "4 #ff8000 Orange\n...6"},
      // Colour tables: their counts and lengths, just inside and just past what they may say.
      {act + be(1, 2) + be(0xFFFF, 2), "0 #00ff00\n"},
      {act + be(256, 2) + be(0, 2), "0 #00ff00 transparent\n1 #01fe07\n...256"},
      {act + be(257, 2) + be(0xFFFF, 2), "- !corrupt: the colour count 257\n0 #00ff00\n...257"},
      {act.substr(0, 767), "- !not a palette: binary data\n"},
      {act + "\x01", "- !not a palette: binary data\n"},
      {be(1, 2) + be(2, 2) + std::string(19, '\0'), "- !truncated: the file ends inside its 2 colours\n"},
      {aco2(1024, std::string(2046, '\0') + std::string("\0A", 2)), "0 #ff0000\n"},
      {aco2(1025, std::string(2050, '\0')), "- !not a palette: binary data of no known format (a NUL byte in its first line); it begins like an Adobe .aco"},
      {aco2(2, std::string("\0A", 2)), "0 !truncated: the file ends inside the name\n"},
      {"RIFF" + le(0, 4) + "PAL data" + le(12, 4) + le(0x300, 2) + le(2, 2) + std::string("\1\2\3\0\4\5\6\0", 8), "0 #010203\n1 #040506\n"},
      {"RIFF" + le(0, 4) + "PAL data" + le(11, 4) + le(0x300, 2) + le(2, 2) + std::string("\1\2\3\0\4\5\6", 7), "- !corrupt: 2 colours do not fit\n"},
      {"RIFF" + le(0, 4) + "PAL data" + le(0xFFFFFFFF, 4) + le(0x300, 2) + le(0xFFFF, 2) + std::string("\1\2\3\0", 4), "0 #010203\n1 !truncated\n"},
      {png + ihdr(2), "- !not a palette: a true-colour PNG (colour type 2)\n"},
      {png + ihdr(3) + be(0x7FFFFFFF, 4) + "tEXt", "- !truncated: the file ends inside a PNG chunk\n"},
      {png + ihdr(3) + be(0x80000000u, 4) + "tEXt", "- !corrupt: a PNG chunk of 2147483648 bytes\n"},
      {png + ihdr(3) + be(0, 4) + "IDAT", "- !corrupt: an indexed PNG without its PLTE\n"},
      {png + ihdr(3) + be(771, 4) + "PLTE", "- !corrupt: a PLTE chunk of 771 bytes\n"},
      {png + ihdr(3) + be(768, 4) + "PLTE" + std::string(6, '\x40'), "- !truncated: the file ends inside the PLTE chunk\n"},
      {png + ihdr(0), "- !not a palette: a greyscale PNG (colour type 0)\n"},
      {bad_plte, "- !corrupt: the PLTE chunk's checksum (CRC) does not match\n"},
      {png + ihdr(3).substr(0, 24) + "\x01" + ihdr(3).substr(25), "- !corrupt: the IHDR chunk's checksum (CRC) does not match\n"},
      // GIF: the first picture's own table, else the global one; extensions before it skipped.
      {"GIF89a" + le(1, 2) + le(1, 2) + std::string(3, '\0'), "- !truncated: the GIF ends before its first picture\n"},
      {"GIF87a" + le(1, 2) + le(1, 2) + "\x87" + std::string(2, '\0') + std::string(768, '\x11') + ",", "- !truncated: the GIF ends inside a picture\n"},
      {"GIF87a" + le(1, 2) + le(1, 2) + "\x87" + std::string(2, '\0') + std::string(768, '\x11') + "," + std::string(9, '\0'), "255 #111111\n...256"},
      {"GIF87a" + le(1, 2) + le(1, 2) + "\x80" + std::string(2, '\0') + "\1\2\3\4\5\6" + std::string(2, '\0') + "," + std::string(9, '\0'), "0 #010203\n1 #040506\n"},
      {"GIF87a" + le(1, 2) + le(1, 2) + "\x80" + std::string(2, '\0') + "\1\2\3\4\5\6\1," + std::string(9, '\0'), "- !corrupt: a GIF block that is neither\n"},
      {"GIF89a" + le(1, 2) + le(1, 2) + "\x80" + std::string(8, '\0') + "!\xF9\x04" + std::string(5, '\0') + "," + std::string(8, '\0') + "\x87" +
       std::string(768, '\x22'), "0 #222222\n255 #222222\n...256"},
      {bmp(24, 0), "- !not a palette: a true-colour BMP (24 bits a pixel)\n"},
      {bmp(4, 16), "15 #202020\n...16"},
      {bmp(4, 17), "- !corrupt: the BMP says it uses 17 colours\n15 #202020\n...17"},
      {bmp(4, 0).substr(0, 60), "0 #202020\n1 !truncated\n"},
      // A BMP's table ends where its pixels begin, whatever its header asks for; a first line feed at byte 4 is still a BMP.
      {bmp(4, 0, 15), "- !corrupt: the BMP's header asks for 16 colours, but only 15 fit before its pixels (at byte 114)\n14 #202020\n...16"},
      {bmp(8, 0, 16), "- !corrupt: the BMP's header asks for 256 colours, but only 16\n15 #202020\n...17"},
      {bmp(4, 3, 0) , "- !corrupt: the BMP's header asks for 3 colours, but only 0\n"},
      {bmp(4, 3, 0).replace(10, 1, "\x35"), "- !corrupt: the BMP says its pixels begin at byte 53, inside its header\n"},
      {with(bmp(4, 2, 2), "BMA\n"), "0 #202020\n1 #202020\n"},
      {pcx(5, 8, 3) + '\0', "- !not a palette: a true-colour PCX\n"},
      {pcx(3, 4, 1) + '\0', "- !not a palette: a PCX of version 3\n"},
      // PCX layouts: 1 to 4 planes of 1 bit (as netpbm writes few colours) and 1 plane of 4 bits take the header palette;
      // a 1-bit picture whose header colours are not black and white, CGA's 2 bits and 2 planes of 2 bits are not certain.
      {pcx(5, 1, 2, "\1\2\3") + '\0', "0 #010203\n3 #000000\n...4"},
      {pcx(5, 1, 3) + '\0', "7 #000000\n...8"},
      {pcx(5, 1, 4) + '\0', "15 #000000\n...16"},
      {pcx(5, 1, 1, black_white) + '\0', "0 #000000\n1 #ffffff\n"},
      {pcx(5, 1, 1, black_white.substr(1) + "\xfe") + '\0', "- !not read: a 1-bit PCX whose header's first two colours are not black and white\n"},
      {pcx(5, 2, 1) + '\0', "- !not read: a PCX of 1 plane of 2 bits\n"},
      {pcx(5, 2, 2) + '\0', "- !not read: a PCX of 2 planes of 2 bits\n"},
      {pcx(5, 8, 1) + "\x0b" + std::string(768, '\x30'), "- !corrupt: an 8-bit PCX without its 256-colour table\n"},
      // XML: a tag of 65,536 bytes is read, one more is not; markup that does not end, and other XML, are said.
      {tag + pre + fits + post + "></SCRIBUSCOLORS>", "2 #ff8000 " + fits + "\n"},
      {tag + pre + fits + " " + post + "></SCRIBUSCOLORS>", "2 !a tag longer than 65536 bytes\n"},
      {tag + "COLOR RGB=\"#ff8000\"", "2 !truncated: the file ends inside a tag\n"},
      {tag + "!-- <COLOR RGB=\"#ff8000\"/> ->", "2 !truncated: the file ends inside markup\n"},
      {tag + "COLOR RGB=#ff8000/>", "2 !corrupt: a tag that is not XML\n"},
      {tag + "COLOR NAME=\"a\"RGB=\"#ff8000\"/>", "2 !corrupt: a tag that is not XML\n"},
      {tag + "COLOR NAME=\"a\" RGB=\"#ff8000\"/></SCRIBUSCOLORS>\x1a\x1a", "2 #ff8000 a\n"},
      // XML's encodings: what the bytes are in, and what the declaration says, must agree; ISO-8859-1 is decoded once, references and all.
      {declared("UTF-16LE", 1), "1 #ff8000\n"}, {declared("UTF-16BE", 2), "1 #ff8000\n"}, {declared("UTF-16", 2), "1 #ff8000\n"},
      {declared("UTF-16BE", 1), "- !not read: it is in UTF-16, as its byte order mark says, but its declaration names another encoding\n"},
      {declared("UTF-8", 2), "- !not read: it is in UTF-16"}, {declared("UTF-16", 0), "- !not read: its declaration names UTF-16, but it is not in UTF-16"},
      {"<?xml version=\"1.0\" encoding=\"US-ASCII\"?><SCRIBUSCOLORS><COLOR NAME=\"caf\xC3\xA9\" RGB=\"#ff8000\"/></SCRIBUSCOLORS>", "1 !corrupt: a byte outside US-ASCII"},
      {"<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><!DOCTYPE SCRIBUSCOLORS [<!ENTITY e \"&#233;\xe9\">]><SCRIBUSCOLORS><COLOR NAME=\"&e;\" RGB=\"#ff8000\"/></SCRIBUSCOLORS>",
       "1 #ff8000 \xC3\xA9\xC3\xA9\n"},
      // Entities: names of any length; declarations of 65,536 bytes in all (each counted with 32 bytes of its own), and no more.
      {"<!DOCTYPE SCRIBUSCOLORS [<!ENTITY " + std::string(100, 'n') + " \"x\">]>\n<SCRIBUSCOLORS>&" + std::string(100, 'n') + ";<COLOR NAME=\"&" +
       std::string(100, 'n') + ";\" RGB=\"#ff8000\"/></SCRIBUSCOLORS>", "2 #ff8000 x\n"},
      {entities(1771), "2 #ff8000\n"}, {entities(1772), "- !entity declarations of more than 65536 bytes in all\n"},
      {"<?xml version=\"1.0\"?>\n<svg><COLOR RGB=\"#ff8000\"/>", "- !not a palette: an XML file whose first element is <svg>\n"},
      // Find mode: hex runs of 3, 4, 6 or 8 digits not inside a word; a line of 1 MiB is read, one byte more is not.
      {"a=#abc;b=#abcd;c=#aabbcc;d=#aabbcc80;e=#abcde;f=#abcdefg;g#fff;&#123; #header; #010203", "1 #aabbcc a\n1 #aabbcc b\n1 #aabbcc c\n1 #aabbcc d\n1 #010203\n",
       PaletteMode::find},
      {find_fits + "\n" + find_fits + " \n#fff", "1 #ff8000\n2 !line longer than 1048576 bytes\n3 #ffffff\n", PaletteMode::find},
      // Find mode: CSS selectors and links' fragments are no colours; every struct is named by its own key.
      {"#deface { color: #fade; } a:hover, #bead {\n#cafe, #fed:hover, #bad.x, #add[x], #dad > p\nx: #cafe, #fed\n",
       "1 #ffaadd color\n3 #ccaaff x\n3 #ffeedd x\n", PaletteMode::find},
      {"<a href=\"#fade\" src='#abc' style=\"background: url(#cafe) #fed, URL( 'x/#bad' )\">see http://x/#fff</a>",
       "1 #ffeedd background\n", PaletteMode::find},
      {"A=(R = 1 , G=2,B =3) Colors=((R=4,G=5,B=6),(r=7,g=8,b=9,a=0)), B=(R=10,G=11,B=12)",
       "1 #010203 A\n1 #040506 Colors\n1 #070809 Colors\n1 #0a0b0c B\n", PaletteMode::find},
      // Data after an .aco's version 2, beyond the bytes that tell its format, is said as after version 1.
      {aco_names(1100) + "!", "- !data after the colours\n...1101"},
      // Version 1 then version 2 of another count is no .aco, large or small; of the same count it is.
      {be(1, 2) + be(2000, 2) + std::string(20000, '\0') + aco_names(1999), "- !not a palette: it begins like an Adobe .aco, but its version-2 section counts 1999 colours where its version 1 counts 2000\n"},
      {be(1, 2) + be(1, 2) + std::string(10, '\0') + aco_names(2), "- !not a palette: binary data of no known format (a NUL byte in its first line); it begins like an Adobe .aco\n"},
      {be(1, 2) + be(2000, 2) + std::string(20000, '\0') + aco_names(2000), "0 #000000 A\n1999 #000000 A\n...2000"},
      // Find mode: id selectors followed by selector text up to "{", with "{" on the next line that is not blank, after
      // combinators, in pseudo-classes; not after a quote, nor a ">" that follows nothing.
      {"#bad #add {}\n#abc\n\n{ color: #fed }\np + #bad ~ #cab > #fed * #dad li\n:not(#abc) :is(#bcd) :where(#cde):has(#def) li\nx: #fff;\n"
       "> #ff8000 quoted\n[\"#eee\", {\"a\": \"#000\"}]\n#ddd\n#ccc Snow",
       "4 #ffeedd color\n7 #ffffff x\n8 #ff8000\n9 #eeeeee\n9 #000000 a\n10 #dddddd\n11 #cccccc\n", PaletteMode::find},
      // rgb(): a negative channel is reported as one above 255 is; one alpha may follow, a fifth number is no colour.
      {"a: rgb(-1, 2, 3); b: rgb(1, 2, 3, 0.5); c: rgb(1 2 3 / 50%); d: rgb(1, 2, 3, 4, 5); e: rgb(1,2,3,); f=(R=-1,G=0,B=0)",
       "1 !R, G and B\n1 #010203 b\n1 #010203 c\n1 !R, G and B\n", PaletteMode::find},
  };
  for (const auto& c : cases) expect_read(c.bytes, c.entries, c.mode);
  // Every condition that confirms a signature, broken alone (bytes replaced at a place) in a file that meets all
  // the others: the file is then not read as that format.
  const struct {
    std::string bytes;
    std::vector<std::tuple<std::size_t, std::size_t, std::string>> breaks;
  } signatures[] = {
      // PCX: 10, a version of 0 or 2 to 5, RLE, 1, 2, 4 or 8 bits, its window's corners in order, a reserved 0, 1 to 4 planes, lines as wide as the window, data after the header.
      {pcx(5, 4, 1) + '\0', {{0, 1, "\x0b"}, {1, 1, "\1"}, {1, 1, "\6"}, {2, 1, "\2"}, {3, 1, "\3"}, {4, 1, "\1"}, {6, 1, "\1"}, {64, 1, "\1"},
                            {65, 1, std::string(1, '\0')}, {65, 1, "\5"}, {66, 1, std::string(1, '\0')}, {128, 1, ""}}},
      // .aco: 0 and a version of 1 or 2, colour spaces up to 10, records that end with the file, a second section of the same count.
      {be(1, 2) + be(1, 2) + be(0, 2) + be(65535, 2) + std::string(6, '\0'), {{0, 1, "\1"}, {1, 1, "\3"}, {4, 2, be(11, 2)}, {14, 0, "!"}}},
      {be(1, 2) + be(1, 2) + std::string(10, '\0') + aco_names(1), {{16, 2, be(2, 2)}, {14, 1, "\1"}}},
      // BMP: "BM", an info header of a known size, 1 plane, a depth BMP has. JPEG: a marker, a length of 2 or more, the next marker. Zip: a version below 256.
      {bmp(4, 2, 2), {{1, 1, "N"}, {14, 1, "\x29"}, {26, 1, "\2"}, {28, 1, "\3"}}},
      {std::string("\xFF\xD8\xFF\xE0\0\x10JFIF\0\1\1\0\0\1\0\1\0\0\xFF\xDB", 22), {{3, 1, "\xD8"}, {4, 2, std::string("\0\1", 2)}, {20, 1, "\x7F"}}},
      {std::string("PK\x03\x04\x14\0kpl", 9), {{5, 1, "\1"}}},
  };
  for (const auto& sig : signatures) {
    PaletteFormat format, broken_format;
    const std::string whole = describe(read_bytes(sig.bytes, sig.bytes.size(), &format));
    EXPECT_EQ(whole.find(" !"), format == PaletteFormat::not_palette ? 1 : std::string::npos) << whole;
    for (const auto& [at, n, with_bytes] : sig.breaks) {
      const std::string broken = std::string(sig.bytes).replace(at, n, with_bytes), reading = describe(read_bytes(broken, broken.size(), &broken_format));
      EXPECT_TRUE(broken_format != format || (format == PaletteFormat::not_palette && reading != whole)) << whole << " broken at " << at << ": " << reading;
    }
  }
}

namespace {

template <typename Number> std::string le_bytes(Number v, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += static_cast<char>(static_cast<std::uint64_t>(v) >> (8 * i));
  return out;
}

// A zip archive built here byte by byte, as APPNOTE lays one out: each file stored, or deflated (method 8) through
// zlib, or marked with another method and stored; `claimed` (if not ~0) is the size both headers give.
struct ZipFile {
  std::string name, data;
  int method = 0;
  std::uint64_t claimed = ~0ull;
};
std::string zip_of(const std::vector<ZipFile>& files) {
  std::string out, directory;
  for (const ZipFile& f : files) {
    std::string data = f.data;
#ifdef TINTWISE_HAVE_ZLIB
    if (f.method == 8) {
      z_stream z{};
      deflateInit2(&z, 9, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
      data.resize(deflateBound(&z, static_cast<uLong>(f.data.size())));
      z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(f.data.data()));
      z.avail_in = static_cast<uInt>(f.data.size());
      z.next_out = reinterpret_cast<Bytef*>(&data[0]);
      z.avail_out = static_cast<uInt>(data.size());
      deflate(&z, Z_FINISH);
      data.resize(z.total_out);
      deflateEnd(&z);
    }
#endif
    const std::string fields = le_bytes(20, 2) + le_bytes(0, 2) + le_bytes(f.method, 2) + le_bytes(0, 4) + le_bytes(crc32(f.data.data(), f.data.size()), 4) +
                               le_bytes(data.size(), 4) + le_bytes(f.claimed != ~0ull ? f.claimed : f.data.size(), 4) + le_bytes(f.name.size(), 2) + le_bytes(0, 2);
    directory += "PK\x01\x02" + le_bytes(20, 2) + fields + std::string(10, '\0') + le_bytes(out.size(), 4) + f.name;
    out += "PK\x03\x04" + fields + f.name + data;
  }
  return out + directory + "PK\x05\x06" + le_bytes(0, 4) + le_bytes(files.size(), 2) + le_bytes(files.size(), 2) + le_bytes(directory.size(), 4) +
         le_bytes(out.size(), 4) + le_bytes(0, 2);
}

// The archive with `n` bytes at `at` (counted from its end when negative) replaced by v.
std::string patched(std::string zip, long long at, std::uint64_t v, int n) {
  return zip.replace(static_cast<std::size_t>(at < 0 ? static_cast<long long>(zip.size()) + at : at), static_cast<std::size_t>(n), le_bytes(v, n));
}

// An Aseprite file: the header (`depth` bits, index 1 transparent), then the first frame's chunks, each given as
// its type and data ("size" past 0 overrides the chunk's own size), then the later frames'.
using AseChunks = std::vector<std::pair<int, std::string>>;
std::string aseprite_of(int depth, const AseChunks& chunks, std::uint32_t size = 0, const std::vector<AseChunks>& later = {}) {
  std::string frames;
  for (std::size_t f = 0; f <= later.size(); ++f) {
    const AseChunks& these = f == 0 ? chunks : later[f - 1];
    std::string body;
    for (const auto& [type, data] : these) body += le_bytes(size && f == 0 ? size : 6 + data.size(), 4) + le_bytes(type, 2) + data;
    frames += le_bytes(16 + body.size(), 4) + le_bytes(0xF1FA, 2) + le_bytes(these.size(), 2) + std::string(8, '\0') + body;
  }
  return (le_bytes(128 + frames.size(), 4) + le_bytes(0xA5E0, 2) + le_bytes(1 + later.size(), 2) + le_bytes(1, 4) + le_bytes(depth, 2) + std::string(14, '\0') + '\1')
             .append(99, '\0') + frames;
}

// ASCII as UTF-16 of one byte order, with its byte order mark.
std::string utf16_of(const std::string& ascii, bool big_endian) {
  std::string out = big_endian ? "\xFE\xFF" : "\xFF\xFE";
  for (const char c : ascii) out += big_endian ? std::string{'\0', c} : std::string{c, '\0'};
  return out;
}

} // namespace

// Zip archives, and what the reader believes of them: each structure it checks broken alone, each limit just
// inside and just past; Krita's and Procreate's palettes at their edges, their JSON read by its grammar; Aseprite's
// palette chunks; VGA tables on request.
TEST(PaletteReader, ReadsArchivesAndTheirPalettesAtTheirEdges) {
  const std::string xml = "<ColorSet columns=\"2\"><ColorSetEntry name=\"a\"><RGB r=\"1\" g=\"0.5\" b=\"0\"/></ColorSetEntry></ColorSet>";
  const ZipFile mime{"mimetype", "krita/x-colorset"};
  const std::string kpl = zip_of({mime, {"colorset.xml", xml}}), pair = zip_of({{"a", zip_of({{"b", "x"}}).substr(0, 32)}, {"b", "x"}});
  const long long entry = 30 + 8 + 16, central = static_cast<long long>(kpl.size()) - 22 - 46 - 12; // colorset.xml's local header, its directory entry
  const std::string deflated = zip_of({mime, {"colorset.xml", xml, 8}});
  const std::string no_inflater = "- !not read: \"colorset.xml\" in the zip archive is deflated, and this build has no inflater: use a build with zlib "
                                  "(every release of Tintwise has it), or unpack the archive and read \"colorset.xml\" itself\n";
  const std::size_t packed_at = deflated.size() - 22 - 46 - 12 + 20; // its compressed size
  [[maybe_unused]] const std::uint64_t packed = static_cast<unsigned char>(deflated[packed_at]) + 256u * static_cast<unsigned char>(deflated[packed_at + 1]);
  const auto swatches = [](const std::string& json) { return zip_of({{"Swatches.json", json}}); };
  const auto swatch = [](const char* hsb) { return std::string("{\"hue\":") + hsb + "}"; };
  const std::string red = swatch("1,\"saturation\":1,\"brightness\":1");
  const auto zeros = [](std::size_t n) { // "0,0,...,0", n of them
    std::string out(2 * n - 1, ',');
    for (std::size_t i = 0; i < out.size(); i += 2) out[i] = '0';
    return out;
  };
  std::string noise(70000, '\0'); // does not deflate: its compressed size passes 64 MiB / 1,000
  std::mt19937 rng(36);
  for (char& c : noise) c = static_cast<char>(rng());
  const auto krita = [](const std::string& entries, int columns = 2) { return "<ColorSet columns=\"" + std::to_string(columns) + "\">\n" + entries + "</ColorSet>"; };
  const auto at = [](const char* rgb, int row, int column) {
    return std::string("<ColorSetEntry name=\"n\"><RGB ") + rgb + "/><Position row=\"" + std::to_string(row) + "\" column=\"" + std::to_string(column) + "\"/></ColorSetEntry>\n";
  };
  const std::string named = le_bytes(1, 2) + "\xff\x80\0\xff"s + le_bytes(4, 2) + "Fire";
  const auto palette = [](std::uint32_t size, std::uint32_t first, std::uint32_t last, const std::string& entries) {
    return le_bytes(size, 4) + le_bytes(first, 4) + le_bytes(last, 4) + std::string(8, '\0') + entries;
  };
  const std::string plain = le_bytes(0, 2) + "\x0a\x14\x1e\xff";
  std::string vga(768, '\0');
  vga.replace(0, 12, std::string("\0\1\x20\x3f\x3f\x3f\x0b\x0b\x0b\x40\0\0", 12));
  const struct {
    std::string bytes;
    std::string entries;
    bool vga = false;
  } cases[] = {
      // Stored or deflated; Krita's mimetype old or new; anything else no Krita palette.
      {kpl, "1 #ff8000 a\n"},
      {zip_of({{"mimetype", "application/x-krita-palette"}, {"colorset.xml", xml, 8}}), needs_zlib("") ? no_inflater : "1 #ff8000 a\n"},
      {zip_of({{"mimetype", "text/plain"}, {"colorset.xml", xml}}), "- !not a palette: a zip archive with a colorset.xml whose mimetype entry says \"text/plain\", not Krita's"},
      {zip_of({{"colorset.xml", xml}, {"m", ""}}), "- !not a palette: a zip archive with a colorset.xml but no mimetype entry"},
      // Hostile structure: each check alone.
      {patched(patched(kpl, entry + 14, 0, 4), central + 16, 0, 4), "- !corrupt: \"colorset.xml\" in the zip archive fails its CRC-32 check"},
      {patched(kpl, -6, kpl.size(), 4), "- !corrupt: the zip archive's central directory lies past"},
      {patched(patched(kpl, entry + 18, 1000, 4), central + 20, 1000, 4), "- !corrupt: the data of \"colorset.xml\" in the zip archive runs past"},
      {patched(kpl, central + 42, 0, 4), "- !corrupt: the local header of \"colorset.xml\" in the zip archive does not agree"},
      {patched(pair, -22 - 4 - 1, 31, 4), "- !corrupt: two entries of the zip archive share bytes"}, // b's header, a copy inside a's data
      {patched(kpl, central + 24, 0xFFFFFFFF, 4), "- !not read: a ZIP64 archive"},
      {std::string(kpl).insert(kpl.size() - 22, "PK\x06\x07" + std::string(16, '\0')), "- !not read: a ZIP64 archive"},
      {patched(kpl, -18, 1, 2), "- !not read: one part of a zip archive split"},
      {patched(kpl, central + 8, 1, 2), "- !not read: the zip archive holds an encrypted entry, \"colorset.xml\""},
      {zip_of({{"../colorset.xml", xml}}), "- !not read: the zip archive holds an entry named \"../colorset.xml\", a path that leaves"},
      {zip_of({{"/x", ""}}), "- !not read: the zip archive holds an entry named \"/x\""},
      {zip_of({{"d\\..\\x", ""}}), "- !not read: the zip archive holds an entry named"},
      {zip_of({{"a..b/..c", ""}, {"b.png", ""}, {"c", ""}, {"d", ""}}),
       "- !not a palette: a zip archive holding \"a..b/..c\", \"b.png\", \"c\" and 1 more, without a Krita colorset.xml or a Procreate Swatches.json"},
      {zip_of({}), "- !not a palette: an empty zip archive\n"},
      {kpl.substr(0, kpl.size() - 2) + le_bytes(2, 2) + "hi", "1 #ff8000 a\n"},
      // The edges of what is believed: bytes after the end record read and said once; the mimetype anywhere, as Krita
      // reads it; colorset.xml in UTF-16; two entries of one name, of which readers take different ones, refused.
      {kpl + "xyz", "- !the zip archive ends with 3 bytes after its end record, which are not read\n1 #ff8000 a\n"},
      {kpl.substr(0, kpl.size() - 2) + le_bytes(1, 2) + "hi", "- !the zip archive ends with 1 bytes after its end record, which are not read\n1 #ff8000 a\n"},
      {zip_of({{"colorset.xml", xml}, mime}), "1 #ff8000 a\n"},
      {zip_of({mime, {"colorset.xml", utf16_of("<?xml version=\"1.0\" encoding=\"UTF-16\"?>\n" + xml, false)}}), "2 #ff8000 a\n"},
      {zip_of({mime, {"colorset.xml", utf16_of(xml, true)}}), "1 #ff8000 a\n"},
      {zip_of({mime, {"colorset.xml", xml}, {"colorset.xml", "<ColorSet/>"}}), "- !not read: the zip archive holds two entries named \"colorset.xml\", and which"},
      {zip_of({{"x", ""}, {"x", ""}}), "- !not read: the zip archive holds two entries named \"x\""},
      {kpl.substr(0, kpl.size() - 1), "- !truncated or corrupt: a zip archive without an end record that leads to its central directory\n"},
      {zip_of({mime, {"colorset.xml", xml, 12}}), "- !not read: \"colorset.xml\" in the zip archive is compressed by method 12"},
#ifdef TINTWISE_HAVE_ZLIB
      // Inflating: never past 1,000 times the compressed size, nor 64 MiB, nor the size the directory gives.
      {zip_of({mime, {"colorset.xml", xml, 8, 1000 * packed}}), "- !corrupt: \"colorset.xml\" in the zip archive inflates to fewer bytes"},
      {zip_of({mime, {"colorset.xml", xml, 8, 1000 * packed + 1}}),
       "- !not read: \"colorset.xml\" in the zip archive would inflate to " + std::to_string(1000 * packed + 1) + " bytes, past " + std::to_string(1000 * packed) + " "},
      {zip_of({mime, {"colorset.xml", noise, 8, kPaletteMaxArchive}}), "- !corrupt: \"colorset.xml\" in the zip archive inflates to fewer bytes"},
      {zip_of({mime, {"colorset.xml", noise, 8, kPaletteMaxArchive + 1}}), "- !not read: \"colorset.xml\" in the zip archive would inflate to 67108865 bytes, past 67108864"},
      {zip_of({mime, {"colorset.xml", xml, 8, xml.size() - 1}}), "- !corrupt: \"colorset.xml\" in the zip archive inflates past the size its directory gives"},
#endif
      // Krita: places within the columns; one place twice; no places, file order; the palette's own swatches before
      // each group's; only RGB in sRGB read, each value 0..1 as round(v x 255); the first child the colour.
      {krita(at("r=\"1\" g=\"1\" b=\"1\"", 0, 1) + at("r=\"0\" g=\"0\" b=\"0\"", 0, 2) + at("r=\"0\" g=\"0\" b=\"0\"", -1, 0) +
             at("r=\"0.5\" g=\"0.49999\" b=\"5e-1\"", 1, 0) + at("r=\"0.2\" g=\"0.2\" b=\"0.2\"", 0, 0)),
       "4 !not read: Krita drops a swatch placed at row -1, column 0\n6 #333333 n\n2 #ffffff n\n3 !not read: Krita drops a swatch placed at row 0, column 2, "
       "outside the palette's 2 columns\n5 #807f80 n\n"},
      {krita(at("r=\"1\" g=\"0\" b=\"0\"", 0, 0) + at("r=\"0\" g=\"1\" b=\"0\"", 0, 0)), "2 !not read: a later swatch at row 0, column 0 replaces it\n3 #00ff00 n\n"},
      {krita("<Group name=\"g\">" + at("r=\"0\" g=\"0\" b=\"1\"", 0, 0) + "</Group>" +
             "<ColorSetEntry><sRGB r=\"1\" g=\"0\" b=\"0\" space=\"Rec2020\"/></ColorSetEntry>\n<ColorSetEntry><RGB r=\"0\" g=\"1\" b=\"0\" space=\"\"/></ColorSetEntry>"),
       "3 #ff0000\n4 #00ff00\n2 #0000ff n\n"},
      {krita("<ColorSetEntry><RGB r=\"1.0000001\" g=\"0\" b=\"0\"/></ColorSetEntry><ColorSetEntry><RGB r=\"1\" g=\"0\"/></ColorSetEntry>"
             "<ColorSetEntry><RGB r=\"1\" g=\"0\" b=\"0\" space=\"ACEScg\"/></ColorSetEntry><ColorSetEntry><Position row=\"0\" column=\"0\"/></ColorSetEntry>"
             "<ColorSetEntry><Gray g=\"1\"/></ColorSetEntry><ColorSetEntry/>"),
       "2 !not a colour: an RGB colour needs r, g and b from 0 to 1\n2 !not a colour: an RGB\n2 !RGB colour in the profile ACEScg not read\n"
       "2 !not a colour: <Position> is no colour model Krita writes\n2 !Gray colour not read\n2 !not a colour: a ColorSetEntry without a colour\n"},
      // Procreate: slots numbered through null ones and through palettes; hue 1 is hue 0; values 0..1; JSON's grammar.
      {swatches("[{\"swatches\":[null," + red + "]},{\"swatches\":[" + swatch("0,\"saturation\":0,\"brightness\":0.5e0,\"name\":\"Gr\\u00e9y \\ud83d\\ude00 \\ud800\"") +
                "," + swatch("0, \"saturation\":-0,\"brightness\":0.49999") + "]}]"),
       "1 #ff0000\n2 #808080 Gr\xC3\xA9y \xF0\x9F\x98\x80 \xEF\xBF\xBD\n3 #7f7f7f\n"},
      {swatches("{\"x\":" + std::string(64, '[') + std::string(64, ']') + ",\"swatches\":[" + red + "]}"), "0 #ff0000\n"},
      {swatches("{\"x\":" + std::string(65, '[') + std::string(65, ']') + ",\"swatches\":[" + red + "]}"), "- !corrupt: Swatches.json is not JSON: values nested more than 64 deep\n"},
      {swatches("{\"swatches\":[" + red + "],\"x\":[" + zeros(524281) + "]}"), "0 #ff0000\n"}, // 524,288 values in all
      {swatches("{\"swatches\":[" + red + "],\"x\":[" + zeros(524282) + "]}"), "- !corrupt: Swatches.json is not JSON: more than 524,288 values"},
      {swatches("{\"swatches\":[01]}"), "- !corrupt: Swatches.json is not JSON: an array without a comma"},
      {swatches("{\"swatches\":[" + red + ",]}"), "- !corrupt: Swatches.json is not JSON: a value that is not JSON"},
      {swatches("{\"swatches\":[NaN]}"), "- !corrupt: Swatches.json is not JSON: a value that is not JSON"},
      {swatches("{\"swatches\":[\"a\tb\"]}"), "- !corrupt: Swatches.json is not JSON: a control character inside a string"},
      {swatches("{\"swatches\":[\"\\x\"]}"), "- !corrupt: Swatches.json is not JSON: an escape JSON does not have"},
      {swatches("{\"swatches\":[1.]}"), "- !corrupt: Swatches.json is not JSON: a number without digits after its point"},
      {swatches("{\"swatches\":[]} x"), "- !corrupt: Swatches.json is not JSON: data after the value"},
      {swatches("{\"swatches\":[\"\xff\"]}"), "- !corrupt: Swatches.json is not JSON: bytes that are not UTF-8"},
      {swatches("{\"swatches\":[" + swatch("1.0000001,\"saturation\":1,\"brightness\":1") + "," + swatch("0,\"hue\":0,\"saturation\":1,\"brightness\":1") +
                "," + swatch("0,\"saturation\":1,\"brightness\":1,\"colorSpace\":2") + ",{\"components\":[1,0,0]},{},7]}"),
       "0 !not a colour: hue, saturation and brightness run from 0 to 1\n1 !corrupt: a swatch that gives one of its values twice\n"
       "2 !not read: a swatch in another colour space than sRGB (colorSpace 2)\n3 !not read: a swatch whose colour is given only as components\n"
       "4 !not a colour: a swatch without hue\n5 !not a swatch\n"},
      {swatches("{\"name\":\"p\"}"), "- !not a palette: Swatches.json holds no palette object with a list of swatches\n"},
      // Aseprite: names and the transparent index (of an indexed sprite alone); the old chunks, 6-bit ones widened as
      // Aseprite widens them, ignored after a new one; sizes and ranges that do not hold together.
      {aseprite_of(8, {{0x2005, "not a cel"}, {0x2019, palette(3, 1, 2, named + plain)}}), "0 !not in the file\n1 #ff8000 Fire (transparent)\n2 #0a141e\n"},
      {aseprite_of(32, {{0x2019, palette(2, 0, 1, plain + named)}, {0x0004, le_bytes(1, 2) + "\0\1\1\2\3"s}}), "0 #0a141e\n1 #ff8000 Fire\n"},
      {aseprite_of(32, {{0x0011, le_bytes(2, 2) + "\0\1\x0b\x3f\0\1\1\x01\x01\x01"s}}), "0 #2cff00\n1 #040404\n"},
      // An old sprite as Aseprite's own code reads it: a layer, its 6-bit palette chunk of type 11 (FLI's COLOR_64),
      // a cel; later frames' palettes (a change at that frame) are not the sprite's palette.
      {aseprite_of(8, {{0x2004, std::string(18, '\0')}, {0x000B, le_bytes(1, 2) + "\0\2\x3f\0\0\x0b\x3f\0"s}, {0x2005, std::string(16, '\0')}}, 0,
                   {{{0x0004, le_bytes(1, 2) + "\0\1\1\2\3"s}}, {{0x2019, palette(1, 0, 0, plain)}}}),
       "0 #ff0000\n1 #2cff00 transparent\n"},
      {aseprite_of(32, {{0x0011, le_bytes(1, 2) + "\0\1\x40\0\0"s}}), "- !corrupt: a 6-bit palette chunk with a value above 63\n"},
      {aseprite_of(32, {{0x0004, le_bytes(1, 2) + "\xff\2\1\2\3\4\5\6"}}), "- !corrupt: an old palette chunk's packet runs past 256 colours"},
      {aseprite_of(32, {{0x2019, palette(2, 1, 0, "")}}), "- !corrupt: a palette chunk of 2 colours that sets colours 1 to 0\n"},
      {aseprite_of(32, {{0x2019, palette(2, 0, 2, "")}}), "- !corrupt: a palette chunk of 2 colours that sets colours 0 to 2\n"},
      {aseprite_of(32, {{0x2019, palette(1, 0, 0, plain)}}, 5), "- !corrupt: a chunk of the first frame runs past it\n"},
      {aseprite_of(32, {{0x2019, palette(1, 0, 0, plain)}}, 38), "- !corrupt: a chunk of the first frame runs past it\n"},
      {aseprite_of(8, {{0x2004, ""}}), "- !not a palette: an Aseprite file whose first frame has no palette\n"},
      // VGA on request: each of 0..63 to round(v x 255 / 63); a value above 63 is none.
      {vga, "0 #000482\n1 #ffffff\n2 #2d2d2d\n3 !not a VGA colour\n...256", true},
  };
  for (const auto& c : cases) expect_read(c.bytes, c.entries, PaletteMode::palette, c.vga);
  // Each field a local header shares with its directory entry (flags, method, CRC-32, both sizes, name), broken in
  // the local header alone.
  for (const int field : {6, 8, 14, 18, 22, 30}) {
    expect_read(patched(kpl, entry + field, 0x5A, 1), "- !corrupt: the local header of \"colorset.xml\" in the zip archive does not agree with its directory\n");
  }
  // Read with no inflater given, as a caller of the library may: deflated entries are said, not read.
  std::vector<PaletteEntry> entries;
  Bytes source{deflated, 0, deflated.size()};
  read_palette({from_bytes, &source, nullptr}, keep, &entries, PaletteOptions{});
  EXPECT_EQ(describe(entries), no_inflater);
  // Aseprite's magic, depth and frame magic each broken: then no Aseprite file.
  const std::string ase = aseprite_of(8, {{0x2019, palette(1, 0, 0, plain)}});
  for (const auto& [place, value] : {std::pair<int, int>{4, 0xE1}, {12, 24}, {132, 0xFB}}) {
    PaletteFormat format;
    read_bytes(patched(ase, place, static_cast<std::uint64_t>(value), 1), 4096, &format);
    EXPECT_NE(format, PaletteFormat::aseprite) << place;
  }
}

// Krita's and Procreate's files as written, read back: every byte of every channel on a grid (and each channel's
// neighbours of 0 and 255, where hue and saturation are least exact) comes back the same.
TEST(PaletteReader, ReadsBackTheZipPalettesItWrites) {
  std::vector<Swatch> swatches;
  for (std::uint32_t r = 0; r < 256; r += 15)
    for (std::uint32_t g = 0; g < 256; g += 17)
      for (std::uint32_t b = 0; b < 256; b += 15) swatches.push_back({r << 16 | g << 8 | b, "n"});
  for (const std::uint32_t rgb : {0x000001u, 0x0100feu, 0xfefffeu, 0xff00ffu, 0xfe0001u}) swatches.push_back({rgb, "edge & <name> \"q\""});
  for (const OutputFormat format : {OutputFormat::kpl, OutputFormat::swatches}) {
    std::size_t kept;
    const std::vector<PaletteEntry> read = read_bytes(swatch_file(format, swatches, kept), 1 << 20);
    ASSERT_EQ(read.size(), swatches.size());
    for (std::size_t i = 0; i < read.size(); ++i) {
      EXPECT_EQ(static_cast<std::uint32_t>(read[i].red << 16 | read[i].green << 8 | read[i].blue), swatches[i].rgb) << i;
      EXPECT_EQ(read[i].name, format == OutputFormat::kpl ? swatches[i].name : "");
    }
    // As many as the file may hold (65,535), every one read back; one more is not written.
    const std::string most = swatch_file(format, std::vector<Swatch>(65536, {0x102030, "a name"}), kept);
    EXPECT_EQ(kept, 65535u);
    EXPECT_EQ(read_bytes(most, 1 << 20).size(), 65535u);
  }
}

#ifdef TINTWISE_HAVE_EXPAT
// XML palettes made of what XML ends where a sketch of it would not (the
// shortest comments, CDATA closed after a run of "]", processing
// instructions and DOCTYPE literals holding ">", an internal subset with
// entities), namespaces bound, rebound and defaulted, attributes of other
// namespaces that share the drawing's local names, references of every kind
// and every line end; each read whole and in small chunks, then damaged once
// (cut, a control character, an undeclared entity, a wrong end tag). expat's
// reading is the oracle.
std::string generated_palette(std::mt19937& rng) {
  const auto pick = [&rng](std::initializer_list<const char*> from) { return std::string(from.begin()[rng() % from.size()]); };
  const std::string nl = pick({"\n", "\r\n", "\r"}), p = pick({"draw", "d", "x"});
  const bool latin1 = rng() % 4 == 0, doctype = rng() % 2, scribus = rng() % 5 == 0;
  const auto misc = [&] { return pick({"", " ", "<!---->", "<!-- a>b - c -->", "<?pi x>y ? z?>", "<?pi?>"}) + nl; };
  const auto name = [&] {
    return pick({"Orange &amp; Co", "Caf&#233; &#x1F600;", "a&#10;b&#9;c&#13;", "tab\there", "q &quot;x&quot; &apos;y&apos; &lt;&gt;", ""}) +
           (doctype ? "&co;&q;" : "") + (latin1 ? "caf\xE9" : "") + pick({"", "two", "wo"}) + nl + "lines";
  };
  const auto hex = [&rng] { char h[8]; std::snprintf(h, sizeof h, rng() % 2 ? "#%06x" : "#%06X", static_cast<unsigned>(rng() & 0xFFFFFF)); return std::string(h); };
  // standalone='yes' with an external subset: every entity is then declared in the document itself
  std::string doc = pick({"", "\xEF\xBB\xBF"}) + (latin1 || doctype || rng() % 2 ? "<?xml version='1.0' encoding='" + pick({"UTF-8", "utf-8"}) + "'" + (doctype ? " standalone='yes'" : "") + "?>" : "") + nl + misc();
  if (latin1) doc.replace(doc.find("UTF-8") != std::string::npos ? doc.find("UTF-8") : doc.find("utf-8"), 5, "ISO-8859-1");
  if (doctype) doc += "<!DOCTYPE r SYSTEM \"a>[b\" [" + nl + "<!ENTITY co \"C&#38;#38;o>\"><!-- ]> --><?p ]>?>" + nl + "<!ENTITY q '\"]>'><!ENTITY co 'x'><!ATTLIST r y CDATA #IMPLIED><!ELEMENT r ANY>]>" + nl;
  const std::string uri[] = {"urn:oasis:names:tc:opendocument:xmlns:drawing:1.0", "http://openoffice.org/2000/drawing"}, u = uri[rng() % 2];
  doc += misc() + (scribus ? "<SCRIBUSCOLORS>" : "<office:color-table xmlns:office=\"http://openoffice.org/2000/office\" xmlns:" + p + "=\"" + u + "\" xmlns:o=\"urn:other\">") + nl;
  for (int n = 1 + rng() % 8; n > 0; --n) {
    std::vector<std::string> attributes = {"o:color=\"#000000\"", "color=\"#111111\"", "o:name=\"decoy\"", "name=\"decoy\"", p + ":name=\"" + name() + "\"", p + ":color=\"" + hex() + "\""};
    std::shuffle(attributes.begin(), attributes.end(), rng);
    std::string element = "<" + p + ":color";
    for (const std::string& a : attributes) element += pick({" ", nl.c_str(), "\t"}) + a;
    const std::string colour = scribus ? "<COLOR NAME=\"" + name() + "\" RGB=\"" + hex() + "\"/>" : element + (rng() % 3 ? pick({"/>", " />"}) : "></" + p + ":color>");
    const int kind = static_cast<int>(rng() % 7);
    doc += kind == 0 ? colour
         : kind == 1 ? "<g xmlns:Q=\"" + uri[1] + "\"><Q:color Q:color=\"" + hex() + "\" Q:name=\"" + name() + "\"></Q:color></g>"
         : kind == 2 ? "<h xmlns:" + p + "=\"urn:other\"><" + p + ":color " + p + ":color=\"" + hex() + "\"/></h>" + (scribus ? "<o:COLOR xmlns:o=\"urn:o\" RGB=\"#000000\"/>" : "")
         : kind == 3 ? "<color xmlns=\"" + u + "\" color=\"" + hex() + "\"/>"
         : kind == 4 ? "<![CDATA[<" + p + ":color " + p + ":color=\"#123456\"/>" + std::string(1 + rng() % 4, ']') + "]]>"
         : kind == 5 ? "&lt;" + p + ":color " + p + ":color=\"#654321\"/&gt;" : misc();
    doc += nl;
  }
  return doc + (scribus ? "</SCRIBUSCOLORS>" : "</office:color-table>") + misc();
}

TEST(PaletteReader, ReadsXmlAsExpatDoes) {
  std::mt19937 rng(26);
  int accepted = 0;
  for (int i = 0; i < 4000; ++i) {
    std::string doc = generated_palette(rng);
    const std::size_t root = doc.find("olor"), damage = i % 2 ? 1 + rng() % 4 : 0;
    if (damage == 1) doc.resize(root + rng() % (doc.size() - root));
    if (damage == 2) doc.insert(3 + rng() % (doc.size() - 3), 1, '\x01');
    if (damage == 3) doc.insert(doc.find("=\"", root) + 2, "&nope;");
    if (damage == 4) doc.replace(doc.rfind("</"), 2, "</w");
    const ExpatReading expat = read_with_expat(doc);
    accepted += expat.accepted;
    for (const std::size_t chunk : {doc.size(), std::size_t{1} + rng() % 7}) {
      const std::string wrong = compare_with_expat(expat, entries_text(read_bytes(doc, chunk)), damage != 0);
      ASSERT_EQ(wrong, "") << "document " << i << " in chunks of " << chunk << ":\n" << doc;
    }
  }
  EXPECT_GT(accepted, 1900); // the undamaged ones, and damage that left the document well formed
}
#endif

// Every binary sample cut at every length, handed over 7 bytes at a time:
// every colour read is the whole file's colour at that place (so nothing is
// read from past the cut), and a cut that loses colours says so.
TEST(PaletteReader, ReportsEachBinarySampleCutAtEveryLength) {
  for (const auto& sample : kSamples) {
    if (sample.format == PaletteFormat::soc || sample.format == PaletteFormat::scribus || sample.format < PaletteFormat::ase ||
        sample.format > PaletteFormat::aseprite || needs_zlib(sample.file)) {
      continue;
    }
    const std::string bytes = slurp(palette_path(sample.file));
    const auto colour = [](const PaletteEntry& e) { return std::to_string(e.line) + ' ' + std::to_string(e.red << 16 | e.green << 8 | e.blue); };
    std::map<std::uint64_t, std::string> whole;
    for (const auto& e : read_bytes(bytes, 7)) whole[e.line] = e.read ? colour(e) : "";
    std::size_t colours = 0;
    for (const auto& e : read_bytes(bytes, 7)) colours += e.read;
    for (std::size_t cut = 1; cut < bytes.size(); ++cut) {
      std::size_t read = 0;
      PaletteFormat format;
      bool said = false;
      for (const auto& e : read_bytes(bytes.substr(0, cut), 7, &format)) {
        said = said || !e.read;
        read += e.read;
        EXPECT_TRUE(!e.read || whole[e.line].empty() || whole[e.line] == colour(e)) << sample.file << " cut at " << cut << ": " << colour(e) << ", not " << whole[e.line];
      }
      EXPECT_TRUE(read >= colours || said || format == PaletteFormat::empty) << sample.file << " cut at " << cut << " loses colours unsaid";
    }
  }
}

// A 100 MB line, then 200 MB of colour lines, handed out as a file would be:
// one line reported, every colour read, and memory that does not grow.
TEST(PaletteReader, StreamsAHugeLineAndAHugeFile) {
  static constexpr std::uint64_t kLine = 100u << 20, kLines = (200u << 20) / 11; // lines of 11 bytes
  std::uint64_t at = 0, counts[3] = {0, 0, 0};                                 // entries read, unread, the last line
  const auto source = [](void* context, char* buf, std::size_t size) -> std::size_t {
    std::uint64_t& i = *static_cast<std::uint64_t*>(context);
    std::size_t n = 0;
    for (; n < size && i < kLine + 11 * kLines; ++n, ++i) buf[n] = i < kLine ? (i + 1 == kLine ? '\n' : 'x') : "1 2 3 name\n"[(i - kLine) % 11];
    return n;
  };
  const auto sink = [](void* context, const PaletteEntry& e) {
    std::uint64_t* c = static_cast<std::uint64_t*>(context);
    return ++c[e.read ? 0 : 1], c[2] = e.line, true;
  };
#if defined(__linux__)
  rusage before, after;
  getrusage(RUSAGE_SELF, &before);
#endif
  read_palette({source, &at, nullptr}, sink, counts);
  EXPECT_EQ(counts[0], kLines);
  EXPECT_EQ(counts[1], 1u);
  EXPECT_EQ(counts[2], 1 + kLines);
#if defined(__linux__)
  getrusage(RUSAGE_SELF, &after);
  EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 16 * 1024) << "KiB more at the peak";
#endif
  // In find mode, 40,000 colours on one line with no key, each held until the line's end tells it from a
  // selector: a few milliseconds when each colour costs what it spans, and many seconds when it costs the line.
  std::string line;
  for (int i = 0; i < 40000; ++i) line += "#abcdef ";
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(read_bytes(line, line.size(), nullptr, PaletteMode::find).size(), 40000u);
  EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 5.0) << "seconds for 40,000 colours on a line";
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
      rows += path + '\t' + std::to_string(e.line) + '\t' + e.name + '\t' + rgb[0] + ' ' + rgb[1] + ' ' + rgb[2] + '\t' + std::to_string(tool.match.hue) +
              ' ' + std::to_string(tool.match.saturation) + ' ' + std::to_string(tool.match.brightness) + '\t' + distance + '\n';
    }
  }
  const ToolRun run = run_program(TINTWISE_PALETTE_EXE, args);
  EXPECT_EQ(run.out, rows);
  EXPECT_EQ(run.err, problems + vga_note(palette_path("sample-vga.pal")));
  EXPECT_EQ(run.status, 65);
}

// Standard input, formats, usage, missing files and failed writes.
TEST(PaletteCommand, ExitStatusesAndStreams) {
  const std::string hex = palette_path("sample.hex"), vga = palette_path("sample-vga.pal");
  const std::string note = vga_note(vga);
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
      {{"--format", "{hue}", "-"}, "</dev/null", 65, "", nullptr},
      {{"--format={{{line}}}\\t{red},{green},{blue} {rendered_hex}}}", hex}, "", 0,
       "{1}\t255,128,0 #c54639}\n{2}\t10,20,30 #0a141e}\n{3}\t200,100,50 #bb5640}\n{5}\t255,255,255 #d1d1d1}\n", ""},
      {{"--format={hue", hex}, "", 64, "", nullptr},
      {{"--format={colour}", hex}, "", 64, "", nullptr},
      {{"--format=}", hex}, "", 64, "", nullptr},
      {{"--format=plain text", hex}, "", 64, "", nullptr},
      {{}, "</dev/null", 65, "file,line,name,hex,hue,saturation,brightness,distance,rendered_hex\n", "(standard input): empty: it holds nothing to read\n"},
      {{"--version"}, "", 0, "tintwise-palette " TINTWISE_VERSION "\n", ""},
      {{"--help"}, "", 0, nullptr, ""},
      {{"--format=cvs", hex}, "", 64, "", "tintwise-palette: unknown format 'cvs' (formats: csv, json, gpl, text, ase, aco, act, jasc, paintnet, kpl, swatches, or a template with {fields})\nTry 'tintwise-palette --help'.\n"},
      // A table of 6-bit values may be a VGA palette: said once a run, the status untouched; not said with --vga, nor
      // for a table with one value of 64.
      {{"--format={line}", vga, vga}, "", 0, nullptr, note.c_str()},
      {{"--vga", "--format={line}", vga}, "", 0, nullptr, ""},
      {{"--format={line}", "-"}, "<" + palette_path("sample-count.act"), 0, nullptr, ""},
      {{"--colour"}, "", 64, "", "tintwise-palette: unknown option '--colour'\nTry 'tintwise-palette --help'.\n"},
      {{"--format"}, "", 64, "", "tintwise-palette: --format needs a value\nTry 'tintwise-palette --help'.\n"},
      {{"--jobs=0", hex}, "", 64, "", "tintwise-palette: --jobs needs a number of threads from 1 to 999\nTry 'tintwise-palette --help'.\n"},
      {{"--jobs=1000", hex}, "", 64, "", nullptr},
      {{"--jobs=999", "--format={line}", hex}, "", 0, "1\n2\n3\n5\n", ""},
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
    EXPECT_EQ(run.out, r.out ? r.out : run.out) << what; // null: not checked
    EXPECT_EQ(run.err, r.err ? r.err : run.err) << what;
  }
}

// Names and a file name that hold what CSV and JSON must quote or escape,
// read back by Python's csv and json modules (strict), each CSV row written
// again by Python's own minimal quoting to the same bytes: every name and the
// file name come back as read.
TEST(PaletteCommand, WritesRowsAStrictParserReadsForAnyName) {
  const TempDir dir;
  const std::string path = dir.path + "/odd, \"name\" \\.txt";
  const std::string palette = "1 2 3 a \"quoted\", name\n4 5 6 back\\slash\\\n7 8 9 ctl\x01x\x7f\x1b[31m\n"
                              "10 11 12 bad\xff\xfe utf\n13 14 15 tab\there\n16 17 18 \xF0\x9F\x98\x80 \\u0041 {}\n19 20 21 a, b\n";
  std::ofstream(path, std::ios::binary) << palette;
  EXPECT_EQ(run_program(TINTWISE_PALETTE_EXE, {path}, ">'" + dir.path + "/out.csv'").status, 0);
  EXPECT_EQ(run_program(TINTWISE_PALETTE_EXE, {"--format=json", path}, ">'" + dir.path + "/out.jsonl'").status, 0);
  const char* check = "import csv, io, json, sys\n"
                      "rows = open(sys.argv[1], newline='', encoding='utf-8').read().splitlines(True)\n"
                      "objects = [json.loads(line) for line in open(sys.argv[2], encoding='utf-8')]\n"
                      "assert len(rows) == len(objects) + 1\n"
                      "for line, o in zip(rows[1:], objects):\n"
                      "  r = next(csv.reader([line], strict=True)); again = io.StringIO(); csv.writer(again, lineterminator='\\n').writerow(r)\n"
                      "  assert again.getvalue() == line and len(r) == 9 and (o['file'], o['name'], o['hex']) == (r[0], r[2], r[3]), (line, o)\n"
                      "  print(r[0] + '|' + r[2])\n";
  std::string expected;
  for (const PaletteEntry& e : read_bytes(palette, 4096)) expected += e.read ? path + "|" + e.name + "\n" : "";
  const ToolRun python = run_program("python3", {"-c", check, dir.path + "/out.csv", dir.path + "/out.jsonl"}, "", true);
  EXPECT_EQ(python.out, expected) << python.err;
  EXPECT_EQ(python.status, 0);
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
  const TempDir dir;
  const std::string input = dir.path + "/repeats.txt";
  std::ofstream out(input, std::ios::binary);
  for (const std::uint32_t c : order) out << (c >> 16) << ' ' << (c >> 8 & 255) << ' ' << (c & 255) << '\n';
  out.close();
  for (const char* jobs : {"--jobs=1", "--jobs=3"}) { // searched on the reading thread, then on three others
    std::istringstream rows(run_program(TINTWISE_PALETTE_EXE, {jobs, "--format={hex} {hue} {saturation} {brightness} {distance}", input}).out);
    std::size_t n = 0, wrong = 0;
    for (std::string row; std::getline(rows, row); ++n) {
      const std::uint32_t c = n < order.size() ? order[n] : 0;
      HsbAnswer a{};
      find_best_hsb_answer(a, static_cast<std::int32_t>(c >> 16), c >> 8 & 255, c & 255);
      char expected[64];
      std::snprintf(expected, sizeof expected, "#%06x %d %d %d %s", c, int{a.match.hue}, int{a.match.saturation}, int{a.match.brightness}, a.distance);
      if (row != expected && ++wrong <= 3) ADD_FAILURE() << jobs << ", row " << n + 1 << ": " << row << ", expected " << expected;
    }
    EXPECT_EQ(n, order.size()) << jobs;
  }
}


// A write that fails part way leaves only whole rows in the file.
TEST(PaletteCommand, LeavesNoHalfWrittenRow) {
  if (std::strlen(TINTWISE_EMULATOR) > 0) GTEST_SKIP() << "the shell would run under the emulator";
  const TempDir dir;
  const std::string input = dir.path + "/many.txt", output = dir.path + "/limited.csv";
  std::ofstream many(input, std::ios::binary);
  for (int i = 0; i < 40000; ++i) many << i % 256 << ' ' << i / 256 % 256 << " 7 a name\n";
  many.close();
  // A file size limit of 200 blocks of 512 bytes makes the write fail part
  // way (SIGXFSZ ignored, so write() reports EFBIG).
  const ToolRun run = run_program("/bin/sh", {"-c", "trap '' XFSZ; ulimit -f 200; exec \"$0\" \"$1\" >\"$2\"", TINTWISE_PALETTE_EXE, input, output});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "tintwise-palette: write error: File too large\n");
  const std::string written = slurp(output);
  EXPECT_GT(written.size(), 100000u);
  EXPECT_EQ(written.back(), '\n');
}
#endif
