#include "front/qt/QtListFiles.h"

#include <QCoreApplication>
#include <QEvent>
#include <mutex>

namespace quarvo {

namespace {

const QEvent::Type kLoadedEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

struct LoadedEvent final : QEvent {
  explicit LoadedEvent(LoadedList loaded) : QEvent(kLoadedEvent), list(std::move(loaded)) {}
  LoadedList list;
};

}  // namespace

// Where a loading thread hands its rows over; once closed it hands over nothing.
struct QtListFiles::Delivery {
  std::mutex mutex;
  QtListFiles* owner;
};

QtListFiles::QtListFiles(PersistenceContext& context, ThreadLauncher& threads)
    : context_(context), threads_(threads), delivery_(std::make_shared<Delivery>()) {
  delivery_->owner = this;
}

QtListFiles::~QtListFiles() {
  Close();
}

void QtListFiles::Close() {
  std::lock_guard<std::mutex> lock(delivery_->mutex);
  delivery_->owner = nullptr;
}

void QtListFiles::Load() {
  if (loading_ || !StartLoad(context_)) return;
  loading_ = true;
  // The thread takes copies and the files, which outlive the window; never the window's own parts.
  const bool started = threads_.Launch([delivery = delivery_, &files = context_.files,
                                        name = context_.listFile, errorText = context_.errorText] {
    auto event = std::make_unique<LoadedEvent>(ReadList(files, name, errorText));
    std::lock_guard<std::mutex> lock(delivery->mutex);
    // Posting is safe from any thread; an event still queued when the window goes goes with it.
    if (delivery->owner != nullptr) QCoreApplication::postEvent(delivery->owner, event.release());
  });
  if (started) return;
  // No thread to spare: the list is loaded here, as it was before.
  LoadedList list = ReadList(context_.files, context_.listFile, context_.errorText);
  loading_ = false;
  ShowLoadedList(context_, list);
}

bool QtListFiles::event(QEvent* event) {
  if (event->type() != kLoadedEvent) return QObject::event(event);
  loading_ = false;
  ShowLoadedList(context_, static_cast<LoadedEvent*>(event)->list);
  return true;
}

}  // namespace quarvo
