#include "platform/settings_ini_format.h"

#include <cstdint>

namespace tunescrib {
namespace {

constexpr std::string_view byteArrayPrefix = "@ByteArray(";
constexpr std::string_view byteArraySuffix = ")";
constexpr std::string_view hexDigits = "0123456789abcdef";

bool isHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    return (c >= 'a' && c <= 'f') ? c - 'a' + 10 : c - 'A' + 10;
}

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && isBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && isBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i])) {
            return false;
        }
    }
    return true;
}

// One logical line: a backslash right before a line break joins the next physical line.
struct Line {
    std::size_t begin = 0;
    std::size_t next = 0; // where the following line begins
    std::string content;  // without breaks and joining backslashes
};

Line lineAt(std::string_view text, std::size_t begin) {
    Line line{begin, text.size(), {}};
    const auto breakLength = [&](std::size_t at) -> std::size_t {
        if (at >= text.size() || (text[at] != '\n' && text[at] != '\r')) {
            return 0;
        }
        return text.compare(at, 2, "\r\n") == 0 ? 2 : 1;
    };
    std::size_t i = begin;
    while (i < text.size()) {
        if (text[i] == '\\' && breakLength(i + 1) > 0) {
            i += 1 + breakLength(i + 1);
        } else if (const std::size_t length = breakLength(i); length > 0) {
            line.next = i + length;
            break;
        } else {
            // An escaped character is taken whole, so "\\" never joins lines.
            const std::size_t taken = text[i] == '\\' && i + 1 < text.size() ? 2 : 1;
            line.content.append(text.substr(i, taken));
            i += taken;
        }
    }
    return line;
}

// Keys escape every byte but letters, digits, '-', '_' and '.' as %XX.
std::string escapedKey(std::string_view key) {
    std::string escaped;
    for (const char c : key) {
        const auto byte = static_cast<unsigned char>(c);
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
            c == '-' || c == '_' || c == '.') {
            escaped += c;
        } else {
            escaped += '%';
            escaped += static_cast<char>("0123456789ABCDEF"[byte >> 4]);
            escaped += static_cast<char>("0123456789ABCDEF"[byte & 0xF]);
        }
    }
    return escaped;
}

std::string unescapedKey(std::string_view key) {
    std::string plain;
    for (std::size_t i = 0; i < key.size(); ++i) {
        if (key[i] == '%' && i + 2 < key.size() && isHexDigit(key[i + 1]) &&
            isHexDigit(key[i + 2])) {
            plain += static_cast<char>(hexValue(key[i + 1]) * 16 + hexValue(key[i + 2]));
            i += 2;
        } else {
            plain += key[i];
        }
    }
    return plain;
}

void appendHexEscape(std::string& out, unsigned char byte) {
    out += "\\x";
    if (byte >= 16) {
        out += hexDigits[byte >> 4];
    }
    out += hexDigits[byte & 0xF];
}

// Control bytes and bytes from 0x7F up are hex escapes. A hex digit right after a numeric
// escape is escaped too, since a reader takes every hex digit that follows as part of it.
std::string escapedByteArray(std::string_view bytes) {
    std::string value;
    value.reserve(bytes.size() * 5 / 4 + byteArrayPrefix.size() + 3);
    bool needsQuotes = false;
    bool escapeNextIfDigit = false;
    const auto append = [&](char c) {
        const auto byte = static_cast<unsigned char>(c);
        needsQuotes = needsQuotes || c == ';' || c == ',' || c == '=';
        if (escapeNextIfDigit && isHexDigit(c)) {
            appendHexEscape(value, byte);
            return;
        }
        escapeNextIfDigit = false;
        constexpr std::string_view named = "\a\b\f\n\r\t\v";
        constexpr std::string_view names = "abfnrtv";
        if (c == '\0') {
            value += "\\0";
            escapeNextIfDigit = true;
        } else if (const auto at = named.find(c); at != std::string_view::npos) {
            value += '\\';
            value += names[at];
        } else if (c == '"' || c == '\\') {
            value += '\\';
            value += c;
        } else if (byte <= 0x1F || byte >= 0x7F) {
            appendHexEscape(value, byte);
            escapeNextIfDigit = true;
        } else {
            value += c;
        }
    };
    for (const char c : byteArrayPrefix) {
        append(c);
    }
    for (const char c : bytes) {
        append(c);
    }
    append(byteArraySuffix.front());
    return needsQuotes ? '"' + value + '"' : value;
}

// The value as a single string: quotes group, backslash escapes resolved, blanks around
// it dropped, a ';' outside quotes starts a comment. std::nullopt for a list (a ',' outside
// quotes). A character beyond one byte becomes '?', as it did when read into a byte array.
std::optional<std::string> unescapedValue(std::string_view raw) {
    std::string out;
    std::size_t kept = 0; // blanks after the last quoted or visible character are dropped
    bool quoted = false;
    raw = trimmed(raw);
    for (std::size_t i = 0; i < raw.size(); ++i) {
        const char c = raw[i];
        if (c == '"') {
            quoted = !quoted;
        } else if (!quoted && c == ',') {
            return std::nullopt;
        } else if (!quoted && c == ';') {
            break;
        } else if (c == '\\' && i + 1 < raw.size()) {
            const char escape = raw[++i];
            std::uint32_t code = static_cast<unsigned char>(escape);
            constexpr std::string_view names = "abfnrtv";
            if (const auto at = names.find(escape); at != std::string_view::npos) {
                code = static_cast<unsigned char>("\a\b\f\n\r\t\v"[at]);
            } else if (escape == 'x' || (escape >= '0' && escape <= '7')) {
                const bool hex = escape == 'x';
                code = hex ? 0 : static_cast<std::uint32_t>(escape - '0');
                while (i + 1 < raw.size() &&
                       (hex ? isHexDigit(raw[i + 1]) : raw[i + 1] >= '0' && raw[i + 1] <= '7')) {
                    const int digit = hex ? hexValue(raw[++i]) : raw[++i] - '0';
                    code = code > 0xFFFF
                               ? code
                               : code * (hex ? 16 : 8) + static_cast<std::uint32_t>(digit);
                }
            }
            out += code > 0xFF ? '?' : static_cast<char>(code);
        } else {
            out += c;
            if (isBlank(c) && !quoted) {
                continue;
            }
        }
        kept = out.size();
    }
    out.resize(kept);
    return out;
}

struct Entry {
    std::size_t begin = 0;
    std::size_t next = 0;
    std::string value; // raw text after '='
};

struct Scan {
    std::optional<Entry> entry;              // the last line of `key` in [General]
    std::optional<std::size_t> afterGeneral; // where the [General] header line ends
};

Scan scan(std::string_view text, std::string_view key) {
    Scan result;
    std::size_t at = text.starts_with("\xEF\xBB\xBF") ? 3 : 0;
    bool inGeneral = true; // lines before any section header belong to [General]
    while (at < text.size()) {
        Line line = lineAt(text, at);
        const std::string_view content = trimmed(line.content);
        if (content.starts_with('[')) {
            const auto close = content.find(']');
            const std::string_view name = trimmed(content.substr(
                1, close == std::string_view::npos ? content.size() - 1 : close - 1));
            inGeneral = equalsIgnoringCase(name, "general");
            if (inGeneral && !result.afterGeneral) {
                result.afterGeneral = line.next;
            }
        } else if (inGeneral && !content.empty() && content.front() != ';') {
            const auto equals = content.find('=');
            if (equals != std::string_view::npos &&
                unescapedKey(trimmed(content.substr(0, equals))) == key) {
                result.entry =
                    Entry{line.begin, line.next, std::string(content.substr(equals + 1))};
            }
        }
        at = line.next;
    }
    return result;
}

} // namespace

std::optional<std::string> readIniByteArray(std::string_view fileText, std::string_view key) {
    const Scan found = scan(fileText, key);
    if (!found.entry) {
        return std::nullopt;
    }
    const auto value = unescapedValue(found.entry->value);
    if (!value || !value->starts_with(byteArrayPrefix) || !value->ends_with(byteArraySuffix) ||
        value->size() < byteArrayPrefix.size() + byteArraySuffix.size()) {
        return std::nullopt;
    }
    return value->substr(byteArrayPrefix.size(),
                         value->size() - byteArrayPrefix.size() - byteArraySuffix.size());
}

std::string withIniByteArray(std::string_view fileText, std::string_view key,
                             std::string_view bytes) {
    const std::string line = escapedKey(key) + '=' + escapedByteArray(bytes) + '\n';
    const Scan found = scan(fileText, key);
    std::string text(fileText);
    if (found.entry) {
        return text.replace(found.entry->begin, found.entry->next - found.entry->begin, line);
    }
    if (found.afterGeneral) {
        const bool brokenOff =
            *found.afterGeneral == text.size() && !text.ends_with('\n') && !text.ends_with('\r');
        return text.insert(*found.afterGeneral, brokenOff ? '\n' + line : line);
    }
    return "[General]\n" + line + (text.empty() ? "" : "\n" + text);
}

} // namespace tunescrib
