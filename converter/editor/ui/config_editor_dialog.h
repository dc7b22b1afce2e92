#pragma once
// The configuration editor's window: shows what the ConfigEditor holds and hands every click and
// key to it.

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTableWidget>
#include <string>

#include "converter/editor/config_editor.h"
#include "platform/reports/reporter.h"

namespace converter::editor::ui {

class ConfigEditorDialog final : public QDialog {
 public:
  // `reporter` shows the converter's log after a conversion; `programName` and `version` are what
  // the About box names.
  ConfigEditorDialog(ConfigEditor& editor, platform::Reporter& reporter, std::string programName, std::string version,
                     QWidget* parent = nullptr);

  // Shows the editor's state: fields, lists and every cell.
  void Refresh();
  // Escape: drops an open cell editor, or quits after the question.
  void reject() override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  // Closing the window commits an open cell editor, then quits after the question.
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildLayout();
  void Connect();
  void RefreshCell(int row, int column);
  // Shows the model's cell editor over its cell, or hides the edit box when none is open.
  void PlaceCellEditor();
  void ClickCell(QPoint position, Qt::MouseButton button);
  void CommitCellEditor();
  void DiscardCellEditor();
  void Help();
  void Exit();
  void Convert();
  // Runs an action of the model and shows the result.
  template <typename Action>
  void Forward(Action action);

  ConfigEditor& editor_;
  platform::Reporter& reporter_;
  std::string programName_;
  std::string version_;
  QLineEdit* mainGroup_ = nullptr;
  QComboBox* target_ = nullptr;
  QComboBox* region_ = nullptr;
  QCheckBox* includeComments_ = nullptr;
  QTableWidget* table_ = nullptr;
  QLineEdit* cellEdit_ = nullptr;
};

// The file dialog of a request, over whatever window `parent` points to when it opens (the model
// is made before its window).
FileChooser QtFileChooser(const QPointer<QWidget>& parent);

}  // namespace converter::editor::ui
