// Any bytes as an ASC POI list for the surroundings search: read through the line reader as a
// file, every accepted line checked, and the rows around a position drawn from the first bytes
// checked for their order.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "warner/search/asc_line.h"
#include "warner/search/search_surround.h"

namespace {

void CheckLine(const warner::AscLine& line) {
  if (line.longitudeText.size() > warner::kAscTextMax || line.latitudeText.size() > warner::kAscTextMax ||
      line.description.size() > warner::kAscTextMax || line.description.empty()) {
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  std::string bytes(reinterpret_cast<const char*>(data), size);
  std::FILE* file = fmemopen(bytes.data(), bytes.size(), "rb");
  if (file == nullptr) return 0;
  warner::AscLineReader reader(file);
  warner::AscLine line;
  while (warner::ReadAscLine(reader, line) == 0) CheckLine(line);

  std::rewind(file);
  warner::AscLineReader again(file);
  const double longitude = data[0] - 128.0, latitude = (data[0] % 180) - 90.0;
  const std::vector<warner::SurroundRow> rows = warner::FindSurroundRows(again, {longitude, latitude}, 20000);
  for (size_t i = 1; i < rows.size(); ++i) {
    if (std::atof(rows[i - 1].distance.c_str()) > std::atof(rows[i].distance.c_str())) std::abort();
  }
  std::fclose(file);
  return 0;
}
