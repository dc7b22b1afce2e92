#include "tools/devmgr/devmgr.h"

#include <string_view>

#include "platform/devices/device_manager.h"
#include "platform/errors/errors.h"

namespace tools {

namespace {

constexpr char kUsage[] =
    "usage: devmgr COMMAND\n"
    "  activate KEY     load the stream driver of HKLM\\KEY and print its device name (COM6:)\n"
    "  deactivate NAME  unload the driver of device NAME\n"
    "  list             the active devices: name, driver key, pseudo-terminal links\n"
    "  stop             stop the device manager, unloading every driver\n"
    "The device manager (devmgrd) of the system root ($DW_SYSTEM_ROOT) starts on the first activation.\n";

constexpr int kCommandLine = 1;
constexpr int kRefused = 2;

int Refused(std::ostream& err, std::string_view what, const std::string& message) {
  const uint32_t error = platform::GetLastError();
  err << "devmgr: " << what << ": " << (message.empty() ? platform::ErrorText(error) : message) << " (error " << error
      << ")\n";
  return kRefused;
}

int List(std::ostream& out, std::ostream& err) {
  const auto devices = platform::ListDevices();
  if (!devices) return Refused(err, "list", {});
  for (const auto& device : *devices) {
    out << device.name << "\t" << device.key;
    for (const auto& link : device.links) out << "\t" << link;
    out << "\n";
  }
  return 0;
}

}  // namespace

int RunDevmgr(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  const std::string command = args.empty() ? "" : args[0];
  const size_t operands = command == "activate" || command == "deactivate" ? 2 : 1;
  if (command == "--help" || command == "-h") {
    out << kUsage;
    return 0;
  }
  const bool known = command == "activate" || command == "deactivate" || command == "list" || command == "stop";
  if (!known || args.size() != operands) {
    err << (command.empty() ? "devmgr: no command\n"
            : known         ? "devmgr: wrong number of operands\n"
                            : "devmgr: unknown command " + command + "\n")
        << kUsage;
    return kCommandLine;
  }
  std::string message;
  if (command == "activate") {
    const auto name = platform::ActivateDevice(args[1], &message);
    if (!name) return Refused(err, "activate " + args[1], message);
    out << *name << "\n";
    return 0;
  }
  if (command == "deactivate") {
    return platform::DeactivateDevice(args[1], &message) ? 0 : Refused(err, "deactivate " + args[1], message);
  }
  if (command == "list") return List(out, err);
  return platform::StopDeviceManager(&message) ? 0 : Refused(err, "stop", message);
}

}  // namespace tools
