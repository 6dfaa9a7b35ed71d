#include <gtest/gtest.h>

#include <fstream>
#include <regex>
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

// Every "--word" in the text; the manual page writes its hyphens as "\-".
std::set<std::string> Options(std::string text) {
  text = std::regex_replace(text, std::regex(R"(\\-)"), "-");
  std::set<std::string> options;
  const std::regex option(R"(--[a-z][a-z-]*)");
  for (std::sregex_iterator it(text.begin(), text.end(), option), end; it != end; ++it) options.insert(it->str());
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
    EXPECT_NE(std::regex_replace(described, std::regex(R"(\\-)"), "-").find(name), std::string::npos) << name;
  }
}

}  // namespace
}  // namespace quarvo
