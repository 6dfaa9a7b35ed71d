// The window's list commands. A load reads the file and builds its rows on a thread of its own, so
// that the window keeps answering while a list of a million rows loads; the rows then take the
// table's place on the user-interface thread, in one step, as the menu's "载入" always did.
#pragma once

#include <QObject>
#include <memory>

#include "app/Commands.h"
#include "app/Persistence.h"
#include "sys/ThreadLauncher.h"

namespace quarvo {

class QtListFiles final : public QObject, public ListFiles {
 public:
  QtListFiles(PersistenceContext& context, ThreadLauncher& threads);
  ~QtListFiles() override;

  void Save() override { SaveListOnRequest(context_); }
  // A "载入" while one is still reading does nothing more.
  void Load() override;
  bool SaveOnClose() override { return quarvo::SaveOnClose(context_); }
  // After the window is gone: a load still reading brings nothing.
  void Close();

 protected:
  bool event(QEvent* event) override;

 private:
  struct Delivery;
  PersistenceContext& context_;
  ThreadLauncher& threads_;
  std::shared_ptr<Delivery> delivery_;
  bool loading_ = false;
};

}  // namespace quarvo
