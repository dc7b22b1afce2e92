#pragma once
// The driver manager's window: shows what the manager holds and hands every click to it.

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QListWidget>
#include <QObject>
#include <QPointer>
#include <QPushButton>

#include "manager/core/driver_manager.h"
#include "manager/core/port_test.h"

namespace manager::ui {

// The port test's lines. The test thread calls in; the lines reach the list on the window's thread,
// in order. Must outlive the DriverManager that writes to it.
class PortTestList final : public QObject, public PortTestSink {
  Q_OBJECT

 public:
  PortTestList();
  ~PortTestList() override;
  PortTestList(const PortTestList&) = delete;
  PortTestList& operator=(const PortTestList&) = delete;
  // The list widget, for a window to take into its layout.
  QListWidget* Widget() const { return list_; }

  void Clear() override;
  void RemoveFirstLine() override;
  void AddLine(const std::string& line) override;

 signals:
  void Cleared();
  void FirstLineRemoved();
  void LineAdded(const QString& line);

 private:
  QPointer<QListWidget> list_;
};

class ManagerDialog final : public QDialog {
 public:
  // `manager` has been started; `lines` is the sink it was made with.
  ManagerDialog(DriverManager& manager, PortTestList& lines, QWidget* parent = nullptr);

  // Shows the manager's view: texts, entries, selections and enabled states.
  void Refresh();
  // Saves the choices through the manager's exit before the window closes.
  void done(int result) override;

 private:
  void BuildLayout(QListWidget* list);
  void Connect();
  // Runs a manager action, then shows its result.
  template <typename Action>
  void Forward(Action action);

  DriverManager& manager_;
  bool exited_ = false;
  QComboBox* input_;
  QComboBox* output_;
  QComboBox* baud_;
  QCheckBox* filter_;
  QCheckBox* resident_;
  QPushButton* activate_;
  QPushButton* deactivate_;
  QPushButton* testRaw_;
  QPushButton* testGps_;
  QPushButton* close_;
  QLabel* fileLabel_;
  QLabel* caption_;
  QLabel* version_;
};

// The file dialog for the manager's input file, with the request's title and filters, over
// whatever window `parent` points to when it opens (the manager is made before its window).
FileChooser QtFileChooser(const QPointer<QWidget>& parent);

}  // namespace manager::ui
