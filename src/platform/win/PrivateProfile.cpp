#include "platform/win/PrivateProfile.h"

#include <shlobj.h>
#include <windows.h>

#include "platform/System.h"
#include "platform/win/WideName.h"
#include "store/FileStore.h"
#include "store/IniProfile.h"
#include "store/LayeredProfile.h"
#include "text/Cp936Texts.h"

namespace quarvo {

namespace {

constexpr DWORD kBufferSize = kProfileValueLimit + 1;
constexpr char kPerUserFolder[] = "Quarvo";

}  // namespace

std::string PrivateProfile::GetString(const std::string& section, const std::string& key,
                                      const std::string& defaultText) {
  char buffer[kBufferSize] = {};
  GetPrivateProfileStringA(section.c_str(), key.c_str(), defaultText.c_str(), buffer, kBufferSize,
                           fileName_.c_str());
  buffer[kBufferSize - 1] = '\0';
  return std::string(buffer);
}

bool PrivateProfile::WriteString(const std::string& section, const std::string& key,
                                 const std::string& value) {
  return WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(), fileName_.c_str()) != FALSE;
}

bool PerUserSettingsPath(const std::string& fileName, std::string& path, std::string& folder) {
  wchar_t appData[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, appData))) return false;
  std::string base;
  if (!NarrowName(appData, base) || base.empty()) return false;
  folder = base + "\\" + kPerUserFolder;
  path = folder + "\\" + fileName;
  return true;
}

ProfileStore& SystemProfile() {
  // A standard user may not write the Windows folder: what cannot be stored there goes to the
  // user's own folder, read first at the next start.
  static PrivateProfile main(texts::kSettingsFileName);
  static std::string perUserPath;
  static std::string perUserFolder;
  static const bool hasPerUser = PerUserSettingsPath(texts::kSettingsFileName, perUserPath, perUserFolder);
  if (!hasPerUser) return main;
  static IniProfile perUser(SystemFiles(), perUserPath, perUserFolder);
  static LayeredProfile layered(main, perUser);
  return layered;
}

}  // namespace quarvo
