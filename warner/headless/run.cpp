#include "warner/headless/run.h"

#include <chrono>

#include "platform/errors/errors.h"
#include "warner/headless/event_printer.h"
#include "warner/session/warner_session.h"

namespace warner {

void RunStop::Request() {
  {
    std::lock_guard guard(mutex_);
    requested_ = true;
  }
  changed_.notify_all();
}

void RunStop::WaitFor(uint32_t ms) {
  std::unique_lock lock(mutex_);
  changed_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return requested_.load(); });
}

int RunOnSources(const RunOptions& options, std::FILE* out, platform::Reporter& reporter, RunStop& stop) {
  WarnerSession session({options.programFolder, false}, reporter, [&stop](uint32_t ms) { stop.WaitFor(ms); });
  EventPrinter printer(out, options.json, session.Decoder());
  session.SetObserver(&printer);
  if (!session.ActivateDatabase()) return kRunNoDatabase;

  const SessionEnd end = session.RunOnSources(options.standAlone, stop.Flag());
  const bool saved = session.SaveMainWindowValues();
  if (end.code != 0 && end.code != platform::kErrorHandleEof) return kRunSourceFailed;
  const bool printed = printer.CheckOutput(reporter);
  return saved && printed ? kRunDone : kRunOutputFailed;
}

}  // namespace warner
