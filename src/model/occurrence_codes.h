// The codes an occurrence carries: which way the value went, whether it came
// from a grid cell, and what kind of text it is. The index, the recorder, the
// grid loaders and the evaluators all read and write these fields, so each
// value is named here once.
#ifndef TOKENWEAVE_MODEL_OCCURRENCE_CODES_H
#define TOKENWEAVE_MODEL_OCCURRENCE_CODES_H

// token_entry_tag.direction.
enum occurrence_direction {
    DIRECTION_UNSET = -1,  // a fresh occurrence before it is filled
    DIRECTION_INPUT = 0,   // a value the script sends
    DIRECTION_OUTPUT = 1   // a cell of a recorded result grid
};

// grid_cell_t.marker and token_entry_tag.source_marker.
enum source_marker { LITERAL_MARKER = -1, GRID_CELL_MARKER = 10 };

// The grid, row and column handed to the recorder for a script literal,
// which has no cell.
enum { NO_GRID_POSITION = -1 };

// token_instances_t.value_class.
enum value_class {
    VALUE_CLASS_NUMBER = 0,  // hexadecimal digits with at most one dot
    VALUE_CLASS_TEXT = 1,    // anything else
    VALUE_CLASS_DB_ID = 2    // hexadecimal groups joined by two or more single dots
};

#endif  // TOKENWEAVE_MODEL_OCCURRENCE_CODES_H
