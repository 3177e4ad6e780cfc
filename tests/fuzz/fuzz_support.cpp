#include "fuzz_support.h"

#include <stdio.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "tokenweave/ccorrelationanalyser.h"

namespace fuzz {

const char PIECE_SEPARATOR[] = "\n@@@\n";

namespace {

const char RECORDSET_OPENING[] = "\n/* RECORDSET 1\n";
const char RECORDSET_CLOSING[] = "\n*/\n";

const char ALL_INPUTS_WEIGHTS[] =
    "[TokenEvaluatorInputs]\nWeight0=1\nWeight1=1\nWeight2=1\nWeight3=1\nWeight4=1\n"
    "Weight5=1\nWeight6=1\nWeight7=1\nWeight8=1\n";

// Settings that exercise the limits of the heuristics in different ways.
std::vector<std::string> weight_settings() {
    std::string tight = std::string(ALL_INPUTS_WEIGHTS) +
                        "[PairLineDistance]\nMaxDistance=3\n[TokenGridFrequency]\nMaxFrequency=2\n"
                        "[TokenGridRow]\nMaxRow=3\n";
    return {read_file(TOKENWEAVE_SOURCE_DIR "/dat/crlt.dat"), ALL_INPUTS_WEIGHTS, tight,
            "[TokenEvaluatorInputs]\nWeight6=1\n[PairLineDistance]\nMaxDistance=-5\n"};
}

struct scratch_directory {
    std::string path;
    scratch_directory() {
        const char *base = std::filesystem::is_directory("/dev/shm") ? "/dev/shm" : "/tmp";
        std::string pattern = std::string(base) + "/tokenweave-fuzz-XXXXXX";
        if (mkdtemp(&pattern[0]) == nullptr) {
            property_failed("scratch directory", pattern);
        }
        path = pattern;
    }
    ~scratch_directory() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
};

}  // namespace

const std::string &scratch_dir() {
    static scratch_directory directory;
    return directory.path;
}

std::string scratch_file(const std::string &name) {
    return scratch_dir() + "/" + name;
}

void write_file(const std::string &path, const std::string &bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
        property_failed("cannot write scratch file", path);
    }
}

std::string read_file(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool file_exists(const std::string &path) {
    return std::filesystem::exists(path);
}

std::vector<std::string> split_input(const uint8_t *data, size_t size, size_t count) {
    std::string text(reinterpret_cast<const char *>(data), size);
    std::vector<std::string> pieces;
    size_t start = 0;
    while (pieces.size() + 1 < count) {
        size_t at = text.find(PIECE_SEPARATOR, start);
        if (at == std::string::npos) {
            break;
        }
        pieces.push_back(text.substr(start, at - start));
        start = at + sizeof PIECE_SEPARATOR - 1;
    }
    pieces.push_back(start <= text.size() ? text.substr(start) : std::string());
    pieces.resize(count);
    return pieces;
}

std::string c_text(const std::string &bytes) {
    return bytes.substr(0, bytes.find('\0'));
}

void property_failed(const char *what, const std::string &detail) {
    fprintf(stderr, "\n*** property broken: %s\n%s\n", what, detail.c_str());
    fflush(stderr);
    abort();
}

project_files write_project(const uint8_t *data, size_t size) {
    static const std::vector<std::string> weights = weight_settings();
    unsigned options = size > 0 ? data[0] : 0;
    std::vector<std::string> pieces =
        split_input(size > 0 ? data + 1 : data, size > 0 ? size - 1 : 0, 3);
    std::string action = pieces[0];
    if (!pieces[2].empty()) {
        action += RECORDSET_OPENING + pieces[2] + RECORDSET_CLOSING;
    }
    write_file(scratch_file("Action1.c"), action);
    write_file(scratch_file("grids.rdf"), pieces[1]);
    write_file(scratch_file("grids.grd"), "");

    project_files files;
    files.project_path = scratch_file("fuzz.prj");
    write_file(files.project_path, "[Actions]\naction1=Action1.c\n");
    files.settings_path = scratch_file("settings.ini");
    files.grid_settings_path = scratch_file("grid.ini");
    write_file(files.grid_settings_path,
               (options & 1) != 0 ? "[Quill]\nGridType=1\n" : "[Quill]\nGridType=0\n");
    files.weights_path = scratch_file("weights.dat");
    write_file(files.weights_path, weights[(options >> 2) & 3]);
    files.database_type = (options & 2) != 0 ? "odbc" : "oracle";
    return files;
}

int progress_user_data;

int keep_scanning(void *, float) {
    return 0;
}

std::unique_ptr<CCorrelationAnalyser> analysed_project(const project_files &files) {
    auto analyser = std::make_unique<CCorrelationAnalyser>(
        files.project_path.c_str(), files.settings_path.c_str(), keep_scanning, &progress_user_data,
        files.database_type, files.grid_settings_path.c_str());
    analyser->SetDataFilePath(files.weights_path.c_str());
    if (analyser->BuildIndex() != 0) {
        property_failed("BuildIndex failed", files.database_type);
    }
    analyser->AnalyseIndex();
    return analyser;
}

void silence_stdout() {
    if (freopen("/dev/null", "w", stdout) == nullptr) {
        property_failed("cannot silence standard output", "");
    }
}

}  // namespace fuzz
