#include <stdio.h>
#include <string.h>

#include <atomic>

#include "hashkit/hashkit.h"
#include "index/analyser_access.h"
#include "index/recorder.h"
#include "index/scanner/scanner.h"
#include "index/scanner/scanner_state.h"
#include "model/keyword_table.h"
#include "platlib/text.h"

namespace {

const char CMX_PREFIX[] = "cmx_";

// Set by callers on any thread, read by the scan running under the build
// lock: atomic, so that setting it while another thread builds is no race.
std::atomic<FILE *> echo_stream{stdout};

// A name at statement level is read against a table of a dozen keywords:
// a copy of the table's keys grouped by length answers with a compare or
// two of the names of the same length, where a lookup in the table would
// hash the whole name first.
enum { FILTERED_KEYWORDS = 64, FILTERED_LENGTHS = 64 };

struct filtered_keyword {
    const char *name;
    size_t length;
    const int *scanner_class;  // the table's value, read at each match
    int call_code;
};

struct keyword_filter {
    // False when the table did not fit the filter (too many names, or a name
    // too long for it): then every name is looked up in the table.
    bool complete;
    int count;
    filtered_keyword keywords[FILTERED_KEYWORDS];  // shortest first
    // The keywords of n bytes are keywords[first_of_length[n]] up to
    // keywords[first_of_length[n + 1]].
    unsigned char first_of_length[FILTERED_LENGTHS + 1];
    ht_table *table;
};

keyword_filter call_keywords;

// The call code the scanner files a call under: that of the name it keeps,
// cut as it cuts it.
int call_code_of_kept_name(const char *identifier) {
    char kept[SCANNER_NAME_SIZE];
    copy_bounded(kept, sizeof kept, identifier);
    return recorder_call_code(kept);
}

bool has_cmx_prefix(const char *identifier, size_t length) {
    return length >= sizeof CMX_PREFIX - 1 &&
           memcmp(identifier, CMX_PREFIX, sizeof CMX_PREFIX - 1) == 0;
}

}  // namespace

scanner_state_t scanner;

void scanner_set_echo_stream(FILE *stream) {
    echo_stream = stream;
}

void scanner_echo(const char *text, size_t length) {
    FILE *stream = echo_stream.load();
    if (stream != nullptr) {
        fwrite(text, 1, length, stream);
    }
}

int classify_call_name(const char *identifier) {
    CCorrelationAnalyser *analyser = current_analyser();
    ht_table *keywords = analyser != nullptr ? analyser_keywords(analyser) : nullptr;
    if (keywords != nullptr) {
        const int *scanner_class = static_cast<const int *>(ht_get(keywords, identifier));
        if (scanner_class != nullptr) {
            return *scanner_class;
        }
    }
    if (strncmp(identifier, CMX_PREFIX, sizeof CMX_PREFIX - 1) == 0) {
        return SCANNER_CLASS_CMX;
    }
    return SCANNER_CLASS_NONE;
}

void load_call_keywords() {
    CCorrelationAnalyser *analyser = current_analyser();
    ht_table *table = analyser != nullptr ? analyser_keywords(analyser) : nullptr;
    keyword_filter &filter = call_keywords;
    filter.table = table;
    filter.complete = true;
    filter.count = 0;
    ht_enumeration *names = ht_enumerate_elements(table);
    while (ht_enum_has_more_elements(names)) {
        const char *name = nullptr;
        const int *scanner_class = static_cast<const int *>(ht_enum_next_entry(names, &name));
        size_t length = strlen(name);
        if (filter.count == FILTERED_KEYWORDS || length >= FILTERED_LENGTHS ||
            scanner_class == nullptr) {
            filter.complete = false;
            return;
        }
        // Insertion by length keeps the keywords of one length together.
        int at = filter.count++;
        while (at > 0 && filter.keywords[at - 1].length > length) {
            filter.keywords[at] = filter.keywords[at - 1];
            --at;
        }
        filter.keywords[at] = {name, length, scanner_class, call_code_of_kept_name(name)};
    }
    int next = 0;
    for (size_t length = 0; length <= FILTERED_LENGTHS; ++length) {
        while (next < filter.count && filter.keywords[next].length < length) {
            ++next;
        }
        filter.first_of_length[length] = static_cast<unsigned char>(next);
    }
}

call_name_kind classify_call(const char *identifier, size_t length) {
    const keyword_filter &filter = call_keywords;
    if (filter.complete) {
        if (length < FILTERED_LENGTHS) {
            int end = filter.first_of_length[length + 1];
            for (int i = filter.first_of_length[length]; i < end; ++i) {
                const filtered_keyword &keyword = filter.keywords[i];
                if (memcmp(keyword.name, identifier, length) == 0) {
                    return {*keyword.scanner_class, keyword.call_code};
                }
            }
        }
    } else {
        const int *scanner_class =
            static_cast<const int *>(ht_get(call_keywords.table, identifier));
        if (scanner_class != nullptr) {
            return {*scanner_class, call_code_of_kept_name(identifier)};
        }
    }
    if (has_cmx_prefix(identifier, length)) {
        return {SCANNER_CLASS_CMX, CALL_CMX};
    }
    return {SCANNER_CLASS_NONE, NO_CALL_CODE};
}

action_file_t *set_file_line_count(const char *path, int line) {
    CCorrelationAnalyser *analyser = current_analyser();
    correlation_index *index = analyser != nullptr ? analyser_index(analyser) : nullptr;
    action_file_t *file = find_action_file(index, path);
    if (file != nullptr) {
        file->line_count = line;
    }
    return file;
}
