// What the command says about a build: one warning per build diagnostic and
// a summary line on standard error, and the database family chosen from the
// scripts when --db is not given.

#ifndef TOKENWEAVE_CLI_BUILD_REPORT_H
#define TOKENWEAVE_CLI_BUILD_REPORT_H

#include <string>
#include <vector>

#include "tokenweave/ccorrelationanalyser.h"

namespace tokenweave_cli {

// The family the built analyser's action files were recorded for: "odbc"
// when they call sqx_stmt but never sqx_exec nor any sqx_ora8_ call (an odbc
// recording runs its statements when it fetches), otherwise "oracle".
std::string family_from_scripts(CCorrelationAnalyser &analyser);

struct build_facts {
    std::string family;
    bool family_chosen = false;  // chosen from the scripts, not given with --db
    std::string weights;         // the weights file read
};

// "indexed 3 of 3 action files, 12 of 13 grids, 1,204 values; ..." for the
// built analyser.
std::string build_summary(CCorrelationAnalyser &analyser,
                          const std::vector<tokenweave_diagnostic> &diagnostics,
                          const build_facts &facts);

// "FILE:LINE: reason" (no ":LINE" for a whole file).
std::string describe_diagnostic(const tokenweave_diagnostic &diagnostic);

// 1,204 for 1204.
std::string with_thousands(long long value);

}  // namespace tokenweave_cli

#endif  // TOKENWEAVE_CLI_BUILD_REPORT_H
