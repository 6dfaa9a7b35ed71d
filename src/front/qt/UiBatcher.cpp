#include "front/qt/UiBatcher.h"

#include <QCoreApplication>
#include <QEvent>
#include <QTimerEvent>

namespace quarvo {

namespace {

const QEvent::Type kChangedEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

}  // namespace

UiBatcher::UiBatcher(std::function<void()> catchUp) : catchUp_(std::move(catchUp)) {
  sinceCatchUp_.start();
}

void UiBatcher::Request() {
  if (posted_.exchange(true)) return;
  std::lock_guard<std::mutex> lock(mutex_);
  if (closed_) return;
  QCoreApplication::postEvent(this, new QEvent(kChangedEvent));
}

void UiBatcher::Close() {
  std::lock_guard<std::mutex> lock(mutex_);
  closed_ = true;
  timer_.stop();
}

void UiBatcher::CatchUpNow() {
  posted_ = false;  // before catching up: a change made during it posts again
  timer_.stop();
  sinceCatchUp_.restart();
  catchUp_();
}

bool UiBatcher::event(QEvent* event) {
  if (event->type() != kChangedEvent) return QObject::event(event);
  // Changes until the catch-up, now or when the timer fires, post nothing more: it shows them.
  const qint64 since = sinceCatchUp_.elapsed();
  if (since >= kBatchMs) {
    CatchUpNow();
  } else if (!timer_.isActive()) {
    timer_.start(static_cast<int>(kBatchMs - since), this);
  }
  return true;
}

void UiBatcher::timerEvent(QTimerEvent* event) {
  if (event->timerId() == timer_.timerId()) CatchUpNow();
}

}  // namespace quarvo
