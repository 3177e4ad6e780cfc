#include "analyser/analyser_state.h"

#include <map>
#include <mutex>

#include "platlib/text.h"

namespace {

struct side_state {
    std::string data_file;
    std::vector<tokenweave_diagnostic> diagnostics;
    analyser_build_counts counts;
};

std::mutex table_lock;

// Built on first use, so that no static constructor order matters, and never
// destroyed, so that analysers destroyed during exit still find it.
std::map<const CCorrelationAnalyser *, side_state> &table() {
    static auto *states = new std::map<const CCorrelationAnalyser *, side_state>();
    return *states;
}

// The analyser's entry, created on demand. Call with table_lock held.
side_state &state_of(const CCorrelationAnalyser *analyser) {
    return table()[analyser];
}

// The entry if there is one, without creating it. Call with table_lock held.
const side_state *existing_state_of(const CCorrelationAnalyser *analyser) {
    auto found = table().find(analyser);
    return found != table().end() ? &found->second : nullptr;
}

// A reason is one line: line breaks become blanks.
void copy_one_line(char *target, size_t size, const char *text) {
    copy_bounded(target, size, text != nullptr ? text : "");
    for (char *p = target; *p != '\0'; ++p) {
        if (*p == '\n' || *p == '\r') {
            *p = ' ';
        }
    }
}

}  // namespace

void analyser_state_set_data_file(const CCorrelationAnalyser *analyser, const char *path) {
    std::lock_guard<std::mutex> lock(table_lock);
    state_of(analyser).data_file = path != nullptr ? path : "";
}

std::string analyser_state_data_file(const CCorrelationAnalyser *analyser) {
    std::lock_guard<std::mutex> lock(table_lock);
    const side_state *state = existing_state_of(analyser);
    return state != nullptr ? state->data_file : std::string();
}

void analyser_state_clear_build(const CCorrelationAnalyser *analyser) {
    std::lock_guard<std::mutex> lock(table_lock);
    side_state &state = state_of(analyser);
    state.diagnostics.clear();
    state.counts = analyser_build_counts();
}

void analyser_state_add_diagnostic(const CCorrelationAnalyser *analyser, int kind, const char *file,
                                   int line, const char *reason) {
    tokenweave_diagnostic diagnostic;
    diagnostic.kind = kind;
    diagnostic.line = line > 0 ? line : 0;
    copy_one_line(diagnostic.file, sizeof diagnostic.file, file);
    copy_one_line(diagnostic.reason, sizeof diagnostic.reason, reason);
    std::lock_guard<std::mutex> lock(table_lock);
    state_of(analyser).diagnostics.push_back(diagnostic);
}

void analyser_state_count_grid(const CCorrelationAnalyser *analyser, bool loaded) {
    std::lock_guard<std::mutex> lock(table_lock);
    analyser_build_counts &counts = state_of(analyser).counts;
    ++counts.grids_referenced;
    if (loaded) {
        ++counts.grids_loaded;
    }
}

std::vector<tokenweave_diagnostic> analyser_state_diagnostics(
    const CCorrelationAnalyser *analyser) {
    std::lock_guard<std::mutex> lock(table_lock);
    const side_state *state = existing_state_of(analyser);
    return state != nullptr ? state->diagnostics : std::vector<tokenweave_diagnostic>();
}

int analyser_state_diagnostic(const CCorrelationAnalyser *analyser, int position,
                              tokenweave_diagnostic *out) {
    std::lock_guard<std::mutex> lock(table_lock);
    const side_state *state = existing_state_of(analyser);
    if (state == nullptr) {
        return 0;
    }
    int count = static_cast<int>(state->diagnostics.size());
    if (out != nullptr && position >= 0 && position < count) {
        *out = state->diagnostics[static_cast<size_t>(position)];
    }
    return count;
}

analyser_build_counts analyser_state_build_counts(const CCorrelationAnalyser *analyser) {
    std::lock_guard<std::mutex> lock(table_lock);
    const side_state *state = existing_state_of(analyser);
    return state != nullptr ? state->counts : analyser_build_counts();
}

void analyser_state_forget(const CCorrelationAnalyser *analyser) {
    std::lock_guard<std::mutex> lock(table_lock);
    table().erase(analyser);
}
