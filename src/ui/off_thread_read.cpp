#include "ui/off_thread_read.h"

#include <atomic>
#include <exception>
#include <thread>

#include <QApplication>
#include <QEventLoop>
#include <QMetaObject>

namespace mirdal {

namespace {
int readsRunning = 0;
}  // namespace

void runOffWindowThread(const std::function<void()>& read) {
  QEventLoop wait;
  std::atomic<bool> done{false};
  std::exception_ptr failure;
  ++readsRunning;
  QApplication::setOverrideCursor(Qt::WaitCursor);
  std::thread reader([&] {
    try {
      read();
    } catch (...) {
      failure = std::current_exception();
    }
    done.store(true);
    QMetaObject::invokeMethod(&wait, [&wait] { wait.quit(); }, Qt::QueuedConnection);
  });
  // The quit is queued to the loop: one posted before exec() starts ends it
  // all the same.
  if (!done.load()) wait.exec(QEventLoop::ExcludeUserInputEvents);
  reader.join();
  QApplication::restoreOverrideCursor();
  --readsRunning;
  if (failure) std::rethrow_exception(failure);
}

bool offThreadReadRunning() { return readsRunning > 0; }

}  // namespace mirdal
