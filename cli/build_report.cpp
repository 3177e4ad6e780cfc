#include "build_report.h"

#include <ctype.h>

#include <fstream>
#include <iterator>
#include <set>

#include "analyser/analyser_state.h"
#include "index/index_inspection.h"

namespace tokenweave_cli {

namespace {

const char ODBC[] = "odbc";
const char ORACLE[] = "oracle";

// True when text calls name: the name followed (after blanks) by "(".
bool calls(const std::string &text, const std::string &name) {
    for (size_t at = text.find(name); at != std::string::npos; at = text.find(name, at + 1)) {
        bool starts_word =
            at == 0 || !(isalnum(static_cast<unsigned char>(text[at - 1])) || text[at - 1] == '_');
        size_t after = at + name.size();
        while (after < text.size() && (text[after] == ' ' || text[after] == '\t')) {
            ++after;
        }
        if (starts_word && after < text.size() && text[after] == '(') {
            return true;
        }
    }
    return false;
}

// True when text calls a function whose name begins with prefix.
bool calls_prefixed(const std::string &text, const std::string &prefix) {
    for (size_t at = text.find(prefix); at != std::string::npos; at = text.find(prefix, at + 1)) {
        size_t end = at + prefix.size();
        while (end < text.size() &&
               (isalnum(static_cast<unsigned char>(text[end])) || text[end] == '_')) {
            ++end;
        }
        if (calls(text, text.substr(at, end - at))) {
            return true;
        }
    }
    return false;
}

bool is_action_file_problem(int kind) {
    return kind == TOKENWEAVE_DIAGNOSTIC_ACTION_FILE_MISSING ||
           kind == TOKENWEAVE_DIAGNOSTIC_ACTION_FILE_UNREADABLE ||
           kind == TOKENWEAVE_DIAGNOSTIC_ACTION_FILE_IS_DIRECTORY ||
           kind == TOKENWEAVE_DIAGNOSTIC_SCAN_ABANDONED;
}

}  // namespace

std::string family_from_scripts(CCorrelationAnalyser &analyser) {
    bool statements = false;
    for (const action_file_t *file : index_files(inspected_index(&analyser))) {
        std::ifstream in(file->path, std::ios::binary);
        std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (calls(text, "sqx_exec") || calls_prefixed(text, "sqx_ora8_")) {
            return ORACLE;
        }
        statements = statements || calls(text, "sqx_stmt");
    }
    return statements ? ODBC : ORACLE;
}

std::string with_thousands(long long value) {
    std::string digits = std::to_string(value < 0 ? -value : value);
    std::string grouped;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) {
            grouped += ',';
        }
        grouped += digits[i];
    }
    return value < 0 ? "-" + grouped : grouped;
}

std::string build_summary(CCorrelationAnalyser &analyser,
                          const std::vector<tokenweave_diagnostic> &diagnostics,
                          const build_facts &facts) {
    const correlation_index *index = inspected_index(&analyser);
    size_t files = index_files(index).size();
    std::set<std::string> skipped;
    for (const tokenweave_diagnostic &diagnostic : diagnostics) {
        if (is_action_file_problem(diagnostic.kind)) {
            skipped.insert(diagnostic.file);
        }
    }
    size_t indexed = files >= skipped.size() ? files - skipped.size() : 0;
    analyser_build_counts counts = analyser_state_build_counts(&analyser);
    std::string summary =
        "indexed " + with_thousands(static_cast<long long>(indexed)) + " of " +
        with_thousands(static_cast<long long>(files)) + " action files, " +
        with_thousands(counts.grids_loaded) + " of " + with_thousands(counts.grids_referenced) +
        " grids, " + with_thousands(static_cast<long long>(index_tokens(index).size())) +
        " values; database " + facts.family + (facts.family_chosen ? " (from the scripts)" : "");
    summary += "; weights " + (facts.weights.empty() ? std::string("(none)") : facts.weights);
    return summary;
}

std::string describe_diagnostic(const tokenweave_diagnostic &diagnostic) {
    std::string where = diagnostic.file;
    if (diagnostic.line > 0) {
        where += ":" + std::to_string(diagnostic.line);
    }
    return where + ": " + diagnostic.reason;
}

}  // namespace tokenweave_cli
