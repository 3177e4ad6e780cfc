// tokenweave: correlation candidates in recorded database load-test scripts.
//
// A host builds one CCorrelationAnalyser per script project, calls BuildIndex
// once, then asks for candidates (InputTokenQuery, CursorQuery,
// FindCorrelations), tells it which candidates were right or wrong
// (IncreaseGrade, DecreaseGrade), saves what it learned (ExportDatFile) and
// destroys it. Every call runs to completion on the caller's thread; an
// analyser is used from one thread at a time. BuildIndex calls on different
// threads run one after another (a second waits for the first); the other
// methods of different analysers may run in parallel.
//
// This header is all a host needs: it declares the class, the progress
// callback and the three index records that EvaluateToken takes.

#ifndef TOKENWEAVE_CCORRELATIONANALYSER_H
#define TOKENWEAVE_CCORRELATIONANALYSER_H

#if defined(TOKENWEAVE_STATIC)
#define TOKENWEAVE_API
#elif defined(_WIN32)
#if defined(TOKENWEAVE_BUILDING)
#define TOKENWEAVE_API __declspec(dllexport)
#else
#define TOKENWEAVE_API __declspec(dllimport)
#endif
#else
#define TOKENWEAVE_API __attribute__((visibility("default")))
#endif

struct list_node;
struct ht_table;
struct correlation_index;
class CTokenHeuristicEvaluator;

// Position of an output occurrence in a recorded result grid. Owned by its
// occurrence.
struct grid_cell_t {
    int grid;    // number written in the script's GRID / RECORDSET_XML reference
    int row;     // position among the rows read, from 1
    int column;  // position among the cells of that row that hold data, from 1
    int marker;  // 10 for every cell the grid loaders record
};

// One occurrence of a value. Direction 0 is an input (a value the script
// sends), 1 an output (a cell of a result grid). Text pointers are borrowed
// from the token record and the project's file list.
struct token_entry_tag {
    const char *value;
    int direction;
    int line;
    const char *file;
    grid_cell_t *cell;  // null for a script literal
    token_entry_tag *same_handle_previous;
    token_entry_tag *next_candidate;
    int call_code;
    int mark;
    int recorded_code;
    int source_marker;  // 10 for grid cells, -1 for script literals
    int grid_repeat;    // run length set by AnalyseIndex, 0 before
    int reserved;
};

// One distinct value of the index with its occurrences in recording order.
struct token_instances_t {
    list_node **occurrences;    // list of token_entry_tag pointers; owned
    char *value;                // the text; owned by the index
    list_node **last_position;  // append point of the list; owned
    float best_grade;           // highest grade EvaluateToken computed for the value
    int length;                 // byte length of value
    int value_class;            // 0 number-like, 1 other text, 2 dotted identifier
    int capital_count;
    int total_count;
    int literal_count;
    int grid_count;
    int input_count;
    int output_count;
};

// Progress callback: value is the fraction of the work done, between 0 and 1.
// While BuildIndex scans, an answer of -1 cancels the rest of the scan; every
// other answer, and every answer during queries, is ignored.
typedef int (*tokenweave_progress_callback)(void *user_data, float value);

// Result codes. The methods return them as int; the names are for readers.
enum tokenweave_result {
    // Success (queries: the report lists at least one pair).
    TOKENWEAVE_OK = 0,
    // Out of memory; BuildIndex: called again, or no evaluator tree;
    // ExportDatFile: the weights file could not be written.
    TOKENWEAVE_FAILED = -1,
    // ExportDatFile: the weights were written.
    TOKENWEAVE_EXPORTED = -2,
    // IncreaseGrade / DecreaseGrade: the pair is not in the index.
    TOKENWEAVE_PAIR_NOT_FOUND = -3,
    // The method needs a successful BuildIndex first.
    TOKENWEAVE_NOT_BUILT = -4,
    // Nothing found; the report says so.
    TOKENWEAVE_NOTHING_FOUND = -7,
    // The report file cannot be created (or was not written completely).
    TOKENWEAVE_REPORT_NOT_WRITTEN = -10
};

// What BuildIndex could not use. None of these stops the build: the index
// holds what could be read, but a host should tell its user, since a
// project with a missing grid looks just like one without correlations.
enum tokenweave_diagnostic_kind {
    // The project file is missing or unreadable; "init.c" beside it was used.
    TOKENWEAVE_DIAGNOSTIC_PROJECT_UNREADABLE = 1,
    // The project file has no [Actions] section; "init.c" beside it was used.
    TOKENWEAVE_DIAGNOSTIC_PROJECT_WITHOUT_ACTIONS = 2,
    // An action file does not exist (reason may name a file differing only
    // in letter case).
    TOKENWEAVE_DIAGNOSTIC_ACTION_FILE_MISSING = 3,
    // An action file exists but cannot be read.
    TOKENWEAVE_DIAGNOSTIC_ACTION_FILE_UNREADABLE = 4,
    // An [Actions] entry names a directory (an empty entry names the
    // project's own directory).
    TOKENWEAVE_DIAGNOSTIC_ACTION_FILE_IS_DIRECTORY = 5,
    // A GRID or RECORDSET_XML reference whose grid could not be loaded; line
    // is the reference's, reason says why.
    TOKENWEAVE_DIAGNOSTIC_GRID_NOT_LOADED = 6,
    // The grid-settings file given to the constructor does not exist.
    TOKENWEAVE_DIAGNOSTIC_GRID_SETTINGS_MISSING = 7,
    // The settings file given to the constructor does not exist.
    TOKENWEAVE_DIAGNOSTIC_SETTINGS_MISSING = 8,
    // The weights file does not exist: every pair grades 0.
    TOKENWEAVE_DIAGNOSTIC_WEIGHTS_MISSING = 9,
    // The weights file holds none of the weights sections: every pair
    // grades 0.
    TOKENWEAVE_DIAGNOSTIC_WEIGHTS_WITHOUT_SECTIONS = 10,
    // The scanner met a failure it cannot recover from (a read error);
    // nothing after file:line was indexed.
    TOKENWEAVE_DIAGNOSTIC_SCAN_ABANDONED = 11
};

enum { TOKENWEAVE_DIAGNOSTIC_FILE_SIZE = 1024, TOKENWEAVE_DIAGNOSTIC_REASON_SIZE = 256 };

// One build diagnostic, filled by BuildDiagnostic. A plain record of fixed
// size, so a host may keep copies. Texts are NUL-terminated and cut to fit.
struct tokenweave_diagnostic {
    int kind;  // a tokenweave_diagnostic_kind
    int line;  // the line where it applies, from 1; 0 for the whole file
    char file[TOKENWEAVE_DIAGNOSTIC_FILE_SIZE];      // path as the library used it
    char reason[TOKENWEAVE_DIAGNOSTIC_REASON_SIZE];  // one line, no final period
};

class TOKENWEAVE_API CCorrelationAnalyser {
public:
    // Thrown by BuildIndex when no index could be created (memory ran out).
    class TOKENWEAVE_API CorrelationScanException {};

    // Strings are copied; texts longer than the fixed members are cut to fit
    // (paths 1023 bytes, database type 255, grid settings path 259). A null
    // database type means "oracle", a null grid settings path the empty text.
    // project_path and settings_path must not be null. A null callback means
    // no progress reports; user_data is handed back to the callback as given.
    CCorrelationAnalyser(const char *project_path, const char *settings_path,
                         int (*callback)(void *, float), void *user_data, const char *database_type,
                         const char *grid_settings_path);
    CCorrelationAnalyser(const char *project_path, const char *settings_path,
                         int (*callback)(void *, float), void *user_data);
    // Releases the index and the evaluator tree.
    ~CCorrelationAnalyser();

    // Reads the project, scans every action file and loads the weights.
    // 0 on success; -1 when called a second time (nothing changes) or when
    // memory for the evaluators ran out (the index stays usable). A scan that
    // was cancelled or met unreadable files still returns 0 with what it
    // indexed; BuildDiagnostic lists what could not be used. A missing weights file is not an error: every weight is then 0
    // and every pair grades 0 until feedback raises a weight.
    // Throws CorrelationScanException when no index could be created.
    int BuildIndex();

    // Candidates for the input occurrence of token at file:line (file as the
    // full action-file path), written to report_path best first. Pairs graded
    // at or below min_grade are left out. 0, -1, -4, -7 or -10.
    int InputTokenQuery(const char *token, const char *file, int line, const char *report_path,
                        float min_grade);
    // Does nothing; returns 0.
    int OutputTokenQuery(const char *token, const char *file, int line, const char *report_path,
                         float min_grade);
    // Candidates for every input value of the statement at file:line.
    // 0, -1, -4, -7 or -10.
    int CursorQuery(const char *file, int line, const char *report_path, float min_grade);
    // The best max_results pairs of the whole index. 0, -1, -4, -7 or -10.
    int FindCorrelations(const char *report_path, float min_grade, int max_results);
    // One learning step towards (Increase) or away from (Decrease) the pair of
    // token's input at input_file:input_line and its output at
    // output_file:output_line. 0, -3 (pair not found, nothing changes) or -4.
    int IncreaseGrade(const char *token, const char *input_file, int input_line,
                      const char *output_file, int output_line);
    int DecreaseGrade(const char *token, const char *input_file, int input_line,
                      const char *output_file, int output_line);
    // Grade of one pair; raises instances->best_grade when the grade is
    // greater. 0 when there is no evaluator tree.
    float EvaluateToken(token_instances_t *instances, token_entry_tag *output,
                        token_entry_tag *input);
    // Counts the runs of each value's cells within one grid, which one
    // heuristic reads. Call it after BuildIndex and before the queries whose
    // grades should use it. Does nothing without an index.
    void AnalyseIndex();
    // Do nothing.
    void AddToStopList(const char *token);
    int ResetStopList();
    // Writes the learned weights to the weights file beside the host
    // executable (<exe dir>/../dat/crlt.dat), or to path. -2 when written,
    // -1 when a write failed, -4 before a successful BuildIndex.
    int ExportDatFile();
    int ExportDatFile(const char *path);

    // Names the weights file that BuildIndex reads and ExportDatFile() writes,
    // in place of the one beside the executable. Call it before BuildIndex; a
    // null or empty path restores the default. Paths are cut to 1023 bytes.
    void SetDataFilePath(const char *path);

    // The build diagnostics of the last BuildIndex, in the order met.
    // Returns how many there are (0 before BuildIndex). When position is
    // between 0 and that count - 1 and diagnostic is not null, copies that
    // entry into *diagnostic; otherwise *diagnostic is left alone. So
    //   for (int i = 0; i < a.BuildDiagnostic(0, nullptr); ++i)
    //       a.BuildDiagnostic(i, &d);
    // lists them all. Safe to call from any thread once BuildIndex returned.
    int BuildDiagnostic(int position, tokenweave_diagnostic *diagnostic) const;

    // An analyser owns its index and tree; copies would release them twice.
    CCorrelationAnalyser(const CCorrelationAnalyser &) = delete;
    CCorrelationAnalyser &operator=(const CCorrelationAnalyser &) = delete;

private:
    friend struct analyser_access;

    CTokenHeuristicEvaluator *evaluator;
    correlation_index *index;
    ht_table *keywords;
    char project_path[1024];
    char settings_path[1024];
    char database_type[256];
    char grid_settings_path[260];
    int (*callback)(void *, float);
    int total_lines;
    int lines_done;
    int last_line;
    int lines_reported;
    void *user_data;
    int cancelled;
};

#endif  // TOKENWEAVE_CCORRELATIONANALYSER_H
