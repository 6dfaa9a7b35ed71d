#include "store/IniProfile.h"

#include <cstdint>
#include <utility>
#include <vector>

#include "store/IoError.h"
#include "text/TextHelpers.h"

namespace quarvo {

namespace {

constexpr char kLineEnd[] = "\r\n";

struct Line {
  std::string text;
  std::string end;  // "\r\n", "\n", or empty for a last line without one
};

std::vector<Line> SplitLines(const std::string& bytes) {
  std::vector<Line> lines;
  std::size_t start = 0;
  while (start < bytes.size()) {
    const std::size_t lf = bytes.find('\n', start);
    if (lf == std::string::npos) {
      lines.push_back({bytes.substr(start), ""});
      break;
    }
    Line line{bytes.substr(start, lf - start), "\n"};
    if (!line.text.empty() && line.text.back() == '\r') {
      line.text.pop_back();
      line.end = kLineEnd;
    }
    lines.push_back(std::move(line));
    start = lf + 1;
  }
  return lines;
}

bool SameName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    auto fold = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; };
    if (fold(a[i]) != fold(b[i])) return false;
  }
  return true;
}

bool IsSectionLine(const std::string& text, std::string& name) {
  const std::string trimmed = TrimText(text);
  if (trimmed.empty() || trimmed.front() != '[') return false;
  const std::size_t close = trimmed.find(']');
  if (close == std::string::npos) return false;
  name = TrimText(trimmed.substr(1, close - 1));
  return true;
}

bool IsKeyLine(const std::string& text, std::string& key, std::string& value) {
  const std::string trimmed = TrimText(text);
  if (trimmed.empty() || trimmed.front() == ';' || trimmed.front() == '#') return false;
  const std::size_t equals = text.find('=');
  if (equals == std::string::npos) return false;
  key = TrimText(text.substr(0, equals));
  value = text.substr(equals + 1);
  return true;
}

// Where a key lies in the lines: the line of the key, and the line after the last non-empty line of
// its section (where a missing key goes), each npos when the key or the section is missing.
struct Place {
  std::size_t keyLine = std::string::npos;
  std::size_t sectionEnd = std::string::npos;
  std::string value;
};

Place Find(const std::vector<Line>& lines, const std::string& section, const std::string& key) {
  Place place;
  bool inSection = false;
  bool sectionSeen = false;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    std::string name;
    std::string value;
    if (IsSectionLine(lines[i].text, name)) {
      // Only the first section of that name counts, as for its keys.
      inSection = !sectionSeen && SameName(name, section);
      if (inSection) {
        sectionSeen = true;
        place.sectionEnd = i + 1;
      }
      continue;
    }
    if (!inSection) continue;
    if (!TrimText(lines[i].text).empty()) place.sectionEnd = i + 1;
    if (place.keyLine == std::string::npos && IsKeyLine(lines[i].text, name, value) && SameName(name, key)) {
      place.keyLine = i;
      place.value = value;
    }
  }
  return place;
}

std::string JoinLines(const std::vector<Line>& lines) {
  std::string bytes;
  for (const Line& line : lines) bytes += line.text + line.end;
  return bytes;
}

}  // namespace

IniProfile::IniProfile(FileStore& files, std::string path, std::string folder)
    : files_(files), path_(std::move(path)), folder_(std::move(folder)) {}

std::string IniProfile::GetString(const std::string& section, const std::string& key,
                                  const std::string& defaultText) {
  std::string bytes;
  try {
    if (!files_.IsPresent(path_)) return ProfileBufferText(defaultText);
    bytes = files_.ReadAll(path_, SIZE_MAX);
  } catch (const IoError&) {
    return ProfileBufferText(defaultText);  // a file that cannot be read holds nothing
  }
  const Place place = Find(SplitLines(bytes), section, key);
  return ProfileBufferText(place.keyLine == std::string::npos ? defaultText : place.value);
}

bool IniProfile::WriteString(const std::string& section, const std::string& key, const std::string& value) {
  const std::string stored = value.substr(0, value.find_first_of(std::string("\0\r\n", 3)));
  try {
    // A file that exists but cannot be read is not replaced by one holding only this key.
    const std::string bytes = files_.IsPresent(path_) ? files_.ReadAll(path_, SIZE_MAX) : std::string();
    std::vector<Line> lines = SplitLines(bytes);
    const Place place = Find(lines, section, key);
    const Line keyLine{key + "=" + stored, kLineEnd};
    if (place.keyLine != std::string::npos) {
      lines[place.keyLine].text = keyLine.text;
    } else {
      const std::size_t at = place.sectionEnd != std::string::npos ? place.sectionEnd : lines.size();
      if (at > 0 && lines[at - 1].end.empty()) lines[at - 1].end = kLineEnd;
      if (place.sectionEnd == std::string::npos) {
        lines.push_back({"[" + section + "]", kLineEnd});
        lines.push_back(keyLine);
      } else {
        lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(at), keyLine);
      }
    }
    if (!folder_.empty()) files_.CreateFolder(folder_);
    files_.Replace(path_, JoinLines(lines));
    return true;
  } catch (const IoError&) {
    return false;
  }
}

}  // namespace quarvo
