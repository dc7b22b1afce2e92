#pragma once
// Message boxes from any thread: the worker's and the read threads' reports are shown by the
// interface thread while the reporting thread waits for the answer.

#include <QObject>

#include "platform/reports/ui/qt_reporter.h"

namespace warner::ui {

class GuiThreadReporter final : public platform::Reporter {
 public:
  // Boxes are shown with `boxes` on the thread of `context` (the application's).
  GuiThreadReporter(platform::ui::QtReporter& boxes, QObject& context) : boxes_(boxes), context_(context) {}

 protected:
  void Show(platform::Severity severity, std::string_view text) override;
  bool Ask(platform::Severity severity, std::string_view text) override;

 private:
  // Runs `call` on the interface thread and waits for it.
  template <typename Call>
  void OnGuiThread(Call call);

  platform::ui::QtReporter& boxes_;
  QObject& context_;
};

}  // namespace warner::ui
