// Writes one key into a profile (INI) file, all four pieces from the input:
// file text, section, key and value, separated by fuzz::PIECE_SEPARATOR.
//
// Properties: a write of names and a value that can be read back succeeds;
// after it, reading the key gives the value as a reader sees it (blanks
// around it trimmed, one pair of enclosing quotes dropped); and the file
// differs from the old one only in the written entry, a new section header
// for it, and a line break closing an unterminated last line: every other
// line is byte for byte unchanged.

#include <string.h>

#include <string>
#include <vector>

#include "fuzz_support.h"
#include "port/winapi.h"

namespace {

const size_t INPUT_CAP = 4 * 1024;
const DWORD READ_BUFFER_SIZE = 2 * INPUT_CAP;
const char MISSING[] = "\x01missing";

bool is_blank(char c) {
    return c == ' ' || c == '\t';
}

std::string trimmed(const std::string &text) {
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && is_blank(text[begin])) {
        ++begin;
    }
    while (end > begin && is_blank(text[end - 1])) {
        --end;
    }
    return text.substr(begin, end - begin);
}

std::string as_read(const std::string &value) {
    std::string text = trimmed(value);
    if (text.size() >= 2 && (text[0] == '"' || text[0] == '\'') && text.back() == text[0]) {
        return text.substr(1, text.size() - 2);
    }
    return text;
}

bool has_line_break(const std::string &text) {
    return text.find_first_of("\r\n") != std::string::npos;
}

// Names and values that the reader can find again as written.
bool readable_back(const std::string &section, const std::string &key, const std::string &value) {
    if (has_line_break(section) || has_line_break(key) || has_line_break(value)) {
        return false;
    }
    std::string name = trimmed(key);
    return !name.empty() && name.find('=') == std::string::npos && name[0] != ';' && name[0] != '[';
}

// Lines with their line breaks; the last may have none.
std::vector<std::string> lines_of(const std::string &text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t newline = text.find('\n', start);
        size_t end = newline == std::string::npos ? text.size() : newline + 1;
        lines.push_back(text.substr(start, end - start));
        start = end;
    }
    return lines;
}

std::string without_break(const std::string &line) {
    size_t end = line.size();
    if (end > 0 && line[end - 1] == '\n') {
        --end;
        if (end > 0 && line[end - 1] == '\r') {
            --end;
        }
    }
    return line.substr(0, end);
}

bool is_header_of(const std::string &line, const std::string &section) {
    return without_break(line) == "[" + trimmed(section) + "]";
}

bool is_entry_of(const std::string &line, const std::string &key) {
    std::string content = without_break(line);
    size_t equals = content.find('=');
    if (equals == std::string::npos) {
        return false;
    }
    std::string name = trimmed(content.substr(0, equals));
    std::string wanted = trimmed(key);
    return strcasecmp(name.c_str(), wanted.c_str()) == 0;
}

void check_only_entry_changed(const std::string &before, const std::string &after,
                              const std::string &section, const std::string &key) {
    std::vector<std::string> old_lines = lines_of(before);
    std::vector<std::string> new_lines = lines_of(after);
    size_t prefix = 0;
    while (prefix < old_lines.size() && prefix < new_lines.size() &&
           old_lines[prefix] == new_lines[prefix]) {
        ++prefix;
    }
    size_t suffix = 0;
    while (suffix < old_lines.size() - prefix && suffix < new_lines.size() - prefix &&
           old_lines[old_lines.size() - 1 - suffix] == new_lines[new_lines.size() - 1 - suffix]) {
        ++suffix;
    }
    std::vector<std::string> removed(old_lines.begin() + prefix, old_lines.end() - suffix);
    std::vector<std::string> added(new_lines.begin() + prefix, new_lines.end() - suffix);
    std::string detail = "before:\n" + before + "\nafter:\n" + after;
    if (removed.size() > 1) {
        fuzz::property_failed("more than one line changed", detail);
    }
    size_t next_added = 0;
    if (removed.size() == 1 && !is_entry_of(removed[0], key)) {
        // Only an unterminated last line may change, and only by gaining a
        // line break.
        const std::string &old_line = removed[0];
        std::string gained = added.empty() || added[0].compare(0, old_line.size(), old_line) != 0
                                 ? std::string()
                                 : added[0].substr(old_line.size());
        bool closed =
            suffix == 0 && old_line.back() != '\n' && (gained == "\n" || gained == "\r\n");
        if (!closed) {
            fuzz::property_failed("a line other than the entry changed", detail);
        }
        next_added = 1;
    }
    for (; next_added < added.size(); ++next_added) {
        const std::string &line = added[next_added];
        if (!is_entry_of(line, key) && !is_header_of(line, section)) {
            fuzz::property_failed("a line other than the entry or its header was added", detail);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size > INPUT_CAP) {
        return 0;
    }
    std::vector<std::string> pieces = fuzz::split_input(data, size, 4);
    const std::string &before = pieces[0];
    std::string section = fuzz::c_text(pieces[1]);
    std::string key = fuzz::c_text(pieces[2]);
    std::string value = fuzz::c_text(pieces[3]);
    std::string path = fuzz::scratch_file("profile.ini");
    fuzz::write_file(path, before);

    BOOL written =
        WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(), path.c_str());
    std::string after = fuzz::read_file(path);
    if (!readable_back(section, key, value)) {
        if (!written && after != before) {
            fuzz::property_failed("a refused write changed the file", key);
        }
        return 0;
    }
    if (!written) {
        fuzz::property_failed("a readable entry was refused", section + " / " + key);
    }
    std::vector<char> buffer(READ_BUFFER_SIZE);
    GetPrivateProfileStringA(section.c_str(), key.c_str(), MISSING, buffer.data(), READ_BUFFER_SIZE,
                             path.c_str());
    if (std::string(buffer.data()) != as_read(value)) {
        fuzz::property_failed("the key does not read back as written",
                              "[" + section + "] " + key + " = <" + value + "> read <" +
                                  buffer.data() + ">\nfile:\n" + after);
    }
    check_only_entry_changed(before, after, section, key);
    return 0;
}
