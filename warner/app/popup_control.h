#pragma once
// What the main window's controller asks of the pop-up windows. The display module implements it;
// tests put a fake in its place. Every call comes on the interface thread.

#include <cstdint>
#include <string>
#include <vector>

#include "warner/core/alarm/sound_test.h"

namespace warner {

class WarnerSession;

// The five icons of the tray and the status window, by their resource numbers.
enum class StatusIcon : int { kProgram = 128, kInactive = 133, kNoFix = 134, kSearching = 136, kFix = 137 };

// A pop-up window that was pressed and released since the last TakeTaps.
struct PopupTap {
  std::string windowName;  // field code of the window: "TMCS", "PSNT", "SPED", ...
  uint32_t heldMs = 0;     // from press to release
};

class PopupControl {
 public:
  virtual ~PopupControl() = default;
  // Creates the windows from the layout file, to show what `session` holds; false when the file
  // cannot be read (after its message): the program then closes.
  virtual bool Create(WarnerSession& session) = 0;
  // At least one pop-up window exists.
  virtual bool Exists() const = 0;
  // Closes the announcement windows whose time has passed and redraws the others; the data
  // windows only while `windowsVisible`.
  virtual void Refresh(uint32_t nowMs, bool windowsVisible) = 0;
  // Hides every pop-up; with `keepStatus` the status window stays, so it can be tapped again.
  virtual void HideAll(bool keepStatus) = 0;
  virtual void ClearCloseTimes() = 0;
  // A POI was announced: the announcement windows open now.
  virtual void Announced() = 0;
  // Recolours the status window.
  virtual void SetStatusIcon(StatusIcon icon) = 0;
  // The taps recorded since the last call, the announcement windows' left out.
  virtual std::vector<PopupTap> TakeTaps() = 0;
  virtual void RunWindowTest() = 0;
  // While the surroundings search runs nothing pops up.
  virtual void Pause() = 0;
  virtual void Resume() = 0;
  // The announcement window as the sound test shows each category's bitmap in it; null: none.
  virtual SoundTestWindow* SoundTestDisplay() { return nullptr; }
};

// No pop-up windows at all: the main window alone.
class NoPopups final : public PopupControl {
 public:
  bool Create(WarnerSession& /*session*/) override { return true; }
  bool Exists() const override { return false; }
  void Refresh(uint32_t /*nowMs*/, bool /*windowsVisible*/) override {}
  void HideAll(bool /*keepStatus*/) override {}
  void ClearCloseTimes() override {}
  void Announced() override {}
  void SetStatusIcon(StatusIcon /*icon*/) override {}
  std::vector<PopupTap> TakeTaps() override { return {}; }
  void RunWindowTest() override {}
  void Pause() override {}
  void Resume() override {}
};

}  // namespace warner
