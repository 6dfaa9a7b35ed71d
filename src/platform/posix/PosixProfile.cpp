// The settings file of builds without the Windows API: the program's own file in the user's
// configuration folder.
#include <cstdlib>
#include <string>

#include "platform/System.h"
#include "store/FileStore.h"
#include "store/IniProfile.h"
#include "text/Cp936Texts.h"

namespace quarvo {

namespace {

std::string ConfigFolder() {
  if (const char* config = std::getenv("XDG_CONFIG_HOME"); config != nullptr && config[0] == '/') {
    return std::string(config) + "/Quarvo";
  }
  if (const char* home = std::getenv("HOME"); home != nullptr && home[0] == '/') {
    return std::string(home) + "/.config/Quarvo";
  }
  return std::string();
}

}  // namespace

ProfileStore& SystemProfile() {
  static const std::string folder = ConfigFolder();
  static IniProfile profile(
      SystemFiles(), folder.empty() ? texts::kSettingsFileName : folder + "/" + texts::kSettingsFileName,
      folder);
  return profile;
}

}  // namespace quarvo
