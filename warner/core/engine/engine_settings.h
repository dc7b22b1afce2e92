#pragma once
// What the warning engine reads of the warner's settings; the settings module fills it.

#include <string>

namespace warner {

struct EngineSettings {
  int watchAngle = 18;                  // WatchAngle, degrees
  double directionToleranceAngle = 27;  // DirectionToleranceAngle, degrees
  int speedsToAverage = 0;              // SpeedsToAverage; 0 switches the speed alarm off
  double speedLimitKmh = 0;             // the limit, already converted from SpeedLimitDimension
  std::string speedLimitWavFile;        // SpeedLimitWAVFile
  int writeActPos = 0;                  // WriteActPos; above 0 the current position is written per fix
  std::string registeredMessageName;    // RegisteredMessageName; empty: none
  std::string fileMessageName;          // FileMessageName as a Linux path; empty: none
  int announceOpenTime = 10;            // AnnounceOpenTime, seconds
  // Check mode: every record is tested on every fix instead of the search window. Slow; it lets a
  // replay verify that the window never misses what a test of every record finds.
  bool testEveryRecord = false;
};

}  // namespace warner
