// The game's packages as the engine saves them (a map: .unr, .dx, .run, .ut2;
// textures: .utx): read, never written. A package is a summary, a name
// table, an import table (objects of other packages it refers to) and an
// export table (its own objects, each a stretch of the file), as the engine
// maker's public headers lay them out (Core/Inc/UnLinker.h of the UT 432
// public source, and of UT2004's tree); an object's data begins with its
// property tags.
//
// Every file is hostile: each count, offset and size is checked against the
// file before it is believed; a compact index takes at most 5 bytes; a name
// index, an object reference and a property's size must lie in their
// tables and their object. Only what is asked is read: the summary and the
// tables, a window of the file at a time, then the data of the exports a
// caller asks for, one at a time; a package is kPackageMax bytes at most. Known versions are read: 61 to 69 of the first engine generation
// (Unreal, UT and the licensees of that engine that keep its layout), and
// 118 to 128 of the later (UT2003 and UT2004); others are reported. Depends
// on nothing but the standard library.
#ifndef TINTWISE_PACKAGE_H
#define TINTWISE_PACKAGE_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tintwise {

constexpr std::uint32_t kPackageTag = 0x9E2A83C1;     // its first 4 bytes, little-endian
constexpr std::size_t kPackageMax = std::size_t{256} << 20; // the most held

struct PackageImport {
  std::string class_package, class_name, name;
  std::int32_t package; // the object (a package or a group) it lies in: a reference
};

struct PackageExport {
  std::int32_t class_ref, super_ref; // references: > 0 an export (its number), < 0 an import (-its number), 0 none
  std::int32_t package;              // the group it lies in: a reference
  std::string name;
  std::uint32_t flags;
  std::uint64_t offset, size;        // its data's place in the file
};

constexpr std::uint32_t kHasStack = 0x02000000; // an object saved with its script state, before its properties

struct Package {
  std::uint32_t version, licensee;
  std::vector<std::string> names;
  std::vector<PackageImport> imports;
  std::vector<PackageExport> exports;
};

// Where a package's bytes come from: `read_at` fills `out` with the `n`
// bytes at `at` (fewer only where the file ends), false where they cannot be
// read; `size` is the file's. A file held whole gives them through
// package_bytes.
struct PackageSource {
  bool (*read_at)(void* context, std::uint64_t at, std::size_t n, std::string& out);
  void* context;
  std::uint64_t size;
};
PackageSource package_bytes(const std::string& bytes);

// A source read through a window of the file kept from the last read, so
// that small objects read in the file's order cost one read a window.
struct PackageWindow {
  PackageSource source;
  std::string bytes;
  std::uint64_t at;
};
PackageSource windowed(PackageWindow& window);

// Reads a package's summary and tables, every count, offset and size checked
// against the file; returns false, with `why` ("corrupt: ..." or "not read:
// ..."), where it cannot be read with certainty.
bool read_package(const PackageSource& source, Package& out, std::string& why);

// Whether a version is of the later engine generation (UT2003 and UT2004).
bool later_package(const Package& p);

// The name of what a reference points at: an import's or an export's name,
// "" for none (0) or one out of range.
std::string object_name(const Package& p, std::int32_t reference);
// An object's class's name ("Light"; "Class" where it is a class itself).
std::string class_name(const Package& p, const PackageExport& e);
// An export's name with the groups it lies in ("LavaFlow.Lava1").
std::string path_name(const Package& p, const PackageExport& e);
// The package an import comes from (the outermost object it lies in).
std::string import_package(const Package& p, std::int32_t reference);

// A property tag and its value's place.
struct PackageProperty {
  std::string name;
  int type;                // 1 byte, 2 int, 3 bool, 4 float, 5 object, 6 name, ... 10 struct, 13 string
  std::uint32_t index;     // in its array (0 for a property that is none)
  bool bool_value;
  std::string struct_name; // of a struct
  std::size_t at, size;    // its value's bytes in its export's data
};

// The data of export `e` (its `size` bytes), into `data`; false, with
// `why`, where it cannot be read.
bool read_export(const PackageSource& source, const PackageExport& e, std::string& data, std::string& why);

// The property tags at the start of an export's data (after its state frame,
// where its flags say it has one), up to the name None; `end` is where the
// list ends in it. Returns false, with `why`, where a tag does not hold
// together: a name out of the table, a size past the data, a compact index
// past 31 bits, no None.
bool read_properties(const Package& p, const PackageExport& e, const std::string& data, std::vector<PackageProperty>& out, std::size_t& end, std::string& why);

// A compact index at `at` (1 to 5 bytes), no byte at or past `limit`;
// false where it runs past it, or its value past 31 bits.
bool read_compact(const std::string& bytes, std::size_t& at, std::size_t limit, std::int32_t& value);

// A property's value (in its export's data) as T3D writes it: a byte, an
// int, a float ("%f"), a bool, a name, or an object's name; "" for the other
// types.
std::string property_text(const Package& p, const std::string& data, const PackageProperty& property);

} // namespace tintwise

#endif
