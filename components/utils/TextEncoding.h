#pragma once

#include <string>
#include <string_view>

namespace tkw {

// Texts inside the program are UTF-8. These convert at the edges where another encoding is fixed:
// the log file (Windows-1252) and the stored file-type list (UTF-16LE).

// Windows-1252 bytes of a UTF-8 text. Each character the code page lacks, and each byte that is
// not part of valid UTF-8, becomes exactly one '?'.
std::string ToWindows1252(std::string_view utf8);

// UTF-8 of Windows-1252 bytes (every byte is a character; the five bytes the code page leaves
// undefined become the C1 controls of the same value).
std::string FromWindows1252(std::string_view bytes);

// UTF-16 of a UTF-8 text; each byte that is not part of valid UTF-8 becomes U+FFFD.
std::u16string Utf8ToUtf16(std::string_view utf8);

// UTF-8 of a UTF-16 text; an unpaired surrogate becomes U+FFFD.
std::string Utf16ToUtf8(std::u16string_view utf16);

}  // namespace tkw
