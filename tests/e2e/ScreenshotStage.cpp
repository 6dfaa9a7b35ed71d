// quarvo_screenshot_stage <folder>: puts the real Quarvo window in the state that the README's
// screenshot shows (tools/make-screenshot.sh): a list of six machines loaded from the results file,
// then a scan of the range with scripted ARP answers, in which one machine changed its MAC address,
// one stays silent and two are new. It then writes "geometry.txt" into <folder> (the main window on
// the screen, as WIDTHxHEIGHT+LEFT+TOP), waits up to a minute for "shot-taken" to appear there, and
// closes the program without saving the list.
#include <cstdio>

#include "QuarvoDriver.h"
#include "text/Cp936Texts.h"

namespace {

using namespace quarvo::e2e;

const char kSavedList[] =
    "02\t192.168.1.2\t00-1E-4F-A3-12-02\r\n05\t192.168.1.5\t00-1E-4F-A3-12-05\r\n"
    "08\t192.168.1.8\t3C-97-0E-55-0B-08\r\n11\t192.168.1.11\t3C-97-0E-55-0B-11\r\n"
    "14\t192.168.1.14\t00-25-64-C8-7D-14\r\n20\t192.168.1.20\t00-25-64-C8-7D-20\r\n";

const char kAnswers[] =
    "192.168.1.2 00-1E-4F-A3-12-02 120\n192.168.1.5 00-1E-4F-A3-99-05 240\n"
    "192.168.1.8 3C-97-0E-55-0B-08 90\n192.168.1.14 00-25-64-C8-7D-14 150\n"
    "192.168.1.17 F4-8E-38-0C-21-17 310\n192.168.1.20 00-25-64-C8-7D-20 60\n"
    "192.168.1.23 F4-8E-38-0C-21-23 200\n";

int Fail(const std::string& what) {
  std::fprintf(stderr, "quarvo_screenshot_stage: %s\n", what.c_str());
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) return Fail("usage: quarvo_screenshot_stage <folder>");
  const std::filesystem::path folder = WindowsPath(argv[1]);
  Quarvo quarvo;
  quarvo.WriteFile(quarvo::texts::kResultsFileName, kSavedList);
  quarvo.WriteFile("arp-script.txt", kAnswers);
  if (const std::string error = quarvo.Start(); !error.empty()) return Fail(error);

  quarvo.Menu(kMenuLoad);
  if (!WaitUntil([&] { return quarvo.RowCount() == 6; })) return Fail("the list was not loaded");
  if (!quarvo.Scan("192.168.1.1", "192.168.1.24", "0")) return Fail("the scan did not end");
  if (!WaitUntil([&] { return quarvo.RowCount() == 8; })) return Fail("the scan's rows are missing");
  quarvo.SelectRow(1);
  Sleep(500);  // the last repaint

  RECT r;
  GetWindowRect(quarvo.W().form, &r);
  if (!(std::ofstream(folder / "geometry.txt")
        << r.right - r.left << 'x' << r.bottom - r.top << '+' << r.left << '+' << r.top << '\n')) {
    return Fail("cannot write geometry.txt");
  }
  WaitUntil([&] { return std::filesystem::exists(folder / "shot-taken"); }, 60000);

  PostMessageW(quarvo.W().form, WM_CLOSE, 0, 0);
  quarvo.Answer(quarvo::texts::kSavePromptCaption, IDNO);
  DWORD code = 1;
  if (!quarvo.WaitForExit(code) || code != 0) return Fail("the program did not end cleanly");
  return 0;
}
