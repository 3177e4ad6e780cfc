// The few Windows functions the library calls. A Windows build takes them
// from <windows.h>, some through a thin layer; elsewhere our own stand-ins
// (profile_read.cpp, profile_write.cpp, module.cpp, find_file.cpp,
// string_pointer.cpp) provide them with the same names, arguments and
// results, so the calling code is the same on every platform. Their paths may
// use '\' or '/' as separator.

#ifndef TOKENWEAVE_PORT_WINAPI_H
#define TOKENWEAVE_PORT_WINAPI_H

#if defined(_WIN32)

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

// The system's profile, find-file and module-path functions differ from what
// the library relies on (the behaviour documented for the stand-ins below):
// relative paths name the Windows directory, lists repeat names and end cut
// names, a search yields directories and short-name matches in directory
// order, a cut module path loses its terminator. The library calls them
// through a thin layer over them (profile_read.cpp, profile_write.cpp,
// find_file.cpp, module.cpp) that gives the documented behaviour; the layer's
// own sources define TOKENWEAVE_PORT_SYSTEM_CALLS to reach the system's.
DWORD port_get_profile_string(LPCSTR section, LPCSTR key, LPCSTR default_value, LPSTR buffer,
                              DWORD size, LPCSTR path);
BOOL port_write_profile_string(LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR path);
HANDLE port_find_first_file(LPCSTR pattern, WIN32_FIND_DATAA *found);
BOOL port_find_next_file(HANDLE search, WIN32_FIND_DATAA *found);
BOOL port_find_close(HANDLE search);
DWORD port_module_file_name(HMODULE module, LPSTR buffer, DWORD size);

#if !defined(TOKENWEAVE_PORT_SYSTEM_CALLS)
#undef GetPrivateProfileStringA
#define GetPrivateProfileStringA port_get_profile_string
#undef WritePrivateProfileStringA
#define WritePrivateProfileStringA port_write_profile_string
#undef FindFirstFileA
#define FindFirstFileA port_find_first_file
#undef FindNextFileA
#define FindNextFileA port_find_next_file
#undef FindClose
#define FindClose port_find_close
#undef GetModuleFileNameA
#define GetModuleFileNameA port_module_file_name
#endif

#else

#include <stdint.h>

typedef int BOOL;
typedef unsigned long DWORD;
typedef void *HANDLE;
typedef void *HMODULE;
typedef const char *LPCSTR;
typedef char *LPSTR;
typedef uintptr_t UINT_PTR;

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif
#define MAX_PATH 260
#define INVALID_HANDLE_VALUE ((HANDLE)(intptr_t)-1)

struct WIN32_FIND_DATAA {
    DWORD dwFileAttributes;
    char cFileName[MAX_PATH];
};

// INI profile functions.
//
// Reading: section and key names match without regard to ASCII case, blanks
// (spaces and tabs) around section names, keys and values are trimmed, the
// first matching section and key win (later duplicates are not merged), a
// value enclosed in matching quotes loses them, lines starting with ';' are
// comments, and lines end in LF or CRLF. A line of a section without '=' is
// no key. The default (null meaning the empty text, trailing blanks removed)
// is returned when the file, section or key is missing. The result is cut to
// size - 1 bytes and always zero-terminated; the return value is the number
// of bytes stored, without the terminator.
//
// A null key lists the section's key names (a null section lists the section
// names), each zero-terminated and listed once, the list ended by an empty
// name; the return value counts the names and their terminators. When the
// section or file is missing, the list holds the default as its one name. A
// list that does not fit keeps the names that fit whole and returns size - 2.
DWORD GetPrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR default_value, LPSTR buffer,
                               DWORD size, LPCSTR path);

// Writing creates the file, the section (at the end of the file) and the key
// (after the last non-blank line of its section) as needed, replaces an
// existing value in place and keeps every other line byte for byte. New lines
// take the file's line break; a new file gets CRLF. A null value removes the
// key, a null key the section with all its lines. The file is replaced
// atomically: a crash or failure leaves the old or the new file, never half
// of one. Returns TRUE on success (removing what is not there included),
// FALSE when the file could not be read or written, and for a null section,
// an empty path, or names and values that would not read back as written
// (line breaks; an empty key, or one holding '=' or starting with ';' or '[').
BOOL WritePrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR path);

// The path of the running executable when module is null. Returns the length
// copied (cut to size - 1), 0 on failure.
DWORD GetModuleFileNameA(HMODULE module, LPSTR buffer, DWORD size);
// A handle for the running executable when name is null.
HMODULE GetModuleHandleA(LPCSTR name);

// Directory search for "dir/pattern" (either separator; no directory means
// the current one) where pattern may hold '*' and '?', matched without regard
// to ASCII case. Only regular files match (the callers look for data files).
// Matches come in byte order of their names, since directory listings have
// no stable order here. INVALID_HANDLE_VALUE when nothing matches; otherwise
// a handle the caller ends with FindClose. FindNextFileA gives the next match
// (FALSE when there is none).
HANDLE FindFirstFileA(LPCSTR pattern, WIN32_FIND_DATAA *found);
BOOL FindNextFileA(HANDLE search, WIN32_FIND_DATAA *found);
BOOL FindClose(HANDLE search);

// Nonzero when text is not a readable string. Without a way to probe memory
// here, only a null pointer counts as unreadable.
BOOL IsBadStringPtrA(LPCSTR text, UINT_PTR max_length);

#endif  // _WIN32

#endif  // TOKENWEAVE_PORT_WINAPI_H
