#include "errors.h"

#include <cerrno>
#include <cstdio>

namespace platform {

namespace {
thread_local uint32_t tLastError = kErrorSuccess;

struct ErrnoMapping {
  int errnoValue;
  uint32_t code;
};

constexpr ErrnoMapping kErrnoMap[] = {
    {0, kErrorSuccess},
    {EPERM, kErrorAccessDenied},
    {ENOENT, kErrorFileNotFound},
    {EIO, kErrorIoDevice},
    {ENXIO, kErrorDevNotExist},
    {EBADF, kErrorInvalidHandle},
    {EAGAIN, kErrorNotReady},
    {ENOMEM, kErrorNotEnoughMemory},
    {EACCES, kErrorAccessDenied},
    {EBUSY, kErrorDeviceInUse},
    {EEXIST, kErrorFileExists},
    {ENODEV, kErrorDevNotExist},
    {ENOTDIR, kErrorPathNotFound},
    {EISDIR, kErrorAccessDenied},
    {EINVAL, kErrorInvalidParameter},
    {ENFILE, kErrorTooManyOpenFiles},
    {EMFILE, kErrorTooManyOpenFiles},
    {ENOTTY, kErrorInvalidFunction},
    {ENOSPC, kErrorDiskFull},
    {EROFS, kErrorAccessDenied},
    {EPIPE, kErrorBrokenPipe},
    {ENAMETOOLONG, kErrorPathNotFound},
    {ENOSYS, kErrorNotSupported},
    {EOPNOTSUPP, kErrorNotSupported},
    {ETIMEDOUT, kErrorTimeout},
    {ECONNREFUSED, kErrorDevNotExist},
    {ECONNRESET, kErrorBrokenPipe},
    {ELOOP, kErrorPathNotFound},
    {EHOSTDOWN, kErrorDevNotExist},
};

struct ErrorTextEntry {
  uint32_t code;
  const char* text;
};

constexpr ErrorTextEntry kTexts[] = {
    {kErrorSuccess, "The operation completed successfully."},
    {kErrorInvalidFunction, "Incorrect function."},
    {kErrorFileNotFound, "The system cannot find the file specified."},
    {kErrorPathNotFound, "The system cannot find the path specified."},
    {kErrorTooManyOpenFiles, "The system cannot open the file."},
    {kErrorAccessDenied, "Access is denied."},
    {kErrorInvalidHandle, "The handle is invalid."},
    {kErrorNotEnoughMemory, "Not enough storage is available to process this command."},
    {kErrorInvalidData, "The data is invalid."},
    {kErrorNotReady, "The device is not ready."},
    {kErrorSharingViolation, "The process cannot access the file because it is being used by another process."},
    {kErrorHandleEof, "Reached the end of the file."},
    {kErrorNotSupported, "The request is not supported."},
    {kErrorDevNotExist, "The specified network resource or device is no longer available."},
    {kErrorFileExists, "The file exists."},
    {kErrorInvalidParameter, "The parameter is incorrect."},
    {kErrorBrokenPipe, "The pipe has been ended."},
    {kErrorOpenFailed, "The system cannot open the device or file specified."},
    {kErrorDiskFull, "There is not enough space on the disk."},
    {kErrorInsufficientBuffer, "The data area passed to a system call is too small."},
    {kErrorProcNotFound, "The specified procedure could not be found."},
    {kErrorAlreadyExists, "Cannot create a file when that file already exists."},
    {kErrorBadExeFormat, "The file is not a valid program library."},
    {kErrorFilenameExcedRange, "The filename or extension is too long."},
    {kErrorMoreData, "More data is available."},
    {kErrorNoMoreItems, "No more data is available."},
    {kErrorRegistryCorrupt, "The registry is corrupted."},
    {kErrorRegistryIoFailed, "An I/O operation of the registry failed."},
    {kErrorKeyDeleted, "Illegal operation attempted on a registry key that has been marked for deletion."},
    {kErrorIoDevice, "The request could not be performed because of an I/O device error."},
    {kErrorTimeout, "This operation returned because the timeout period expired."},
    {kErrorDeviceInUse, "The device is in use by an active process and cannot be disconnected."},
    {kErrorBufferNotSet, "The buffer is not set up or the file is still missing."},
};
}  // namespace

uint32_t GetLastError() { return tLastError; }

void SetLastError(uint32_t code) { tLastError = code; }

uint32_t ErrorFromErrno(int errnoValue) {
  for (const auto& m : kErrnoMap) {
    if (m.errnoValue == errnoValue) return m.code;
  }
  return kErrorInvalidFunction;
}

uint32_t SetLastErrorFromErrno(int errnoValue) {
  const uint32_t code = ErrorFromErrno(errnoValue);
  SetLastError(code);
  return code;
}

std::string ErrorText(uint32_t code) {
  for (const auto& t : kTexts) {
    if (t.code == code) return t.text;
  }
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "Unknown error %u.", code);
  return buffer;
}

}  // namespace platform
