#pragma once
// The device control block in terms of termios, both ways. Linux keeps no place for some of the
// block's fields (DSR flow, the limits, the error, end and event characters); the serial port keeps
// the block as set and only the fields below reach the terminal.

#include <termios.h>

#include <cstdint>

#include "platform/devices/serial_control.h"

namespace platform::serial_detail {

// What the handheld's serial port always is and Linux has to be told: no line editing, echo,
// signals or character translation; a read returns as soon as one byte is there; modem status
// lines do not hang the port up.
void MakeRaw(termios& tio);

// The block as a terminal's settings stand: speed, size, parity, stop bits, flow control, XON and
// XOFF characters. DTR and RTS control read "enable" when the line is up (or when the lines cannot
// be read: `modemLines` < 0).
SerialSettings SettingsFromTermios(const termios& tio, int modemLines);

// Writes the block's speed, size, parity, stop bits and flow control into `tio` (raw as well).
// 87 (invalid parameter) for a rate Linux has no speed for, a byte size outside 5..8, a parity
// above 4 or 1.5 stop bits; `tio` is then unchanged.
uint32_t ApplySettings(const SerialSettings& settings, termios& tio);

// True when termios has a speed code for `rate`; other rates up to kMaxCustomRate are set apart
// (custom_rate.h).
bool HasRateCode(uint32_t rate);
inline constexpr uint32_t kMaxCustomRate = 4000000;

}  // namespace platform::serial_detail
