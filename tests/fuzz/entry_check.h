// What every palette fuzzer asks of each entry the reader hands over: a
// colour with a clean name and no reason, or a reason and no name; a reason
// about the whole file at place 0. A broken rule aborts, for libFuzzer to keep.
#ifndef TINTWISE_FUZZ_ENTRY_CHECK_H
#define TINTWISE_FUZZ_ENTRY_CHECK_H

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <string>
#include <vector>

#include "tintwise/palette.h"

namespace tintwise_fuzz {

inline void fail(const std::string& what) {
  std::fprintf(stderr, "%s\n", what.c_str());
  std::abort();
}

// Bytes handed to a reader `chunk` at a time (all that is left, by default).
struct Source {
  const std::string& bytes;
  std::size_t at = 0, chunk = std::string::npos;
};
inline std::size_t hand_out(void* context, char* buf, std::size_t size) {
  Source& s = *static_cast<Source*>(context);
  const std::size_t n = std::min({size, s.chunk, s.bytes.size() - s.at});
  std::memcpy(buf, s.bytes.data() + s.at, n);
  s.at += n;
  return n;
}

// A PaletteSink that keeps each entry in a std::vector<PaletteEntry>.
inline bool check(void* entries, const tintwise::PaletteEntry& e) {
  const bool sound = (e.read ? e.reason.empty() && tintwise::clean_utf8(e.name) == e.name : !e.reason.empty() && e.name.empty()) &&
                     (e.unit != tintwise::PaletteUnit::file || (e.line == 0 && !e.read));
  if (!sound) fail("entry at line " + std::to_string(e.line) + ": read " + std::to_string(e.read) + ", name '" + e.name + "', reason '" + e.reason + "'");
  static_cast<std::vector<tintwise::PaletteEntry>*>(entries)->push_back(e);
  return true;
}


} // namespace tintwise_fuzz

#endif
