#include "components/utils/IniFile.h"

#include <algorithm>
#include <cctype>

namespace tkw {
namespace {

std::string_view TrimBlanks(std::string_view text) {
    constexpr std::string_view kBlanks = " \t\r\n\f\v";
    const auto first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(kBlanks);
    return text.substr(first, last - first + 1);
}

bool SameKey(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) ==
               std::tolower(static_cast<unsigned char>(y));
    });
}

}  // namespace

std::string CIniFile::GetProfileStringW(std::string_view key) const {
    std::string_view text = m_text;
    // A byte order mark in front of the first line is not part of its key.
    if (text.starts_with("\xEF\xBB\xBF")) {
        text.remove_prefix(3);
    }
    while (!text.empty()) {
        const auto end = text.find('\n');
        const std::string_view line =
            TrimBlanks(end == std::string_view::npos ? text : text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
        if (line.empty() || line.front() == ';' || line.front() == '#' || line.front() == '[') {
            continue;
        }
        const auto equals = line.find('=');
        if (equals != std::string_view::npos && SameKey(TrimBlanks(line.substr(0, equals)), key)) {
            return std::string(TrimBlanks(line.substr(equals + 1)));
        }
    }
    return {};
}

}  // namespace tkw
