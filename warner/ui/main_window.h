#pragma once
// The warner's main window: big two-line buttons, the source controls, the two spins, the test
// buttons and the version, with the tray icon. It shows what the controller holds and forwards
// every click to it; each control's object name is its id ("1002").
//
// The main window answers no registered window message: on Linux no other program posts one to
// it, so the announcement's registered message has nothing to be answered here.

#include <QComboBox>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QWidget>
#include <map>
#include <memory>
#include <string>

#include "warner/app/main_controller.h"

namespace warner::ui {

// Where a control sits, in dialog units.
struct DialogRect {
  int x, y, width, height;
};

class MainWindow final : public QWidget {
  Q_OBJECT

 public:
  MainWindow(const std::string& programFolder, platform::Reporter& reporter, PopupControl& popups, RecordHooks hooks,
             SessionObserver* events = nullptr, serial::FileChooser chooseFile = {});
  ~MainWindow() override;

  // Start-up after the window is shown; AutoSwitch's commands follow as queued events.
  void Start();
  MainController& Controller() { return *controller_; }
  // Pixels per dialog unit of the current layout.
  double Scale() const { return scale_; }
  bool Landscape() const { return landscape_; }

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  QPushButton* AddButton(int id);
  QLabel* AddLabel(const QString& name, const QString& text);
  QWidget* AddSpin(int id, int textId);
  void Place(QWidget* widget, const DialogRect& rect);
  void LayOut();
  void RunCommand(int id);
  void Apply(WindowRequest request);
  void Sync();
  void SyncCombo(QComboBox* combo, const std::vector<std::string>& items, size_t index);
  void SetupTray();

  std::unique_ptr<MainController> controller_;
  serial::FileChooser chooseFile_;
  std::map<int, QPushButton*> buttons_;
  std::map<int, QLabel*> texts_;
  std::map<int, QWidget*> spins_;
  QComboBox* source_ = nullptr;
  QComboBox* baud_ = nullptr;
  QLabel* sourceLabel_ = nullptr;
  QLabel* baudLabel_ = nullptr;
  QLabel* speedLabel_ = nullptr;
  QLabel* angleLabel_ = nullptr;
  QTimer timer_;
  QSystemTrayIcon* tray_ = nullptr;
  StatusIcon shownIcon_ = StatusIcon::kProgram;
  double scale_ = 2.0;
  bool landscape_ = false;
};

}  // namespace warner::ui
