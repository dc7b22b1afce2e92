#include "warner/headless/run.h"

#include <chrono>

#include "driver/registry/port_table.h"
#include "platform/clock/clock.h"
#include "platform/errors/errors.h"
#include "warner/headless/headless_warner.h"
#include "warner/serial/port_entry.h"
#include "warner/serial/serial_sources.h"
#include "warner/serial/source_controls.h"
#include "warner/serial/worker_inputs.h"

namespace warner {

namespace {

// The source controls as the main window fills them before an activation.
void PrepareSelection(serial::SourceControls& controls, const WarnerSettings& settings, bool standAlone,
                      platform::Reporter& reporter) {
  if (standAlone) {
    controls.ToggleSourceMode();
    driver::PortTable table(driver::kWarnerPortTableSize, driver::kWarnerDeviceListChars);
    table.BuildPortTable(reporter);
    controls.FillPortCombo(table, false);
    controls.SelectPortEntry(settings.source);
  }
  controls.FillBaudCombo();
  controls.SelectBaud(settings.baudRate);
}

uint32_t RunWorker(HeadlessWarner& warner, serial::SerialSources& sources, RunStop& stop) {
  serial::GpsByteInput bytes(sources);
  serial::AlternateFileInput alternate(sources.Alternate(), warner.Decoder(), nullptr);
  if (sources.Alternate().Configured()) {
    warner.Worker().SetAlternateFileReader(&alternate, sources.Alternate().IsPositionSource());
  }
  const uint32_t code = warner.Worker().Run(sources.ReadsGpsBytes() ? &bytes : nullptr, stop.Flag());
  warner.Worker().SetAlternateFileReader(nullptr, false);
  return code;
}

// How the user named the source that failed: its port, or the log file replayed in its place.
std::string GpsSourceName(const serial::SerialSources& sources, const WarnerSettings& settings) {
  const serial::SourceSelection& selection = sources.Selection();
  if (selection.standAlone) {
    return serial::PortEntryKind(selection.portName) == kInputKindFile ? selection.filePath : selection.portName;
  }
  return sources.GpsPortName().empty() ? settings.GpsPort().filePath : sources.GpsPortName();
}

}  // namespace

void RunStop::Request() {
  {
    std::lock_guard guard(mutex_);
    requested_ = true;
  }
  changed_.notify_all();
}

void RunStop::WaitFor(uint32_t ms) {
  std::unique_lock lock(mutex_);
  changed_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return requested_.load(); });
}

int RunOnSources(const RunOptions& options, std::FILE* out, platform::Reporter& reporter, RunStop& stop) {
  HeadlessWarner warner({options.programFolder, options.json, false}, out, reporter,
                        [&stop](uint32_t ms) { stop.WaitFor(ms); });
  if (!warner.ActivateDatabase()) return kRunNoDatabase;

  WarnerSettings& settings = warner.Settings();
  const platform::SystemClock clock;
  serial::SerialSources sources(settings, reporter, clock);
  // Without windows there is no navigation program to look for: it counts as present.
  sources.SetNavigationProgramPresent(true);
  serial::SourceControls controls(sources.Selection(), reporter);
  PrepareSelection(controls, settings, options.standAlone, reporter);

  uint32_t code = sources.StartSources();
  warner.ReadTrafficFrom([&sources](uint8_t* buffer, size_t capacity, size_t* count) {
    return sources.ReadTmcBytes(buffer, capacity, count);
  });
  const bool opened = code == 0;
  if (opened) code = RunWorker(warner, sources, stop);
  sources.StopSources();
  // Opening failures were said where they happened; a source that fails later (a receiver
  // unplugged) ends the worker, and only here can it be said.
  const bool failed = code != 0 && code != platform::kErrorHandleEof;
  if (opened && failed)
    reporter.ErrorCode(code, "The GPS source %s failed.\n", GpsSourceName(sources, settings).c_str());

  const serial::SourceSelection& selection = sources.Selection();
  settings.source = selection.portName;
  settings.baudRate = selection.baudRate;
  settings.sourceFile = selection.filePath;
  const bool saved = WriteMainWindowValues(settings, reporter) == 0;
  if (failed) return kRunSourceFailed;
  const bool printed = warner.CheckOutput();
  return saved && printed ? kRunDone : kRunOutputFailed;
}

}  // namespace warner
