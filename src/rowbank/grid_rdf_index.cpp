#include "rowbank/grid_rdf_index.h"

#include <limits.h>
#include <string.h>

#include <vector>

#include "rowbank/grid_header_matcher.h"

namespace {

constexpr size_t READ_PIECE_SIZE = 64 * 1024;
constexpr char HEADER_WORD[] = "grid";
// Editors on Windows like to start UTF-8 files with a byte-order mark.
constexpr char UTF8_BOM[] = "\xEF\xBB\xBF";
constexpr size_t UTF8_BOM_LENGTH = sizeof UTF8_BOM - 1;

// "[grid N]" alone on its line.
const header_shape GRID_HEADER = {'[', ']', HEADER_WORD, false, true};

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
    header_matcher_reset(&matcher, &GRID_HEADER);
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
                header_matcher_reset(&matcher, &GRID_HEADER);
                line_start = offset + i;
                continue;
            }
            char c = piece[i++];
            header_verdict verdict = header_matcher_feed(&matcher, c);
            if (verdict == IS_HEADER) {
                collector_header(&collector, matcher, line_start, offset + i);
            }
            if (verdict == IS_HEADER || (verdict == NOT_HEADER && c == '\n')) {
                header_matcher_reset(&matcher, &GRID_HEADER);
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
    if (in_candidate_line && line_start < offset && header_matcher_finish(matcher) == IS_HEADER) {
        collector_header(&collector, matcher, line_start, offset);
    }
    collector_close_open_grid(&collector, offset, offset);
    return 0;
}

namespace {

// 0 when text[0, length) is exactly one header line; *matcher then holds
// its number.
int match_whole_header(const char *text, size_t length, header_matcher *matcher) {
    header_matcher_reset(matcher, &GRID_HEADER);
    for (size_t i = 0; i < length; ++i) {
        header_verdict verdict = header_matcher_feed(matcher, text[i]);
        if (verdict == NOT_HEADER) {
            return -1;
        }
        if (verdict == IS_HEADER) {
            return i + 1 == length ? 0 : -1;
        }
    }
    return header_matcher_finish(*matcher) == IS_HEADER ? 0 : -1;
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
