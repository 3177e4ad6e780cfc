// IsBadStringPtrA for platforms without it.

#if !defined(_WIN32)

#include "port/winapi.h"

BOOL IsBadStringPtrA(LPCSTR text, UINT_PTR max_length) {
    (void)max_length;
    return text == nullptr ? TRUE : FALSE;
}

#endif  // !_WIN32
