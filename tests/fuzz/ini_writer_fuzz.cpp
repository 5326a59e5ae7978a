// Fuzzing the initialisation-file update with its property: after setting a key, the key reads back
// as written, and every other line of the text is kept byte for byte: the update changes one line,
// or inserts the key line, or appends the section (a blank line, its header and the key line).
// Input: section, key and value, each ended by a zero byte, then the text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "platform/posix/ini_text.h"

namespace {

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

bool has_edge_blanks(std::string_view text) {
    return !text.empty() && (is_blank(text.front()) || is_blank(text.back()));
}

bool has_line_break(std::string_view text) {
    return text.find_first_of("\r\n") != std::string_view::npos;
}

// Names the reader can find again: no line break or blanks at the ends; a key that is no header,
// comment or key line of its own; a section that its header can hold.
bool is_plain_section(std::string_view section) {
    return !has_line_break(section) && !has_edge_blanks(section) &&
           section.find(']') == std::string_view::npos;
}

bool is_plain_key(std::string_view key) {
    return !key.empty() && !has_line_break(key) && !has_edge_blanks(key) &&
           key.find('=') == std::string_view::npos && key.front() != '[' && key.front() != ';' &&
           key.front() != '#';
}

// A value the reader gives back unchanged: not trimmed, not unquoted, not cut.
bool is_plain_value(std::string_view value) {
    return !has_line_break(value) && !has_edge_blanks(value) && value.size() <= INI_VALUE_LIMIT &&
           (value.empty() || (value.front() != '"' && value.front() != '\''));
}

// The lines of a text, split at each "\n" and without it.
std::vector<std::string_view> lines_of(std::string_view text) {
    std::vector<std::string_view> lines;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t newline = text.find('\n', at);
        const std::size_t end = newline == std::string_view::npos ? text.size() : newline;
        lines.push_back(text.substr(at, end - at));
        at = end + 1;
    }
    return lines;
}

// Checks that `after` is `before` with one line changed, or up to three lines added in one place.
// A last line without a line break gets one, "\n" or "\r\n" as the text uses: its bytes stay.
// A leading byte-order mark is no part of a line: it stays first, before whatever comes first.
void check_other_lines_kept(std::string_view before, std::string_view after) {
    constexpr std::string_view BYTE_ORDER_MARK = "\xEF\xBB\xBF";
    if (before.substr(0, BYTE_ORDER_MARK.size()) == BYTE_ORDER_MARK) {
        if (after.substr(0, BYTE_ORDER_MARK.size()) != BYTE_ORDER_MARK) {
            std::abort();
        }
        before.remove_prefix(BYTE_ORDER_MARK.size());
        after.remove_prefix(BYTE_ORDER_MARK.size());
    }
    const std::vector<std::string_view> old_lines = lines_of(before);
    const std::vector<std::string_view> new_lines = lines_of(after);
    const bool open_end = !before.empty() && before.back() != '\n';
    const auto same = [&](std::size_t old_index, std::size_t new_index) {
        const std::string_view old_line = old_lines[old_index];
        const std::string_view new_line = new_lines[new_index];
        if (old_line == new_line) {
            return true;
        }
        return open_end && old_index + 1 == old_lines.size() &&
               new_line.size() == old_line.size() + 1 && new_line.back() == '\r' &&
               new_line.substr(0, old_line.size()) == old_line;
    };
    std::size_t same_start = 0;
    while (same_start < old_lines.size() && same_start < new_lines.size() &&
           same(same_start, same_start)) {
        ++same_start;
    }
    std::size_t same_end = 0;
    while (same_end < old_lines.size() - same_start && same_end < new_lines.size() - same_start &&
           same(old_lines.size() - 1 - same_end, new_lines.size() - 1 - same_end)) {
        ++same_end;
    }
    const std::size_t old_changed = old_lines.size() - same_start - same_end;
    const std::size_t new_changed = new_lines.size() - same_start - same_end;
    if (old_changed > 1 || (old_changed == 1 && new_changed != 1) || new_changed > 3) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view input(reinterpret_cast<const char*>(data), size);
    std::string_view parts[3];
    for (std::string_view& part : parts) {
        const std::size_t end = input.find('\0');
        if (end == std::string_view::npos) {
            return 0;
        }
        part = input.substr(0, end);
        input.remove_prefix(end + 1);
    }
    const std::string_view section = parts[0];
    const std::string_view key = parts[1];
    const std::string_view value = parts[2];
    const std::string_view text = input;

    const std::string after = ini_set(text, section, key, value);
    if (!is_plain_section(section) || !is_plain_key(key) || !is_plain_value(value)) {
        return 0;  // the update must still not fail; what reads back follows the reader's rules
    }
    std::string read_back;
    if (!ini_find(after, section, key, &read_back) || read_back != value) {
        std::abort();
    }
    check_other_lines_kept(text, after);
    return 0;
}
