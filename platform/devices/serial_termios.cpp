#include "platform/devices/serial_termios.h"

#include <sys/ioctl.h>

#include "platform/errors/errors.h"

namespace platform::serial_detail {

namespace {

struct Speed {
  uint32_t rate;
  speed_t code;
};

constexpr Speed kSpeeds[] = {
    {50, B50},           {75, B75},           {110, B110},         {134, B134},         {150, B150},
    {200, B200},         {300, B300},         {600, B600},         {1200, B1200},       {1800, B1800},
    {2400, B2400},       {4800, B4800},       {9600, B9600},       {19200, B19200},     {38400, B38400},
    {57600, B57600},     {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
    {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000}, {1500000, B1500000},
    {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000}, {3500000, B3500000}, {4000000, B4000000},
};

constexpr tcflag_t kSizes[] = {CS5, CS6, CS7, CS8};

constexpr uint8_t kParityNone = 0, kParityOdd = 1, kParityEven = 2, kParityMark = 3, kParitySpace = 4;
constexpr uint8_t kStopOne = 0, kStopTwo = 2;
constexpr uint32_t kDtrShift = 4, kRtsShift = 12;
constexpr uint32_t kControlEnable = 1, kRtsHandshake = 2;

const Speed* FindRate(uint32_t rate) {
  for (const Speed& speed : kSpeeds) {
    if (speed.rate == rate) return &speed;
  }
  return nullptr;
}

uint32_t RateOf(speed_t code) {
  for (const Speed& speed : kSpeeds) {
    if (speed.code == code) return speed.rate;
  }
  return 0;
}

uint8_t ParityOf(tcflag_t cflag) {
  if (!(cflag & PARENB)) return kParityNone;
  if (cflag & CMSPAR) return (cflag & PARODD) ? kParityMark : kParitySpace;
  return (cflag & PARODD) ? kParityOdd : kParityEven;
}

tcflag_t ParityBits(uint8_t parity) {
  switch (parity) {
    case kParityOdd: return PARENB | PARODD;
    case kParityEven: return PARENB;
    case kParityMark: return PARENB | PARODD | CMSPAR;
    case kParitySpace: return PARENB | CMSPAR;
    default: return 0;
  }
}

uint32_t ControlFlags(const termios& tio, int modemLines) {
  const bool linesKnown = modemLines >= 0;
  uint32_t flags = SerialSettings::kBinary;
  if (tio.c_iflag & INPCK) flags |= SerialSettings::kParity;
  if (tio.c_iflag & IXON) flags |= SerialSettings::kOutX;
  if (tio.c_iflag & IXOFF) flags |= SerialSettings::kInX;
  if (!linesKnown || (modemLines & TIOCM_DTR)) flags |= kControlEnable << kDtrShift;
  if (tio.c_cflag & CRTSCTS) {
    flags |= SerialSettings::kOutxCtsFlow | (kRtsHandshake << kRtsShift);
  } else if (!linesKnown || (modemLines & TIOCM_RTS)) {
    flags |= kControlEnable << kRtsShift;
  }
  return flags;
}

void SetFlag(tcflag_t& field, tcflag_t bit, bool on) { field = on ? (field | bit) : (field & ~bit); }

}  // namespace

void MakeRaw(termios& tio) {
  tio.c_iflag &= ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXANY | IMAXBEL | IUCLC);
  tio.c_oflag &= ~OPOST;
  tio.c_lflag &= ~(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
  tio.c_cflag |= CREAD | CLOCAL;
  tio.c_cc[VMIN] = 1;
  tio.c_cc[VTIME] = 0;
}

SerialSettings SettingsFromTermios(const termios& tio, int modemLines) {
  SerialSettings settings;
  settings.baudRate = RateOf(cfgetospeed(&tio));
  settings.flags = ControlFlags(tio, modemLines);
  for (size_t i = 0; i < std::size(kSizes); ++i) {
    if ((tio.c_cflag & CSIZE) == kSizes[i]) settings.byteSize = static_cast<uint8_t>(5 + i);
  }
  settings.parity = ParityOf(tio.c_cflag);
  settings.stopBits = (tio.c_cflag & CSTOPB) ? kStopTwo : kStopOne;
  settings.xonChar = static_cast<char>(tio.c_cc[VSTART]);
  settings.xoffChar = static_cast<char>(tio.c_cc[VSTOP]);
  return settings;
}

uint32_t ApplySettings(const SerialSettings& settings, termios& tio) {
  const Speed* speed = FindRate(settings.baudRate);
  const bool valid = speed != nullptr && settings.byteSize >= 5 && settings.byteSize <= 8 &&
                     settings.parity <= kParitySpace &&
                     (settings.stopBits == kStopOne || settings.stopBits == kStopTwo);
  if (!valid) return kErrorInvalidParameter;
  termios result = tio;
  MakeRaw(result);
  cfsetispeed(&result, speed->code);
  cfsetospeed(&result, speed->code);
  result.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB);
  result.c_cflag |= kSizes[settings.byteSize - 5] | ParityBits(settings.parity);
  SetFlag(result.c_cflag, CSTOPB, settings.stopBits == kStopTwo);
  const uint32_t rtsControl = (settings.flags & SerialSettings::kRtsControlMask) >> kRtsShift;
  SetFlag(result.c_cflag, CRTSCTS, (settings.flags & SerialSettings::kOutxCtsFlow) || rtsControl == kRtsHandshake);
  SetFlag(result.c_iflag, INPCK, settings.flags & SerialSettings::kParity);
  SetFlag(result.c_iflag, IXON, settings.flags & SerialSettings::kOutX);
  SetFlag(result.c_iflag, IXOFF, settings.flags & SerialSettings::kInX);
  result.c_cc[VSTART] = static_cast<cc_t>(settings.xonChar);
  result.c_cc[VSTOP] = static_cast<cc_t>(settings.xoffChar);
  tio = result;
  return kErrorSuccess;
}

bool HasRateCode(uint32_t rate) { return FindRate(rate) != nullptr; }

}  // namespace platform::serial_detail
