// The token index rendered as compact text, so that a test compares one
// whole dump with the one it expects.
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

#include <stddef.h>

#include <string>

#include "index/correlation_index.h"
#include "test_project.h"

namespace tw_test {

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
