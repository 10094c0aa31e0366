// libFuzzer target for the T3D reader and the .uc reader: any bytes, read as
// a mod's class, then as T3D text with that class and a game the input's
// length picks, handed out in chunks whose size it picks too, listed and
// recoloured. Every entry's names must be clean UTF-8 and every report say
// something; recolouring nothing must give the bytes back; recolouring all
// must change no line but colour lines (in text of bytes), and doing it
// again must change nothing.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "entry_check.h"
#include "tintwise/lights.h"

namespace {

using tintwise_fuzz::fail;

bool clean(const std::string& s) {
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (static_cast<unsigned char>(s[i]) < 0x20) return false;
  }
  return true;
}

std::string pass(const std::string& bytes, const tintwise::LightsRecolour& recolour, std::size_t chunk) {
  std::string out;
  tintwise_fuzz::Source source{bytes, 0, chunk};
  const auto entry = [](void*, const tintwise::LightEntry& e) {
    if (!clean(e.actor) || !clean(e.class_name)) fail("an entry's name is not clean");
  };
  const auto report = [](void*, const tintwise::LightsReport& r) {
    if (r.reason.empty()) fail("a report that says nothing");
  };
  const auto write = [](void* context, const char* b, std::size_t n) { return static_cast<std::string*>(context)->append(b, n), true; };
  tintwise::read_lights({tintwise_fuzz::hand_out, &source}, recolour, {entry, report, recolour.recolour ? +write : nullptr, &out});
  return out;
}

// Its lines but those whose name (after blanks, a stray CR among them) begins like a colour's, in any case.
std::string others(const std::string& t) {
  std::string kept;
  for (std::size_t at = 0, end; at < t.size(); at = end) {
    end = std::min(t.find('\n', at), t.size() - 1) + 1;
    const std::string line = t.substr(at, end - at);
    std::string key = line.substr(std::min(line.find_first_not_of(" \t\r"), line.size()), 9);
    for (char& c : key) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    if (key.rfind("lighthue", 0) && key.rfind("lightsatu", 0) && key.rfind("lightbrig", 0) && key.rfind("ambient", 0)) kept += line;
  }
  return kept;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  const std::size_t chunk = 1 + size % 61;
  const int game = static_cast<int>(size % (tintwise::kLightsGames + 1)) - 1;
  std::vector<tintwise::UcClass> classes;
  std::vector<tintwise::LightsReport> reports;
  tintwise::add_uc_class(bytes, "fuzz.uc", classes, reports);
  for (const tintwise::LightsReport& r : reports) {
    if (r.reason.empty()) fail("a report of the .uc reader that says nothing");
  }
  pass(bytes, {false, 0, 0, 0, false, false, {}, game, classes}, chunk);
  if (bytes.compare(0, 4, "\xC1\x83\x2A\x9E") == 0) return 0; // a map package, never written (the package fuzzer's)
  if (pass(bytes, {true, 7, 70, 255, false, false, "\x01", game, classes}, chunk) != bytes) fail("recolouring nothing changed the text");
  const tintwise::LightsRecolour all{true, 7, 70, 255, size % 2 == 0, size % 3 == 0, {}, game, classes};
  const std::string once = pass(bytes, all, chunk);
  if (pass(once, all, 1 + size % 7) != once) fail("a second recolour changed the text");
  const bool wide = size >= 2 && (bytes.compare(0, 2, "\xFF\xFE") == 0 || bytes.compare(0, 2, "\xFE\xFF") == 0);
  if (!wide && others(once) != others(bytes)) fail("a recolour changed a line that is no colour line");
  return 0;
}
