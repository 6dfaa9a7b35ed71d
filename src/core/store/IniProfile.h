// A settings file kept by the program itself: "[section]" lines, then "key=value" lines.
//
// Section and key names match whatever their letter case, and blanks around them are ignored; a
// value is everything after the first "=" up to the line end, byte for byte. Lines starting with
// ";" or "#" are comments. Writing changes only the line of its key (or adds one) and keeps every
// other byte of the file.
#pragma once

#include <string>

#include "store/FileStore.h"
#include "store/ProfileStore.h"

namespace quarvo {

class IniProfile final : public ProfileStore {
 public:
  // `folder`, when given, is created before the file is first written.
  IniProfile(FileStore& files, std::string path, std::string folder = std::string());

  std::string GetString(const std::string& section, const std::string& key,
                        const std::string& defaultText) override;
  // The value is stored up to its first zero byte or line break, which the file cannot hold.
  bool WriteString(const std::string& section, const std::string& key, const std::string& value) override;

 private:
  FileStore& files_;
  std::string path_;
  std::string folder_;
};

}  // namespace quarvo
