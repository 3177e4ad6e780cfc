#include "dump_command.h"

#include <stdio.h>
#include <string.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <iostream>
#include <nlohmann/json.hpp>
#include <vector>

#include "index/index_inspection.h"
#include "platlib/platlib.h"

namespace tokenweave_cli {

namespace {

using json = nlohmann::ordered_json;

// Index texts are bytes in whatever encoding the script used. By default
// valid UTF-8 is written as it is and every other byte as a \u00XX escape of
// its value. A byte cannot be told apart from the code point U+00XX inside
// the JSON library, so such bytes travel as private-use stand-ins that are
// turned into escapes once the text is printed.
const unsigned BYTE_STAND_IN_BASE = 0x10FF00;
// Code points of the stand-in range that a script itself holds are escaped
// byte by byte, so they never come back as something else.
const unsigned FIRST_STAND_IN = BYTE_STAND_IN_BASE + 0x80;

bool byte_escapes = false;

void append_code_point(std::string *utf8, unsigned code_point) {
    if (code_point < 0x80) {
        *utf8 += static_cast<char>(code_point);
    } else if (code_point < 0x800) {
        *utf8 += static_cast<char>(0xC0 | (code_point >> 6));
        *utf8 += static_cast<char>(0x80 | (code_point & 0x3F));
    } else if (code_point < 0x10000) {
        *utf8 += static_cast<char>(0xE0 | (code_point >> 12));
        *utf8 += static_cast<char>(0x80 | ((code_point >> 6) & 0x3F));
        *utf8 += static_cast<char>(0x80 | (code_point & 0x3F));
    } else {
        *utf8 += static_cast<char>(0xF0 | (code_point >> 18));
        *utf8 += static_cast<char>(0x80 | ((code_point >> 12) & 0x3F));
        *utf8 += static_cast<char>(0x80 | ((code_point >> 6) & 0x3F));
        *utf8 += static_cast<char>(0x80 | (code_point & 0x3F));
    }
}

// The length of the valid UTF-8 sequence at p (shortest form, no
// surrogates, at most U+10FFFF) and its code point; 0 when there is none.
size_t utf8_sequence(const unsigned char *p, unsigned *code_point) {
    size_t length;
    unsigned value;
    unsigned minimum;
    if (p[0] < 0x80) {
        *code_point = p[0];
        return 1;
    } else if ((p[0] & 0xE0) == 0xC0) {
        length = 2, value = p[0] & 0x1F, minimum = 0x80;
    } else if ((p[0] & 0xF0) == 0xE0) {
        length = 3, value = p[0] & 0x0F, minimum = 0x800;
    } else if ((p[0] & 0xF8) == 0xF0) {
        length = 4, value = p[0] & 0x07, minimum = 0x10000;
    } else {
        return 0;
    }
    for (size_t i = 1; i < length; ++i) {
        if ((p[i] & 0xC0) != 0x80) {
            return 0;
        }
        value = (value << 6) | (p[i] & 0x3F);
    }
    if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
        return 0;
    }
    *code_point = value;
    return length;
}

std::string readable_text(const char *text) {
    std::string utf8;
    const unsigned char *p = reinterpret_cast<const unsigned char *>(text);
    while (*p != '\0') {
        unsigned code_point = 0;
        size_t length = byte_escapes ? 0 : utf8_sequence(p, &code_point);
        if (byte_escapes && *p < 0x80) {
            length = 1;
            code_point = *p;
        }
        if (length > 0 && code_point < FIRST_STAND_IN) {
            append_code_point(&utf8, code_point);
            p += length;
        } else {
            // --byte-escapes: the byte as the code point of the same value,
            // which the ASCII output escapes.
            append_code_point(&utf8, byte_escapes ? *p : BYTE_STAND_IN_BASE + *p);
            ++p;
        }
    }
    return utf8;
}

// The printed JSON with every stand-in turned into the escape of its byte.
std::string with_byte_escapes(const std::string &printed) {
    std::string out;
    out.reserve(printed.size());
    const unsigned char *p = reinterpret_cast<const unsigned char *>(printed.c_str());
    const unsigned char *end = p + printed.size();
    while (p < end) {
        unsigned code_point = 0;
        size_t length = utf8_sequence(p, &code_point);
        if (length == 4 && code_point >= FIRST_STAND_IN) {
            char escape[16];
            snprintf(escape, sizeof escape, "\\u%04x", code_point - BYTE_STAND_IN_BASE);
            out += escape;
            p += length;
        } else {
            out += static_cast<char>(*p);
            ++p;
        }
    }
    return out;
}

json text(const char *value) {
    return value != nullptr ? readable_text(value) : "";
}

json base_name(const char *path) {
    return text(path != nullptr ? os_base_name(path) : nullptr);
}

json dump_files(const correlation_index *index) {
    json files = json::array();
    for (const action_file_t *file : index_files(index)) {
        files.push_back({{"index", file->index},
                         {"key", text(file->key)},
                         {"path", text(file->path)},
                         {"line_count", file->line_count}});
    }
    return files;
}

json dump_occurrence(const token_entry_tag *occurrence) {
    json cell = nullptr;
    if (occurrence->cell != nullptr) {
        cell = {{"grid", occurrence->cell->grid},
                {"row", occurrence->cell->row},
                {"column", occurrence->cell->column}};
    }
    return {{"direction", occurrence->direction},
            {"line", occurrence->line},
            {"file", base_name(occurrence->file)},
            {"call_code", occurrence->call_code},
            {"cell", cell},
            {"grid_repeat", occurrence->grid_repeat}};
}

json dump_tokens(const correlation_index *index) {
    json dumped = json::array();
    for (const token_instances_t *token : index_tokens(index)) {
        json occurrences = json::array();
        for (const token_entry_tag *occurrence : index_occurrences(token)) {
            occurrences.push_back(dump_occurrence(occurrence));
        }
        dumped.push_back({{"value", text(token->value)},
                          {"value_class", token->value_class},
                          {"length", token->length},
                          {"total_count", token->total_count},
                          {"literal_count", token->literal_count},
                          {"grid_count", token->grid_count},
                          {"input_count", token->input_count},
                          {"output_count", token->output_count},
                          {"occurrences", occurrences}});
    }
    return dumped;
}

json dump_locations(const correlation_index *index) {
    json locations = json::array();
    for (const auto &[key, newest] : index_locations(index)) {
        json chain = json::array();
        for (const token_entry_tag *occurrence = newest; occurrence != nullptr;
             occurrence = occurrence->same_handle_previous) {
            chain.push_back({{"value", text(occurrence->value)},
                             {"file", base_name(occurrence->file)},
                             {"line", occurrence->line}});
        }
        locations.push_back({{"key", text(key.c_str())}, {"chain", chain}});
    }
    return locations;
}

json dump_statements(const correlation_index *index) {
    json statements = json::array();
    for (const auto &[key, site] : index_statements(index)) {
        statements.push_back(
            {{"handle", text(key)}, {"file", text(site->file_name)}, {"line", site->line}});
    }
    return statements;
}

int run_dump(const project_options &options) {
    std::unique_ptr<CCorrelationAnalyser> analyser = build_analyser(options);
    if (!analyser) {
        return EXIT_ERROR;
    }
    const correlation_index *index = inspected_index(analyser.get());
    json dump = {{"files", dump_files(index)},
                 {"tokens", dump_tokens(index)},
                 {"locations", dump_locations(index)},
                 {"statements", dump_statements(index)}};
    if (byte_escapes) {
        std::cout << dump.dump(2, ' ', true) << '\n';
    } else {
        std::cout << with_byte_escapes(dump.dump(2, ' ', false)) << '\n';
    }
    std::cout.flush();
    if (!std::cout) {
        report_error("cannot write to standard output");
        return EXIT_ERROR;
    }
    return EXIT_REPORTED;
}

}  // namespace

void add_dump_command(CLI::App *app, project_options *options, int *exit_code) {
    CLI::App *dump = app->add_subcommand(
        "dump", "Build the index of PROJECT and print it as JSON on standard output");
    add_project_options(dump, options, false);
    dump->add_flag("--byte-escapes", byte_escapes,
                   "Write every byte at or above 0x80 as \\u00XX, for tools that compare bytes");
    dump->callback([options, exit_code]() { *exit_code = run_dump(*options); });
}

}  // namespace tokenweave_cli
