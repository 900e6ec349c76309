#include "settings/ChmFile.h"

#include "TempDir.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

using testing_support::TempDir;

namespace {

void PutLittleEndian(std::string& bytes, std::size_t at, std::uint64_t value, int count)
{
    for (int i = 0; i < count; ++i)
        bytes[at + static_cast<std::size_t>(i)] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

// A manual whose directory header asks for a block of nearly 4 GiB is refused
// before the library allocates it; so are files without the two headers.
TEST(ChmFile, HeadersThatAskForHugeBlocksAreRefused)
{
    TempDir dir;
    std::string bytes(0x200, '\0');
    bytes.replace(0, 4, "ITSF");
    PutLittleEndian(bytes, 4, 3, 4);
    PutLittleEndian(bytes, 8, 0x60, 4);
    PutLittleEndian(bytes, 0x48, 0x78, 8);
    PutLittleEndian(bytes, 0x50, 0x54, 8);
    bytes.replace(0x78, 4, "ITSP");
    PutLittleEndian(bytes, 0x78 + 0x10, 0xFFFFF100u, 4);
    dir.Write("huge.chm", bytes);
    dir.Write("none.chm", "ITSF but not really");
    dir.Write("empty.chm", "");

    for (const char* name : {"huge.chm", "none.chm", "empty.chm", "missing.chm"}) {
        CChmFile file;
        EXPECT_FALSE(file.Open(dir.File(name))) << name;
        EXPECT_TRUE(file.Entries().empty()) << name;
    }
}

}  // namespace
