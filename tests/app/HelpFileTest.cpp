// The built help file holds every page its table of contents names.
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <map>
#include <regex>
#include <string>
#include <vector>

namespace {

std::string ReadWhole(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::uint64_t Little(const std::string& bytes, std::size_t at, int width) {
    if (at + width > bytes.size()) {
        throw std::runtime_error("read past the end of the help file");
    }
    std::uint64_t value = 0;
    for (int i = width - 1; i >= 0; --i) {
        value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
    }
    return value;
}

// A CHM directory number: seven bits a byte, most significant first, the top bit saying more.
std::uint64_t EncodedInteger(const std::string& chunk, std::size_t& at) {
    std::uint64_t value = 0;
    for (;;) {
        const auto byte = static_cast<unsigned char>(chunk.at(at++));
        value = value << 7 | (byte & 0x7F);
        if ((byte & 0x80) == 0) {
            return value;
        }
    }
}

// The names and (uncompressed) lengths in a CHM's directory: the ITSF header points to the ITSP
// directory, whose listing chunks ("PMGL") hold one entry per file.
std::map<std::string, std::uint64_t> ChmDirectory(const std::string& chm) {
    if (chm.compare(0, 4, "ITSF") != 0) {
        throw std::runtime_error("not a CHM file");
    }
    const std::size_t directory = Little(chm, 0x48, 8);
    if (chm.compare(directory, 4, "ITSP") != 0) {
        throw std::runtime_error("no CHM directory");
    }
    const std::size_t headerLength = Little(chm, directory + 0x08, 4);
    const std::size_t chunkSize = Little(chm, directory + 0x10, 4);
    const std::size_t chunks = Little(chm, directory + 0x2C, 4);
    std::map<std::string, std::uint64_t> entries;
    for (std::size_t k = 0; k < chunks; ++k) {
        const std::string chunk = chm.substr(directory + headerLength + k * chunkSize, chunkSize);
        if (chunk.compare(0, 4, "PMGL") != 0) {
            continue;  // an index chunk repeats names the listing chunks hold
        }
        const std::size_t end = chunkSize - Little(chunk, 4, 4);
        std::size_t at = 0x14;
        while (at < end) {
            const std::size_t nameLength = EncodedInteger(chunk, at);
            const std::string name = chunk.substr(at, nameLength);
            at += nameLength;
            EncodedInteger(chunk, at);  // section
            EncodedInteger(chunk, at);  // offset
            entries[name] = EncodedInteger(chunk, at);
        }
    }
    return entries;
}

std::vector<std::string> TableOfContentsPages(const std::string& hhc) {
    const std::regex local(R"(<param\s+name="Local"\s+value="([^"]+)\")", std::regex::icase);
    std::vector<std::string> pages;
    for (auto it = std::sregex_iterator(hhc.begin(), hhc.end(), local);
         it != std::sregex_iterator(); ++it) {
        pages.push_back((*it)[1]);
    }
    return pages;
}

TEST(HelpFile, HoldsEveryPageOfItsTableOfContents) {
    const auto directory = ChmDirectory(ReadWhole(TARNWICK_HELP_CHM));
    const auto pages = TableOfContentsPages(ReadWhole(TARNWICK_HELP_SOURCES "/toc.hhc"));
    ASSERT_GE(pages.size(), 9u);
    ASSERT_TRUE(directory.contains("/toc.hhc"));
    for (const std::string& page : pages) {
        const auto found = directory.find("/" + page);
        ASSERT_NE(found, directory.end()) << page << " is not in help.chm";
        EXPECT_EQ(found->second, ReadWhole(TARNWICK_HELP_SOURCES "/" + page).size()) << page;
    }
}

}  // namespace
