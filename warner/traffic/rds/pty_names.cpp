#include "warner/traffic/rds/pty_names.h"

namespace traffic {

const char* PtyName(int code) {
  static constexpr const char* kNames[32] = {"None",
                                             "News",
                                             "Current Affairs",
                                             "Information",
                                             "Sport",
                                             "Education",
                                             "Drama",
                                             "Culture",
                                             "Science",
                                             "Varied",
                                             "Pop Music",
                                             "Rock Music",
                                             "Easy Listening",
                                             "Light Classical",
                                             "Serious Classical",
                                             "Other Music",
                                             "Weather",
                                             "Finance",
                                             "Children's programmes",
                                             "Social Affairs",
                                             "Religion",
                                             "Phone In",
                                             "Travel",
                                             "Leisure",
                                             "Jazz Music",
                                             "Country Music",
                                             "National Music",
                                             "Oldies Music",
                                             "Folk Music",
                                             "Documentary",
                                             "Alarm Test",
                                             "Alarm"};
  return code >= 0 && code < 32 ? kNames[code] : "?";
}

}  // namespace traffic
