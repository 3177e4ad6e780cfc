// The recorded call names: how the scanner treats each call (its scanner
// class) and the code that identifies it in occurrences and in the statement
// heuristic's weights.

#ifndef TOKENWEAVE_MODEL_KEYWORD_TABLE_H
#define TOKENWEAVE_MODEL_KEYWORD_TABLE_H

struct ht_table;

// How the scanner reads the arguments of a call.
enum scanner_class {
    SCANNER_CLASS_NONE = 0,            // not a recorded call: back to ordinary C text
    SCANNER_CLASS_VALUE_ARGS = 1,      // string arguments are values
    SCANNER_CLASS_SQL_ARGS = 2,        // string arguments hold SQL text
    SCANNER_CLASS_EXEC_ARGS = 3,       // an execute: its handle publishes a chain
    SCANNER_CLASS_BIND_ARGS = 4,       // values, and identifiers among them too
    SCANNER_CLASS_STATEMENT_ARGS = 5,  // SQL text, and identifiers among it too
    // Calls of the "cmx_" family are not in the table; their strings are values.
    SCANNER_CLASS_CMX = SCANNER_CLASS_VALUE_ARGS
};

struct keyword_row {
    const char *name;
    int scanner_class;
    int call_code;
};

enum { KEYWORD_COUNT = 14, KEYWORD_TABLE_BUCKETS = 14 };

// Call codes with a meaning of their own to the recorder and the loaders.
enum call_code {
    CALL_STMT = 1,
    CALL_ASSIGN = 2,
    CALL_ASSIGN_BIND = 3,
    CALL_EXEC = 4,
    CALL_GRID = 5,
    CALL_ASSIGN_BIND_LITERAL = 6,
    CALL_BIND_PLACEHOLDER = 7,
    CALL_RECORDSET_XML = 8,
    CALL_ORA8_STMT = 9,
    CALL_ORA8_STMT_LITERAL = 10,
    CALL_ORA8_STMT_EXT = 11,
    CALL_ASSIGN_LITERAL = 12,
    CALL_ASSIGN_EXT = 13,
    CALL_ASSIGN_BIND_EXT = 14,
    CALL_CMX = 15
};

extern const keyword_row keyword_rows[KEYWORD_COUNT];

// Call code of the first row whose name equals name byte for byte; -1 if none.
int keyword_call_code(const char *name);
// Name of the first row with that code; null if no row has it.
const char *keyword_call_name(int code);

// The run-time keyword table: call name -> allocated int holding the scanner
// class, released with free when the table closes. Null when memory ran out.
ht_table *build_keyword_table();
// Closes the table, releasing its integers. Null is allowed.
void release_keyword_table(ht_table *table);

#endif  // TOKENWEAVE_MODEL_KEYWORD_TABLE_H
