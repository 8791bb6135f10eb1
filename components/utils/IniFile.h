#pragma once

#include <string>
#include <string_view>

namespace tkw {

// Reads values out of INI text such as the update information the vendor's site publishes:
// "key=value" lines, grouped under "[section]" lines, with ';' and '#' starting comment lines.
class CIniFile {
public:
    void SetIniFile(std::string text) { m_text = std::move(text); }

    // The value of the first line that sets `key`, in whatever section, without the blanks around
    // it; empty when no line sets it. Keys compare without regard to ASCII case.
    std::string GetProfileStringW(std::string_view key) const;

private:
    std::string m_text;
};

}  // namespace tkw
