// Letter case for the names the stand-ins compare without regard to case (INI
// sections and keys, file-name patterns). ASCII only, whatever the locale, as
// the Windows functions they stand in for do for these names.
#ifndef TOKENWEAVE_PORT_ASCII_CASE_H
#define TOKENWEAVE_PORT_ASCII_CASE_H

inline char port_ascii_lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

#endif  // TOKENWEAVE_PORT_ASCII_CASE_H
