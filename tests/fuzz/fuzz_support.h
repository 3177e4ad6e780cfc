// Shared pieces of the fuzz harnesses: a scratch directory per process,
// whole-file I/O, splitting an input into pieces and reporting a broken
// property (which aborts, so libFuzzer keeps the input as a crash).

#ifndef TOKENWEAVE_TESTS_FUZZ_FUZZ_SUPPORT_H
#define TOKENWEAVE_TESTS_FUZZ_FUZZ_SUPPORT_H

#include <stddef.h>
#include <stdint.h>

#include <memory>
#include <string>
#include <vector>

class CCorrelationAnalyser;

namespace fuzz {

// Separates the pieces of an input that feeds several files.
extern const char PIECE_SEPARATOR[];

// The process's scratch directory (in memory when /dev/shm exists); removed
// with its files at exit.
const std::string &scratch_dir();
std::string scratch_file(const std::string &name);

// Writes bytes to path, replacing it; aborts when that fails, since every
// later check would be meaningless.
void write_file(const std::string &path, const std::string &bytes);
// The whole file, or empty when it cannot be read.
std::string read_file(const std::string &path);
bool file_exists(const std::string &path);

// Splits data at each PIECE_SEPARATOR into exactly count pieces: missing
// pieces are empty, the last one takes whatever follows.
std::vector<std::string> split_input(const uint8_t *data, size_t size, size_t count);

// Text up to its first NUL byte (what a C string argument sees).
std::string c_text(const std::string &bytes);

// Prints what broke and aborts.
[[noreturn]] void property_failed(const char *what, const std::string &detail);

// A script project written from a fuzz input: an options byte, then the
// action file, the result-data file and a recordset, separated by
// PIECE_SEPARATOR. Option bit 0 reads the result-data file as tab-separated,
// bit 1 selects the odbc family; bits 2-3 pick one of four weight settings.
struct project_files {
    std::string project_path;
    std::string settings_path;
    std::string grid_settings_path;
    std::string weights_path;
    const char *database_type;
};
project_files write_project(const uint8_t *data, size_t size);

// A progress callback that never cancels (a null callback would cancel the
// scan at its first report).
int keep_scanning(void *user_data, float value);
extern int progress_user_data;

// An analyser of files with its index built and analysed; a failed build is
// a broken property.
std::unique_ptr<CCorrelationAnalyser> analysed_project(const project_files &files);

// Sends standard output to /dev/null: the scanner copies line breaks inside
// SQL text there.
void silence_stdout();

}  // namespace fuzz

#endif  // TOKENWEAVE_TESTS_FUZZ_FUZZ_SUPPORT_H
