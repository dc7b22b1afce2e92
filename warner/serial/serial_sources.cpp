#include "warner/serial/serial_sources.h"

#include <chrono>
#include <cstdlib>
#include <thread>

#include "driver/registry/port_table.h"
#include "platform/errors/errors.h"
#include "platform/text/text.h"
#include "warner/serial/port_entry.h"
#include "warner/serial/returned.h"

namespace serial {

namespace {

constexpr uint32_t kReadWrite = platform::kGenericRead | platform::kGenericWrite;

bool UsesConfiguredGpsSource(int state) {
  return state == warner::kGpsSourceUseGpsPort || state == warner::kGpsSourceUseWm5GpsPort;
}

// A port that the settings name (UseGPSPort, UseTMCPort) is one of the machine's, which nobody else
// sets up on Linux, unless a driver key gives it: a virtual port keeps what its driver set, and so
// does a port found by the search or shared with the navigation program.
ReadOnlySetup ListeningSetup(bool namedInSettings, const std::string& name) {
  return namedInSettings && !driver::IsDriverPort(name) ? ReadOnlySetup::kWhenFree : ReadOnlySetup::kKeep;
}

}  // namespace

void SleepMs(uint32_t ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

SerialSources::SerialSources(const SourceSettings& settings, platform::Reporter& reporter, const platform::Clock& clock,
                             SourceTimings timings)
    : reporter_(reporter),
      timings_(std::move(timings)),
      gpsSetting_(settings.gpsPort),
      tmcSetting_(settings.tmcPort),
      evaluateTmc_(settings.evaluateTmc),
      selection_(settings.selection),
      gpsState_(settings.gpsState),
      tmcState_(settings.tmcState),
      gpsPortName_(gpsSetting_.portName),
      tmcPortName_(tmcSetting_.portName),
      reports_(std::make_shared<ThreadReports>(reporter)),
      alternate_(settings.alternateSourceFile, settings.alternateSourceType, reporter, clock,
                 timings_.alternateRetryWaitMs) {}

SerialSources::~SerialSources() {
  StopSources();
  // A thread that had to be given up may still report; the reporter may not outlive this object.
  reports_->Detach();
}

bool SerialSources::ReadsGpsBytes() const {
  return selection_.standAlone || gpsState_ == warner::kSourceVirtualPort || UsesConfiguredGpsSource(gpsState_);
}

uint32_t SerialSources::StartSources() {
  StopSources();
  if (!selection_.standAlone && !UsesConfiguredGpsSource(gpsState_) && !alternate_.Configured()) {
    gpsState_ = warner::kSourceNotFound;
    const uint32_t error = FindVirtualPort(kGpsDriverKey, "Can't find any virtual Com Port for GPS.\n", gpsPortName_);
    if (error != 0) return Returned(error);
    gpsState_ = warner::kSourceVirtualPort;
  }
  if (std::abs(evaluateTmc_) >= 2 && tmcState_ != warner::kTmcSourceUseTmcPort) {
    tmcState_ = warner::kSourceNotFound;
    const uint32_t error = FindVirtualPort(kTmcDriverKey, "Can't find any virtual Com Port for TMC.\n", tmcPortName_);
    if (error != 0) return Returned(error);
    tmcState_ = warner::kSourceVirtualPort;
  }
  uint32_t error = OpenGps();
  if (error == 0) error = OpenTmc();
  if (error == 0) error = alternate_.Start();
  // A failed start leaves no port open behind it, and no port with changed settings.
  if (error != 0) StopSources();
  return Returned(error);
}

uint32_t SerialSources::FindVirtualPort(const char* keyName, const char* failure, std::string& portName) {
  driver::PortTable table(driver::kWarnerPortTableSize, driver::kWarnerDeviceListChars);
  table.BuildPortTable(reporter_);
  for (const driver::PortEntry& entry : table.Entries()) {
    if (platform::EqualsNoCase(entry.keyName, keyName) && driver::IsOwnImprint(entry.imprint)) {
      portName = entry.portName;
      return 0;
    }
  }
  reporter_.ErrorCode(platform::kErrorDevNotExist, "%s", failure);
  return platform::kErrorDevNotExist;
}

SerialSources::Input SerialSources::GpsInput() const {
  if (selection_.standAlone) {
    return PortEntryKind(selection_.portName) == warner::kInputKindFile ? Input::kFile : Input::kPort;
  }
  if (gpsState_ == warner::kSourceVirtualPort) return Input::kPort;
  if (!UsesConfiguredGpsSource(gpsState_)) return Input::kNone;
  return gpsSetting_.IsFile() ? Input::kFile : gpsSetting_.IsPort() ? Input::kPort : Input::kNone;
}

SerialSources::Input SerialSources::TmcInput() const {
  if (tmcState_ == warner::kSourceVirtualPort) return Input::kPort;
  if (tmcState_ != warner::kTmcSourceUseTmcPort) return Input::kNone;
  return tmcSetting_.IsFile() ? Input::kFile : Input::kPort;
}

uint32_t SerialSources::OpenGps() {
  const auto baudRate = static_cast<uint32_t>(selection_.baudRate);
  if (selection_.standAlone) {
    if (GpsInput() == Input::kFile) return OpenFile(gps_, selection_.filePath);
    return OpenPort(gps_, selection_.portName, kReadWrite, ReadOnlySetup::kKeep, baudRate, false);
  }
  switch (GpsInput()) {
    case Input::kPort:
      return OpenPort(gps_, gpsPortName_, platform::kGenericRead,
                      ListeningSetup(gpsState_ == warner::kGpsSourceUseGpsPort, gpsPortName_), baudRate, false);
    case Input::kFile: return OpenFile(gps_, gpsSetting_.filePath);
    case Input::kNone: break;
  }
  return 0;
}

uint32_t SerialSources::OpenTmc() {
  switch (TmcInput()) {
    case Input::kPort:
      return OpenPort(tmc_, tmcPortName_, selection_.standAlone ? kReadWrite : platform::kGenericRead,
                      ListeningSetup(tmcState_ == warner::kTmcSourceUseTmcPort, tmcPortName_), kTmcBaudRate, true);
    case Input::kFile: return OpenFile(tmc_, tmcSetting_.filePath);
    case Input::kNone: break;
  }
  return 0;
}

uint32_t SerialSources::OpenPort(Source& source, const std::string& name, uint32_t access, ReadOnlySetup readOnlySetup,
                                 uint32_t baudRate, bool tmc) {
  ReadRules rules;
  rules.tmc = tmc;
  rules.standAlone = selection_.standAlone;
  rules.followNavigation = !selection_.standAlone && gpsState_ == warner::kGpsSourceUseWm5GpsPort;
  rules.portName = name;
  rules.access = access;
  rules.baudRate = baudRate;
  rules.readOnlySetup = readOnlySetup;
  auto channel = std::make_shared<ReadChannel>(std::move(rules), navigationPresent_, reports_);
  if (!channel->ring.Setup()) {
    const uint32_t error = platform::GetLastError();
    reporter_.ErrorCode(error, "Can't get memory for the serial data.\n");
    return error;
  }
  const uint32_t error =
      OpenCommDevice(name, access, platform::kFileShareRead, channel->port, baudRate, 8, 0, readOnlySetup, reporter_);
  if (error != 0) return error;
  {
    std::lock_guard guard(lock_);
    source.channel = channel;
  }
  source.thread.Reset();
  if (!source.thread.Start(ReadThreadBody(channel))) {
    const uint32_t startError = platform::GetLastError();
    StopSources();
    reporter_.ErrorCode(startError, "Can't start the %s.\n", source.thread.Name().c_str());
    return startError;
  }
  return 0;
}

uint32_t SerialSources::OpenFile(Source& source, const std::string& path) {
  std::shared_ptr<platform::Device> file = platform::OpenDevice(path, platform::kGenericRead, platform::kFileShareRead);
  if (!file) {
    const uint32_t error = platform::GetLastError();
    reporter_.ErrorCode(error, "Can't open the file '%s'.\n", path.c_str());
    return error;
  }
  std::lock_guard guard(lock_);
  source.file = std::move(file);
  return 0;
}

uint32_t SerialSources::StopSources() {
  StopSource(gps_);
  StopSource(tmc_);
  alternate_.Stop();
  return Returned(0);
}

void SerialSources::StopSource(Source& source) {
  std::shared_ptr<ReadChannel> channel;
  {
    std::lock_guard guard(lock_);
    channel = std::move(source.channel);
    source.file.reset();
  }
  if (!channel) return;
  source.thread.Stop(reporter_, timings_.stop);
  // A thread that was given up keeps its channel; the port is put back when it lets go of it.
  if (source.thread.ExitCode() == -2) return;
  CloseCommDevice(channel->port);
  channel->ring.Destroy();
}

uint32_t SerialSources::ReadGpsBytes(uint8_t* buffer, size_t capacity, size_t* count) {
  *count = 0;
  const Input input = GpsInput();
  if (input == Input::kNone) return Returned(platform::kErrorOpenFailed);
  if (input == Input::kFile && !selection_.standAlone && gpsState_ == warner::kGpsSourceUseWm5GpsPort &&
      !navigationPresent_->load()) {
    return Returned(platform::kErrorNotReady);
  }
  return ReadSource(gps_, input, buffer, capacity, count);
}

uint32_t SerialSources::ReadTmcBytes(uint8_t* buffer, size_t capacity, size_t* count) {
  *count = 0;
  const Input input = TmcInput();
  if (input == Input::kNone) return Returned(0);
  return ReadSource(tmc_, input, buffer, capacity, count);
}

uint32_t SerialSources::ReadSource(Source& source, Input input, uint8_t* buffer, size_t capacity, size_t* count) {
  std::shared_ptr<ReadChannel> channel;
  std::shared_ptr<platform::Device> file;
  {
    std::lock_guard guard(lock_);
    channel = source.channel;
    file = source.file;
  }
  if (input == Input::kPort) {
    return Returned(channel ? channel->ring.Read(buffer, capacity, count) : platform::kErrorBufferNotSet);
  }
  return Returned(file ? ReplayFile(*file, buffer, capacity, count) : platform::kErrorOpenFailed);
}

uint32_t SerialSources::ReplayFile(platform::Device& file, uint8_t* buffer, size_t capacity, size_t* count) const {
  platform::SetLastError(0);
  if (!file.Read(buffer, capacity, count)) {
    const uint32_t error = platform::GetLastError();
    return error != 0 ? error : platform::kErrorOpenFailed;
  }
  if (*count == 0 && capacity > 0) {
    const uint32_t error = platform::GetLastError();
    return error != 0 ? error : platform::kErrorHandleEof;
  }
  // Ten bits a byte on the line: the log arrives at the pace the receiver sent it.
  if (selection_.baudRate > 0) {
    timings_.replaySleep(static_cast<uint32_t>(*count * 10000 / static_cast<size_t>(selection_.baudRate)));
  }
  return 0;
}

}  // namespace serial
