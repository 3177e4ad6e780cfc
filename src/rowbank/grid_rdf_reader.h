// The rows of one grid of a result-data file.
//
// A grid's text (the lines after its header) is a column-name line followed
// by one record per row. With quoting (comma files) a record follows RFC
// 4180: a field that starts with a double quote runs to the matching quote,
// may hold separators and line breaks, and "" inside it is one quote; bytes
// after the closing quote up to the separator are kept as they stand. A
// quote that is never closed takes the rest of the grid, less the line break
// before the next header. Without quoting (tab files) a record is one line.
// Either way a CR before the line feed that ends a record is dropped, empty
// lines between records are skipped, and bytes pass through unchanged.
// Fields beyond the column count are ignored; missing fields hold no data.
//
// Loading indexes where each record starts, so rows can be read in any order
// without holding more than the grid's text and one offset per row.

#ifndef TOKENWEAVE_ROWBANK_GRID_RDF_READER_H
#define TOKENWEAVE_ROWBANK_GRID_RDF_READER_H

#include <stddef.h>

#include <string>
#include <vector>

#include "rowbank/grid_row.h"

struct rdf_dialect_t {
    char separator;
    bool quoting;
};

extern const rdf_dialect_t RDF_COMMA_DIALECT;
extern const rdf_dialect_t RDF_TAB_DIALECT;

struct rdf_table_t {
    std::string text;
    rdf_dialect_t dialect;
    // Fields of the column-name line; 0 when the grid has no lines at all.
    int column_count;
    // Offset in text of each row's record.
    std::vector<size_t> row_starts;
    // The column-name line as a row: one text per column.
    grid_row_t names;
};

// Makes *table the grid whose text is given (taken over).
void rdf_table_load(std::string text, const rdf_dialect_t &dialect, rdf_table_t *table);

// Fills *row with row number row (0 first). 0 when the table has that row,
// -1 otherwise (row then holds no data).
int rdf_table_read_row(const rdf_table_t &table, int row, grid_row_t *out);

#endif  // TOKENWEAVE_ROWBANK_GRID_RDF_READER_H
