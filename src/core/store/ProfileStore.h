// The settings file: named values in sections, behind a seam so that each platform keeps them its
// own way and tests can keep them in memory.
#pragma once

#include <cstddef>
#include <string>

namespace quarvo {

class ProfileStore {
 public:
  virtual ~ProfileStore() = default;
  // The stored value of the key, or the default when the file, the section or the key is missing;
  // either way as read through a buffer of 256 bytes (ProfileBufferText).
  virtual std::string GetString(const std::string& section, const std::string& key,
                                const std::string& defaultText) = 0;
  // Stores the value under the key, replacing an earlier one and creating the section and the file
  // when missing. False when it could not be stored.
  virtual bool WriteString(const std::string& section, const std::string& key, const std::string& value) = 0;
};

// The longest value a read gives: its buffer holds 256 bytes with the closing zero.
inline constexpr std::size_t kProfileValueLimit = 255;

// A value as the 256-byte buffer gives it back: up to its first zero byte, and at most 255 bytes.
std::string ProfileBufferText(const std::string& text);

// Whether the key is stored at all (an empty value counts), told by reading it with two defaults.
bool ProfileHasKey(ProfileStore& profile, const std::string& section, const std::string& key);

// The settings file of this platform.
}  // namespace quarvo
