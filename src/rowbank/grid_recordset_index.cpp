#include "rowbank/grid_recordset_index.h"

#include <limits.h>
#include <string.h>

#include <utility>
#include <vector>

#include "platlib/text.h"
#include "rowbank/grid_header_matcher.h"

namespace {

constexpr size_t READ_PIECE_SIZE = 64 * 1024;
constexpr char HEADER_WORD[] = "RECORDSET";
constexpr char COMMENT_OPENER[] = "/*";
constexpr char COMMENT_CLOSER[] = "*/";
constexpr size_t COMMENT_MARK_LENGTH = 2;

// "RECORDSET N" at the start of a comment.
const header_shape RECORDSET_HEADER = {'\0', '\0', HEADER_WORD, true, false};

// Where the lexer is in the C text.
enum lexer_state {
    CODE,
    AFTER_SLASH,
    LINE_COMMENT,
    LINE_COMMENT_ESCAPE,
    BLOCK_COMMENT,
    BLOCK_COMMENT_STAR,
    STRING_LITERAL,
    STRING_ESCAPE,
    CHAR_LITERAL,
    CHAR_ESCAPE
};

struct comment_lexer {
    lexer_state state;
    grid_extent_map_t *extents;
    // The block comment being read.
    uint64_t comment_start;
    header_matcher matcher;
    header_verdict verdict;
    uint64_t text_begin;
};

// Files the comment that ended at text_end (followed by its closer, when
// closed).
void lexer_record(comment_lexer *lexer, uint64_t text_end, bool closed) {
    if (lexer->verdict == HEADER_UNDECIDED && header_matcher_finish(lexer->matcher) == IS_HEADER) {
        lexer->verdict = IS_HEADER;
        lexer->text_begin = text_end;
    }
    if (lexer->verdict == IS_HEADER) {
        uint64_t close_end = closed ? text_end + COMMENT_MARK_LENGTH : text_end;
        grid_extent_t extent = {lexer->comment_start, lexer->text_begin, text_end, close_end};
        lexer->extents->emplace(static_cast<int>(lexer->matcher.number), extent);
    }
}

// Feeds one byte of comment text, at offset, to the header matcher until it
// has decided.
void lexer_comment_text(comment_lexer *lexer, char c, uint64_t offset) {
    if (lexer->verdict != HEADER_UNDECIDED) {
        return;
    }
    lexer->verdict = header_matcher_feed(&lexer->matcher, c);
    if (lexer->verdict == IS_HEADER) {
        lexer->text_begin = offset;
    }
}

void lexer_feed(comment_lexer *lexer, char c, uint64_t offset) {
    switch (lexer->state) {
        case AFTER_SLASH:
            if (c == '*') {
                lexer->state = BLOCK_COMMENT;
                lexer->comment_start = offset - 1;
                header_matcher_reset(&lexer->matcher, &RECORDSET_HEADER);
                lexer->verdict = HEADER_UNDECIDED;
                return;
            }
            if (c == '/') {
                lexer->state = LINE_COMMENT;
                return;
            }
            lexer->state = CODE;
            [[fallthrough]];
        case CODE:
            if (c == '/') {
                lexer->state = AFTER_SLASH;
            }
            if (c == '"') {
                lexer->state = STRING_LITERAL;
            }
            if (c == '\'') {
                lexer->state = CHAR_LITERAL;
            }
            return;
        case LINE_COMMENT:
            if (c == '\\') {
                lexer->state = LINE_COMMENT_ESCAPE;
            }
            if (c == '\n') {
                lexer->state = CODE;
            }
            return;
        case LINE_COMMENT_ESCAPE:
            // A backslash before the line break continues the comment.
            if (c != '\r' && c != '\\') {
                lexer->state = LINE_COMMENT;
            }
            return;
        case BLOCK_COMMENT:
            if (c == '*') {
                lexer->state = BLOCK_COMMENT_STAR;
                return;
            }
            lexer_comment_text(lexer, c, offset);
            return;
        case BLOCK_COMMENT_STAR:
            if (c == '/') {
                lexer_record(lexer, offset - 1, true);
                lexer->state = CODE;
                return;
            }
            lexer_comment_text(lexer, '*', offset - 1);
            if (c != '*') {
                lexer->state = BLOCK_COMMENT;
                lexer_comment_text(lexer, c, offset);
            }
            return;
        case STRING_LITERAL:
        case CHAR_LITERAL: {
            char quote = lexer->state == STRING_LITERAL ? '"' : '\'';
            if (c == '\\') {
                lexer->state = lexer->state == STRING_LITERAL ? STRING_ESCAPE : CHAR_ESCAPE;
            } else if (c == quote || c == '\n') {
                // An unclosed literal ends with its line, as a compiler
                // would have it, so it cannot hide the rest of the file.
                lexer->state = CODE;
            }
            return;
        }
        case STRING_ESCAPE:
            lexer->state = STRING_LITERAL;
            return;
        case CHAR_ESCAPE:
            lexer->state = CHAR_LITERAL;
            return;
    }
}

// Bytes that can change what the lexer does in each state it may skip in;
// every other byte there leaves it as it is.
struct inert_bytes {
    bool stops[CHAR_ESCAPE + 1][UCHAR_MAX + 1];

    inert_bytes() : stops() {
        const std::pair<lexer_state, const char *> stop_sets[] = {
            {CODE, "/\"'"},          {LINE_COMMENT, "\\\n"},
            {BLOCK_COMMENT, "*"},    {STRING_LITERAL, "\\\"\n"},
            {CHAR_LITERAL, "\\'\n"},
        };
        for (const auto &[state, bytes] : stop_sets) {
            for (const char *c = bytes; *c != '\0'; ++c) {
                stops[state][static_cast<unsigned char>(*c)] = true;
            }
        }
    }
};

const inert_bytes INERT_BYTES;

// Whether the lexer can pass over bytes without looking at each: in a
// block comment only once the header matcher has decided.
bool skips_inert_bytes(const comment_lexer &lexer) {
    switch (lexer.state) {
        case CODE:
        case LINE_COMMENT:
        case STRING_LITERAL:
        case CHAR_LITERAL:
            return true;
        case BLOCK_COMMENT:
            return lexer.verdict != HEADER_UNDECIDED;
        default:
            return false;
    }
}

// Feeds text[0, length) at offset; most of an action file is code and
// literals the lexer only passes over, so it jumps to the next byte that
// matters.
void lexer_feed_piece(comment_lexer *lexer, const char *text, size_t length, uint64_t offset) {
    size_t i = 0;
    while (i < length) {
        if (skips_inert_bytes(*lexer)) {
            const bool *stops = INERT_BYTES.stops[lexer->state];
            while (i < length && !stops[static_cast<unsigned char>(text[i])]) {
                ++i;
            }
            if (i == length) {
                return;
            }
        }
        lexer_feed(lexer, text[i], offset + i);
        ++i;
    }
}

}  // namespace

int recordset_index_comments(FILE *file, grid_extent_map_t *extents) {
    extents->clear();
    if (grid_file_seek(file, 0) != 0) {
        return -1;
    }
    comment_lexer lexer = {};
    lexer.state = CODE;
    lexer.extents = extents;
    std::vector<char> piece(READ_PIECE_SIZE);
    uint64_t offset = 0;
    size_t got;
    while ((got = fread(piece.data(), 1, piece.size(), file)) > 0) {
        lexer_feed_piece(&lexer, piece.data(), got, offset);
        offset += got;
    }
    if (ferror(file)) {
        extents->clear();
        return -1;
    }
    if (lexer.state == BLOCK_COMMENT || lexer.state == BLOCK_COMMENT_STAR) {
        if (lexer.state == BLOCK_COMMENT_STAR) {
            lexer_comment_text(&lexer, '*', offset - 1);
        }
        lexer_record(&lexer, offset, false);
    }
    return 0;
}

int recordset_check_header(const char *text, size_t length, int grid) {
    if (length < COMMENT_MARK_LENGTH || memcmp(text, COMMENT_OPENER, COMMENT_MARK_LENGTH) != 0) {
        return -1;
    }
    header_matcher matcher;
    header_matcher_reset(&matcher, &RECORDSET_HEADER);
    for (size_t i = COMMENT_MARK_LENGTH; i < length; ++i) {
        if (header_matcher_feed(&matcher, text[i]) != HEADER_UNDECIDED) {
            return -1;
        }
    }
    return header_matcher_finish(matcher) == IS_HEADER && matcher.number == grid ? 0 : -1;
}

int recordset_check_closer(const char *text, size_t length) {
    bool closer = length == COMMENT_MARK_LENGTH && memcmp(text, COMMENT_CLOSER, length) == 0;
    return length == 0 || closer ? 0 : -1;
}
