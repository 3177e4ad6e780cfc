// The recorder: turns what the scanner and the grid loaders find into index
// entries.
//
// The scanner hands it every argument of every recorded call; the recorder
// decides from the call name which arguments are values, records them as
// input occurrences, keeps each handle's chain of pending inputs and the site
// of each handle's statement, and files a statement's inputs under location
// keys when the statement is executed. The grid loaders hand it every cell
// with data as an output occurrence. It reaches the index through the current
// analyser, and reports scanning progress through it.
//
// The recorder never writes into the texts it is given; it copies what it
// keeps.

#ifndef TOKENWEAVE_INDEX_RECORDER_H
#define TOKENWEAVE_INDEX_RECORDER_H

#include "index/correlation_index.h"

// One argument of a recorded call. text is null for the handle of an execute
// call. Returns 0, or -1 once the scan has been cancelled by the host.
int record_argument(const char *text, const char *call_name, int position, int line,
                    const char *file_path, const char *handle);
// The same for a caller that knows the call's code (recorder_call_code of its
// name, -1 for a call that is not recorded), as the scanner does from the
// moment it recognises the call.
int record_call_argument(const char *text, int call_code, int position, int line,
                         const char *file_path, const char *handle);

// Files one occurrence of value. grid < 0 means a script literal (then
// handle names its chain); otherwise the grid position (grid, row, column,
// marker) is kept with it. Returns 0, or -1 when memory ran out (nothing is
// recorded). A literal whose value was last seen as a literal on the same
// line of the same file is not recorded again.
int record_occurrence(const char *value, int call_code, int direction, int line,
                      const char *file_path, int grid, int row, int column, int marker,
                      const char *handle);

// Nonzero once the host cancelled the scan through the progress callback.
int scan_cancelled();

// Forgets the pending execute/bind handle; done at the start of every build
// so that one project's last call cannot pair with the next project's first.
void reset_recorder_state();

// Value class of a text: 0 hexadecimal digits with at most one dot, 2
// hexadecimal digit groups joined by two or more single dots, 1 anything
// else.
int value_class_of(const char *text);

enum { NO_CALL_CODE = -1 };

// Call code of a recorded call name: the keyword table's code for "sqx_"
// names, 15 for "cmx_" names, NO_CALL_CODE otherwise.
int recorder_call_code(const char *call_name);

// The handle a statement site was registered under, in full (the site's own
// handle field holds at most 31 characters).
const char *statement_site_handle_key(const statement_site_t *site);

// Updates the analyser's scanning progress for an argument on line and
// reports it when it grew by more than one per cent. Returns -1 when the
// host answered -1 (the analyser is then cancelled), else 0.
int update_scan_progress(CCorrelationAnalyser *analyser, int line);

#endif  // TOKENWEAVE_INDEX_RECORDER_H
