#include "model/keyword_table.h"

#include <stdlib.h>
#include <string.h>

#include "hashkit/hashkit.h"

const keyword_row keyword_rows[KEYWORD_COUNT] = {
    {"sqx_stmt", SCANNER_CLASS_STATEMENT_ARGS, CALL_STMT},
    {"sqx_assign", SCANNER_CLASS_VALUE_ARGS, CALL_ASSIGN},
    {"sqx_assign_bind", SCANNER_CLASS_VALUE_ARGS, CALL_ASSIGN_BIND},
    {"sqx_exec", SCANNER_CLASS_EXEC_ARGS, CALL_EXEC},
    {"GRID", SCANNER_CLASS_NONE, CALL_GRID},
    {"sqx_assign_bind_literal", SCANNER_CLASS_VALUE_ARGS, CALL_ASSIGN_BIND_LITERAL},
    {"sqx_bind_placeholder", SCANNER_CLASS_BIND_ARGS, CALL_BIND_PLACEHOLDER},
    {"RECORDSET_XML", SCANNER_CLASS_NONE, CALL_RECORDSET_XML},
    {"sqx_ora8_stmt", SCANNER_CLASS_STATEMENT_ARGS, CALL_ORA8_STMT},
    {"sqx_ora8_stmt_literal", SCANNER_CLASS_STATEMENT_ARGS, CALL_ORA8_STMT_LITERAL},
    {"sqx_ora8_stmt_ext", SCANNER_CLASS_STATEMENT_ARGS, CALL_ORA8_STMT_EXT},
    {"sqx_assign_literal", SCANNER_CLASS_VALUE_ARGS, CALL_ASSIGN_LITERAL},
    {"sqx_assign_ext", SCANNER_CLASS_VALUE_ARGS, CALL_ASSIGN_EXT},
    {"sqx_assign_bind_ext", SCANNER_CLASS_VALUE_ARGS, CALL_ASSIGN_BIND_EXT},
};

int keyword_call_code(const char *name) {
    if (name == nullptr) {
        return -1;
    }
    for (const keyword_row &row : keyword_rows) {
        if (strcmp(row.name, name) == 0) {
            return row.call_code;
        }
    }
    return -1;
}

const char *keyword_call_name(int code) {
    for (const keyword_row &row : keyword_rows) {
        if (row.call_code == code) {
            return row.name;
        }
    }
    return nullptr;
}

ht_table *build_keyword_table() {
    ht_table *table = ht_open_ext(KEYWORD_TABLE_BUCKETS, free);
    if (table == nullptr) {
        return nullptr;
    }
    for (const keyword_row &row : keyword_rows) {
        int *scanner_class = static_cast<int *>(malloc(sizeof(int)));
        if (scanner_class == nullptr || ht_add(table, row.name, scanner_class) < 0) {
            free(scanner_class);
            ht_close(table);
            return nullptr;
        }
        *scanner_class = row.scanner_class;
    }
    return table;
}

void release_keyword_table(ht_table *table) {
    ht_close(table);
}
