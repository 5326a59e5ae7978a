// The initialisation-file format as text: a line scanner shared by the lookup and the update.
// Plain C++17, no OS header.
#include "platform/posix/ini_text.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace {

enum class LineKind { header, key, other };

// One line of the text as the scanner sees it. `start`/`end` bound the line without its line break;
// `next` is where the following line begins.
struct Line {
    LineKind kind = LineKind::other;
    std::size_t start = 0;
    std::size_t end = 0;
    std::size_t next = 0;
    std::string_view name;   // the section of a header, the key of a key line
    std::string_view value;  // a key line's value, trimmed, quotes still on
};

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

std::string_view trim(std::string_view text) {
    while (!text.empty() && is_blank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && is_blank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool same_name(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (lower(a[i]) != lower(b[i])) {
            return false;
        }
    }
    return true;
}

// Classifies one line. Comment lines (';' or '#') and lines without '=' are "other": they are kept
// as they stand and never match a key.
Line scan_line(std::string_view text, std::size_t start) {
    Line line;
    line.start = start;
    const std::size_t newline = text.find('\n', start);
    line.end = newline == std::string_view::npos ? text.size() : newline;
    line.next = newline == std::string_view::npos ? text.size() : newline + 1;
    if (line.end > start && text[line.end - 1] == '\r') {
        --line.end;  // a CRLF line ends before its carriage return
    }
    const std::string_view body = trim(text.substr(start, line.end - start));
    if (body.empty() || body.front() == ';' || body.front() == '#') {
        return line;
    }
    if (body.front() == '[') {
        const std::size_t close = body.rfind(']');
        if (close != std::string_view::npos) {
            line.kind = LineKind::header;
            line.name = trim(body.substr(1, close - 1));
        }
        return line;
    }
    const std::size_t equals = body.find('=');
    if (equals == std::string_view::npos) {
        return line;
    }
    const std::string_view key = trim(body.substr(0, equals));
    if (key.empty()) {
        return line;
    }
    line.kind = LineKind::key;
    line.name = key;
    line.value = trim(body.substr(equals + 1));
    return line;
}

// A UTF-8 byte-order mark that some editors put before the first line; it is kept but not read.
constexpr std::string_view BYTE_ORDER_MARK = "\xEF\xBB\xBF";

// Where the first line begins: after a leading byte-order mark.
std::size_t first_line(std::string_view text) {
    return text.substr(0, BYTE_ORDER_MARK.size()) == BYTE_ORDER_MARK ? BYTE_ORDER_MARK.size() : 0;
}

// Returns the value with a matching pair of enclosing quotes removed.
std::string_view unquote(std::string_view value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        return value.substr(1, value.size() - 2);
    }
    return value;
}

bool is_blank_line(std::string_view text, const Line& line) {
    return trim(text.substr(line.start, line.end - line.start)).empty();
}

// Where a key lives, or would go, found in one pass over the lines without keeping them, so that
// the memory needed does not grow with the number of lines.
struct Place {
    bool has_key = false;  // the key's first occurrence in a matching section
    Line key_line;
    bool has_section = false;  // the section occurs
    Line insert_after;         // the last key line (or the header) of its first occurrence
    bool has_lines = false;
    Line last_line;  // the text's last line
};

// Scans the text for the key. With `first_match_only`, stops at the key's first occurrence, which
// is all a lookup needs; otherwise reads to the end for the place an update needs.
Place locate(std::string_view text, std::string_view section, std::string_view key,
             bool first_match_only) {
    Place place;
    bool in_section = false;
    bool in_first_occurrence = false;
    for (std::size_t at = first_line(text); at < text.size();) {
        const Line line = scan_line(text, at);
        at = line.next;
        place.has_lines = true;
        place.last_line = line;
        if (line.kind == LineKind::header) {
            in_section = same_name(line.name, section);
            in_first_occurrence = in_section && !place.has_section;
            if (in_first_occurrence) {
                place.has_section = true;
                place.insert_after = line;
            }
            continue;
        }
        if (!in_section || line.kind != LineKind::key) {
            continue;
        }
        if (in_first_occurrence) {
            place.insert_after = line;
        }
        if (!place.has_key && same_name(line.name, key)) {
            place.has_key = true;
            place.key_line = line;
            if (first_match_only) {
                return place;
            }
        }
    }
    return place;
}

}  // namespace

bool ini_find(std::string_view text, std::string_view section, std::string_view key,
              std::string* value) {
    const Place place = locate(text, section, key, true);
    if (!place.has_key) {
        return false;
    }
    const std::string_view found = unquote(place.key_line.value);
    value->assign(found.substr(0, INI_VALUE_LIMIT));
    return true;
}

std::string ini_set(std::string_view text, std::string_view section, std::string_view key,
                    std::string_view value) {
    const std::size_t line_break = value.find_first_of("\r\n");
    if (line_break != std::string_view::npos) {
        value = value.substr(0, line_break);
    }
    const std::string_view eol = text.find("\r\n") != std::string_view::npos ? "\r\n" : "\n";
    const Place place = locate(text, section, key, false);

    std::string result;
    result.reserve(text.size() + key.size() + value.size() + section.size() + 8);
    if (place.has_key) {
        // Keep the line's indentation and the key as it was written; only the value changes.
        const Line& line = place.key_line;
        const auto key_start = static_cast<std::size_t>(line.name.data() - text.data());
        result.append(text.substr(0, key_start));
        result.append(line.name);
        result.push_back('=');
        result.append(value);
        result.append(text.substr(line.end));
        return result;
    }
    if (place.has_section) {
        const Line& after = place.insert_after;
        result.append(text.substr(0, after.next));
        if (after.next == text.size() && text.back() != '\n') {  // no final line break
            result.append(eol);
        }
        result.append(key);
        result.push_back('=');
        result.append(value);
        result.append(eol);
        result.append(text.substr(after.next));
        return result;
    }
    result.append(text);
    if (place.has_lines && result.back() != '\n') {
        result.append(eol);
    }
    if (place.has_lines && !is_blank_line(text, place.last_line)) {
        result.append(eol);  // a blank line before the new section
    }
    result.push_back('[');
    result.append(section);
    result.push_back(']');
    result.append(eol);
    result.append(key);
    result.push_back('=');
    result.append(value);
    result.append(eol);
    return result;
}
