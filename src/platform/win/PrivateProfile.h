// Settings through the platform's private-profile functions. A bare file name lies in the
// platform's default place for such files (the Windows folder).
#pragma once

#include <string>
#include <utility>

#include "store/ProfileStore.h"

namespace quarvo {

class PrivateProfile final : public ProfileStore {
 public:
  explicit PrivateProfile(std::string fileName) : fileName_(std::move(fileName)) {}

  std::string GetString(const std::string& section, const std::string& key,
                        const std::string& defaultText) override;
  bool WriteString(const std::string& section, const std::string& key, const std::string& value) override;

 private:
  std::string fileName_;
};

// The per-user settings file (the user's application-data folder, then "Quarvo\<name>"), and the
// folder that holds it; false when the platform names no such folder in CP936.
bool PerUserSettingsPath(const std::string& fileName, std::string& path, std::string& folder);

}  // namespace quarvo
