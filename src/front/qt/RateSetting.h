// The most ARP requests a second the window's scans may send, from the settings file.
#pragma once

#include <cstdint>

#include "store/ProfileStore.h"

namespace quarvo {

// The "rate" key of the settings' section: a whole number from 1 to 100000. Absent, empty or
// anything else is no cap, as a value the program cannot take is ignored rather than guessed at.
std::uint32_t RateSetting(ProfileStore& profile);

}  // namespace quarvo
