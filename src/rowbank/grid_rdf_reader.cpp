#include "rowbank/grid_rdf_reader.h"

#include <limits.h>
#include <string.h>

const rdf_dialect_t RDF_COMMA_DIALECT = {',', true};
const rdf_dialect_t RDF_TAB_DIALECT = {'\t', false};

namespace {

const char QUOTE = '"';

// Where the fields of the record being read go: into row, or nowhere when
// the record is only being measured.
struct field_sink {
    grid_row_t *row;
    int column_count;
    int field;     // index of the field being read
    size_t mark;   // start of its text in row->text
    bool keeping;  // whether its text is wanted
};

void sink_begin_field(field_sink *sink) {
    sink->keeping = sink->row != nullptr && sink->field < sink->column_count;
    if (sink->keeping) {
        sink->mark = grid_row_begin_cell(*sink->row);
    }
}

void sink_append(field_sink *sink, const char *bytes, size_t length) {
    if (sink->keeping && length > 0) {
        sink->row->text.append(bytes, length);
    }
}

void sink_end_field(field_sink *sink) {
    if (sink->keeping) {
        grid_row_end_cell(sink->row, sink->field, sink->mark);
    }
    if (sink->field < INT_MAX) {
        ++sink->field;
    }
}

// The end of text without the line break that closes it, if any.
size_t without_final_line_break(const char *text, size_t begin, size_t end) {
    if (end > begin && text[end - 1] == '\n') {
        --end;
    }
    if (end > begin && text[end - 1] == '\r') {
        --end;
    }
    return end;
}

// Reads the quoted part of a field starting after its opening quote; returns
// the offset after the closing quote, or size when the quote is never closed.
size_t read_quoted(const char *text, size_t size, size_t pos, field_sink *sink) {
    for (;;) {
        const void *found = memchr(text + pos, QUOTE, size - pos);
        if (found == nullptr) {
            sink_append(sink, text + pos, without_final_line_break(text, pos, size) - pos);
            return size;
        }
        size_t quote = static_cast<size_t>(static_cast<const char *>(found) - text);
        sink_append(sink, text + pos, quote - pos);
        pos = quote + 1;
        if (pos < size && text[pos] == QUOTE) {
            sink_append(sink, &QUOTE, 1);
            ++pos;
            continue;
        }
        return pos;
    }
}

// Reads the record at pos into sink; returns the offset after its line break.
size_t read_record(const char *text, size_t size, size_t pos, const rdf_dialect_t &dialect,
                   field_sink *sink) {
    for (;;) {
        sink_begin_field(sink);
        if (dialect.quoting && pos < size && text[pos] == QUOTE) {
            pos = read_quoted(text, size, pos + 1, sink);
            if (pos == size) {
                sink_end_field(sink);
                return size;
            }
        }
        size_t start = pos;
        while (pos < size && text[pos] != dialect.separator && text[pos] != '\n') {
            ++pos;
        }
        bool record_ends = pos == size || text[pos] == '\n';
        size_t stop = pos;
        if (record_ends && stop > start && text[stop - 1] == '\r') {
            --stop;
        }
        sink_append(sink, text + start, stop - start);
        sink_end_field(sink);
        if (record_ends) {
            return pos == size ? size : pos + 1;
        }
        ++pos;
    }
}

size_t skip_empty_lines(const char *text, size_t size, size_t pos) {
    while (pos < size) {
        if (text[pos] == '\n') {
            ++pos;
        } else if (text[pos] == '\r' && (pos + 1 == size || text[pos + 1] == '\n')) {
            pos += pos + 1 == size ? 1 : 2;
        } else {
            break;
        }
    }
    return pos;
}

}  // namespace

void rdf_table_load(std::string text, const rdf_dialect_t &dialect, rdf_table_t *table) {
    table->text = std::move(text);
    table->dialect = dialect;
    table->column_count = 0;
    table->row_starts.clear();
    grid_row_reset(&table->names, 0);
    const char *bytes = table->text.data();
    size_t size = table->text.size();
    size_t pos = skip_empty_lines(bytes, size, 0);
    if (pos == size) {
        return;
    }
    field_sink measure_names = {nullptr, 0, 0, 0, false};
    size_t names_start = pos;
    pos = read_record(bytes, size, pos, dialect, &measure_names);
    table->column_count = measure_names.field;
    grid_row_reset(&table->names, table->column_count);
    field_sink names = {&table->names, table->column_count, 0, 0, false};
    read_record(bytes, size, names_start, dialect, &names);
    for (;;) {
        pos = skip_empty_lines(bytes, size, pos);
        if (pos == size || table->row_starts.size() >= static_cast<size_t>(INT_MAX)) {
            break;
        }
        table->row_starts.push_back(pos);
        field_sink measure = {nullptr, 0, 0, 0, false};
        pos = read_record(bytes, size, pos, dialect, &measure);
    }
}

int rdf_table_read_row(const rdf_table_t &table, int row, grid_row_t *out) {
    grid_row_reset(out, table.column_count);
    if (row < 0 || static_cast<size_t>(row) >= table.row_starts.size()) {
        return -1;
    }
    field_sink sink = {out, table.column_count, 0, 0, false};
    read_record(table.text.data(), table.text.size(), table.row_starts[row], table.dialect, &sink);
    return 0;
}
