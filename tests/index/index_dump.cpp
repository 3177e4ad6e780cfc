#include "index_dump.h"

#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <sstream>

#include "containers/list.h"
#include "hashkit/hashkit.h"
#include "index/index_inspection.h"
#include "platlib/platlib.h"

namespace tw_test {

namespace {

std::string Printable(const char *text) {
    std::string out;
    for (const unsigned char *p = reinterpret_cast<const unsigned char *>(text); *p != '\0'; ++p) {
        if (*p < 0x20 || *p >= 0x7f) {
            char escaped[5];
            snprintf(escaped, sizeof escaped, "\\x%02x", *p);
            out += escaped;
        } else {
            out += static_cast<char>(*p);
        }
    }
    return out;
}

std::string BaseName(const char *path) {
    return path != nullptr ? Printable(os_base_name(path)) : "(null)";
}

// Entries of a table with their keys, in byte order of the keys.
std::vector<std::pair<std::string, void *>> SortedEntries(ht_table *table) {
    std::vector<std::pair<std::string, void *>> entries;
    ht_enumeration *enumeration = ht_enumerate_elements(table);
    while (ht_enum_has_more_elements(enumeration)) {
        const char *key = nullptr;
        void *value = ht_enum_next_entry(enumeration, &key);
        entries.emplace_back(key, value);
    }
    std::sort(entries.begin(), entries.end(), [](const auto &a, const auto &b) {
        return strcmp(a.first.c_str(), b.first.c_str()) < 0;
    });
    return entries;
}

int FilePosition(correlation_index *index, const char *file) {
    for (int i = 0; index->file_paths[i] != nullptr; ++i) {
        if (index->file_paths[i] == file) {
            return i;
        }
    }
    return -1;
}

// Walks a chain from its newest entry. A chain longer than the whole index
// can only be circular, and is cut there.
std::string Chain(const token_entry_tag *newest, int occurrence_total) {
    std::ostringstream out;
    const char *first_file = newest != nullptr ? newest->file : nullptr;
    int steps = 0;
    for (const token_entry_tag *entry = newest; entry != nullptr;
         entry = entry->same_handle_previous) {
        if (++steps > occurrence_total + 1) {
            out << " !circular";
            break;
        }
        out << ' ' << Printable(entry->value) << '@';
        if (entry->file != first_file) {
            out << BaseName(entry->file) << ':';
        }
        out << entry->line;
        if (entry->direction != DIRECTION_INPUT) {
            out << " !!output";  // grid cells are never chained under a handle
        }
    }
    return out.str();
}

void CheckOccurrence(correlation_index *index, const token_instances_t *token,
                     const token_entry_tag *entry, std::ostringstream &problems) {
    std::string what = "!! " + Printable(token->value) + ": ";
    bool literal = entry->cell == nullptr;
    if (entry->value != token->value) {
        problems << what << "occurrence does not point at its token's text\n";
    }
    if (FilePosition(index, entry->file) < 0) {
        problems << what << "file is not an entry of file_paths\n";
    }
    if (entry->recorded_code != entry->call_code || entry->mark != 0 ||
        entry->next_candidate != nullptr || entry->grid_repeat != 0 || entry->reserved != 0) {
        problems << what << "fields not as recorded\n";
    }
    if (entry->source_marker != (literal ? LITERAL_MARKER : GRID_CELL_MARKER) ||
        (!literal && entry->cell->marker != GRID_CELL_MARKER)) {
        problems << what << "wrong marker\n";
    }
    if (entry->direction != (literal ? DIRECTION_INPUT : DIRECTION_OUTPUT)) {
        problems << what << "direction does not match the kind of occurrence\n";
    }
}

void CheckCounters(const token_instances_t *token, int total, int literals, int inputs,
                   std::ostringstream &problems) {
    if (token->total_count != total || token->literal_count != literals ||
        token->grid_count != total - literals || token->input_count != inputs ||
        token->output_count != total - inputs ||
        token->length != static_cast<int>(strlen(token->value)) || token->best_grade != 0.0f ||
        token->capital_count != 0) {
        problems << "!! " << Printable(token->value) << ": counters disagree with " << total
                 << " occurrences\n";
    }
}

std::string TokenLines(correlation_index *index, int *occurrence_total,
                       std::ostringstream &problems) {
    std::ostringstream out;
    for (const auto &[key, value] : SortedEntries(index->token_table)) {
        const token_instances_t *token = static_cast<const token_instances_t *>(value);
        if (key != token->value) {
            problems << "!! " << Printable(key.c_str()) << ": filed under another key\n";
        }
        int total = 0, literals = 0, inputs = 0;
        int last_file = -1, last_line = -1;
        const list_node *last_node = nullptr;
        for (const list_node *node = *token->occurrences; node != nullptr; node = node->next) {
            const token_entry_tag *entry = static_cast<const token_entry_tag *>(node->data);
            ++total;
            literals += entry->cell == nullptr ? 1 : 0;
            inputs += entry->direction == DIRECTION_INPUT ? 1 : 0;
            out << Printable(token->value)
                << (entry->direction == DIRECTION_INPUT ? " in " : " out ") << BaseName(entry->file)
                << ':' << entry->line << ' ' << entry->call_code;
            if (entry->cell != nullptr) {
                out << " [" << entry->cell->grid << ',' << entry->cell->row << ','
                    << entry->cell->column << ']';
            }
            out << '\n';
            CheckOccurrence(index, token, entry, problems);
            int file = FilePosition(index, entry->file);
            if (file < last_file || (file == last_file && entry->line < last_line)) {
                problems << "!! " << Printable(token->value) << ": out of project order\n";
            }
            last_file = file;
            last_line = entry->line;
            last_node = node;
        }
        if (last_node != *token->last_position) {
            problems << "!! " << Printable(token->value) << ": append point is not the last\n";
        }
        CheckCounters(token, total, literals, inputs, problems);
        *occurrence_total += total;
    }
    return out.str();
}

std::string ChainSection(const char *header, ht_table *table, int occurrence_total) {
    std::ostringstream out;
    for (const auto &[key, value] : SortedEntries(table)) {
        out << Printable(key.c_str()) << ':'
            << Chain(static_cast<const token_entry_tag *>(value), occurrence_total) << '\n';
    }
    std::string lines = out.str();
    return lines.empty() ? lines : std::string("-- ") + header + "\n" + lines;
}

std::string LocationSection(correlation_index *index, int occurrence_total) {
    std::ostringstream out;
    for (const auto &[key, newest] : index_locations(index)) {
        out << Printable(key.c_str()) << ':' << Chain(newest, occurrence_total) << '\n';
    }
    std::string lines = out.str();
    return lines.empty() ? lines : "-- locations\n" + lines;
}

std::string StatementSection(correlation_index *index) {
    std::ostringstream out;
    for (const auto &[key, value] : SortedEntries(index->statement_table)) {
        const statement_site_t *site = static_cast<const statement_site_t *>(value);
        out << Printable(key.c_str()) << ' ' << Printable(site->file_name) << ':' << site->line
            << '\n';
    }
    std::string lines = out.str();
    return lines.empty() ? lines : "-- statements\n" + lines;
}

}  // namespace

std::string DumpOccurrences(correlation_index *index) {
    std::ostringstream problems;
    int occurrence_total = 0;
    std::string lines = TokenLines(index, &occurrence_total, problems);
    return lines + problems.str();
}

std::string DumpIndex(correlation_index *index) {
    std::ostringstream problems;
    int occurrence_total = 0;
    std::string lines = TokenLines(index, &occurrence_total, problems);
    return lines + problems.str() + LocationSection(index, occurrence_total) +
           StatementSection(index) + ChainSection("pending", index->handle_table, occurrence_total);
}

std::string DumpFiles(correlation_index *index, const std::string &directory) {
    std::ostringstream out;
    for (int i = 0; index->file_paths[i] != nullptr; ++i) {
        const char *path = index->file_paths[i];
        const action_file_t *file = find_action_file(index, path);
        if (file == nullptr) {
            out << "!! " << Printable(path) << " is not in file_table\n";
            continue;
        }
        std::string name = path;
        if (name.compare(0, directory.size() + 1, directory + "/") == 0) {
            name = name.substr(directory.size() + 1);
        }
        out << file->index << ' ' << Printable(file->key) << ' ' << Printable(name.c_str())
            << " lines=" << file->line_count << '\n';
        if (file->index != i || strcmp(file->path, path) != 0) {
            out << "!! " << Printable(path) << ": record does not match its position\n";
        }
    }
    return out.str();
}

std::string DumpOfScript(const std::string &text, const BuildOptions &options) {
    TestProject project;
    project.add_action("a.c", text);
    if (project.build_index(options) != 0) {
        return "!! BuildIndex failed\n";
    }
    return DumpIndex(project.index());
}

}  // namespace tw_test
