#include "platlib/platlib.h"

#if defined(_WIN32)

namespace {

int detect_charset_type() {
    CPINFO info;
    return GetCPInfo(CP_ACP, &info) && info.MaxCharSize > 1 ? 2 : 1;
}

}  // namespace

int xeOsCharsetType = detect_charset_type();

int os_is_lead_byte(int c) {
    return IsDBCSLeadByte(static_cast<BYTE>(c)) ? 1 : 0;
}

#else

// Single-byte unless set otherwise (tests set 2 to exercise double-byte text).
int xeOsCharsetType = 1;

int os_is_lead_byte(int c) {
    if (xeOsCharsetType <= 1) {
        return 0;
    }
    // Without a platform code page to ask, double-byte text is read as
    // Shift_JIS.
    unsigned byte = static_cast<unsigned>(c) & 0xFFu;
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

#endif
