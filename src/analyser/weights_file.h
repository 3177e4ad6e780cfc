// Whether a file can serve as the weights file.

#ifndef TOKENWEAVE_ANALYSER_WEIGHTS_FILE_H
#define TOKENWEAVE_ANALYSER_WEIGHTS_FILE_H

enum weights_file_state {
    WEIGHTS_FILE_USABLE,
    WEIGHTS_FILE_MISSING,
    WEIGHTS_FILE_UNREADABLE,
    // Readable, but none of its sections is [TokenEvaluatorInputs] or a
    // section of one of the root's inputs: not a weights file at all.
    WEIGHTS_FILE_WITHOUT_SECTIONS
};

weights_file_state inspect_weights_file(const char *path);

#endif  // TOKENWEAVE_ANALYSER_WEIGHTS_FILE_H
