#include "platlib/message_catalog.h"

#include "platlib/messages.h"

namespace {

struct catalog_entry {
    unsigned int id;
    const char *text;
};

const catalog_entry CATALOG[] = {
    {MSG_SEARCH_FOUND_NOTHING, "No correlation candidates were found."},
    {MSG_TOKEN_FOUND_NOTHING, "No earlier result returned the value "},
    {MSG_CURSOR_FOUND_NOTHING, "No correlation candidates were found for this statement."},
    {MSG_PAIR_INPUT, "%1(%2): value \"%3\""},
    {MSG_CURSOR_HEADER, "Correlation candidates for the statement at %1(%2):"},
    {MSG_PAIR_RETURNED_AT, " was returned at "},
    {MSG_PAIR_OUTPUT, "%1(%2), grid column %3, row %4"},
};

}  // namespace

const char *builtin_message(unsigned int id) {
    for (const catalog_entry &entry : CATALOG) {
        if (entry.id == id) {
            return entry.text;
        }
    }
    return nullptr;
}
