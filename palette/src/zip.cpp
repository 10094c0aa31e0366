// Zip archives (PKWARE's APPNOTE): Krita's .kpl and Procreate's .swatches
// palettes. The archive is held whole (at most kPaletteMaxArchive bytes) and
// read from its end: the end record, the central directory it points to, and
// each entry's local header, which must agree with its directory entry.
// Nothing in it is believed before it is checked:
//  - every offset and size lies inside the file: the central directory
//    before the end record, each entry's header and data before the central
//    directory, and no two entries share bytes (a zip bomb's trick);
//  - ZIP64, archives split across files, encrypted entries and names that
//    would leave a folder (a ".." part, a leading "/" or "\", a drive) are
//    reported, and nothing of the archive is read;
//  - only stored and deflated entries are read, each checked against its
//    size and CRC-32; one that would inflate past kPaletteMaxArchive, or past
//    1,000 times its compressed size, is not inflated. Inflating is the
//    caller's (PaletteOptions::inflate): this library has no inflater.
#include <algorithm>
#include <vector>

#include "reader.h"

namespace tintwise {
namespace palette_reader {

namespace {

constexpr std::uint32_t kLocal = 0x04034b50, kCentral = 0x02014b50, kEnd = 0x06054b50, kEnd64Locator = 0x07064b50;
constexpr std::uint64_t kMaxRatio = 1000;

struct ZipEntry {
  std::string name;
  std::uint32_t flags, method, crc, compressed, size, offset;
  std::size_t data; // where its data begins
};

std::uint32_t le_at(const std::string& z, std::size_t at, std::size_t n) {
  Cursor c{z, at};
  return c.le(n);
}

std::string quoted(const std::string& name) { return "\"" + clean_utf8(name.substr(0, 64)) + "\""; }

// Whether a name would leave the folder an archive is unpacked in.
bool leaves(const std::string& name) {
  if ((!name.empty() && (name[0] == '/' || name[0] == '\\')) || (name.size() >= 2 && name[1] == ':')) return true;
  std::size_t start = 0;
  for (std::size_t i = 0; i <= name.size(); ++i) {
    if (i < name.size() && name[i] != '/' && name[i] != '\\') continue;
    if (name.compare(start, i - start, "..") == 0) return true;
    start = i + 1;
  }
  return false;
}

// The end record: the last "PK\5\6" whose comment runs exactly to the end;
// else, where bytes follow it (as some tools leave), the last whose comment
// fits the file and whose central directory ends where it begins, with a
// directory entry (or none) there.
std::size_t end_record(const std::string& z) {
  for (std::size_t at = z.size() - 22;; --at) {
    if (le_at(z, at, 4) == kEnd && le_at(z, at + 20, 2) == z.size() - at - 22) return at;
    if (at == 0 || z.size() - at - 22 == 0xFFFF) break;
  }
  for (std::size_t at = z.size() - 22;; --at) {
    if (le_at(z, at, 4) == kEnd && le_at(z, at + 20, 2) <= z.size() - at - 22) {
      const std::size_t size = le_at(z, at + 12, 4), offset = le_at(z, at + 16, 4);
      if (offset <= at && size == at - offset && (size == 0 || (size >= 4 && le_at(z, offset, 4) == kCentral))) return at;
    }
    if (at == 0) return std::string::npos;
  }
}

// Reads the central directory into `entries`, each checked against its local
// header; returns why the archive is not read, or an empty string.
std::string directory(const std::string& z, std::vector<ZipEntry>& entries, std::size_t& after) {
  const std::size_t end = z.size() < 22 ? std::string::npos : end_record(z);
  if (end == std::string::npos) return "truncated or corrupt: a zip archive without an end record that leads to its central directory";
  after = z.size() - end - 22 - le_at(z, end + 20, 2);
  if (end >= 20 && le_at(z, end - 20, 4) == kEnd64Locator) return "not read: a ZIP64 archive";
  const std::uint32_t disk = le_at(z, end + 4, 2), first_disk = le_at(z, end + 6, 2), here = le_at(z, end + 8, 2),
                      count = le_at(z, end + 10, 2), size = le_at(z, end + 12, 4), offset = le_at(z, end + 16, 4);
  if (count == 0xFFFF || size == 0xFFFFFFFF || offset == 0xFFFFFFFF) return "not read: a ZIP64 archive";
  if (disk != 0 || first_disk != 0 || here != count) return "not read: one part of a zip archive split across files";
  if (offset > end || size > end - offset) return "corrupt: the zip archive's central directory lies past the end of the file";
  std::size_t at = offset;
  const std::size_t stop = offset + std::size_t{size};
  for (std::uint32_t i = 0; i < count; ++i) {
    if (stop - at < 46 || le_at(z, at, 4) != kCentral) return "corrupt: the zip archive's central directory holds fewer entries than it counts";
    const std::size_t name = le_at(z, at + 28, 2), extra = le_at(z, at + 30, 2), comment = le_at(z, at + 32, 2);
    if (stop - at - 46 < name + extra + comment) return "corrupt: an entry of the zip archive's central directory runs past it";
    ZipEntry e{z.substr(at + 46, name), le_at(z, at + 8, 2), le_at(z, at + 10, 2), le_at(z, at + 16, 4),
               le_at(z, at + 20, 4), le_at(z, at + 24, 4), le_at(z, at + 42, 4), 0};
    if (e.compressed == 0xFFFFFFFF || e.size == 0xFFFFFFFF || e.offset == 0xFFFFFFFF) return "not read: a ZIP64 archive";
    if (e.flags & 0x41) return "not read: the zip archive holds an encrypted entry, " + quoted(e.name);
    if (leaves(e.name)) return "not read: the zip archive holds an entry named " + quoted(e.name) + ", a path that leaves its folder";
    entries.push_back(std::move(e));
    at += 46 + name + extra + comment;
  }
  if (at != stop) return "corrupt: the zip archive's central directory is longer than its entries";
  // Two entries of one name: readers differ in which they take (Python's
  // zipfile the last, others the first), so neither is believed.
  std::vector<const std::string*> names;
  for (const ZipEntry& e : entries) names.push_back(&e.name);
  std::sort(names.begin(), names.end(), [](const std::string* a, const std::string* b) { return *a < *b; });
  for (std::size_t i = 1; i < names.size(); ++i) {
    if (*names[i] == *names[i - 1]) return "not read: the zip archive holds two entries named " + quoted(*names[i]) + ", and which of them a program reads differs";
  }
  std::vector<std::pair<std::size_t, std::size_t>> spans; // each entry's bytes, header to end of data
  for (ZipEntry& e : entries) {
    const std::string bad = "corrupt: the local header of " + quoted(e.name) + " in the zip archive ";
    if (e.offset > offset || offset - e.offset < 30 || le_at(z, e.offset, 4) != kLocal) return bad + "is not where its directory says";
    const std::size_t name = le_at(z, e.offset + 26, 2), extra = le_at(z, e.offset + 28, 2), flags = le_at(z, e.offset + 6, 2);
    if (offset - e.offset - 30 < name + extra) return bad + "runs past the entries";
    const bool described = flags & 8; // sizes and CRC in a descriptor after the data, so 0 here
    if (z.compare(e.offset + 30, name, e.name) != 0 || le_at(z, e.offset + 8, 2) != e.method || (flags & 0x49) != (e.flags & 0x49) ||
        (!described && (le_at(z, e.offset + 14, 4) != e.crc || le_at(z, e.offset + 18, 4) != e.compressed || le_at(z, e.offset + 22, 4) != e.size))) {
      return bad + "does not agree with its directory";
    }
    e.data = e.offset + 30 + name + extra;
    if (offset - e.data < e.compressed) return "corrupt: the data of " + quoted(e.name) + " in the zip archive runs past the entries";
    spans.emplace_back(e.offset, e.data + e.compressed);
  }
  std::sort(spans.begin(), spans.end());
  for (std::size_t i = 1; i < spans.size(); ++i) {
    if (spans[i].first < spans[i - 1].second) return "corrupt: two entries of the zip archive share bytes";
  }
  return {};
}

// The bytes of entry `e` into `out`; returns why they are not read, or an empty string.
std::string extract(const Reader& r, const std::string& z, const ZipEntry& e, std::string& out) {
  const std::string what = quoted(e.name) + " in the zip archive";
  if (e.method == 0) {
    if (e.compressed != e.size) return "corrupt: " + what + " is stored, but its two sizes differ";
    out.assign(z, e.data, e.size);
  } else if (e.method == 8) {
    const std::uint64_t most = std::min<std::uint64_t>(kPaletteMaxArchive, kMaxRatio * std::max<std::uint64_t>(e.compressed, 1));
    if (e.size > most) {
      return "not read: " + what + " would inflate to " + std::to_string(e.size) + " bytes, past " + std::to_string(most) +
             " (64 MiB, or 1,000 times its compressed size)";
    }
    if (!r.options || !r.options->inflate) {
      return "not read: " + what + " is deflated, and this build has no inflater: use a build with zlib (every release of Tintwise has it), or "
             "unpack the archive and read " + quoted(e.name) + " itself";
    }
    const auto* data = reinterpret_cast<const unsigned char*>(z.data() + e.data);
    switch (r.options->inflate(r.options->inflate_context, data, e.compressed, e.size, out)) {
      case Inflated::done: break;
      case Inflated::too_large: return "corrupt: " + what + " inflates past the size its directory gives";
      case Inflated::unavailable: return "not read: " + what + " is deflated, and no inflater is at hand";
      default: return "corrupt: " + what + " is not deflate data, or it is cut short";
    }
    if (out.size() != e.size) return "corrupt: " + what + " inflates to fewer bytes than its directory gives";
  } else {
    return "not read: " + what + " is compressed by method " + std::to_string(e.method) + "; only stored and deflated entries are read";
  }
  if (crc32(out.data(), out.size()) != e.crc) return "corrupt: " + what + " fails its CRC-32 check";
  return {};
}

const ZipEntry* find_entry(const std::vector<ZipEntry>& entries, const char* name) {
  for (const ZipEntry& e : entries) {
    if (e.name == name) return &e;
  }
  return nullptr;
}

// What an archive holds, for the report that it is no palette: the first
// names, and how many more.
std::string holding(const std::vector<ZipEntry>& entries) {
  std::string names;
  for (std::size_t i = 0; i < entries.size() && i < 3; ++i) names += (i ? ", " : "") + quoted(entries[i].name);
  if (entries.size() > 3) names += " and " + std::to_string(entries.size() - 3) + " more";
  return names;
}

} // namespace

PaletteFormat read_zip(Reader& r) {
  std::string z, bytes;
  take(r.in, kPaletteMaxArchive + std::uint64_t{1}, &z);
  if (z.size() > kPaletteMaxArchive) return report_file(r, "not a palette: a zip archive of more than 64 MiB"), PaletteFormat::not_palette;
  std::vector<ZipEntry> entries;
  std::size_t after = 0;
  std::string why = directory(z, entries, after);
  if (!why.empty()) return report_file(r, why), PaletteFormat::not_palette;
  if (after > 0) report_file(r, "the zip archive ends with " + std::to_string(after) + " bytes after its end record, which are not read");
  const ZipEntry* colorset = find_entry(entries, "colorset.xml");
  const ZipEntry* swatches = find_entry(entries, "Swatches.json");
  const ZipEntry* mime = find_entry(entries, "mimetype"); // first, as Krita writes it, or anywhere, as Krita reads it
  std::string mimetype;
  const std::string mime_why = mime ? extract(r, z, *mime, mimetype) : std::string();
  // Krita names its palettes so (older versions krita/x-colorset).
  if (colorset && mime_why.empty() && (mimetype == "application/x-krita-palette" || mimetype == "krita/x-colorset")) {
    why = extract(r, z, *colorset, bytes);
    if (!why.empty()) return report_file(r, why), PaletteFormat::kpl;
    // colorset.xml in any encoding the XML reader knows: UTF-16, told by its
    // byte order mark, through the same decoder as a UTF-16 file.
    const bool utf16 = bytes.compare(0, 2, "\xFF\xFE") == 0 || bytes.compare(0, 2, "\xFE\xFF") == 0;
    Memory text{&bytes, utf16 ? 2 : bytes.compare(0, 3, "\xEF\xBB\xBF") == 0 ? std::size_t{3} : 0};
    Input raw = make_input(memory_source(text));
    Utf16 decoder{&raw, bytes[0] == '\xFE', {}, 0};
    Input in = utf16 ? make_input(utf16_source(decoder)) : raw;
    Reader xml{in, r.sink, r.context, PaletteUnit::line, false, 0, 0, {}};
    xml.options = r.options;
    xml.utf16 = utf16 ? (bytes[0] == '\xFE' ? 2 : 1) : 0;
    read_xml(xml);
    r.stopped = xml.stopped;
    return PaletteFormat::kpl;
  }
  if (swatches && !colorset) {
    why = extract(r, z, *swatches, bytes);
    if (!why.empty()) return report_file(r, why), PaletteFormat::swatches;
    read_procreate(r, bytes);
    return PaletteFormat::swatches;
  }
  if (entries.empty()) return report_file(r, "not a palette: an empty zip archive"), PaletteFormat::not_palette;
  if (colorset && !mime_why.empty()) return report_file(r, mime_why), PaletteFormat::not_palette;
  const std::string kind = mimetype == "application/x-swatchbook" ? "a SwatchBooker .sbz palette"
                           : colorset && !mime ? "a zip archive with a colorset.xml but no mimetype entry, which a Krita palette has"
                           : colorset ? "a zip archive with a colorset.xml whose mimetype entry says " + quoted(mimetype.substr(0, 64)) + ", not Krita's palette"
                                      : "a zip archive";
  report_file(r, "not a palette: " + kind + " holding " + holding(entries) +
                     ", without a Krita colorset.xml or a Procreate Swatches.json; export the palette as GIMP .gpl or Adobe .ase, and convert that");
  return PaletteFormat::not_palette;
}

} // namespace palette_reader
} // namespace tintwise
