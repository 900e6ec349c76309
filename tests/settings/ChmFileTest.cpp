#include "settings/ChmFile.h"

#include "TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>

#include <sys/stat.h>

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

// Damaged manuals that make chmlib divide by zero while it opens or reads
// them (the compressed section's control data: version, reset interval,
// window size, windows per reset) cost the program nothing: the file does not
// open. The manual they were made from reads whole, its paths in any case.
TEST(ChmFile, AManualThatCrashesTheLibraryDoesNotOpenAndASoundOneReadsWhole)
{
    std::ifstream in(TUNORVA_CHM_SAMPLE, std::ios::binary);
    const std::string sound((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::size_t control = sound.find("LZXC");
    ASSERT_NE(control, std::string::npos);
    TempDir dir;
    struct Damage {
        const char* name;
        std::uint32_t version, resetInterval, windowSize, windowsPerReset;
    };
    for (const Damage& damage : {Damage{"no-window.chm", 2, 2, 0, 1}, Damage{"window-of-one.chm", 1, 2, 1, 1},
                                 Damage{"no-windows-per-reset.chm", 2, 2, 2, 0},
                                 Damage{"window-overflows.chm", 2, 2, 0x20000, 1}}) {
        std::string bytes = sound;
        PutLittleEndian(bytes, control + 4, damage.version, 4);
        PutLittleEndian(bytes, control + 8, damage.resetInterval, 4);
        PutLittleEndian(bytes, control + 12, damage.windowSize, 4);
        PutLittleEndian(bytes, control + 16, damage.windowsPerReset, 4);
        dir.Write(damage.name, bytes);
        CChmFile file;
        EXPECT_FALSE(file.Open(dir.File(damage.name))) << damage.name;
        EXPECT_FALSE(file.Read("/index.html")) << damage.name;
    }

    CChmFile file;
    ASSERT_TRUE(file.Open(TUNORVA_CHM_SAMPLE));
    const std::vector<std::string> entries = file.Entries();
    EXPECT_NE(std::find(entries.begin(), entries.end(), "/index.html"), entries.end());
    const auto page = file.Read("/INDEX.html");
    ASSERT_TRUE(page);
    EXPECT_TRUE(page->contains("<"));
    EXPECT_FALSE(file.Read("/missing.html"));
    EXPECT_FALSE(file.Read("/"));
    // A path that is no manual's, a FIFO, opens nothing and does not wait.
    const std::string fifo = dir.File("pipe.chm");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_FALSE(file.Open(fifo));
    EXPECT_FALSE(file.IsOpen());
}

}  // namespace
