#include "platform/reports/ui/qt_reporter.h"

#include <QMessageBox>
#include <QString>

namespace platform::ui {
namespace {

QMessageBox::Icon IconOf(platform::Severity severity) {
  switch (severity) {
    case platform::Severity::kError: return QMessageBox::Critical;
    case platform::Severity::kWarning: return QMessageBox::Warning;
    case platform::Severity::kQuestion: return QMessageBox::Question;
    case platform::Severity::kInformation: return QMessageBox::Information;
  }
  return QMessageBox::NoIcon;
}

QString Text(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

}  // namespace

void QtReporter::Show(platform::Severity severity, std::string_view text) {
  QMessageBox box(IconOf(severity), parent_ ? parent_->windowTitle() : QString(), Text(text), QMessageBox::Ok, parent_);
  box.exec();
}

bool QtReporter::Ask(platform::Severity severity, std::string_view text) {
  QMessageBox box(IconOf(severity), parent_ ? parent_->windowTitle() : QString(), Text(text),
                  QMessageBox::Yes | QMessageBox::No, parent_);
  box.setDefaultButton(QMessageBox::No);
  return box.exec() == QMessageBox::Yes;
}

}  // namespace platform::ui
