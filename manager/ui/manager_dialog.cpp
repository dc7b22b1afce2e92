#include "manager/ui/manager_dialog.h"

#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QScreen>
#include <QSignalBlocker>
#include <QStringList>
#include <QVBoxLayout>

namespace manager::ui {
namespace {

QString Text(const std::string& text) { return QString::fromStdString(text); }

void ShowList(QComboBox& box, const ListControl& list) {
  const QSignalBlocker quiet(box);
  box.clear();
  for (const std::string& item : list.items) box.addItem(Text(item));
  box.setCurrentIndex(list.selected);
  box.setEnabled(list.enabled);
}

void ShowCheck(QCheckBox& box, const CheckControl& check) {
  const QSignalBlocker quiet(box);
  box.setChecked(check.checked);
  box.setEnabled(check.enabled);
}

void ShowButton(QPushButton& button, const ButtonControl& control) {
  button.setText(Text(control.text));
  button.setEnabled(control.enabled);
}

// Lets a combo box shrink to the small screen: its entries ("COM12:", "115200") stay short.
QComboBox* CompactCombo(QWidget* parent) {
  auto* box = new QComboBox(parent);
  box->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  box->setMinimumContentsLength(6);
  return box;
}

}  // namespace

// The signals cross from the test thread to the list's; with the list gone, they go nowhere.
PortTestList::PortTestList() : list_(new QListWidget) {
  list_->setObjectName("testLines");
  list_->setMinimumHeight(list_->fontMetrics().height() * 3);
  connect(this, &PortTestList::Cleared, list_, &QListWidget::clear, Qt::QueuedConnection);
  connect(
      this, &PortTestList::FirstLineRemoved, list_, [list = list_.data()] { delete list->takeItem(0); },
      Qt::QueuedConnection);
  connect(
      this, &PortTestList::LineAdded, list_, [list = list_.data()](const QString& line) { list->addItem(line); },
      Qt::QueuedConnection);
}

PortTestList::~PortTestList() {
  if (list_ && list_->parent() == nullptr) delete list_;
}

void PortTestList::Clear() { emit Cleared(); }

void PortTestList::RemoveFirstLine() { emit FirstLineRemoved(); }

void PortTestList::AddLine(const std::string& line) { emit LineAdded(Text(line)); }

ManagerDialog::ManagerDialog(DriverManager& manager, PortTestList& lines, QWidget* parent)
    : QDialog(parent),
      manager_(manager),
      input_(CompactCombo(this)),
      output_(CompactCombo(this)),
      baud_(CompactCombo(this)),
      filter_(new QCheckBox("NMEA Filter", this)),
      resident_(new QCheckBox("Resident", this)),
      activate_(new QPushButton(this)),
      deactivate_(new QPushButton(this)),
      testRaw_(new QPushButton(this)),
      testGps_(new QPushButton(this)),
      close_(new QPushButton("Close", this)),
      fileLabel_(new QLabel(this)),
      caption_(new QLabel(this)),
      version_(new QLabel(this)) {
  input_->setObjectName("input");
  output_->setObjectName("output");
  baud_->setObjectName("baud");
  BuildLayout(lines.Widget());
  Connect();
  Refresh();
  // On a small car screen the test list gives up lines before the window leaves the screen.
  if (const QScreen* shown = screen()) resize(sizeHint().boundedTo(shown->availableSize()));
}

void ManagerDialog::BuildLayout(QListWidget* list) {
  auto* grid = new QGridLayout;
  grid->addWidget(new QLabel("Input", this), 0, 0);
  grid->addWidget(input_, 0, 1);
  grid->addWidget(new QLabel("Baud", this), 0, 2);
  grid->addWidget(baud_, 0, 3);
  grid->addWidget(filter_, 0, 4);
  grid->addWidget(new QLabel("Output", this), 1, 0);
  grid->addWidget(output_, 1, 1);
  grid->addWidget(fileLabel_, 1, 2, 1, 2);
  grid->addWidget(resident_, 1, 4);
  grid->setColumnStretch(1, 1);
  grid->setColumnStretch(3, 1);

  auto* buttons = new QHBoxLayout;
  for (QPushButton* button : {activate_, deactivate_, testRaw_, testGps_, close_}) {
    button->setAutoDefault(false);
    buttons->addWidget(button);
  }

  auto* footer = new QHBoxLayout;
  footer->addWidget(caption_, 1);
  footer->addWidget(version_);

  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(6, 6, 6, 6);
  column->setSpacing(4);
  column->addLayout(grid);
  column->addLayout(buttons);
  column->addLayout(footer);
  column->addWidget(list, 1);
}

template <typename Action>
void ManagerDialog::Forward(Action action) {
  action();
  Refresh();
}

void ManagerDialog::Connect() {
  connect(input_, &QComboBox::activated, this, [this](int i) { Forward([&] { manager_.SelectInput(i); }); });
  connect(output_, &QComboBox::activated, this, [this](int i) { Forward([&] { manager_.SelectOutput(i); }); });
  connect(baud_, &QComboBox::activated, this, [this](int i) { Forward([&] { manager_.SelectBaud(i); }); });
  connect(filter_, &QCheckBox::clicked, this, [this](bool on) { Forward([&] { manager_.SetFilter(on); }); });
  connect(resident_, &QCheckBox::clicked, this, [this](bool on) { Forward([&] { manager_.SetResident(on); }); });
  connect(activate_, &QPushButton::clicked, this, [this] { Forward([&] { manager_.Activate(); }); });
  connect(deactivate_, &QPushButton::clicked, this, [this] { Forward([&] { manager_.Deactivate(); }); });
  connect(testRaw_, &QPushButton::clicked, this, [this] { Forward([&] { manager_.PressTest(PortTestMode::kRaw); }); });
  connect(testGps_, &QPushButton::clicked, this, [this] { Forward([&] { manager_.PressTest(PortTestMode::kGps); }); });
  connect(close_, &QPushButton::clicked, this, &QDialog::accept);
}

void ManagerDialog::Refresh() {
  const ManagerView view = manager_.View();
  setWindowTitle(Text(view.title));
  ShowList(*input_, view.input);
  ShowList(*output_, view.output);
  ShowList(*baud_, view.baud);
  ShowCheck(*filter_, view.filter);
  ShowCheck(*resident_, view.resident);
  ShowButton(*activate_, view.activate);
  ShowButton(*deactivate_, view.deactivate);
  ShowButton(*testRaw_, view.testRaw);
  ShowButton(*testGps_, view.testGps);
  fileLabel_->setText(Text(view.fileLabel));
  fileLabel_->setEnabled(view.fileLabelEnabled);
  caption_->setText(Text(view.testCaption));
  version_->setText(Text(view.versionText));
}

void ManagerDialog::done(int result) {
  if (!exited_) {
    exited_ = true;
    manager_.Exit();
  }
  QDialog::done(result);
}

FileChooser QtFileChooser(const QPointer<QWidget>& parent) {
  return [&parent](const FileDialogRequest& request) -> std::optional<std::string> {
    QStringList filters;
    // Qt separates a filter's patterns with spaces, not semicolons.
    for (const auto& [description, patterns] : request.filters) filters << Text(description).replace(';', ' ');
    const QString file = QFileDialog::getOpenFileName(parent, Text(request.title), QString(), filters.join(";;"));
    if (file.isEmpty()) return std::nullopt;
    return file.toStdString();
  };
}

}  // namespace manager::ui
