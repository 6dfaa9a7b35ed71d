#include "store/LayeredProfile.h"

namespace quarvo {

std::string LayeredProfile::GetString(const std::string& section, const std::string& key,
                                      const std::string& defaultText) {
  return perUser_.GetString(section, key, main_.GetString(section, key, defaultText));
}

bool LayeredProfile::WriteString(const std::string& section, const std::string& key,
                                 const std::string& value) {
  if (!main_.WriteString(section, key, value)) return perUser_.WriteString(section, key, value);
  if (ProfileHasKey(perUser_, section, key)) return perUser_.WriteString(section, key, value);
  return true;
}

}  // namespace quarvo
