#include "platform/grid_recordset_index.h"

#include <limits.h>
#include <string.h>

#include <vector>

namespace {

constexpr size_t READ_PIECE_SIZE = 64 * 1024;
constexpr char HEADER_WORD[] = "RECORDSET";
constexpr size_t HEADER_WORD_LENGTH = sizeof HEADER_WORD - 1;
constexpr char COMMENT_OPENER[] = "/*";
constexpr char COMMENT_CLOSER[] = "*/";
constexpr size_t COMMENT_MARK_LENGTH = 2;

enum header_state { BEFORE_WORD, IN_WORD, AFTER_WORD, BETWEEN, IN_NUMBER };
enum header_verdict { HEADER_UNDECIDED, NOT_HEADER, IS_HEADER };

// Decides, one byte of comment text at a time, whether a comment announces a
// recordset. The "*/" that closes the comment is never fed to it.
struct header_matcher {
    header_state state;
    size_t word_matched;
    long long number;
};

bool is_blank(char c) {
    return c == ' ' || c == '\t';
}
bool is_digit(char c) {
    return c >= '0' && c <= '9';
}
bool is_space(char c) {
    return is_blank(c) || c == '\r' || c == '\n';
}

void matcher_reset(header_matcher *m) {
    m->state = BEFORE_WORD;
    m->word_matched = 0;
    m->number = 0;
}

header_verdict matcher_feed(header_matcher *m, char c) {
    switch (m->state) {
        case BEFORE_WORD:
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
            if (!is_blank(c)) {
                return NOT_HEADER;
            }
            m->state = BETWEEN;
            return HEADER_UNDECIDED;
        case BETWEEN:
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
                m->number = m->number * 10 + (c - '0');
                return m->number > INT_MAX ? NOT_HEADER : HEADER_UNDECIDED;
            }
            return is_space(c) ? IS_HEADER : NOT_HEADER;
    }
    return NOT_HEADER;
}

// The verdict when the comment (or the text given) ends here.
header_verdict matcher_finish(const header_matcher &m) {
    return m.state == IN_NUMBER ? IS_HEADER : NOT_HEADER;
}

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
    if (lexer->verdict == HEADER_UNDECIDED && matcher_finish(lexer->matcher) == IS_HEADER) {
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
    lexer->verdict = matcher_feed(&lexer->matcher, c);
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
                matcher_reset(&lexer->matcher);
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
        for (size_t i = 0; i < got; ++i) {
            lexer_feed(&lexer, piece[i], offset + i);
        }
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
    matcher_reset(&matcher);
    for (size_t i = COMMENT_MARK_LENGTH; i < length; ++i) {
        if (matcher_feed(&matcher, text[i]) != HEADER_UNDECIDED) {
            return -1;
        }
    }
    return matcher_finish(matcher) == IS_HEADER && matcher.number == grid ? 0 : -1;
}

int recordset_check_closer(const char *text, size_t length) {
    bool closer = length == COMMENT_MARK_LENGTH && memcmp(text, COMMENT_CLOSER, length) == 0;
    return length == 0 || closer ? 0 : -1;
}
