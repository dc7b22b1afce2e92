#pragma once
// Position records: a tap on a pop-up window appends the vehicle's position, as a POI list line the
// converter reads back, to the record file of the program mode.

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "platform/clock/clock.h"
#include "platform/reports/reporter.h"
#include "platform/sound/sound_player.h"
#include "warner/core/settings/warner_settings.h"
#include "warner/gps/gps_fix.h"
#include "warner/gps/nmea_decoder.h"

namespace warner {

// A press on a pop-up window shorter than this is a tap.
inline constexpr uint32_t kRecordTapMaxMs = 1000;

// Whether releasing a press of `pressedMs` on the window with the field code `fieldCode` ("SPED",
// "TIME", ...) appends a position record: a tap on any window but PSNT, TMCS, ANNO and ANDI, which
// have taps of their own.
bool TapAppendsRecord(std::string_view fieldCode, uint32_t pressedMs);

// "SntRec.ASC" or "RvrRec.ASC".
const char* RecordFileName(ProgramMode mode);
// ASCWriteDirPath + the record file name, in the programs' form; an empty folder is the root.
std::string RecordFilePath(const WarnerSettings& settings);

// Writes one position line (see PositionRecordLine) to an open stream; 0, or -1 when the line could
// not be written whole.
int WritePositionRecord(std::FILE* file, const gps::GpsFix& fix, std::string_view programName,
                        const platform::SystemTime& utcNow);

// What appending a record needs besides the fix.
struct RecordServices {
  const WarnerSettings& settings;  // mode, ASCWriteDirPath, KeyStrokeWAVFile, program folder
  platform::SoundPlayer& player;
  platform::Reporter& reporter;
  std::string_view programName;  // the program's file name; a folder and an extension are dropped
};

// Appends one position line to the record file and plays the key sound; 0 on success. When the
// file cannot be opened or the line not written whole (a full disk), says "Can't write to file
// '%s'.\n" with the system's error text, plays nothing, leaves the file as it was and returns -1.
int AppendPositionRecord(const gps::GpsFix& fix, const platform::SystemTime& utcNow, const RecordServices& services);
// The same from a consistent copy of the decoder's fix (taken under its fix lock) at the current
// UTC time: what a tap on the interface thread calls while the worker decodes.
int AppendPositionRecord(const gps::NmeaDecoder& decoder, const RecordServices& services);

}  // namespace warner
