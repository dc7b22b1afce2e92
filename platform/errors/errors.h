#pragma once
// System error numbers as the programs know them from the handheld platform, a thread-local
// "last error" that the serial side reports through, and a text for every number.

#include <cstdint>
#include <string>

namespace platform {

enum ErrorCode : uint32_t {
  kErrorSuccess = 0,
  kErrorInvalidFunction = 1,
  kErrorFileNotFound = 2,
  kErrorPathNotFound = 3,
  kErrorTooManyOpenFiles = 4,  // also: no free handle
  kErrorAccessDenied = 5,
  kErrorInvalidHandle = 6,
  kErrorNotEnoughMemory = 8,
  kErrorInvalidData = 13,  // data lost, reader overtaken
  kErrorNotReady = 21,
  kErrorSharingViolation = 32,
  kErrorHandleEof = 38,
  kErrorNotSupported = 50,
  kErrorDevNotExist = 55,
  kErrorFileExists = 80,
  kErrorInvalidParameter = 87,
  kErrorBrokenPipe = 109,
  kErrorOpenFailed = 110,  // no source open
  kErrorDiskFull = 112,
  kErrorInsufficientBuffer = 122,
  kErrorProcNotFound = 127,  // a library lacks an entry point
  kErrorAlreadyExists = 183,
  kErrorBadExeFormat = 193,        // a file that is not a loadable library
  kErrorFilenameExcedRange = 206,  // a path too long for where it must go
  kErrorMoreData = 234,
  kErrorNoMoreItems = 259,
  kErrorRegistryCorrupt = 1015,   // a hive file that is not a readable database
  kErrorRegistryIoFailed = 1016,  // a hive that cannot be read or written for another reason
  kErrorKeyDeleted = 1018,        // the open key was deleted meanwhile
  kErrorIoDevice = 1117,
  kErrorTimeout = 1460,
  kErrorDeviceInUse = 2404,
  kErrorBufferNotSet = 8255,  // this system's own: buffer not set up, file still missing after retries
};

// The calling thread's last error, as set by the platform functions that fail.
uint32_t GetLastError();
void SetLastError(uint32_t code);

// Maps a POSIX errno value to the closest system error number.
uint32_t ErrorFromErrno(int errnoValue);
// SetLastError(ErrorFromErrno(errnoValue)); returns the mapped number.
uint32_t SetLastErrorFromErrno(int errnoValue);

// The system's text for an error number, without a trailing line end.
std::string ErrorText(uint32_t code);

}  // namespace platform
