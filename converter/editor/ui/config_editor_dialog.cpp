#include "converter/editor/ui/config_editor_dialog.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFileDialog>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QMouseEvent>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>
#include <algorithm>
#include <functional>

#include "converter/config/config_values.h"

namespace converter::editor::ui {
namespace {

constexpr TargetSystem kTargets[] = {TargetSystem::kSntOnly, TargetSystem::kNavigonOem, TargetSystem::kMapAndGuideCsv,
                                     TargetSystem::kDestinatorCsv};
// The converter's log is long; its end holds the summary.
constexpr int kShownLogChars = 480;
// The average character width, in pixels, of the font the column widths were chosen for.
constexpr double kNarrowFontCharWidth = 5.0;

QString Text(const std::string& text) { return QString::fromStdString(text); }

QPushButton* Button(const QString& text, QWidget* parent) {
  auto* button = new QPushButton(text, parent);
  button->setAutoDefault(false);  // Enter belongs to the cell editor
  return button;
}

// "POI Description File (*.asc, *.csv, *.txt)" with "*.asc;*.csv;*.txt" as Qt spells a filter.
QString NameFilter(const std::pair<std::string, std::string>& filter) {
  QString description = Text(filter.first);
  const qsizetype bracket = description.indexOf(" (");
  if (bracket >= 0) description.truncate(bracket);
  return description + " (" + Text(filter.second).replace(';', ' ') + ")";
}

}  // namespace

ConfigEditorDialog::ConfigEditorDialog(ConfigEditor& editor, platform::Reporter& reporter, std::string programName,
                                       std::string version, QWidget* parent)
    : QDialog(parent),
      editor_(editor),
      reporter_(reporter),
      programName_(std::move(programName)),
      version_(std::move(version)) {
  setWindowTitle("Placewright");
  BuildLayout();
  Connect();
  Refresh();
  mainGroup_->setFocus();
}

void ConfigEditorDialog::BuildLayout() {
  mainGroup_ = new QLineEdit(this);
  mainGroup_->setObjectName("mainGroup");
  mainGroup_->setMaxLength(31);
  target_ = new QComboBox(this);
  target_->setObjectName("target");
  for (TargetSystem target : kTargets) target_->addItem(Text(std::string(TargetSystemName(target))));
  region_ = new QComboBox(this);
  region_->setObjectName("region");
  region_->addItems({"America", "Europe"});
  includeComments_ = new QCheckBox("Include\nComments", this);
  includeComments_->setObjectName("includeComments");

  auto* fields = new QHBoxLayout;
  fields->addWidget(new QLabel("Main Group:", this));
  fields->addWidget(mainGroup_, 1);
  fields->addWidget(new QLabel("Target:", this));
  fields->addWidget(target_);
  fields->addWidget(new QLabel("Map Region:", this));
  fields->addWidget(region_);
  fields->addWidget(includeComments_);

  table_ = new QTableWidget(kRowCount, kColumnCount, this);
  table_->setObjectName("subcategories");
  table_->setShowGrid(true);
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->setSelectionMode(QAbstractItemView::SingleSelection);
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->verticalHeader()->hide();
  table_->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
  // The column widths were chosen for a small dialog font; today's fonts are wider.
  const double scale = std::max(1.0, fontMetrics().averageCharWidth() / kNarrowFontCharWidth);
  int tableWidth = 0;
  for (int column = 0; column < kColumnCount; ++column) {
    const Column& info = Columns()[static_cast<size_t>(column)];
    table_->setHorizontalHeaderItem(column, new QTableWidgetItem(Text(std::string(info.header))));
    table_->setColumnWidth(column, static_cast<int>(info.width * scale));
    tableWidth += table_->columnWidth(column);
  }
  table_->horizontalHeader()->setStretchLastSection(true);
  table_->viewport()->installEventFilter(this);

  cellEdit_ = new QLineEdit(table_->viewport());
  cellEdit_->setObjectName("cellEditor");
  cellEdit_->hide();
  cellEdit_->installEventFilter(this);
  mainGroup_->installEventFilter(this);

  auto* buttons = new QHBoxLayout;
  const std::pair<const char*, std::function<void()>> actions[] = {
      {"&Help", [this] { Help(); }},
      {"Load Config", [this] { Forward([this] { editor_.LoadConfig(); }); }},
      {"Save Config", [this] { Forward([this] { editor_.SaveConfig(); }); }},
      {"Convert", [this] { Convert(); }},
      {nullptr, {}},  // the space between the actions and the rest
      {"&About Placewright...", [this] { editor_.About(programName_, version_); }},
      {"Exit", [this] { Exit(); }},
  };
  for (const auto& [text, action] : actions) {
    if (text == nullptr) {
      buttons->addStretch(1);
      continue;
    }
    QPushButton* button = Button(text, this);
    buttons->addWidget(button);
    connect(button, &QPushButton::clicked, this, action);
  }

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(fields);
  layout->addWidget(table_, 1);
  layout->addLayout(buttons);
  resize(tableWidth + 60, 520);
}

template <typename Action>
void ConfigEditorDialog::Forward(Action action) {
  action();
  Refresh();
}

void ConfigEditorDialog::Connect() {
  connect(mainGroup_, &QLineEdit::textEdited, this,
          [this](const QString& text) { editor_.SetMainGroup(text.toStdString()); });
  connect(target_, &QComboBox::activated, this, [this](int index) {
    editor_.SetTarget(kTargets[index]);
    Refresh();
  });
  connect(region_, &QComboBox::activated, this,
          [this](int index) { editor_.SetRegion(index == 0 ? MapRegion::kAmerica : MapRegion::kEurope); });
  connect(includeComments_, &QCheckBox::toggled, this, [this](bool checked) { editor_.SetIncludeComments(checked); });
  connect(cellEdit_, &QLineEdit::textEdited, this,
          [this](const QString& text) { editor_.SetEditorText(text.toStdString()); });
}

void ConfigEditorDialog::Refresh() {
  const EditorTable& table = editor_.Table();
  if (mainGroup_->text().toStdString() != table.mainGroup) mainGroup_->setText(Text(table.mainGroup));
  for (int i = 0; i < target_->count(); ++i) {
    if (kTargets[i] == table.target) target_->setCurrentIndex(i);
  }
  region_->setCurrentIndex(table.region == MapRegion::kAmerica ? 0 : 1);
  region_->setEnabled(editor_.RegionEnabled());
  includeComments_->setChecked(table.includeComments);
  table_->setUpdatesEnabled(false);
  for (int row = 0; row < kRowCount; ++row) {
    for (int column = 0; column < kColumnCount; ++column) RefreshCell(row, column);
  }
  table_->setUpdatesEnabled(true);
  PlaceCellEditor();
}

void ConfigEditorDialog::RefreshCell(int row, int column) {
  const QString text = Text(editor_.CellText(row, column));
  QTableWidgetItem* item = table_->item(row, column);
  if (item == nullptr) {
    item = new QTableWidgetItem(text);
    if (column == 0 || Columns()[static_cast<size_t>(column)].kind == EditKind::kDigits) {
      item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    }
    table_->setItem(row, column, item);
  } else if (item->text() != text) {
    item->setText(text);
  }
}

void ConfigEditorDialog::PlaceCellEditor() {
  const std::optional<CellEditor>& open = editor_.Editor();
  if (!open) {
    if (cellEdit_->isVisible()) {
      cellEdit_->hide();
      table_->setFocus();
    }
    return;
  }
  const Column& info = Columns()[static_cast<size_t>(open->column)];
  const QRect cell = table_->visualRect(table_->model()->index(open->row, open->column));
  const QFontMetrics metrics(table_->font());
  const int minWidth = 4 * info.maxChars * metrics.horizontalAdvance('M') / 5;
  const Span span = EditorSpan({cell.left(), cell.width()}, minWidth, table_->viewport()->width());
  const bool digits = info.kind == EditKind::kDigits;
  cellEdit_->setFont(table_->font());
  cellEdit_->setMaxLength(info.maxChars);
  cellEdit_->setAlignment(digits ? Qt::AlignRight : Qt::AlignLeft);
  if (digits) {
    cellEdit_->setValidator(new QRegularExpressionValidator(QRegularExpression("[0-9]*"), cellEdit_));
  } else {
    cellEdit_->setValidator(nullptr);
  }
  cellEdit_->setGeometry(span.left, cell.top(), span.width, cell.height());
  if (cellEdit_->text().toStdString() != open->text) cellEdit_->setText(Text(open->text));
  cellEdit_->selectAll();
  cellEdit_->show();
  cellEdit_->setFocus();
}

void ConfigEditorDialog::ClickCell(QPoint position, Qt::MouseButton button) {
  const QModelIndex index = table_->indexAt(position);
  if (!index.isValid()) {
    CommitCellEditor();
    return;
  }
  if (button == Qt::RightButton) {
    Forward([this, &index] { editor_.ChooseFile(index.row(), index.column()); });
    return;
  }
  const QRect row = table_->visualRect(index);
  const bool wholeRowVisible = row.top() >= 0 && row.bottom() < table_->viewport()->height();
  if (wholeRowVisible) {
    editor_.OpenEditor(index.row(), index.column());
    if (editor_.Editor()) cellEdit_->clear();  // the new cell's text comes in whole
  } else {
    editor_.CommitEditor();
  }
  Refresh();
}

void ConfigEditorDialog::CommitCellEditor() {
  if (!editor_.Editor()) return;
  const int row = editor_.Editor()->row;
  const int column = editor_.Editor()->column;
  editor_.CommitEditor();
  RefreshCell(row, column);
  if (editor_.Editor()) cellEdit_->setText(Text(editor_.Editor()->text));  // refused: the previous text
  PlaceCellEditor();
}

void ConfigEditorDialog::DiscardCellEditor() {
  editor_.DiscardEditor();
  PlaceCellEditor();
}

bool ConfigEditorDialog::eventFilter(QObject* watched, QEvent* event) {
  if (watched == cellEdit_ && event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
      CommitCellEditor();
      return true;
    }
    if (key == Qt::Key_Escape) {
      DiscardCellEditor();
      return true;
    }
  }
  if (watched == table_->viewport() && event->type() == QEvent::MouseButtonPress) {
    const auto* mouse = static_cast<QMouseEvent*>(event);
    ClickCell(mouse->position().toPoint(), mouse->button());
    return false;
  }
  if (watched == mainGroup_ && event->type() == QEvent::FocusIn && editor_.Editor()) {
    CommitCellEditor();
  }
  return QDialog::eventFilter(watched, event);
}

void ConfigEditorDialog::Exit() {
  const bool quit = editor_.Exit();
  Refresh();
  if (quit) QDialog::reject();
}

void ConfigEditorDialog::closeEvent(QCloseEvent* event) {
  const bool quit = editor_.ConfirmQuit();
  Refresh();
  if (!quit) {
    event->ignore();
    return;
  }
  QDialog::reject();
  event->accept();
}

void ConfigEditorDialog::reject() {
  const bool quit = editor_.Escape();
  Refresh();
  if (quit) QDialog::reject();
}

void ConfigEditorDialog::Help() {
  CommitCellEditor();
  if (editor_.Editor()) return;
  QMessageBox box(QMessageBox::Information, windowTitle(), Text(HelpText()), QMessageBox::Ok, this);
  box.exec();
}

void ConfigEditorDialog::Convert() {
  bool done = false;
  Forward([this, &done] { done = editor_.Convert(); });
  if (!done) return;
  QString log = Text(editor_.ConverterLog()).trimmed();
  if (log.size() > kShownLogChars) log = "..." + log.right(kShownLogChars);
  reporter_.Inform("%s", log.toStdString().c_str());
}

FileChooser QtFileChooser(const QPointer<QWidget>& parent) {
  return [&parent](const FileDialogRequest& request) -> std::optional<std::string> {
    QFileDialog dialog(parent, Text(request.title));
    const bool save = request.mode == FileDialogRequest::Mode::kSave;
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    QStringList filters;
    for (const auto& filter : request.filters) filters << NameFilter(filter);
    dialog.setNameFilters(filters);
    if (!request.start.empty()) dialog.selectFile(Text(request.start));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return dialog.selectedFiles().first().toStdString();
  };
}

}  // namespace converter::editor::ui
