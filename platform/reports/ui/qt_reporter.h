#pragma once
// Message boxes of the dialog: errors, warnings, information and the Yes/No questions.

#include <QPointer>
#include <QWidget>

#include "platform/reports/reporter.h"

namespace platform::ui {

class QtReporter final : public platform::Reporter {
 public:
  // The boxes are centred on `parent` once it is set; before that they stand alone.
  void SetParent(QWidget* parent) { parent_ = parent; }

 protected:
  void Show(platform::Severity severity, std::string_view text) override;
  bool Ask(platform::Severity severity, std::string_view text) override;

 private:
  QPointer<QWidget> parent_;
};

}  // namespace platform::ui
