// A package's summary, tables and property tags, each field checked against
// the bytes before it is believed. The layout is the public headers' (the
// summary, FObjectImport and FObjectExport of Core/Inc/UnLinker.h; the
// state frame of Core/Inc/UnStack.h and UnObjBas.h's RF_HasStack), the tags
// the format's public documents' (UnrealWiki's Package File Format pages).
#include "tintwise/package.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace tintwise {

namespace {

// Fields of a package's source, each read only after the room for it is
// checked: a window of the file is held, and another read where a field
// leaves it.
struct Reader {
  const PackageSource& source;
  std::uint64_t at, limit; // where the next field is, and the end of what it may read
  bool ok = true;
  std::string window;
  std::uint64_t window_at = 0;
  static constexpr std::size_t kWindow = 1 << 16;
  // The `n` bytes at `at`, in the window.
  const unsigned char* need(std::size_t n) {
    if (!ok || n > limit - at || at > limit) return ok = false, nullptr;
    if (at < window_at || at + n > window_at + window.size()) {
      window_at = at;
      const std::uint64_t want = std::min<std::uint64_t>(std::max(n, kWindow), limit - at);
      if (!source.read_at(source.context, at, static_cast<std::size_t>(want), window) || window.size() < n) return ok = false, nullptr;
    }
    return reinterpret_cast<const unsigned char*>(window.data() + (at - window_at));
  }
  std::uint64_t le(std::size_t n) {
    const unsigned char* p = need(n);
    if (!p) return 0;
    std::uint64_t v = 0;
    for (std::size_t i = n; i-- > 0;) v = v << 8 | p[i];
    at += n;
    return v;
  }
  std::int32_t compact();
};

bool lower_equal(const std::string& a, const char* b) {
  if (a.size() != std::strlen(b)) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const char c = a[i] >= 'A' && a[i] <= 'Z' ? static_cast<char>(a[i] - 'A' + 'a') : a[i];
    if (c != b[i]) return false;
  }
  return true;
}

// The versions read, with the licensees whose layout is the engine's own:
// 61..69 of the first generation (Epic's, licensee 0), 118..128 of the
// later (Epic's, and UT2004's licensee 0x1D, as its Core/Inc/UnObjVer.h
// gives PACKAGE_FILE_VERSION_LICENSEE).
bool known_version(std::uint32_t version, std::uint32_t licensee) {
  return (version >= 61 && version <= 69 && licensee == 0) || (version >= 118 && version <= 128 && (licensee == 0 || licensee == 0x1D));
}

} // namespace

namespace {

// A compact index in the `n` bytes at `p`: bit 7 of the first byte the sign,
// bit 6 "more", 6 bits of value; then up to three bytes of 7 bits and
// "more", and a fifth of 8 bits. `used` is how many it took.
bool decode_compact(const unsigned char* p, std::size_t n, std::size_t& used, std::int32_t& value) {
  std::uint32_t v = 0;
  bool negative = false;
  for (int i = 0; i < 5; ++i) {
    if (used >= n) return false;
    const std::uint32_t b = p[used++];
    if (i == 0) {
      negative = b & 0x80;
      v = b & 0x3F;
      if (!(b & 0x40)) break;
    } else if (i < 4) {
      v |= (b & 0x7F) << (6 + 7 * (i - 1));
      if (!(b & 0x80)) break;
    } else {
      if (b > 0x0F) return false; // the fifth byte's 8 bits would pass 31: no index, count or size is so large
      v |= b << 27;
    }
  }
  value = negative ? static_cast<std::int32_t>(0u - v) : static_cast<std::int32_t>(v);
  return true;
}

} // namespace

std::int32_t Reader::compact() {
  const std::size_t room = static_cast<std::size_t>(std::min<std::uint64_t>(5, limit - at));
  const unsigned char* p = room > 0 ? need(room) : nullptr;
  std::size_t used = 0;
  std::int32_t v = 0;
  if (!p || !decode_compact(p, room, used, v)) return ok = false, 0;
  at += used;
  return v;
}

bool read_compact(const std::string& bytes, std::size_t& at, std::size_t limit, std::int32_t& value) {
  if (at >= limit || at >= bytes.size()) return false;
  std::size_t used = 0;
  if (!decode_compact(reinterpret_cast<const unsigned char*>(bytes.data() + at), std::min(limit, bytes.size()) - at, used, value)) return false;
  at += used;
  return true;
}

namespace {
bool from_bytes(void* context, std::uint64_t at, std::size_t n, std::string& out) {
  const std::string& bytes = *static_cast<const std::string*>(context);
  if (at > bytes.size()) return false;
  out.assign(bytes, static_cast<std::size_t>(at), n);
  return true;
}
} // namespace

PackageSource package_bytes(const std::string& bytes) { return {from_bytes, const_cast<std::string*>(&bytes), bytes.size()}; }

namespace {
bool through_window(void* context, std::uint64_t at, std::size_t n, std::string& out) {
  PackageWindow& w = *static_cast<PackageWindow*>(context);
  constexpr std::size_t kSize = 1 << 16;
  if (n >= kSize) return w.source.read_at(w.source.context, at, n, out); // a large object: read alone
  if (at < w.at || at + n > w.at + w.bytes.size()) {
    if (at > w.source.size) return false;
    w.at = at;
    if (!w.source.read_at(w.source.context, at, static_cast<std::size_t>(std::min<std::uint64_t>(kSize, w.source.size - at)), w.bytes)) return w.bytes.clear(), false;
  }
  out.assign(w.bytes, static_cast<std::size_t>(at - w.at), n);
  return true;
}
} // namespace

PackageSource windowed(PackageWindow& window) { return {through_window, &window, window.source.size}; }

bool read_package(const PackageSource& source, Package& p, std::string& why) {
  p = Package{};
  if (source.size > kPackageMax) return why = "not read: a package of more than " + std::to_string(kPackageMax >> 20) + " MiB", false;
  Reader r{source, 0, source.size, true, {}, 0};
  const std::uint64_t size_of_file = source.size;
  const std::uint64_t tag = r.le(4), version = r.le(4);
  r.le(4); // package flags
  const std::uint64_t names = r.le(4), names_at = r.le(4), exports = r.le(4), exports_at = r.le(4), imports = r.le(4), imports_at = r.le(4);
  if (!r.ok || tag != kPackageTag) return why = "corrupt: a package's summary cut short", false;
  p.version = static_cast<std::uint32_t>(version & 0xFFFF);
  p.licensee = static_cast<std::uint32_t>(version >> 16);
  if (!known_version(p.version, p.licensee)) {
    why = "not read: a package of version " + std::to_string(p.version) + ", licensee " + std::to_string(p.licensee) +
          ": its layout is another engine's, or a licensee's own, which this reader does not know (it reads versions 61 to 69, and 118 to 128 of UT2003 and UT2004)";
    return false;
  }
  // Each table within the file, and no longer than its entries' least size
  // leaves room for (a name 5 bytes, an import 7, an export 12): no count
  // makes memory grow past the file.
  const struct {
    std::uint64_t count, at, least;
    const char* what;
  } tables[] = {{names, names_at, 5, "name"}, {imports, imports_at, 7, "import"}, {exports, exports_at, 12, "export"}};
  for (const auto& t : tables) {
    if (t.count > 0x7FFFFFFF || t.at > size_of_file || t.count > (size_of_file - t.at) / t.least) {
      why = std::string("corrupt: the ") + t.what + " table (" + std::to_string(t.count) + " entries at " + std::to_string(t.at) + ") runs past the end of the file";
      return false;
    }
  }
  r.at = names_at;
  for (std::uint64_t i = 0; i < names && r.ok; ++i) {
    std::string name;
    if (p.version < 64) { // a NUL ends a name
      for (char c; r.ok && (c = static_cast<char>(r.le(1))) != '\0';) name += c;
    } else { // its length, its NUL counted
      const std::int32_t length = r.compact();
      const unsigned char* chars = length >= 0 ? r.need(static_cast<std::size_t>(length)) : nullptr;
      if (!chars) return why = "corrupt: a name of the name table runs past the end of the file", false;
      name.assign(reinterpret_cast<const char*>(chars), length > 0 ? static_cast<std::size_t>(length) - 1 : 0);
      r.at += static_cast<std::uint64_t>(length);
    }
    r.le(4); // its flags
    p.names.push_back(std::move(name));
  }
  if (!r.ok) return why = "corrupt: the name table runs past the end of the file", false;
  const auto name_at = [&p](std::int32_t i, std::string& out) { return i >= 0 && static_cast<std::size_t>(i) < p.names.size() ? (out = p.names[static_cast<std::size_t>(i)], true) : false; };
  const auto reference = [&](std::int32_t ref) { return ref >= -static_cast<std::int64_t>(imports) && ref <= static_cast<std::int64_t>(exports); };
  r.at = imports_at;
  for (std::uint64_t i = 0; i < imports; ++i) {
    PackageImport im;
    const std::int32_t class_package = r.compact(), class_name = r.compact();
    im.package = static_cast<std::int32_t>(r.le(4));
    const std::int32_t name = r.compact();
    if (!r.ok || !name_at(class_package, im.class_package) || !name_at(class_name, im.class_name) || !name_at(name, im.name) || !reference(im.package)) {
      return why = "corrupt: import " + std::to_string(i + 1) + " runs past the file, or names what is not in its tables", false;
    }
    p.imports.push_back(std::move(im));
  }
  r.at = exports_at;
  for (std::uint64_t i = 0; i < exports; ++i) {
    PackageExport ex;
    ex.class_ref = r.compact();
    ex.super_ref = r.compact();
    ex.package = static_cast<std::int32_t>(r.le(4));
    const std::int32_t name = r.compact();
    ex.flags = static_cast<std::uint32_t>(r.le(4));
    const std::int32_t size = r.compact(), offset = size > 0 ? r.compact() : 0;
    const std::string what = "corrupt: export " + std::to_string(i + 1);
    if (!r.ok) return why = what + " runs past the end of the file", false;
    if (!name_at(name, ex.name) || !reference(ex.class_ref) || !reference(ex.super_ref) || !reference(ex.package)) return why = what + " names what is not in its tables", false;
    if (size < 0 || offset < 0 || static_cast<std::uint64_t>(offset) > size_of_file || static_cast<std::uint64_t>(size) > size_of_file - static_cast<std::uint64_t>(offset)) {
      return why = what + " (" + ex.name + ") lies past the end of the file", false;
    }
    ex.offset = static_cast<std::uint64_t>(offset);
    ex.size = static_cast<std::uint64_t>(size);
    p.exports.push_back(std::move(ex));
  }
  return true;
}

bool later_package(const Package& p) { return p.version >= 100; }

std::string object_name(const Package& p, std::int32_t reference) {
  if (reference > 0 && static_cast<std::size_t>(reference) <= p.exports.size()) return p.exports[static_cast<std::size_t>(reference) - 1].name;
  if (reference < 0 && static_cast<std::size_t>(-static_cast<std::int64_t>(reference)) <= p.imports.size()) return p.imports[static_cast<std::size_t>(-static_cast<std::int64_t>(reference)) - 1].name;
  return "";
}

std::string class_name(const Package& p, const PackageExport& e) { return e.class_ref == 0 ? "Class" : object_name(p, e.class_ref); }

std::string path_name(const Package& p, const PackageExport& e) {
  std::string path = e.name;
  std::int32_t group = e.package;
  for (int depth = 0; group > 0 && static_cast<std::size_t>(group) <= p.exports.size() && depth < 16; ++depth) {
    const PackageExport& g = p.exports[static_cast<std::size_t>(group) - 1];
    path = g.name + "." + path;
    group = g.package;
  }
  return path;
}

std::string import_package(const Package& p, std::int32_t reference) {
  std::string outer;
  for (int depth = 0; reference < 0 && static_cast<std::size_t>(-static_cast<std::int64_t>(reference)) <= p.imports.size() && depth < 16; ++depth) {
    const PackageImport& im = p.imports[static_cast<std::size_t>(-static_cast<std::int64_t>(reference)) - 1];
    outer = im.name;
    reference = im.package;
  }
  return outer;
}

bool read_export(const PackageSource& source, const PackageExport& e, std::string& data, std::string& why) {
  if (e.size > kPackageMax || !source.read_at(source.context, e.offset, static_cast<std::size_t>(e.size), data) || data.size() != e.size) {
    return why = "corrupt: its data cannot be read", false;
  }
  return true;
}

bool read_properties(const Package& p, const PackageExport& e, const std::string& data, std::vector<PackageProperty>& out, std::size_t& end, std::string& why) {
  out.clear();
  const PackageSource source = package_bytes(data);
  Reader r{source, 0, data.size(), true, {}, 0};
  if (e.flags & kHasStack) { // its state: Node, StateNode, ProbeMask (a QWORD), LatentAction (an INT), and Offset where Node is set
    const std::int32_t node = r.compact();
    r.compact();
    r.le(8);
    r.le(4);
    if (node != 0) r.compact();
    if (!r.ok) return why = "corrupt: its script state runs past its data", false;
  }
  for (;;) {
    const std::int32_t name = r.compact();
    if (!r.ok) return why = r.at >= r.limit ? "corrupt: its properties run past its data, with no None to end them" : "corrupt: a compact index of more than 31 bits", false;
    if (name < 0 || static_cast<std::size_t>(name) >= p.names.size()) return why = "corrupt: a property named by " + std::to_string(name) + ", which is past the name table", false;
    PackageProperty prop;
    prop.name = p.names[static_cast<std::size_t>(name)];
    if (lower_equal(prop.name, "none")) {
      end = static_cast<std::size_t>(r.at);
      return true;
    }
    const std::uint32_t info = static_cast<std::uint32_t>(r.le(1));
    prop.type = static_cast<int>(info & 0x0F);
    if (prop.type == 10) { // a struct's name
      const std::int32_t s = r.compact();
      if (r.ok && (s < 0 || static_cast<std::size_t>(s) >= p.names.size())) return why = "corrupt: property " + prop.name + " names a struct past the name table", false;
      if (r.ok) prop.struct_name = p.names[static_cast<std::size_t>(s)];
    }
    const std::uint32_t code = info >> 4 & 7;
    static const std::uint32_t kSizes[] = {1, 2, 4, 12, 16};
    const std::uint64_t size = code < 5 ? kSizes[code] : r.le(code == 5 ? 1 : code == 6 ? 2 : 4);
    prop.index = 0;
    prop.bool_value = prop.type == 3 && (info & 0x80);
    if ((info & 0x80) && prop.type != 3) { // its array index: 1, 2 or 4 bytes, as its first byte's top bits say
      const std::uint32_t b = static_cast<std::uint32_t>(r.le(1));
      prop.index = (b & 0xC0) == 0xC0 ? (b & 0x3F) << 24 | static_cast<std::uint32_t>(r.le(1)) << 16 | static_cast<std::uint32_t>(r.le(1)) << 8 | static_cast<std::uint32_t>(r.le(1))
                   : b & 0x80 ? (b & 0x7F) << 8 | static_cast<std::uint32_t>(r.le(1)) : b;
    }
    if (!r.ok || prop.type == 0) return why = "corrupt: property " + prop.name + (prop.type == 0 ? " of no type" : " runs past its data"), false;
    prop.at = static_cast<std::size_t>(r.at);
    prop.size = prop.type == 3 ? 0 : static_cast<std::size_t>(size); // a bool's value is its tag's
    if (prop.size > r.limit - r.at) return why = "corrupt: property " + prop.name + " of " + std::to_string(size) + " bytes runs past its data", false;
    r.at += prop.size;
    out.push_back(std::move(prop));
  }
}

std::string property_text(const Package& p, const std::string& bytes, const PackageProperty& prop) { // `bytes`: its export's data
  const auto le = [&](std::size_t n) {
    std::uint32_t v = 0;
    for (std::size_t i = n; i-- > 0;) v = v << 8 | static_cast<unsigned char>(bytes[prop.at + i]);
    return v;
  };
  std::size_t at = prop.at;
  std::int32_t ref = 0;
  switch (prop.type) {
    case 1: return prop.size == 1 ? std::to_string(le(1)) : "";
    case 2: return prop.size == 4 ? std::to_string(static_cast<std::int32_t>(le(4))) : "";
    case 3: return prop.bool_value ? "True" : "False";
    case 4: {
      if (prop.size != 4) return "";
      const std::uint32_t bits = le(4);
      float f;
      std::memcpy(&f, &bits, sizeof f);
      char text[64];
      std::snprintf(text, sizeof text, "%f", static_cast<double>(f));
      return text;
    }
    case 5:
      return read_compact(bytes, at, prop.at + prop.size, ref) && at == prop.at + prop.size ? object_name(p, ref) : "";
    case 6:
      return read_compact(bytes, at, prop.at + prop.size, ref) && at == prop.at + prop.size && ref >= 0 && static_cast<std::size_t>(ref) < p.names.size()
                 ? p.names[static_cast<std::size_t>(ref)]
                 : "";
    default: return "";
  }
}

} // namespace tintwise
