// Reads every #include "..." of src/ and cli/ and reports, with file and
// line, each one that reaches a folder above its own or a door it may not
// use. Usage: check_includes SOURCE_DIR LAYER... (the layers bottom up).
// Exit status 0 when every include keeps to the layering, 1 otherwise.

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <regex>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// Folders whose headers other folders may not include, but for the named one.
struct narrow_door {
    const char *folder;
    const char *only_header;
};
const narrow_door NARROW_DOORS[] = {
    {"rowbank", "rowbank/rowbank.h"},
};

// The command line reaches the index only through its inspection header, and
// never the folders the index is made of.
const char *const CLI_FORBIDDEN_FOLDERS[] = {"containers", "hashkit", "rowbank", "model",
                                             "heuristics"};
const char CLI_INDEX_DOOR[] = "index/index_inspection.h";

struct layering {
    std::vector<std::string> layers;

    int rank(const std::string &folder) const {
        auto found = std::find(layers.begin(), layers.end(), folder);
        return found == layers.end() ? -1 : static_cast<int>(found - layers.begin());
    }
};

std::string first_component(const std::string &path) {
    return path.substr(0, path.find('/'));
}

// Why the include of target from a file of folder is not allowed; empty when
// it is.
std::string violation(const layering &order, const std::string &folder, const std::string &target) {
    std::string target_folder = first_component(target);
    if (target_folder == target || target_folder == folder) {
        return "";
    }
    int target_rank = order.rank(target_folder);
    if (target_rank < 0) {
        return "";  // not a layer: the public header, or a file beside it
    }
    if (target_rank > order.rank(folder)) {
        return "'" + target_folder + "' is not below '" + folder + "'";
    }
    for (const narrow_door &door : NARROW_DOORS) {
        if (target_folder == door.folder && target != door.only_header) {
            return "'" + target + "' is private to " + door.folder + "/; include " +
                   door.only_header;
        }
    }
    if (folder == "cli") {
        for (const char *forbidden : CLI_FORBIDDEN_FOLDERS) {
            if (target_folder == forbidden) {
                return "the command line reaches '" + target_folder + "' only through " +
                       CLI_INDEX_DOOR;
            }
        }
        if (target_folder == "index" && target != CLI_INDEX_DOOR) {
            return "the command line reads the index only through " + std::string(CLI_INDEX_DOOR);
        }
    }
    return "";
}

bool is_source(const fs::path &path) {
    static const char *const EXTENSIONS[] = {".c", ".cc", ".cpp", ".h", ".hpp", ".l"};
    std::string extension = path.extension().string();
    return std::any_of(std::begin(EXTENSIONS), std::end(EXTENSIONS),
                       [&](const char *wanted) { return extension == wanted; });
}

int check_file(const layering &order, const fs::path &root, const fs::path &file,
               const std::string &folder) {
    static const std::regex INCLUDE(R"(^\s*#\s*include\s*"([^"]+)\")");
    std::ifstream in(file);
    std::string line;
    int problems = 0;
    for (int number = 1; std::getline(in, line); ++number) {
        std::smatch match;
        if (!std::regex_search(line, match, INCLUDE)) {
            continue;
        }
        std::string why = violation(order, folder, match[1]);
        if (!why.empty()) {
            std::cerr << fs::relative(file, root).generic_string() << ":" << number
                      << ": include \"" << match[1] << "\": " << why << "\n";
            ++problems;
        }
    }
    return problems;
}

}  // namespace

int main(int argc, char **argv) {
    if (argc < 3) {
        std::cerr << "usage: check_includes SOURCE_DIR LAYER...\n";
        return 2;
    }
    fs::path root = argv[1];
    layering order{std::vector<std::string>(argv + 2, argv + argc)};
    int problems = 0;
    int files = 0;
    for (const char *top : {"src", "cli"}) {
        for (const auto &entry : fs::recursive_directory_iterator(root / top)) {
            if (!entry.is_regular_file() || !is_source(entry.path())) {
                continue;
            }
            fs::path relative = fs::relative(entry.path(), root / top);
            std::string folder =
                std::string(top) == "cli" ? "cli" : first_component(relative.generic_string());
            if (order.rank(folder) < 0) {
                continue;  // files of src/ itself, such as the export map
            }
            problems += check_file(order, root, entry.path(), folder);
            ++files;
        }
    }
    if (files == 0) {
        std::cerr << "no sources found under " << root << "\n";
        return 1;
    }
    std::cout << files << " files checked, " << problems << " includes against the layering\n";
    return problems == 0 ? 0 : 1;
}
