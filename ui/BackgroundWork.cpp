// SPDX-License-Identifier: Apache-2.0
#include "ui/BackgroundWork.h"

#include <exception>
#include <memory>

#include <QApplication>
#include <QCursor>
#include <QEventLoop>
#include <QThread>
#include <QTimer>

#include "ui/Dialogs.h"

namespace quorlin::ui {

WorkOutcome RunWithProgress(Dialogs& dialogs, const QString& what, const WorkSettings& settings,
                            const std::function<void(WorkProgress&)>& work) {
  WorkProgress progress(settings.hook);
  std::atomic<bool> ended{false};
  bool cancelled = false;
  std::exception_ptr failure;
  const std::unique_ptr<QThread> worker(QThread::create([&] {
    try {
      work(progress);
    } catch (const WorkCancelled&) {
      cancelled = true;
    } catch (...) {
      failure = std::current_exception();
    }
    ended = true;
  }));

  QEventLoop loop;
  bool quitByUs = false;
  const auto quit = [&] {
    quitByUs = true;
    loop.quit();
  };
  QObject::connect(worker.get(), &QThread::finished, &loop, quit);
  std::unique_ptr<ProgressBox> box;
  // The end is also seen here, should the signal of the thread's end have
  // been taken by the loop before the box appeared.
  QTimer poll;
  poll.setInterval(30);
  QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
    if (ended) {
      quit();
      return;
    }
    if (!box) return;
    box->setProgress(progress.done(), progress.total());
    if (box->cancelled()) progress.cancel();
  });
  QTimer delay;
  delay.setSingleShot(true);
  QObject::connect(&delay, &QTimer::timeout, &loop, quit);

  worker->start();
  poll.start();
  delay.start(settings.delayMs);
  bool outsideQuit = false;
  if (!ended) {
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    outsideQuit = !quitByUs;
  }
  bool boxShown = false;
  if (!ended && !outsideQuit) {
    // The box takes clicks: the normal pointer over it, not the busy one.
    QApplication::setOverrideCursor(Qt::ArrowCursor);
    boxShown = true;
    box = dialogs.showProgress(what);
    if (box) box->setProgress(progress.done(), progress.total());
    while (!ended && !outsideQuit) {
      quitByUs = false;
      loop.exec();
      outsideQuit = !quitByUs;
    }
  }
  if (!ended) progress.cancel();  // the program ends
  worker->wait();
  box.reset();
  if (boxShown) QApplication::restoreOverrideCursor();
  if (failure) std::rethrow_exception(failure);
  return cancelled ? WorkOutcome::Cancelled : WorkOutcome::Done;
}

}  // namespace quorlin::ui
