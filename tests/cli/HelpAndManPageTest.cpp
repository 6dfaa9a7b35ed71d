#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <sstream>

#include "cli/CliHarness.h"

namespace quarvo {
namespace {

std::string FileText(const std::string& path) {
  std::ifstream file(path);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

// The text with the manual page's escaped hyphens ("\\-") written plainly.
std::string PlainHyphens(std::string text) {
  for (std::size_t at = text.find("\\-"); at != std::string::npos; at = text.find("\\-", at)) text.erase(at, 1);
  return text;
}

// Every "--word" in the text (a lower-case letter, then letters and hyphens).
std::set<std::string> Options(const std::string& raw) {
  const std::string text = PlainHyphens(raw);
  std::set<std::string> options;
  for (std::size_t at = text.find("--"); at != std::string::npos; at = text.find("--", at + 2)) {
    std::size_t end = at + 2;
    if (end >= text.size() || text[end] < 'a' || text[end] > 'z') continue;
    while (end < text.size() && ((text[end] >= 'a' && text[end] <= 'z') || text[end] == '-')) ++end;
    options.insert(text.substr(at, end - at));
    at = end - 2;
  }
  return options;
}

TEST(HelpText, TheManualPageAndTheCompletionOfferTheOptionsThatHelpLists) {
  testing::CliHarness h;
  ASSERT_EQ(h.Run({"--help"}), 0);
  const std::set<std::string> help = Options(h.out.str());
  EXPECT_TRUE(help.count("--names") && help.count("--json") && help.count("--localnet")) << h.out.str();
  const std::string page = FileText(QUARVO_LINUX_SHARE "/quarvo.1");
  ASSERT_FALSE(page.empty());
  EXPECT_EQ(Options(page), help);
  EXPECT_EQ(Options(FileText(QUARVO_LINUX_SHARE "/quarvo.bash-completion")), help);
  // Each option the page lists is also explained under OPTIONS, not only named in the synopsis.
  const std::string described = page.substr(page.find(".SH OPTIONS"));
  for (const std::string& name : help) {
    EXPECT_NE(PlainHyphens(described).find(name), std::string::npos) << name;
  }
}

}  // namespace
}  // namespace quarvo
