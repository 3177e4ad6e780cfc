#include "heuristics/float_setting.h"

#include <float.h>

#include <charconv>
#include <limits>
#include <system_error>

#include "port/winapi.h"

namespace {

// "%f" writes six decimals: the text a missing key yields.
const int DEFAULT_TEXT_DECIMALS = 6;
// Stored values keep three decimals, enough for weights and limits.
const int STORED_DECIMALS = 3;
// Room for "-" + 39 integer digits of FLT_MAX + "." + six decimals + NUL.
const int FLOAT_TEXT_SIZE = 64;

// printf's "%.Nf" without its dependence on the process locale: the host may
// have switched to one that writes a decimal comma, which neither this
// library nor the profile reader would read back.
void format_fixed(float value, int decimals, char (&text)[FLOAT_TEXT_SIZE]) {
    std::to_chars_result result =
        std::to_chars(text, text + FLOAT_TEXT_SIZE - 1, value, std::chars_format::fixed, decimals);
    // Cannot fail for a float with this buffer; an empty text reads back as
    // the default rather than as garbage if it ever did.
    *(result.ec == std::errc() ? result.ptr : text) = '\0';
}

bool is_scanf_blank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool is_hex_digit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// "0x" followed by a hexadecimal number: "%f" reads 0x10 as 16, while a
// prefix with no digits after it is the number 0 followed by text.
bool starts_hex_number(const char *text, const char *end) {
    if (end - text < 3 || text[0] != '0' || (text[1] != 'x' && text[1] != 'X')) {
        return false;
    }
    const char *digits = text + 2;
    if (*digits == '.') {
        ++digits;
    }
    return digits < end && is_hex_digit(*digits);
}

// The leading number of text as "%f" reads it, in the C locale: blanks
// skipped, a sign, then a decimal or hexadecimal number, an infinity or a
// NaN; trailing text ignored. False when the text does not begin with a
// number.
bool parse_leading_float(const char *text, const char *end, float *value) {
    while (text < end && is_scanf_blank(*text)) {
        ++text;
    }
    bool negative = false;
    if (text < end && (*text == '+' || *text == '-')) {
        negative = *text == '-';
        ++text;
    }
    // from_chars would take a second sign; "%f" does not.
    if (text < end && (*text == '+' || *text == '-')) {
        return false;
    }
    // from_chars reads hexadecimal digits only without their prefix.
    std::chars_format format = std::chars_format::general;
    if (starts_hex_number(text, end)) {
        text += 2;
        format = std::chars_format::hex;
    }
    float parsed = 0.0f;
    std::from_chars_result result = std::from_chars(text, end, parsed, format);
    if (result.ec == std::errc::result_out_of_range) {
        // Beyond single precision: "%f" gives an infinity for a huge number
        // and zero for a tiny one. Tell the two apart through the wider type.
        double wide = 0.0;
        if (std::from_chars(text, end, wide, format).ec != std::errc()) {
            return false;
        }
        parsed = wide > FLT_MAX ? std::numeric_limits<float>::infinity() : static_cast<float>(wide);
    } else if (result.ec != std::errc()) {
        return false;
    }
    *value = negative ? -parsed : parsed;
    return true;
}

}  // namespace

float ReadFloatSetting(const char *section, const char *key, float defaultValue, const char *path) {
    // An empty path would make the Windows reader consult win.ini.
    if (path == nullptr || path[0] == '\0') {
        return defaultValue;
    }
    char defaultText[FLOAT_TEXT_SIZE];
    format_fixed(defaultValue, DEFAULT_TEXT_DECIMALS, defaultText);
    char text[FLOAT_SETTING_BUFFER_SIZE];
    DWORD length =
        GetPrivateProfileStringA(section, key, defaultText, text, FLOAT_SETTING_BUFFER_SIZE, path);
    if (length >= FLOAT_SETTING_BUFFER_SIZE) {
        length = FLOAT_SETTING_BUFFER_SIZE - 1;
    }
    float value = 0.0f;
    if (!parse_leading_float(text, text + length, &value)) {
        return defaultValue;
    }
    return value;
}

int WriteFloatSetting(const char *section, const char *key, float value, const char *path) {
    if (path == nullptr || path[0] == '\0') {
        return -1;
    }
    char text[FLOAT_TEXT_SIZE];
    format_fixed(value, STORED_DECIMALS, text);
    return WritePrivateProfileStringA(section, key, text, path) ? 0 : -1;
}
