#include "warner/serial/comm_port.h"

#include "platform/errors/errors.h"
#include "platform/registry/registry.h"

namespace serial {

namespace {

platform::SerialSettings NmeaSettings(platform::SerialSettings settings, uint32_t baudRate, uint8_t byteSize,
                                      uint8_t stopBits) {
  settings.baudRate = baudRate;
  settings.byteSize = byteSize;
  settings.parity = 0;
  settings.stopBits = stopBits;
  settings.eventChar = 0x0A;
  settings.flags = (settings.flags & kKeptSerialFlags) | platform::SerialSettings::kBinary;
  return settings;
}

// Reads that wait for the whole count without any limit.
bool ReadsWithoutEnd(const platform::SerialTimeouts& t) {
  return t.readInterval == 0 && t.readTotalMultiplier == 0 && t.readTotalConstant == 0;
}

void LimitReads(CommPort& port) {
  platform::SerialTimeouts found;
  if (!platform::GetSerialTimeouts(*port.device, found) || !ReadsWithoutEnd(found)) return;
  platform::SerialTimeouts limited = found;
  limited.readInterval = kReadTimeouts.readInterval;
  limited.readTotalConstant = kReadTimeouts.readTotalConstant;
  if (!platform::SetSerialTimeouts(*port.device, limited)) return;
  port.savedTimeouts = found;
  port.readLimitSet = true;
}

// Applies the settings and time-outs of a port the warner sets up; 0 or the reported error. A
// read-only opener that finds the port held by another (32) listens to it as found instead.
uint32_t ConfigurePort(CommPort& port, platform::Reporter& reporter) {
  platform::Device& device = *port.device;
  if (!platform::GetSerialSettings(device, port.savedSettings) ||
      !platform::SetSerialSettings(device,
                                   NmeaSettings(port.savedSettings, port.baudRate, port.byteSize, port.stopBits))) {
    const uint32_t error = platform::GetLastError();
    if (error == platform::kErrorSharingViolation && (port.access & platform::kGenericWrite) == 0) {
      LimitReads(port);
      return 0;
    }
    reporter.ErrorCode(error, "Unable to setup the serial port parameters.\n");
    return error;
  }
  if (!platform::GetSerialTimeouts(device, port.savedTimeouts) || !platform::SetSerialTimeouts(device, kReadTimeouts)) {
    const uint32_t error = platform::GetLastError();
    // The settings were changed already: put them back before letting go of the port.
    platform::SetSerialSettings(device, port.savedSettings);
    reporter.ErrorCode(error, "Unable to setup the serial port timeouts.\n");
    return error;
  }
  port.setUp = true;
  return 0;
}

}  // namespace

uint32_t OpenCommDevice(const std::string& name, uint32_t access, uint32_t shareMode, CommPort& port, uint32_t baudRate,
                        uint8_t byteSize, uint8_t stopBits, ReadOnlySetup readOnlySetup, platform::Reporter& reporter) {
  if (port.IsOpen()) return 0;
  port.device = platform::OpenDevice(name, access, shareMode);
  if (!port.device) {
    const uint32_t error = platform::GetLastError();
    reporter.ErrorCode(error, "OpenCommDevice: Failed to open '%s'\n", name.c_str());
    // The port map lives in the machine hive; the error number alone names no file.
    if (error == platform::kErrorRegistryCorrupt) {
      reporter.Error("%s", platform::DamagedHiveAdvice(platform::Hive::kLocalMachine).c_str());
    }
    platform::SetLastError(error);
    return error;
  }
  port.name = name;
  port.access = access;
  port.shareMode = shareMode;
  port.baudRate = baudRate;
  port.byteSize = byteSize;
  port.stopBits = stopBits;
  if ((access & platform::kGenericWrite) == 0 && readOnlySetup == ReadOnlySetup::kKeep) {
    LimitReads(port);
    return 0;
  }
  const uint32_t error = ConfigurePort(port, reporter);
  if (error != 0) {
    port = CommPort{};
    platform::SetLastError(error);
  }
  return error;
}

uint32_t CloseCommDevice(CommPort& port) {
  if (!port.IsOpen()) return 0;
  if (port.setUp) {
    platform::SetSerialSettings(*port.device, port.savedSettings);
    platform::SetSerialTimeouts(*port.device, port.savedTimeouts);
  } else if (port.readLimitSet) {
    platform::SetSerialTimeouts(*port.device, port.savedTimeouts);
  }
  port = CommPort{};
  return 0;
}

}  // namespace serial
