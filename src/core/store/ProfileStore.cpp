#include "store/ProfileStore.h"

namespace quarvo {

std::string ProfileBufferText(const std::string& text) {
  const std::string untilZero = text.substr(0, text.find('\0'));
  return untilZero.substr(0, kProfileValueLimit);
}

bool ProfileHasKey(ProfileStore& profile, const std::string& section, const std::string& key) {
  // A stored value comes back the same whatever the default; a missing key gives each default.
  return profile.GetString(section, key, "0") == profile.GetString(section, key, "1");
}

}  // namespace quarvo
