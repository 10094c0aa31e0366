#include "reader.h"

#include <algorithm>
#include <cstring>

namespace tintwise {
namespace palette_reader {

// --- Input -------------------------------------------------------------------

Input make_input(const PaletteSource& source) {
  Input in;
  in.source = source;
  in.pos = in.len = 0;
  in.ended = in.after_cr = false;
  return in;
}

// Reads into the buffer's free room; a source that reports more than it was
// given room for ends the input.
static bool read_more(Input& in) {
  const std::size_t room = sizeof in.buf - in.len;
  const std::size_t got = in.source.read(in.source.context, in.buf + in.len, room);
  if (got == 0 || got > room) {
    in.ended = true;
    return false;
  }
  in.len += got;
  return true;
}

bool available(Input& in) {
  if (in.pos < in.len) return true;
  if (in.ended) return false;
  in.pos = in.len = 0;
  return read_more(in);
}

void gather(Input& in, std::size_t n, bool patient) {
  while (in.len - in.pos < n && !in.ended) {
    if (!patient && in.len > in.pos && in.source.ready && !in.source.ready(in.source.context)) return;
    std::memmove(in.buf, in.buf + in.pos, in.len - in.pos);
    in.len -= in.pos;
    in.pos = 0;
    read_more(in);
  }
}

std::size_t buffered(const Input& in) { return in.len - in.pos; }
const unsigned char* peek(const Input& in) { return reinterpret_cast<const unsigned char*>(in.buf + in.pos); }

std::size_t take(Input& in, std::uint64_t n, std::string* out) {
  std::uint64_t got = 0;
  while (got < n && available(in)) {
    const std::size_t chunk = static_cast<std::size_t>(std::min<std::uint64_t>(n - got, in.len - in.pos));
    if (out) out->append(in.buf + in.pos, chunk);
    in.pos += chunk;
    got += chunk;
  }
  return static_cast<std::size_t>(got);
}

bool read_line(Input& in, Line& line, std::size_t max) {
  line.text.clear();
  line.too_long = false;
  // A line feed right after a line that ended in a carriage return ends nothing:
  // the two were one line end (looked at only now, so a pausing source is not
  // waited for after a line ending in CR).
  if (in.after_cr && available(in) && in.buf[in.pos] == '\n') ++in.pos;
  in.after_cr = false;
  if (!available(in)) return false;
  bool ended = false;
  std::uint64_t length = 0, ctrl_z = 0; // the line's bytes, and how many at its end are Ctrl-Z
  while (!ended && available(in)) {
    const char* start = in.buf + in.pos;
    const std::size_t left = in.len - in.pos;
    std::size_t n = 0;
    while (n < left && start[n] != '\n' && start[n] != '\r') ctrl_z = start[n++] == '\x1a' ? ctrl_z + 1 : 0;
    // One byte more than a line may hold tells a line that fits from one that does not.
    line.text.append(start, std::min(n, max + 1 - line.text.size()));
    length += n;
    ended = n < left;
    in.after_cr = ended && start[n] == '\r';
    in.pos += ended ? n + 1 : n;
  }
  // Ctrl-Z bytes that end the input are the end of old DOS text (some
  // programs pad the last block with them), not part of it.
  if (!ended) length -= ctrl_z;
  if (line.text.size() > length) line.text.resize(static_cast<std::size_t>(length));
  if (length > max) {
    line.too_long = true;
    line.text.resize(max);
  }
  return true;
}

bool take_record(Input& in, std::size_t n, std::string& record) {
  record.clear();
  return take(in, n, &record) == n;
}

// --- Entries -----------------------------------------------------------------

static void hand_over(Reader& r, std::uint64_t where, PaletteUnit unit) {
  r.entry.line = where;
  r.entry.unit = unit;
  r.stopped = !r.sink(r.context, r.entry);
}

void report(Reader& r, std::uint64_t where, std::string reason) {
  if (r.stopped) return;
  r.entry.read = false;
  r.entry.red = r.entry.green = r.entry.blue = 0;
  r.entry.name.clear();
  r.entry.reason = std::move(reason);
  ++r.reported;
  hand_over(r, where, r.unit);
}

void report_file(Reader& r, std::string reason) {
  const PaletteUnit unit = r.unit;
  r.unit = PaletteUnit::file;
  report(r, 0, std::move(reason));
  r.unit = unit;
}

void deliver(Reader& r, std::uint64_t where, const std::uint8_t rgb[3], std::string name) {
  if (r.stopped) return;
  r.entry.read = true;
  r.entry.red = rgb[0];
  r.entry.green = rgb[1];
  r.entry.blue = rgb[2];
  r.entry.name = std::move(name);
  r.entry.reason.clear();
  ++r.delivered;
  hand_over(r, where, r.unit);
}

std::uint32_t Cursor::be(std::size_t n) {
  std::uint32_t v = 0;
  for (std::size_t i = 0; i < n; ++i) v = v << 8 | static_cast<unsigned char>(data[at++]);
  return v;
}

std::uint32_t Cursor::le(std::size_t n) {
  std::uint32_t v = 0;
  for (std::size_t i = 0; i < n; ++i) v |= static_cast<std::uint32_t>(static_cast<unsigned char>(data[at++])) << (8 * i);
  return v;
}

// --- Text --------------------------------------------------------------------

void append_utf8(std::string& out, std::uint32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | c >> 6);
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | c >> 12);
    out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | c >> 18);
    out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
    out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// The code point of a UTF-16 unit `u`, given a way to take the next unit if
// it is a high surrogate's partner; an unpaired surrogate is U+FFFD.
template <typename Next>
static std::uint32_t utf16_code(std::uint32_t u, Next&& next) {
  if (u >= 0xD800 && u < 0xDC00) {
    std::uint32_t low;
    if (next(low)) return 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00);
    return kReplacement;
  }
  return u >= 0xDC00 && u < 0xE000 ? kReplacement : u;
}

std::string utf16_name(Cursor& c, std::uint32_t units, bool big_endian) {
  std::string out;
  bool ended = false;
  for (std::uint32_t i = 0; i < units; ++i) {
    const std::uint32_t u = big_endian ? c.be(2) : c.le(2);
    if (u == 0) ended = true;
    if (ended) continue;
    append_utf8(out, utf16_code(u, [&](std::uint32_t& low) {
      if (i + 1 >= units) return false;
      const std::size_t back = c.at;
      low = big_endian ? c.be(2) : c.le(2);
      if (low >= 0xDC00 && low < 0xE000) return ++i, true;
      c.at = back;
      return false;
    }));
  }
  return clean_utf8(out);
}

// Length of the well-formed UTF-8 sequence at s[0..n), 0 if there is none;
// `cut` is set when the bytes end inside what could still be one.
static std::size_t utf8_sequence(const unsigned char* s, std::size_t n, bool& cut) {
  const unsigned char b = s[0];
  // The length of a well-formed sequence and the range of its second byte
  // (which excludes overlong forms, surrogates and code points past U+10FFFF).
  std::size_t len = 0;
  unsigned char lo = 0x80, hi = 0xBF;
  if (b < 0x80) return 1;
  if (b >= 0xC2 && b <= 0xDF) len = 2;
  else if (b >= 0xE0 && b <= 0xEF) len = 3, lo = b == 0xE0 ? 0xA0 : 0x80, hi = b == 0xED ? 0x9F : 0xBF;
  else if (b >= 0xF0 && b <= 0xF4) len = 4, lo = b == 0xF0 ? 0x90 : 0x80, hi = b == 0xF4 ? 0x8F : 0xBF;
  cut = false;
  for (std::size_t k = 1; k < len; ++k) {
    if (k == n) return cut = true, 0;
    if (s[k] < (k == 1 ? lo : 0x80) || s[k] > (k == 1 ? hi : 0xBF)) return 0;
  }
  return len;
}

const char* not_text(const unsigned char* s, std::size_t n, bool complete) {
  std::size_t controls = 0, invalid = 0;
  bool first_line = true;
  for (std::size_t i = 0; i < n;) {
    const unsigned char b = s[i];
    if (b == 0 && first_line) return "a NUL byte in its first line";
    if (b == '\n') first_line = false;
    // Blanks, line ends, escape (colour codes in logs) and Ctrl-Z (the end
    // of old DOS text) belong in text; other control characters do not.
    if (b < 0x20 && (b == 0 || !std::strchr("\t\n\v\f\r\x1a\x1b", b))) ++controls;
    bool cut = false;
    const std::size_t len = utf8_sequence(s + i, n - i, cut);
    if (cut && !complete) break;
    if (len == 0) ++invalid;
    i += len == 0 ? 1 : len;
  }
  // A text palette may hold the odd stray byte (a NUL, a name in a legacy
  // code page), and reports it in its line; binary data has them everywhere.
  if (controls * 20 > n) return "NUL bytes or control characters all through its start";
  if (invalid * 10 > n) return "bytes that are not UTF-8 all through its start";
  return nullptr;
}

bool valid_utf8(const std::string& text) {
  const auto* s = reinterpret_cast<const unsigned char*>(text.data());
  for (std::size_t i = 0, len; i < text.size(); i += len) {
    bool cut;
    if ((len = utf8_sequence(s + i, text.size() - i, cut)) == 0) return false;
  }
  return true;
}

bool clean_text(const unsigned char* s, std::size_t n) {
  for (std::size_t i = 0; i < n;) {
    bool cut;
    const std::size_t len = utf8_sequence(s + i, n - i, cut);
    if (len == 0 || (s[i] < 0x20 && s[i] != '\t') || s[i] == 0x7F) return false;
    i += len;
  }
  return true;
}

// --- UTF-16 ------------------------------------------------------------------

static std::size_t utf16_read(void* context, char* buf, std::size_t size) {
  Utf16& d = *static_cast<Utf16*>(context);
  std::size_t n = 0;
  const auto unit = [&d](std::uint32_t& u) {
    gather(*d.raw, 2);
    if (buffered(*d.raw) < 2) return false;
    const unsigned char* p = peek(*d.raw);
    u = d.big_endian ? static_cast<std::uint32_t>(p[0] << 8 | p[1]) : static_cast<std::uint32_t>(p[1] << 8 | p[0]);
    d.raw->pos += 2;
    return true;
  };
  while (n < size) {
    if (d.pending_len > 0) {
      buf[n++] = d.pending[0];
      std::memmove(d.pending, d.pending + 1, --d.pending_len);
      continue;
    }
    if (n > 0 && buffered(*d.raw) < 2 && d.raw->source.ready && !d.raw->source.ready(d.raw->source.context)) break;
    std::uint32_t u;
    if (!unit(u)) {
      if (take(*d.raw, 1, nullptr) == 1) u = kReplacement; // an odd byte at the end
      else break;
    } else {
      u = utf16_code(u, [&](std::uint32_t& low) {
        gather(*d.raw, 2);
        const unsigned char* p = peek(*d.raw);
        if (buffered(*d.raw) < 2) return false;
        low = d.big_endian ? static_cast<std::uint32_t>(p[0] << 8 | p[1]) : static_cast<std::uint32_t>(p[1] << 8 | p[0]);
        if (low < 0xDC00 || low >= 0xE000) return false;
        d.raw->pos += 2;
        return true;
      });
    }
    std::string utf8;
    append_utf8(utf8, u);
    std::memcpy(d.pending, utf8.data(), utf8.size());
    d.pending_len = utf8.size();
  }
  return n;
}

static bool utf16_ready(void* context) {
  const Utf16& d = *static_cast<const Utf16*>(context);
  return d.pending_len > 0 || buffered(*d.raw) >= 2 || !d.raw->source.ready || d.raw->source.ready(d.raw->source.context);
}

PaletteSource utf16_source(Utf16& decoder) { return {utf16_read, &decoder, utf16_ready}; }

// --- Memory ------------------------------------------------------------------

static std::size_t memory_read(void* context, char* buf, std::size_t size) {
  Memory& m = *static_cast<Memory*>(context);
  const std::size_t n = std::min(size, m.bytes->size() - m.at);
  std::memcpy(buf, m.bytes->data() + m.at, n);
  m.at += n;
  return n;
}

PaletteSource memory_source(Memory& memory) { return {memory_read, &memory, nullptr}; }

} // namespace palette_reader

// ISO 3309's CRC-32, reflected, a byte at a time through a table of 256.
std::uint32_t crc32(const void* data, std::size_t size, std::uint32_t crc) {
  struct Table {
    std::uint32_t t[256];
    Table() {
      for (std::uint32_t i = 0; i < 256; ++i) {
        std::uint32_t c = i;
        for (int k = 0; k < 8; ++k) c = c >> 1 ^ (0xEDB88320u & (0u - (c & 1)));
        t[i] = c;
      }
    }
  };
  static const Table table;
  const auto* p = static_cast<const unsigned char*>(data);
  std::uint32_t c = ~crc;
  for (std::size_t i = 0; i < size; ++i) c = table.t[(c ^ p[i]) & 0xFF] ^ c >> 8;
  return ~c;
}

std::string clean_utf8(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  const auto* s = reinterpret_cast<const unsigned char*>(text.data());
  for (std::size_t i = 0; i < text.size();) {
    bool cut;
    const std::size_t len = palette_reader::utf8_sequence(s + i, text.size() - i, cut);
    if (len == 1) out += s[i] < 0x20 || s[i] == 0x7F ? ' ' : static_cast<char>(s[i]);
    else if (len > 1) out.append(text, i, len);
    else palette_reader::append_utf8(out, palette_reader::kReplacement);
    i += len == 0 ? 1 : len;
  }
  return out;
}

} // namespace tintwise
