// Decimal settings of the weights data file and of the learning settings.
//
// Every float the heuristics read from or write to an INI file goes through
// these two functions, so that every value is read and written the same way:
// read with a "%f" default and a 256-byte buffer, written with three
// decimals. Both use the C conventions (a dot as decimal separator) whatever
// locale the host process runs in.

#ifndef TOKENWEAVE_HEURISTICS_FLOAT_SETTING_H
#define TOKENWEAVE_HEURISTICS_FLOAT_SETTING_H

// Size of the buffer a setting's text is read into; longer values are cut to
// one byte less.
enum { FLOAT_SETTING_BUFFER_SIZE = 256 };

// The leading number of section/key in the INI file at path, as "%f" reads
// it (blanks skipped, trailing text ignored; decimal or hexadecimal such as
// 0x10, inf or nan; a number beyond single precision gives an infinity or
// zero). defaultValue when path is null or empty or the text does not begin
// with a number. A missing file, section or key yields the default through
// its "%f" text, so it keeps six decimals.
float ReadFloatSetting(const char *section, const char *key, float defaultValue, const char *path);

// Stores value, formatted with three decimals ("%.3f"), as section/key of the
// INI file at path, creating file, section and key as needed. 0 on success;
// -1 when path is null or empty or the file could not be written (the file
// then keeps its previous contents).
int WriteFloatSetting(const char *section, const char *key, float value, const char *path);

#endif  // TOKENWEAVE_HEURISTICS_FLOAT_SETTING_H
