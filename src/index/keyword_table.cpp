#include "index/keyword_table.h"

#include <stdlib.h>
#include <string.h>

#include "platform/hashkit.h"

const keyword_row keyword_rows[KEYWORD_COUNT] = {
    {"sqx_stmt", 5, CALL_STMT},
    {"sqx_assign", 1, CALL_ASSIGN},
    {"sqx_assign_bind", 1, CALL_ASSIGN_BIND},
    {"sqx_exec", 3, CALL_EXEC},
    {"GRID", 0, CALL_GRID},
    {"sqx_assign_bind_literal", 1, CALL_ASSIGN_BIND_LITERAL},
    {"sqx_bind_placeholder", 4, CALL_BIND_PLACEHOLDER},
    {"RECORDSET_XML", 0, CALL_RECORDSET_XML},
    {"sqx_ora8_stmt", 5, CALL_ORA8_STMT},
    {"sqx_ora8_stmt_literal", 5, CALL_ORA8_STMT_LITERAL},
    {"sqx_ora8_stmt_ext", 5, CALL_ORA8_STMT_EXT},
    {"sqx_assign_literal", 1, CALL_ASSIGN_LITERAL},
    {"sqx_assign_ext", 1, CALL_ASSIGN_EXT},
    {"sqx_assign_bind_ext", 1, CALL_ASSIGN_BIND_EXT},
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
