// Texts that only the Linux window shows, in UTF-8.
#pragma once

namespace quarvo::linuxtexts {

// After the status line in the title bar, once the ARP engine is open.
inline constexpr char kRawEngineNote[] = "  [ARP: raw]";
inline constexpr char kHelperEngineNote[] = "  [ARP: raw (helper)]";
inline constexpr char kKernelEngineNote[] = "  [ARP: kernel]";
// After the summary when the network held the pace back: the requests a second, and how many
// answers came after their address was given up.
inline constexpr char kPaceNoteStart[] = "  [网络限制了速度：约 ";
inline constexpr char kPaceNoteRate[] = " 个请求/秒";
inline constexpr char kPaceNoteLate[] = "，迟到应答 ";
inline constexpr char kPaceNoteEnd[] = "]";
// The settings key of the most ARP requests a second, beside the range; absent for no cap.
inline constexpr char kSettingsRateKey[] = "rate";
// The raw engine needs its helper program, which alone holds the privilege to send ARP frames; the
// kernel engine scans meanwhile. The window itself never needs the privilege.
inline constexpr char kKernelEngineHint[] =
    "没有发送原始ARP请求的权限，改用内核ARP引擎扫描。\n"
    "若要使用原始ARP引擎，请授予ARP辅助程序权限：\n\n"
    "sudo setcap cap_net_raw+ep ";
// A scan's summary when not every worker could be started: "[只探测了 12/254 个地址：无法再启动线程]".
inline constexpr char kPartialScanBefore[] = "  [只探测了 ";
inline constexpr char kPartialScanAfter[] = " 个地址：无法再启动线程]";
// No engine could be opened: nothing can be scanned, the lists still work.
inline constexpr char kNoEngine[] = "无法打开ARP引擎，不能扫描：\n";
inline constexpr char kListsStillWork[] = "\n\n列表的载入、保存、删除和唤醒仍可使用。";

// The list's optional columns, in its header's menu, and what their cells and tooltips say.
inline constexpr char kVendorCaption[] = "厂商";
inline constexpr char kHostNameCaption[] = "主机名";
inline constexpr char kLocalMac[] = "随机或本地地址";
inline constexpr char kNoVendorData[] = "无厂商数据：请安装 ieee-data 软件包";

}  // namespace quarvo::linuxtexts
