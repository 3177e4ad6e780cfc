// Test projects built into a token index, and the index rendered as compact
// text so that a test compares one whole dump with the one it expects.
//
// A ScratchProject writes action files (and any grid files) into a fresh
// directory, lists the action files under [Actions] of a project file in the
// order given, and builds the index with a CCorrelationAnalyser. The project
// owns its directory and its analyser; both go with it.
//
// The dump has one line per occurrence, tokens in byte order of their value
// and each token's occurrences in recording order:
//     value in  file:line code              (a script literal)
//     value out file:line code [grid,row,col] (a grid cell)
// then, each under a header line and only when not empty, the location
// chains ("key: v@line v@line", newest first), the statement sites
// ("handle file:line") and the chains still pending under a handle
// ("handle: v@line ..."). An entry of a chain shows its file when it differs
// from the chain's first entry ("v@b.c:3"). Bytes outside printable ASCII
// are written "\xHH".
//
// Rendering also checks what every index must satisfy (counters that agree
// with the occurrence list, the fields a fresh occurrence is recorded with,
// file pointers into file_paths, occurrences in project and line order) and
// adds a line starting with "!!" for every violation, so each case checks
// them too.

#ifndef TOKENWEAVE_TESTS_INDEX_INDEX_DUMP_H
#define TOKENWEAVE_TESTS_INDEX_INDEX_DUMP_H

#include <stdio.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "index/correlation_index.h"
#include "test_support.h"
#include "tokenweave/ccorrelationanalyser.h"

namespace tw_test {

struct BuildOptions {
    const char *database = "oracle";
    std::string grid_settings;  // path of the grid-settings file, or empty
    tokenweave_progress_callback callback = nullptr;
    void *user_data = nullptr;
    FILE *echo = nullptr;  // where the scanner's echo goes while building
};

class ScratchProject {
public:
    ScratchProject() = default;

    // An action file listed under [Actions] (key "a<position>") and written
    // with text; the order of the calls is the project order.
    ScratchProject &Action(const std::string &name, const std::string &text);
    // An [Actions] entry whose value is given as it stands; no file is
    // written for it.
    ScratchProject &Listed(const std::string &key, const std::string &value);
    // Any other file of the project's directory (grids, settings).
    ScratchProject &File(const std::string &name, const std::string &contents);

    // Writes the project file and builds the index. Returns BuildIndex's
    // result.
    int Build(const BuildOptions &options = BuildOptions());

    CCorrelationAnalyser *analyser() { return analyser_.get(); }
    correlation_index *index();
    const std::string &directory() const { return dir_.path(); }
    std::string project_path() const { return dir_.file("test.prj"); }
    std::string Path(const std::string &name) const { return dir_.file(name); }

private:
    TempDir dir_;
    std::vector<std::pair<std::string, std::string>> entries_;
    std::unique_ptr<CCorrelationAnalyser> analyser_;
};

// The whole dump described above.
std::string DumpIndex(correlation_index *index);
// Only the occurrence lines (and violations).
std::string DumpOccurrences(correlation_index *index);
// One line per action file: "index key name lines=count", name relative to
// directory when it lies inside it.
std::string DumpFiles(correlation_index *index, const std::string &directory);

// Builds a one-file project ("a.c") from text and returns its dump.
std::string DumpOfScript(const std::string &text, const BuildOptions &options = BuildOptions());

// Bytes of a literal, NUL bytes included.
template <size_t N>
std::string Bytes(const char (&literal)[N]) {
    return std::string(literal, N - 1);
}

}  // namespace tw_test

#endif  // TOKENWEAVE_TESTS_INDEX_INDEX_DUMP_H
