// A new file's bytes written through the cache or straight to the disk, with holes for zeros.
#include "components/archive/SparseWriter.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

#include "tests/components/archive/ArchiveTestSupport.h"

namespace tkw {
namespace {

using archive::SparseWriter;
constexpr std::size_t kBlock = SparseWriter::kBlock;
constexpr std::size_t kBuffer = SparseWriter::kDirectBuffer;
constexpr std::size_t kLarge = SparseWriter::kDirectFrom;

struct Zeros {
    std::size_t at, length;
};

struct Case {
    const char* what;
    std::size_t size;
    std::vector<Zeros> zeros;
    std::size_t piece;  // the bytes handed over at a time
};

TEST(SparseWriter, EveryByteComesBackWhereverTheBuffersAndHolesEnd) {
    const Case cases[] = {
        {"small, through the cache", 100000, {{8192, 3 * kBlock}}, 7000},
        {"large, a whole number of buffers", 2 * kBuffer + kLarge, {}, 131072},
        {"large, one byte past the buffers", kLarge + 1, {{kBuffer - kBlock, 2 * kBlock}}, 131072},
        {"large, odd end, zeros across a buffer's end",
         kLarge + kBuffer + kBlock - 1,
         {{kBuffer - 3 * kBlock - 10, 8 * kBlock}},
         99991},
        {"large, blocks and a tail after the last buffer", kLarge + 2 * kBlock + 7, {}, 50000},
        {"large, ending in a hole", kLarge + 3 * kBlock + 5, {{kLarge, 3 * kBlock + 5}}, 1 << 20},
        {"large, nearly all zeros", kLarge + 100, {{0, kLarge + 90}}, 65536},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string bytes = test::RandomBytes(c.size, static_cast<std::uint32_t>(c.size));
        for (const Zeros& z : c.zeros) {
            bytes.replace(z.at, z.length, std::string(z.length, '\0'));
        }
        test::TempDir temp;
        const std::string path = (temp / "file").native();
        const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL, 0600);
        ASSERT_GE(fd, 0);
        {
            SparseWriter writer(fd, c.size);
            for (std::size_t at = 0; at < bytes.size(); at += c.piece) {
                ASSERT_TRUE(writer.Write(std::string_view(bytes).substr(at, c.piece)));
            }
            ASSERT_TRUE(writer.Finish()) << std::strerror(errno);
        }
        // Whatever way the bytes went, the descriptor is left as it was given: through the cache.
        EXPECT_EQ(::fcntl(fd, F_GETFL) & O_DIRECT, 0);
        ::close(fd);
        EXPECT_TRUE(test::ReadFileBytes(path) == bytes);
        struct stat info {};
        ASSERT_EQ(::stat(path.c_str(), &info), 0);
        std::size_t zeroBlocks = 0;
        for (std::size_t at = 0; at + kBlock <= c.size; at += kBlock) {
            zeroBlocks += bytes.compare(at, kBlock, std::string(kBlock, '\0')) == 0;
        }
        const std::size_t dataBlocks = (c.size + kBlock - 1) / kBlock - zeroBlocks;
        EXPECT_LE(static_cast<std::size_t>(info.st_blocks) * 512, (dataBlocks + 16) * kBlock)
            << "whole blocks of zeros stay holes";
    }
}

TEST(SparseWriter, OnlyLargeFilesGoStraightToTheDiskWhereTheFileSystemTakesIt) {
    test::TempDir temp;
    const std::string path = (temp / "file").native();
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL, 0600);
    ASSERT_GE(fd, 0);
    const bool takesDirect = ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_DIRECT) == 0;
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_DIRECT);
    EXPECT_FALSE(SparseWriter(fd, kLarge - 1).WritesDirect());
    EXPECT_EQ(SparseWriter(fd, kLarge).WritesDirect(), takesDirect);
    ::close(fd);
}

}  // namespace
}  // namespace tkw
