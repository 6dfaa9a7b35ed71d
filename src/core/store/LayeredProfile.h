// Settings kept in a default place with a per-user place behind it, for a default place the user
// may not write (on Windows its own folder). A value that cannot be stored in the default place
// goes to the per-user place, which is read first; values in the default place are still read.
#pragma once

#include <string>

#include "store/ProfileStore.h"

namespace quarvo {

class LayeredProfile final : public ProfileStore {
 public:
  LayeredProfile(ProfileStore& main, ProfileStore& perUser) : main_(main), perUser_(perUser) {}

  std::string GetString(const std::string& section, const std::string& key,
                        const std::string& defaultText) override;
  // A value stored in the default place is also written to the per-user place when that one holds
  // the key, so an older per-user value never hides it.
  bool WriteString(const std::string& section, const std::string& key, const std::string& value) override;

 private:
  ProfileStore& main_;
  ProfileStore& perUser_;
};

}  // namespace quarvo
