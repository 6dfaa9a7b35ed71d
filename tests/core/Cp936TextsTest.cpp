// The program's texts are stored as code-page-936 bytes. These tests check the stored bytes against
// the readable UTF-8 form through the C library's own converter, whatever the build machine's locale.
#include <gtest/gtest.h>

#include <string>

#include "text/Cp936Texts.h"

#if __has_include(<iconv.h>) && !defined(_WIN32)
#include <iconv.h>
#define QUARVO_HAVE_ICONV 1
#endif

namespace quarvo {
namespace {

#ifdef QUARVO_HAVE_ICONV
std::string ToCp936(std::string in) {
  iconv_t cd = iconv_open("CP936", "UTF-8");
  std::string out(in.size() * 2 + 8, '\0');
  char *inPtr = in.data(), *outPtr = out.data();
  size_t inLeft = in.size(), outLeft = out.size();
  EXPECT_NE(iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft), static_cast<size_t>(-1)) << in;
  iconv_close(cd);
  out.resize(out.size() - outLeft);
  return out;
}

TEST(Cp936Texts, StoredBytesAreTheCodePage936FormOfTheReadableTexts) {
  const std::pair<const char*, const char*> cases[] = {
      {texts::kStartCaption, "开始(&S)"},
      {texts::kStopCaption, "停止(&S)"},
      {texts::kInitialising, "初始化..."},
      {texts::kSummaryMsIp, " ms　IP: "},
      {texts::kSummaryNew, "　New: "},
      {texts::kStatusAnswered, "√"},
      {texts::kStatusSilent, "×"},
      {texts::kMainCaption, "Quarvo扫描-网络唤醒 v1.2"},
      {texts::kRangePanelCaption, "IP范围 ／ 扫描线程　OR　唤醒延时"},
      {texts::kSavePrompt, "是否保存列表?"},
      {texts::kSavePromptCaption, "ZAV提示"},
      {texts::kIoBadFileName, "文件名无效!"},
      {texts::kFileDescription, "Quarvo地址扫描+唤醒"},
      {texts::kHelpText,
       "\t利用ARP请求原理及多线程扫描，可扫描所有IP设备!\r\n\r\n若该IP段离线机器较多请将线程数增加，以提速．"
       "\r\n\r\n默认线程设为0,实际工作线程数等于IP数(但不大于1000)."},
  };
  for (const auto& [stored, readable] : cases) {
    EXPECT_EQ(std::string(stored), ToCp936(readable)) << readable;
  }
}
#endif

}  // namespace
}  // namespace quarvo
