#include "warner/ui/main_window.h"

#include <QCloseEvent>
#include <QColor>
#include <QCoreApplication>
#include <QFileDialog>
#include <QGuiApplication>
#include <QScreen>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <optional>
#include <tuple>

#include "platform/clock/clock.h"
#include "platform/paths/paths.h"
#include "warner/ui/status_icons.h"

namespace warner::ui {

namespace {

// The dialog in dialog units, upright and on its side.
constexpr int kPortraitWidth = 137, kPortraitHeight = 151;
constexpr int kLandscapeWidth = 200, kLandscapeHeight = 110;
// A car screen or a desktop is larger than the handheld's: the dialog grows with the screen, but
// only so far.
constexpr double kMinScale = 1.5, kMaxScale = 4.0;

// The labels beside a control carry the control's id negated.
constexpr int kLabelOf = -1;

struct Placement {
  int id;
  DialogRect portrait;
  DialogRect landscape;
};

// Upright the six big buttons stand in two columns; on its side in three, and the test buttons
// and the version move to the right and bottom edges.
constexpr Placement kPlacements[] = {
    {kIdActivate, {2, 2, 65, 26}, {2, 2, 64, 30}},
    {kIdSearch, {70, 2, 65, 26}, {68, 2, 64, 30}},
    {kIdWriteLog, {2, 30, 65, 26}, {134, 2, 64, 30}},
    {kIdMinimize, {70, 30, 65, 26}, {2, 34, 64, 30}},
    {kIdTerminate, {2, 58, 65, 26}, {68, 34, 64, 30}},
    {kIdSourceMode, {70, 58, 65, 26}, {134, 34, 64, 30}},
    {kLabelOf * kIdSource, {2, 88, 24, 10}, {2, 68, 24, 10}},
    {kIdSource, {26, 86, 42, 12}, {26, 66, 50, 12}},
    {kLabelOf * kIdBaud, {70, 88, 18, 10}, {80, 68, 18, 10}},
    {kIdBaud, {88, 86, 47, 12}, {98, 66, 40, 12}},
    {kIdFile, {2, 101, 133, 10}, {2, 81, 136, 10}},
    {kLabelOf * kIdSpeedSpin, {2, 115, 26, 10}, {2, 97, 26, 10}},
    {kIdSpeedText, {28, 114, 30, 12}, {28, 96, 30, 12}},
    {kIdSpeedSpin, {58, 114, 10, 12}, {58, 96, 10, 12}},
    {kLabelOf * kIdAngleSpin, {70, 115, 28, 10}, {70, 97, 28, 10}},
    {kIdAngleText, {98, 114, 24, 12}, {98, 96, 24, 12}},
    {kIdAngleSpin, {122, 114, 10, 12}, {122, 96, 10, 12}},
    {kIdSoundTest, {2, 132, 28, 14}, {150, 66, 48, 12}},
    {kIdWindowTest, {32, 132, 28, 14}, {150, 80, 48, 12}},
    {kIdVersion, {64, 134, 71, 10}, {140, 97, 58, 10}},
};

constexpr int kBigButtons[] = {kIdActivate, kIdSearch, kIdWriteLog, kIdMinimize, kIdTerminate, kIdSourceMode};

QString Shown(const std::string& text) {
  QString shown = QString::fromStdString(text);
  shown.replace('\r', '\n');
  return shown;
}

// The font size goes into the style too: a style set again later (the active colour) would
// otherwise fall back to the application's font.
QString ButtonStyle(uint32_t background, int fontPixels) {
  const QString colour = background == kSystemButtonColour ? QStringLiteral("palette(button)")
                                                           : QColor::fromRgb(static_cast<QRgb>(background)).name();
  return QStringLiteral(
             "QPushButton { background-color: %1; color: black; border: 2px outset #707070; "
             "border-radius: 3px; font-weight: bold; font-size: %2px; }"
             "QPushButton:pressed { border-style: inset; }"
             "QPushButton:disabled { color: #808080; }")
      .arg(colour)
      .arg(fontPixels);
}

std::optional<std::string> ChooseWithDialog(QWidget* parent, const serial::FileDialogRequest& request) {
  QStringList filters;
  for (const auto& [description, patterns] : request.filters) {
    QString qtPatterns = QString::fromStdString(patterns);
    qtPatterns.replace(';', ' ');
    filters << QString::fromStdString(description) + " (" + qtPatterns + ")";
  }
  const QString path = QFileDialog::getOpenFileName(parent, QString::fromStdString(request.title),
                                                    QString::fromStdString(platform::ToLinuxPath(request.startFolder)),
                                                    filters.join(";;"));
  if (path.isEmpty()) return std::nullopt;
  return path.toStdString();
}

}  // namespace

MainWindow::MainWindow(const std::string& programFolder, platform::Reporter& reporter, PopupControl& popups,
                       RecordHooks hooks, SessionObserver* events, serial::FileChooser chooseFile)
    : chooseFile_(std::move(chooseFile)) {
  if (!chooseFile_) {
    chooseFile_ = [this](const serial::FileDialogRequest& request) { return ChooseWithDialog(this, request); };
  }
  AppServices services;
  // The worker's events reach the interface thread as queued calls; the controller stops the
  // worker before this window goes, so none is posted to a window that no longer exists.
  services.wake = [this] {
    QMetaObject::invokeMethod(
        this,
        [this] {
          controller_->ProcessWorkerEvents();
          Sync();
        },
        Qt::QueuedConnection);
  };
  controller_ = std::make_unique<MainController>(programFolder, reporter, popups, std::move(hooks), services);
  controller_->SetEventObserver(events);

  for (int id : kBigButtons) AddButton(id);
  AddButton(kIdSoundTest);
  AddButton(kIdWindowTest);
  sourceLabel_ = AddLabel(QString::number(kLabelOf * kIdSource), "Source");
  baudLabel_ = AddLabel(QString::number(kLabelOf * kIdBaud), "Baud");
  speedLabel_ = AddLabel(QString::number(kLabelOf * kIdSpeedSpin), "Sp.Lim.");
  angleLabel_ = AddLabel(QString::number(kLabelOf * kIdAngleSpin), "Snt.Ang.");
  for (int id : {kIdFile, kIdVersion, kIdSpeedText, kIdAngleText}) texts_[id] = AddLabel(QString::number(id), {});
  texts_[kIdSpeedText]->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  texts_[kIdAngleText]->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  texts_[kIdSpeedText]->setFrameShape(QFrame::Panel);
  texts_[kIdAngleText]->setFrameShape(QFrame::Panel);
  source_ = new QComboBox(this);
  source_->setObjectName(QString::number(kIdSource));
  baud_ = new QComboBox(this);
  baud_->setObjectName(QString::number(kIdBaud));
  connect(source_, &QComboBox::activated, this, [this](int index) {
    controller_->ChooseSource(static_cast<size_t>(index), chooseFile_);
    Sync();
  });
  connect(baud_, &QComboBox::activated, this, [this](int index) {
    controller_->ChooseBaud(static_cast<size_t>(index));
    Sync();
  });
  spins_[kIdSpeedSpin] = AddSpin(kIdSpeedSpin, kIdSpeedText);
  spins_[kIdAngleSpin] = AddSpin(kIdAngleSpin, kIdAngleText);

  setWindowTitle(QString::fromStdString(controller_->Title()));
  LayOut();
  // A screen turned on its side (or a changed car screen) lays the window out again.
  if (QScreen* screen = QGuiApplication::primaryScreen(); screen != nullptr) {
    connect(screen, &QScreen::availableGeometryChanged, this, [this] { LayOut(); });
  }
  connect(&timer_, &QTimer::timeout, this, [this] {
    Apply(controller_->Tick(platform::GetTickCount()));
    Sync();
  });
  timer_.start(1000);
}

MainWindow::~MainWindow() { controller_->Shutdown(); }

QPushButton* MainWindow::AddButton(int id) {
  auto* button = new QPushButton(this);
  button->setObjectName(QString::number(id));
  button->setFocusPolicy(Qt::NoFocus);
  connect(button, &QPushButton::clicked, this, [this, id] { RunCommand(id); });
  buttons_[id] = button;
  return button;
}

QLabel* MainWindow::AddLabel(const QString& name, const QString& text) {
  auto* label = new QLabel(text, this);
  label->setObjectName(name);
  return label;
}

// An up-down pair: up raises the value, as the handheld's spin gives a delta of -1 for it.
QWidget* MainWindow::AddSpin(int id, int /*textId*/) {
  auto* spin = new QWidget(this);
  spin->setObjectName(QString::number(id));
  auto* column = new QVBoxLayout(spin);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);
  for (const auto& [suffix, delta] : {std::pair{"up", -1}, std::pair{"down", 1}}) {
    auto* arrow = new QToolButton(spin);
    arrow->setObjectName(QString::number(id) + suffix);
    arrow->setArrowType(delta < 0 ? Qt::UpArrow : Qt::DownArrow);
    arrow->setAutoRepeat(true);
    arrow->setFocusPolicy(Qt::NoFocus);
    arrow->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    column->addWidget(arrow);
    connect(arrow, &QToolButton::clicked, this, [this, id, delta = delta] {
      if (id == kIdSpeedSpin) {
        controller_->SpinSpeedLimit(delta);
      } else {
        controller_->SpinWatchAngle(delta);
      }
      Sync();
    });
  }
  return spin;
}

void MainWindow::Place(QWidget* widget, const DialogRect& rect) {
  widget->setGeometry(static_cast<int>(std::lround(rect.x * scale_)), static_cast<int>(std::lround(rect.y * scale_)),
                      static_cast<int>(std::lround(rect.width * scale_)),
                      static_cast<int>(std::lround(rect.height * scale_)));
}

void MainWindow::LayOut() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  const QRect available = screen != nullptr ? screen->availableGeometry() : QRect(0, 0, 480, 640);
  landscape_ = available.width() >= available.height();
  const int width = landscape_ ? kLandscapeWidth : kPortraitWidth;
  const int height = landscape_ ? kLandscapeHeight : kPortraitHeight;
  scale_ = std::clamp(std::min(available.width() / double(width), available.height() / double(height)), kMinScale,
                      kMaxScale);
  QFont font = this->font();
  font.setPixelSize(std::max(8, static_cast<int>(std::lround(6.5 * scale_))));
  setFont(font);
  for (const Placement& placement : kPlacements) {
    QWidget* widget = findChild<QWidget*>(QString::number(placement.id), Qt::FindDirectChildrenOnly);
    if (widget != nullptr) Place(widget, landscape_ ? placement.landscape : placement.portrait);
  }
  setFixedSize(static_cast<int>(std::lround(width * scale_)), static_cast<int>(std::lround(height * scale_)));
  char trace[128];
  std::snprintf(trace, sizeof trace, "Layout %s: %dx%d pixels, %.2f pixels per dialog unit\r\n",
                landscape_ ? "landscape" : "portrait", available.width(), available.height(), scale_);
  controller_->Trace(trace);
}

void MainWindow::Start() {
  SetupTray();
  for (int id : controller_->Start()) {
    QMetaObject::invokeMethod(
        this, [this, id] { RunCommand(id); }, Qt::QueuedConnection);
  }
  setWindowTitle(QString::fromStdString(controller_->Title()));
  Sync();
}

void MainWindow::SetupTray() {
  if (!QSystemTrayIcon::isSystemTrayAvailable()) return;
  tray_ = new QSystemTrayIcon(StatusIconImage(StatusIcon::kInactive), this);
  tray_->setToolTip(QStringLiteral("waypost"));
  connect(tray_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
    if (reason != QSystemTrayIcon::Trigger && reason != QSystemTrayIcon::Context) return;
    Apply(controller_->TrayPressed(isActiveWindow()));
    Sync();
  });
  tray_->show();
}

void MainWindow::RunCommand(int id) {
  Apply(controller_->Command(id));
  Sync();
}

void MainWindow::Apply(WindowRequest request) {
  switch (request) {
    case WindowRequest::kNone: break;
    case WindowRequest::kMinimize: showMinimized(); break;
    case WindowRequest::kClose: close(); break;
    case WindowRequest::kToFront:
      showNormal();
      raise();
      activateWindow();
      break;
  }
}

void MainWindow::closeEvent(QCloseEvent* event) {
  timer_.stop();
  // The ending worker may still show a message box through this thread: serve it rather than
  // block in the join.
  controller_->BeginShutdown();
  while (!controller_->WorkerEnded()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  controller_->Shutdown();
  if (tray_ != nullptr) tray_->hide();
  event->accept();
}

void MainWindow::SyncCombo(QComboBox* combo, const std::vector<std::string>& items, size_t index) {
  QStringList wanted;
  for (const std::string& item : items) wanted << QString::fromStdString(item);
  QStringList present;
  for (int i = 0; i < combo->count(); ++i) present << combo->itemText(i);
  if (present != wanted) {
    combo->clear();
    combo->addItems(wanted);
  }
  combo->setCurrentIndex(static_cast<int>(index));
}

void MainWindow::Sync() {
  const std::map<int, ControlLook> looks = controller_->Looks();
  for (const auto& [id, button] : buttons_) {
    const ControlLook& look = looks.at(id);
    button->setProperty("controlText", QString::fromStdString(look.text));
    button->setText(Shown(look.text));
    button->setVisible(look.visible);
    button->setEnabled(look.enabled);
    if (std::find(std::begin(kBigButtons), std::end(kBigButtons), id) != std::end(kBigButtons)) {
      const QString style = ButtonStyle(look.background, font().pixelSize());
      if (button->styleSheet() != style) button->setStyleSheet(style);
    }
  }
  for (const auto& [id, text] : texts_) {
    const ControlLook& look = looks.at(id);
    text->setText(Shown(look.text));
    text->setVisible(look.visible);
    text->setEnabled(look.enabled);
  }
  const serial::SourceControls& sources = controller_->Sources();
  SyncCombo(source_, sources.PortItems(), sources.PortIndex());
  SyncCombo(baud_, sources.BaudItems(), sources.BaudIndex());
  for (auto [combo, label, id] :
       {std::tuple{source_, sourceLabel_, kIdSource}, std::tuple{baud_, baudLabel_, kIdBaud}}) {
    combo->setVisible(looks.at(id).visible);
    combo->setEnabled(looks.at(id).enabled);
    label->setVisible(looks.at(id).visible);
  }
  for (auto [id, label] : {std::pair{kIdSpeedSpin, speedLabel_}, std::pair{kIdAngleSpin, angleLabel_}}) {
    spins_.at(id)->setEnabled(looks.at(id).enabled);
    label->setEnabled(looks.at(id).enabled);
  }
  const StatusIcon icon = controller_->CurrentIcon();
  if (icon != shownIcon_) {
    shownIcon_ = icon;
    setWindowIcon(StatusIconImage(icon));
    if (tray_ != nullptr) tray_->setIcon(StatusIconImage(icon));
  }
}

}  // namespace warner::ui
