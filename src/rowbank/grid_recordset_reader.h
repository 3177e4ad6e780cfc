// The rows of one recordset persisted as rowset XML.
//
// The XML is an element "xml" holding a schema (namespace
// "uuid:BDC6E3F0-6DA3-11d1-A2A3-00AA00C14882") and the data (namespace
// "urn:schemas-microsoft-com:rowset"). The schema's AttributeType elements,
// in document order, directly in it or in one of its ElementType elements,
// are the columns; their "name" attribute is the name each row uses. The data element's row
// children (namespace
// "#RowsetSchema") are the rows; a row holds a column's value in the
// attribute of that column's name. An absent or empty attribute is a cell
// without data; attributes that name no column are ignored. Element names
// are matched by namespace, whatever prefix the text declares for it.
// Values arrive with entities and character references resolved, as UTF-8.

#ifndef TOKENWEAVE_ROWBANK_GRID_RECORDSET_READER_H
#define TOKENWEAVE_ROWBANK_GRID_RECORDSET_READER_H

#include <pugixml.hpp>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "rowbank/grid_row.h"

struct recordset_table_t {
    // The XML text, parsed in place: the document points into it.
    std::string text;
    pugi::xml_document document;
    int column_count = 0;
    // Column name (pointing into the document) to its first column index.
    std::unordered_map<std::string_view, int> column_of_name;
    // Each column's name in column order (pointing into the document; the
    // empty text for a nameless column).
    std::vector<const char *> column_names;
    std::vector<pugi::xml_node> rows;
};

// Parses text (taken over) into *table. 0 on success; -1 when the text is not
// well-formed XML or lacks the schema or the data element, which leaves the
// table empty.
int recordset_table_load(std::string text, recordset_table_t *table);

// Fills *out with row number row (0 first). 0 when the table has that row,
// -1 otherwise (out then holds no data).
int recordset_table_read_row(const recordset_table_t &table, int row, grid_row_t *out);

// Empties the table.
void recordset_table_clear(recordset_table_t *table);

#endif  // TOKENWEAVE_ROWBANK_GRID_RECORDSET_READER_H
