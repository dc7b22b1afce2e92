#pragma once
// Files and serial ports as the handheld programs use them: opened by name, read, written and
// controlled through one interface. A name that ends with ':' is a device name ("COM4:", or a
// Linux device path with ':' appended, "/dev/ttyUSB0:"); any other name is a file path
// (handheld paths are resolved under the system root, see platform/paths).
//
// Every call that fails returns false (or null) and leaves a system error number as the thread's
// last error.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// Access rights and share modes with the handheld platform's values.
inline constexpr uint32_t kGenericRead = 0x80000000u;
inline constexpr uint32_t kGenericWrite = 0x40000000u;
inline constexpr uint32_t kFileShareRead = 0x1u;
inline constexpr uint32_t kFileShareWrite = 0x2u;

class Device {
 public:
  virtual ~Device() = default;

  // Reads up to `capacity` bytes. A serial port waits as its time-outs say and may return true
  // with *count 0; a file returns true with 0 at its end. A port whose device went away fails
  // with 55 (device missing).
  virtual bool Read(void* buffer, size_t capacity, size_t* count) = 0;
  virtual bool Write(const void* data, size_t size, size_t* written) = 0;
  // A control request (see serial_control.h). Requests a device does not know fail with 50 (not
  // supported); a file knows none.
  virtual bool IoControl(uint32_t code, const void* in, size_t inSize, void* out, size_t outSize, size_t* returned) = 0;
};

// Opens an existing file or device (never creates one). Access is a combination of kGenericRead
// and kGenericWrite; a read or write the access does not allow fails with 5. Two openers of one
// serial port that both want write access are refused with 32 (sharing violation) for the second
// one; readers may share. A file ignores the share mode (and kGenericWrite opens it read-write).
//
// A device name ("COM6:") is first asked of the device manager (device_manager.h): an active device
// of a stream driver opens as a virtual port whose calls run the driver in the daemon. When no
// daemon runs, one is started only if boot drivers are configured.
// A device name the port map does not know ("COM7:" with nothing behind it) fails with 2 (or with
// the registry's error when the map's entries could not be read, 1015 for a damaged hive); a
// device that cannot be opened gives the error of the open (2, 5, ...). A serial port opened for
// writing is put in raw mode at open (Linux line editing, echo and translations off: the
// handheld's ports have none); one opened only for reading changes nothing until it asks for a
// SET_DCB. Its settings as found are what GET_DCB reports until a SET_DCB. Whoever changes the
// terminal holds the port's write lock (a reader's SET_DCB fails with 32 while another opener holds
// it) and puts the whole terminal state back at close exactly as it found it: every flag and
// control character and the rate. The write lock is an flock() on the open device, so it holds
// between processes as well as within one.
// A write that runs into its time-out returns true with fewer bytes written than asked.
std::unique_ptr<Device> OpenDevice(std::string_view name, uint32_t access, uint32_t shareMode);

// The device names ("COM4:") of the ports that can be opened now, as the handheld's list of
// active devices gives them.
std::vector<std::string> EnumDevices();

}  // namespace platform
