#include "warner/ui/gui_thread_reporter.h"

#include <QMetaObject>
#include <QThread>
#include <string>

namespace warner::ui {

template <typename Call>
void GuiThreadReporter::OnGuiThread(Call call) {
  if (QThread::currentThread() == context_.thread()) {
    call();
  } else {
    QMetaObject::invokeMethod(&context_, call, Qt::BlockingQueuedConnection);
  }
}

// The texts come formatted; the public forms with "%s" add nothing to them.
void GuiThreadReporter::Show(platform::Severity severity, std::string_view text) {
  const std::string copy(text);
  OnGuiThread([&] {
    switch (severity) {
      case platform::Severity::kWarning: boxes_.Warn("%s", copy.c_str()); break;
      case platform::Severity::kInformation: boxes_.Inform("%s", copy.c_str()); break;
      default: boxes_.Error("%s", copy.c_str()); break;
    }
  });
}

bool GuiThreadReporter::Ask(platform::Severity severity, std::string_view text) {
  const std::string copy(text);
  bool answer = false;
  OnGuiThread([&] {
    answer = severity == platform::Severity::kWarning ? boxes_.AskWarning("%s", copy.c_str())
                                                      : boxes_.AskYesNo("%s", copy.c_str());
  });
  return answer;
}

}  // namespace warner::ui
