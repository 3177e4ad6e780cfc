#include "rowbank/grid_header_matcher.h"

#include <limits.h>

#include "platlib/text.h"

namespace {

enum header_state {
    BEFORE_OPEN,
    BEFORE_WORD,
    IN_WORD,
    AFTER_WORD,
    BEFORE_NUMBER,
    IN_NUMBER,
    AFTER_NUMBER,
    AFTER_CLOSE
};

}  // namespace

void header_matcher_reset(header_matcher *m, const header_shape *shape) {
    m->shape = shape;
    m->state = shape->open != '\0' ? BEFORE_OPEN : BEFORE_WORD;
    m->word_matched = 0;
    m->number = 0;
    m->number_too_big = false;
}

header_verdict header_matcher_feed(header_matcher *m, char c) {
    const header_shape &shape = *m->shape;
    switch (m->state) {
        case BEFORE_OPEN:
            if (is_blank(c)) {
                return HEADER_UNDECIDED;
            }
            if (c != shape.open) {
                return NOT_HEADER;
            }
            m->state = BEFORE_WORD;
            return HEADER_UNDECIDED;
        case BEFORE_WORD:
            if (is_blank(c)) {
                return HEADER_UNDECIDED;
            }
            m->state = IN_WORD;
            [[fallthrough]];
        case IN_WORD:
            if (c != shape.word[m->word_matched]) {
                return NOT_HEADER;
            }
            if (shape.word[++m->word_matched] == '\0') {
                m->state = AFTER_WORD;
            }
            return HEADER_UNDECIDED;
        case AFTER_WORD:
            if (shape.blank_after_word) {
                if (!is_blank(c)) {
                    return NOT_HEADER;
                }
                m->state = BEFORE_NUMBER;
                return HEADER_UNDECIDED;
            }
            m->state = BEFORE_NUMBER;
            [[fallthrough]];
        case BEFORE_NUMBER:
            if (is_blank(c)) {
                return HEADER_UNDECIDED;
            }
            if (!is_digit(c)) {
                return NOT_HEADER;
            }
            m->state = IN_NUMBER;
            [[fallthrough]];
        case IN_NUMBER:
            if (is_digit(c)) {
                // Once too big, digits are still consumed: the number is
                // unusable, the text may still be a header.
                if (!m->number_too_big) {
                    m->number = m->number * 10 + (c - '0');
                    m->number_too_big = m->number > INT_MAX;
                }
                if (m->number_too_big && !shape.oversized_number_is_header) {
                    return NOT_HEADER;
                }
                return HEADER_UNDECIDED;
            }
            if (shape.close == '\0') {
                return is_blank(c) || c == '\r' || c == '\n' ? IS_HEADER : NOT_HEADER;
            }
            m->state = AFTER_NUMBER;
            [[fallthrough]];
        case AFTER_NUMBER:
            if (is_blank(c)) {
                return HEADER_UNDECIDED;
            }
            if (c != shape.close) {
                return NOT_HEADER;
            }
            m->state = AFTER_CLOSE;
            return HEADER_UNDECIDED;
        case AFTER_CLOSE:
            if (c == '\n') {
                return IS_HEADER;
            }
            return is_blank(c) || c == '\r' ? HEADER_UNDECIDED : NOT_HEADER;
    }
    return NOT_HEADER;
}

header_verdict header_matcher_finish(const header_matcher &m) {
    int complete = m.shape->close != '\0' ? AFTER_CLOSE : IN_NUMBER;
    return m.state == complete ? IS_HEADER : NOT_HEADER;
}
