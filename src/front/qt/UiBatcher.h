// Brings changes made on any thread to the screen in batches: the first change after a quiet spell
// posts one event to the user-interface thread, and the window catches up at most once every
// kBatchMs however many changes arrive, so that a thousand workers cost a few repaints a second.
#pragma once

#include <QBasicTimer>
#include <QElapsedTimer>
#include <QObject>
#include <atomic>
#include <functional>
#include <mutex>

namespace quarvo {

class UiBatcher final : public QObject {
 public:
  static constexpr int kBatchMs = 50;

  // `catchUp` runs on the user-interface thread: it shows whatever changed since it last ran.
  explicit UiBatcher(std::function<void()> catchUp);

  // Any thread: something changed.
  void Request();
  // User-interface thread: catch up now.
  void CatchUpNow();
  // After the window is gone: requests are ignored, so that workers still finishing post nothing.
  void Close();

 protected:
  bool event(QEvent* event) override;
  void timerEvent(QTimerEvent* event) override;

 private:
  std::function<void()> catchUp_;
  std::mutex mutex_;  // orders Request against Close
  bool closed_ = false;
  std::atomic<bool> posted_{false};
  QElapsedTimer sinceCatchUp_;
  QBasicTimer timer_;
};

}  // namespace quarvo
