#include "warner/search/search_command.h"

#include <cerrno>
#include <cmath>
#include <cstring>
#include <memory>

#include "platform/json/json_line.h"
#include "platform/numbers/lenient_number.h"
#include "platform/text/text.h"
#include "warner/search/search_surround.h"

namespace warner {

namespace {

// The whole text as one number, or nothing.
std::optional<double> WholeNumber(std::string_view text) {
  const platform::LeadingNumber number = platform::ReadLeadingReal(text, {});
  if (number.end == 0 || number.end != text.size() || !std::isfinite(number.value)) return std::nullopt;
  return number.value;
}

std::string RowText(const SurroundRow& row, bool json) {
  const std::string description = platform::FileTextToUtf8(row.description);
  if (json) {
    return platform::JsonLine()
        .Text("distance", row.distance)
        .Text("direction", row.direction)
        .Text("description", description)
        .Text("longitude", row.longitude)
        .Text("latitude", row.latitude)
        .Finish();
  }
  return row.distance + '\t' + row.direction + '\t' + platform::TerminalSafe(description) + '\t' +
         platform::TerminalSafe(platform::FileTextToUtf8(row.longitude)) + '\t' +
         platform::TerminalSafe(platform::FileTextToUtf8(row.latitude)) + '\n';
}

}  // namespace

std::optional<std::pair<double, double>> ParseSearchPosition(std::string_view text) {
  const size_t comma = text.find(',');
  if (comma == std::string_view::npos) return std::nullopt;
  const std::optional<double> latitude = WholeNumber(text.substr(0, comma));
  const std::optional<double> longitude = WholeNumber(text.substr(comma + 1));
  if (!latitude || !longitude || std::fabs(*latitude) > 90 || std::fabs(*longitude) > 180) return std::nullopt;
  return std::pair{*latitude, *longitude};
}

std::optional<double> ParseSearchRadius(std::string_view text) {
  const std::optional<double> radius = WholeNumber(text);
  if (!radius || *radius <= 0) return std::nullopt;
  return radius;
}

int RunSearchCommand(const SearchCommand& command, std::FILE* out, std::FILE* err) {
  const std::unique_ptr<std::FILE, int (*)(std::FILE*)> list(std::fopen(command.listPath.c_str(), "rb"), &std::fclose);
  if (list == nullptr) {
    std::fprintf(err, "waypost: can't open the POI list '%s': %s\n", platform::TerminalSafe(command.listPath).c_str(),
                 std::strerror(errno));
    return kSearchListUnreadable;
  }
  AscLineReader reader(list.get());
  for (const SurroundRow& row : FindSurroundRows(reader, {command.longitude, command.latitude}, command.radiusKm)) {
    const std::string text = RowText(row, command.json);
    if (std::fwrite(text.data(), 1, text.size(), out) != text.size()) return kSearchOutputFailed;
  }
  return std::fflush(out) == 0 && !std::ferror(out) ? kSearchDone : kSearchOutputFailed;
}

}  // namespace warner
