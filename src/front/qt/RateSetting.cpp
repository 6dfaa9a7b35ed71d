#include "front/qt/RateSetting.h"

#include "front/qt/LinuxTexts.h"
#include "text/Cp936Texts.h"
#include "text/TextHelpers.h"

namespace quarvo {

std::uint32_t RateSetting(ProfileStore& profile) {
  const std::string text =
      TrimText(profile.GetString(texts::kSettingsSection, linuxtexts::kSettingsRateKey, ""));
  if (text.empty()) return 0;
  try {
    const std::int32_t rate = ParseInt(text);
    return rate >= 1 && rate <= 100000 ? static_cast<std::uint32_t>(rate) : 0;
  } catch (const ConversionError&) {
    return 0;
  }
}

}  // namespace quarvo
