#include "warner/search/ui/search_dialog.h"

#include <QApplication>
#include <QComboBox>
#include <QFontInfo>
#include <QFontMetrics>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTreeWidget>
#include <algorithm>
#include <cmath>

#include "platform/text/text.h"

namespace warner::ui {

namespace {

// The dialog template in dialog units (a quarter of the average character width, an eighth of
// the character height).
constexpr QSize kTemplateSize{138, 151};
constexpr QRect kFileLabel{3, 5, 20, 8};
constexpr QRect kFileList{26, 3, 109, 12};
constexpr QRect kRadiusLabel{3, 20, 32, 8};
constexpr QRect kRadiusList{38, 18, 40, 12};
constexpr QRect kResultList{3, 33, 132, 96};
constexpr QRect kSearchButton{3, 133, 42, 14};
constexpr QRect kOkButton{48, 133, 42, 14};
constexpr QRect kCancelButton{93, 133, 42, 14};

// Columns: title, width in pixels (the description's is the rest of the client width), alignment.
constexpr int kDescriptionColumn = 2;
const char* const kColumnTitles[] = {" Dist", " Dir ", "Description", "Longitude", "Latitude"};
constexpr int kColumnWidths[] = {40, 40, 0, 60, 60};
constexpr int kNarrowColumnsWidth = 80;

QString FromFile(const std::string& bytes) { return QString::fromStdString(platform::FileTextToUtf8(bytes)); }

LayoutRect ToLayout(const QRect& r) { return {r.x(), r.y(), r.width(), r.height()}; }
QRect ToRect(const LayoutRect& r) { return {r.x, r.y, r.width, r.height}; }

}  // namespace

SearchDialog::SearchDialog(SearchDialogModel& model, QWidget* parent, QSize screen,
                           const std::function<void(const std::string&)>& startupLog)
    : QDialog(parent),
      model_(model),
      fileLabel_(new QLabel("File", this)),
      files_(new QComboBox(this)),
      radiusLabel_(new QLabel("Dist [km]", this)),
      radii_(new QComboBox(this)),
      results_(new QTreeWidget(this)),
      search_(new QPushButton("Search", this)),
      ok_(new QPushButton("OK", this)),
      cancel_(new QPushButton("Cancel", this)) {
  setWindowTitle("Search Surround");
  results_->setRootIsDecorated(false);
  results_->setSelectionMode(QAbstractItemView::SingleSelection);
  results_->setSelectionBehavior(QAbstractItemView::SelectRows);
  results_->setColumnCount(static_cast<int>(std::size(kColumnTitles)));
  auto* header = new QTreeWidgetItem;
  for (int column = 0; column < results_->columnCount(); ++column) header->setText(column, kColumnTitles[column]);
  header->setTextAlignment(0, Qt::AlignRight | Qt::AlignVCenter);
  results_->setHeaderItem(header);
  for (const char* radius : kSearchRadii) radii_->addItem(radius);

  model_.Open();
  for (const std::string& name : model_.Files()) files_->addItem(FromFile(name));
  files_->setCurrentIndex(model_.SelectedFile());
  radii_->setCurrentIndex(model_.SelectedRadius());
  search_->setEnabled(model_.SearchEnabled());
  search_->setDefault(true);
  ok_->setEnabled(false);
  PlaceControls(screen, startupLog);
  files_->setFocus();

  connect(files_, &QComboBox::currentIndexChanged, this, [this](int index) { model_.SelectFile(index); });
  connect(radii_, &QComboBox::currentIndexChanged, this, [this](int index) { model_.SelectRadius(index); });
  connect(search_, &QPushButton::clicked, this, &SearchDialog::Search);
  connect(results_, &QTreeWidget::itemSelectionChanged, this, [this] {
    const QModelIndexList rows = results_->selectionModel()->selectedRows();
    model_.SelectRow(rows.isEmpty() ? -1 : rows.first().row());
    ok_->setEnabled(model_.OkEnabled());
  });
  connect(ok_, &QPushButton::clicked, this, &SearchDialog::TakeRow);
  connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
}

// The handheld's font filled its small screen with the template; a car screen or a desktop gets a
// font that lets the template take most of the screen's height, up to two and a half times the
// usual size.
void SearchDialog::ScaleFont(QSize screen) {
  if (screen.isEmpty()) return;
  QFont scaled = font();
  const int usual = QFontInfo(scaled).pixelSize();
  const double lines = kTemplateSize.height() / 8.0;
  const int wanted = static_cast<int>(screen.height() * 0.85 / lines * 0.8);
  scaled.setPixelSize(std::clamp(wanted, usual, usual * 5 / 2));
  setFont(scaled);
  fontScale_ = static_cast<double>(scaled.pixelSize()) / usual;
}

void SearchDialog::PlaceControls(QSize screen, const std::function<void(const std::string&)>& startupLog) {
  if (screen.isEmpty() && QGuiApplication::primaryScreen() != nullptr) {
    screen = QGuiApplication::primaryScreen()->size();
  }
  ScaleFont(screen);
  const QFontMetrics metrics(font());
  const int unitX = metrics.horizontalAdvance("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz") / 52;
  const int unitY = metrics.height();
  const auto pixels = [&](const QRect& units) {
    return QRect(units.x() * unitX / 4, units.y() * unitY / 8, units.width() * unitX / 4, units.height() * unitY / 8);
  };
  const SearchDialogLayout portrait{ToLayout(pixels(kResultList)), ToLayout(pixels(kSearchButton)),
                                    ToLayout(pixels(kOkButton)), ToLayout(pixels(kCancelButton))};
  QSize client = pixels(QRect(QPoint(), kTemplateSize)).size();
  const bool landscape = screen.width() >= screen.height();
  // Beside the list there is room for the buttons only when the dialog is that much wider.
  if (landscape) client.rwidth() += portrait.search.width + 3;
  std::vector<std::string> notes;
  const SearchDialogLayout layout =
      ArrangeSearchDialog(portrait, client.width(), client.height(), screen.width(), screen.height(), &notes);
  if (startupLog) {
    for (const std::string& note : notes) startupLog(note);
  }
  setFixedSize(client);
  fileLabel_->setGeometry(pixels(kFileLabel));
  files_->setGeometry(pixels(kFileList));
  radiusLabel_->setGeometry(pixels(kRadiusLabel));
  radii_->setGeometry(pixels(kRadiusList));
  results_->setGeometry(ToRect(layout.list));
  search_->setGeometry(ToRect(layout.search));
  ok_->setGeometry(ToRect(layout.ok));
  cancel_->setGeometry(ToRect(layout.cancel));
  for (int column = 0; column < results_->columnCount(); ++column) {
    const int width =
        column == kDescriptionColumn ? client.width() - Scaled(kNarrowColumnsWidth) : Scaled(kColumnWidths[column]);
    results_->setColumnWidth(column, width);
  }
}

void SearchDialog::Search() {
  model_.Search([this](bool busy) { SetBusy(busy); });
  ShowRows();
}

void SearchDialog::ShowRows() {
  results_->clear();
  ok_->setEnabled(false);
  QList<QTreeWidgetItem*> items;
  items.reserve(static_cast<qsizetype>(model_.Rows().size()));
  for (const SurroundRow& row : model_.Rows()) {
    auto* item =
        new QTreeWidgetItem(QStringList{QString::fromStdString(row.distance), QString::fromStdString(row.direction),
                                        FromFile(row.description), FromFile(row.longitude), FromFile(row.latitude)});
    item->setTextAlignment(0, Qt::AlignRight | Qt::AlignVCenter);
    items.push_back(item);
  }
  results_->addTopLevelItems(items);
}

void SearchDialog::SetBusy(bool busy) {
  search_->setEnabled(!busy);
  cancel_->setEnabled(!busy);
  if (busy) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
  } else {
    QApplication::restoreOverrideCursor();
  }
}

void SearchDialog::TakeRow() {
  model_.TakeSelectedRow();
  accept();
}

}  // namespace warner::ui
