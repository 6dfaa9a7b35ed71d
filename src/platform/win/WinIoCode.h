#pragma once

namespace quarvo {

// The I/O error code of a platform error (GetLastError): the error table's own codes for the
// failures it names, the platform's code for any other.
int IoCodeOfWin32Error(unsigned long error);

}  // namespace quarvo
