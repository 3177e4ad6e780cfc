#include "platform/grid_rdf_index.h"

#include <limits.h>
#include <string.h>

#include <vector>

namespace {

constexpr size_t READ_PIECE_SIZE = 64 * 1024;
constexpr char HEADER_WORD[] = "grid";
constexpr size_t HEADER_WORD_LENGTH = sizeof HEADER_WORD - 1;
// Editors on Windows like to start UTF-8 files with a byte-order mark.
constexpr char UTF8_BOM[] = "\xEF\xBB\xBF";
constexpr size_t UTF8_BOM_LENGTH = sizeof UTF8_BOM - 1;

enum header_state {
    BEFORE_BRACKET,
    AFTER_BRACKET,
    IN_WORD,
    AFTER_WORD,
    IN_NUMBER,
    AFTER_NUMBER,
    AFTER_CLOSE
};

enum header_verdict { HEADER_UNDECIDED, NOT_HEADER, IS_HEADER };

// Decides, one byte at a time, whether a line is a header line; the line
// may be split over several read pieces.
struct header_matcher {
    header_state state;
    size_t word_matched;
    long long number;
    bool number_too_big;
};

bool is_blank(char c) {
    return c == ' ' || c == '\t';
}
bool is_digit(char c) {
    return c >= '0' && c <= '9';
}

void matcher_reset(header_matcher *m) {
    m->state = BEFORE_BRACKET;
    m->word_matched = 0;
    m->number = 0;
    m->number_too_big = false;
}

// The verdict after c, the next byte of the line (a line feed ends it).
header_verdict matcher_feed(header_matcher *m, char c) {
    switch (m->state) {
        case BEFORE_BRACKET:
            if (is_blank(c)) {
                return HEADER_UNDECIDED;
            }
            if (c != '[') {
                return NOT_HEADER;
            }
            m->state = AFTER_BRACKET;
            return HEADER_UNDECIDED;
        case AFTER_BRACKET:
            if (is_blank(c)) {
                return HEADER_UNDECIDED;
            }
            m->state = IN_WORD;
            [[fallthrough]];
        case IN_WORD:
            if (c != HEADER_WORD[m->word_matched]) {
                return NOT_HEADER;
            }
            if (++m->word_matched == HEADER_WORD_LENGTH) {
                m->state = AFTER_WORD;
            }
            return HEADER_UNDECIDED;
        case AFTER_WORD:
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
                // Keep consuming digits once too big: the line is still a
                // header, only its number is unusable.
                if (!m->number_too_big) {
                    m->number = m->number * 10 + (c - '0');
                    m->number_too_big = m->number > INT_MAX;
                }
                return HEADER_UNDECIDED;
            }
            m->state = AFTER_NUMBER;
            [[fallthrough]];
        case AFTER_NUMBER:
            if (is_blank(c)) {
                return HEADER_UNDECIDED;
            }
            if (c != ']') {
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

// The verdict for a line that ends with the file instead of a line feed.
header_verdict matcher_finish(const header_matcher &m) {
    return m.state == AFTER_CLOSE ? IS_HEADER : NOT_HEADER;
}

// Turns the header lines met while reading into extents.
struct section_collector {
    grid_extent_map_t *extents;
    bool grid_open;
    int open_grid;
    grid_extent_t open_extent;
};

void collector_close_open_grid(section_collector *c, uint64_t end, uint64_t close_end) {
    if (c->grid_open) {
        c->open_extent.end = end;
        c->open_extent.close_end = close_end;
        c->extents->emplace(c->open_grid, c->open_extent);
        c->grid_open = false;
    }
}

void collector_header(section_collector *c, const header_matcher &m, uint64_t line_start,
                      uint64_t line_end) {
    collector_close_open_grid(c, line_start, line_end);
    int grid = static_cast<int>(m.number);
    // A number seen before keeps its first grid; this one is skipped like a
    // grid whose number is unusable.
    if (m.number_too_big || c->extents->count(grid) != 0) {
        return;
    }
    c->grid_open = true;
    c->open_grid = grid;
    c->open_extent.header_offset = line_start;
    c->open_extent.begin = line_end;
    c->open_extent.end = line_end;
    c->open_extent.close_end = line_end;
}

// Offset of the first byte after a leading byte-order mark (0 without one),
// or UINT64_MAX when the file cannot be read.
uint64_t skip_byte_order_mark(FILE *file) {
    char start[UTF8_BOM_LENGTH];
    size_t got = fread(start, 1, sizeof start, file);
    if (got == sizeof start && memcmp(start, UTF8_BOM, UTF8_BOM_LENGTH) == 0) {
        return UTF8_BOM_LENGTH;
    }
    return grid_file_seek(file, 0) == 0 ? 0 : UINT64_MAX;
}

}  // namespace

int rdf_index_sections(FILE *file, grid_extent_map_t *extents) {
    extents->clear();
    if (grid_file_seek(file, 0) != 0) {
        return -1;
    }
    uint64_t offset = skip_byte_order_mark(file);
    if (offset == UINT64_MAX) {
        return -1;
    }
    section_collector collector = {extents, false, 0, {0, 0, 0, 0}};
    header_matcher matcher;
    matcher_reset(&matcher);
    bool in_candidate_line = true;  // false: skipping to the next line feed
    uint64_t line_start = offset;
    std::vector<char> piece(READ_PIECE_SIZE);
    size_t got;
    while ((got = fread(piece.data(), 1, piece.size(), file)) > 0) {
        size_t i = 0;
        while (i < got) {
            if (!in_candidate_line) {
                const void *line_feed = memchr(piece.data() + i, '\n', got - i);
                if (line_feed == nullptr) {
                    i = got;
                    break;
                }
                i = static_cast<size_t>(static_cast<const char *>(line_feed) - piece.data()) + 1;
                in_candidate_line = true;
                matcher_reset(&matcher);
                line_start = offset + i;
                continue;
            }
            char c = piece[i++];
            header_verdict verdict = matcher_feed(&matcher, c);
            if (verdict == IS_HEADER) {
                collector_header(&collector, matcher, line_start, offset + i);
            }
            if (verdict == IS_HEADER || (verdict == NOT_HEADER && c == '\n')) {
                matcher_reset(&matcher);
                line_start = offset + i;
            } else if (verdict == NOT_HEADER) {
                in_candidate_line = false;
            }
        }
        offset += got;
    }
    if (ferror(file)) {
        extents->clear();
        return -1;
    }
    if (in_candidate_line && line_start < offset && matcher_finish(matcher) == IS_HEADER) {
        collector_header(&collector, matcher, line_start, offset);
    }
    collector_close_open_grid(&collector, offset, offset);
    return 0;
}

namespace {

// 0 when text[0, length) is exactly one header line; *matcher then holds
// its number.
int match_whole_header(const char *text, size_t length, header_matcher *matcher) {
    matcher_reset(matcher);
    for (size_t i = 0; i < length; ++i) {
        header_verdict verdict = matcher_feed(matcher, text[i]);
        if (verdict == NOT_HEADER) {
            return -1;
        }
        if (verdict == IS_HEADER) {
            return i + 1 == length ? 0 : -1;
        }
    }
    return matcher_finish(*matcher) == IS_HEADER ? 0 : -1;
}

}  // namespace

int rdf_check_header(const char *text, size_t length, int grid) {
    header_matcher matcher;
    if (match_whole_header(text, length, &matcher) != 0) {
        return -1;
    }
    return !matcher.number_too_big && matcher.number == grid ? 0 : -1;
}

int rdf_check_closer(const char *text, size_t length) {
    header_matcher matcher;
    return length == 0 || match_whole_header(text, length, &matcher) == 0 ? 0 : -1;
}
