#include "platlib/platlib.h"

namespace {

// How double-byte text is read when no double-byte code page can be asked:
// as Shift_JIS.
bool is_shift_jis_lead_byte(unsigned byte) {
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

#if defined(_WIN32)

// UTF-8 is multi-byte but has no lead and trail bytes in this sense (no byte
// of a sequence is ASCII), so it is read like single-byte text.
bool detect_double_byte_code_page() {
    UINT code_page = GetACP();
    CPINFO info;
    return code_page != CP_UTF8 && GetCPInfo(code_page, &info) && info.MaxCharSize == 2;
}

const bool ANSI_CODE_PAGE_IS_DOUBLE_BYTE = detect_double_byte_code_page();

#else

const bool ANSI_CODE_PAGE_IS_DOUBLE_BYTE = false;

#endif

}  // namespace

// Tests set 2 on a single-byte system to exercise double-byte text.
int xeOsCharsetType = ANSI_CODE_PAGE_IS_DOUBLE_BYTE ? 2 : 1;

int os_is_lead_byte(int c) {
    if (xeOsCharsetType <= 1) {
        return 0;
    }
    unsigned byte = static_cast<unsigned>(c) & 0xFFu;
#if defined(_WIN32)
    if (ANSI_CODE_PAGE_IS_DOUBLE_BYTE) {
        return IsDBCSLeadByte(static_cast<BYTE>(byte)) ? 1 : 0;
    }
#endif
    return is_shift_jis_lead_byte(byte) ? 1 : 0;
}
