// The report messages the library needs, built in, for hosts that do not
// provide them in their string table (and for every host off Windows).

#ifndef TOKENWEAVE_PLATLIB_MESSAGE_CATALOG_H
#define TOKENWEAVE_PLATLIB_MESSAGE_CATALOG_H

// The text of message id (with %1, %2, ... placeholders), or null when the
// catalog has none. Static storage.
const char *builtin_message(unsigned int id);

#endif  // TOKENWEAVE_PLATLIB_MESSAGE_CATALOG_H
