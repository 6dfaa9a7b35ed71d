// The handlers' results-file commands served by the load and save flows.
#pragma once

#include "app/Commands.h"
#include "app/Persistence.h"

namespace quarvo {

class FileCommands final : public ListFiles {
 public:
  explicit FileCommands(PersistenceContext& context) : context_(context) {}
  void Save() override { SaveListOnRequest(context_); }
  void Load() override { LoadList(context_); }
  bool SaveOnClose() override { return quarvo::SaveOnClose(context_); }

 private:
  PersistenceContext& context_;
};

}  // namespace quarvo
