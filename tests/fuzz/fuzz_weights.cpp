// The weights file from the input: read at BuildIndex, one learning step on
// a fixed pair (raising its grade when the input's length is even, lowering
// it otherwise), export over the same file, read again.
//
// Properties: each root weight read back from the export is bit for bit the
// weight in memory as its stored text gives it (three decimals); exporting
// the weights read back writes the same file again.

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "fuzz_support.h"
#include "heuristics/ctokenheuristicevaluator.h"
#include "index/analyser_access.h"
#include "tokenweave/ccorrelationanalyser.h"

namespace {

const size_t INPUT_CAP = 4 * 1024;
const int RESULT_EXPORTED = -2;
const int FEEDBACK_LINE_INPUT = 4;
const int FEEDBACK_LINE_OUTPUT = 3;
const char FEEDBACK_TOKEN[] = "TK-8F3A21";
const int STORED_DECIMALS = 3;

// One grid cell returned on line 3, sent again on line 4.
const char ACTION_TEXT[] =
    "Action()\n{\n"
    "    sqx_stmt(Csr1, \"select token from session\"); GRID(1);\n"
    "    sqx_assign(Csr2, \"TK-8F3A21\");\n"
    "}\n";
const char GRID_TEXT[] = "[grid 1]\nTOKEN,ID\nTK-8F3A21,10473\n";

struct fixed_project {
    std::string project_path;
    std::string action_path;
    std::string settings_path;
    fixed_project() {
        action_path = fuzz::scratch_file("Action1.c");
        fuzz::write_file(action_path, ACTION_TEXT);
        fuzz::write_file(fuzz::scratch_file("grids.rdf"), GRID_TEXT);
        fuzz::write_file(fuzz::scratch_file("grids.grd"), "");
        project_path = fuzz::scratch_file("weights.prj");
        fuzz::write_file(project_path, "[Actions]\naction1=Action1.c\n");
        settings_path = fuzz::scratch_file("settings.ini");
    }
};

const fixed_project &project() {
    static fixed_project files;
    return files;
}

CTokenHeuristicEvaluator *build(CCorrelationAnalyser &analyser, const std::string &weights) {
    analyser.SetDataFilePath(weights.c_str());
    if (analyser.BuildIndex() != 0) {
        fuzz::property_failed("BuildIndex failed", weights);
    }
    CTokenHeuristicEvaluator *root = analyser_evaluator(&analyser);
    if (root == nullptr) {
        fuzz::property_failed("no evaluator tree", weights);
    }
    return root;
}

// The weight as the export stores it and a reader parses it back.
float as_stored(float weight) {
    char text[128];
    snprintf(text, sizeof text, "%.*f", STORED_DECIMALS, static_cast<double>(weight));
    return strtof(text, nullptr);
}

bool same_bits(float a, float b) {
    return memcmp(&a, &b, sizeof a) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size > INPUT_CAP) {
        return 0;
    }
    const fixed_project &files = project();
    std::string weights = fuzz::scratch_file("weights.dat");
    fuzz::write_file(weights, std::string(reinterpret_cast<const char *>(data), size));

    CCorrelationAnalyser learner(files.project_path.c_str(), files.settings_path.c_str(),
                                 fuzz::keep_scanning, &fuzz::progress_user_data);
    CTokenHeuristicEvaluator *learned = build(learner, weights);
    int (CCorrelationAnalyser::*step)(const char *, const char *, int, const char *, int) =
        size % 2 == 0 ? &CCorrelationAnalyser::IncreaseGrade : &CCorrelationAnalyser::DecreaseGrade;
    int feedback = (learner.*step)(FEEDBACK_TOKEN, files.action_path.c_str(), FEEDBACK_LINE_INPUT,
                                   files.action_path.c_str(), FEEDBACK_LINE_OUTPUT);
    if (feedback != 0) {
        fuzz::property_failed("feedback on the fixed pair failed", std::to_string(feedback));
    }
    if (learner.ExportDatFile(weights.c_str()) != RESULT_EXPORTED) {
        fuzz::property_failed("export failed", weights);
    }
    std::string exported = fuzz::read_file(weights);

    CCorrelationAnalyser reader(files.project_path.c_str(), files.settings_path.c_str(),
                                fuzz::keep_scanning, &fuzz::progress_user_data);
    CTokenHeuristicEvaluator *read_back = build(reader, weights);
    if (read_back->InputCount() != learned->InputCount()) {
        fuzz::property_failed("input count changed", exported);
    }
    for (int i = 0; i < learned->InputCount(); ++i) {
        float expected = as_stored(learned->Weight(i));
        if (!same_bits(read_back->Weight(i), expected)) {
            fuzz::property_failed("a weight did not read back bit for bit",
                                  "Weight" + std::to_string(i) + "\nfile:\n" + exported);
        }
    }
    if (reader.ExportDatFile(weights.c_str()) != RESULT_EXPORTED) {
        fuzz::property_failed("second export failed", weights);
    }
    if (fuzz::read_file(weights) != exported) {
        fuzz::property_failed("exporting the weights read back changed the file",
                              exported + "\nthen:\n" + fuzz::read_file(weights));
    }
    return 0;
}
