#include <stdio.h>
#include <string.h>

#include <atomic>

#include "hashkit/hashkit.h"
#include "index/analyser_access.h"
#include "index/scanner/scanner.h"
#include "index/scanner/scanner_state.h"
#include "model/keyword_table.h"

namespace {

const char CMX_PREFIX[] = "cmx_";

// Set by callers on any thread, read by the scan running under the build
// lock: atomic, so that setting it while another thread builds is no race.
std::atomic<FILE *> echo_stream{stdout};

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

action_file_t *set_file_line_count(const char *path, int line) {
    CCorrelationAnalyser *analyser = current_analyser();
    correlation_index *index = analyser != nullptr ? analyser_index(analyser) : nullptr;
    action_file_t *file = find_action_file(index, path);
    if (file != nullptr) {
        file->line_count = line;
    }
    return file;
}
