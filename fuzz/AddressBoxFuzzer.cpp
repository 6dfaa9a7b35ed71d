// The address boxes are read as TrimText then ParseBerkeleyAddress. An address that reads is shown
// again in dotted form through its address hex text; that form must read back as the same address.
#include "FuzzCheck.h"
#include "net/AddressForms.h"
#include "net/Ipv4Text.h"
#include "platform/System.h"
#include "text/TextHelpers.h"

using namespace quarvo;

QUARVO_FUZZ_TEXT(text) {
  const std::uint32_t address = ParseBerkeleyAddress(TrimText(text));
  if (address == kAddressNone) return;
  const std::string dotted = HexToDotted(AddressHex(address));
  fuzz::Check(ParseBerkeleyAddress(dotted) == address, "the dotted form reads back as the same address");
  fuzz::Check(TrimText(dotted) == dotted && InetAddr(dotted) == address, "the platform reads it alike");
}
