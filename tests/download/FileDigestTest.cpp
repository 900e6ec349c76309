#include "download/FileDigest.h"

#include "TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace {

using Kind = FileDigest::Kind;

// Known digests, fed in blocks of every size from 1 byte up, so that the
// digest does not depend on how the bytes arrive.
TEST(FileDigestTest, DigestsFedInBlocks)
{
    struct Case {
        std::string bytes;
        const char* md5;
        const char* sha1;
    };
    const Case cases[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e", "da39a3ee5e6b4b0d3255bfef95601890afd80709"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72", "a9993e364706816aba3e25717850c26c9cd0d89d"},
        {std::string(1000000, 'a'), "7707d6ae4e027c70eea2a935c2296f21", "34aa973cd4c4daa4f61eeb2bdbad27316534016f"},
    };
    for (const Case& c : cases) {
        for (const std::size_t block : {std::size_t{1}, std::size_t{7}, std::size_t{4096}, c.bytes.size() + 1}) {
            if (block == 1 && c.bytes.size() > 10000)
                continue;
            FileDigest md5(Kind::Md5);
            FileDigest sha1(Kind::Sha1);
            for (std::size_t at = 0; at < c.bytes.size(); at += block) {
                const std::string_view part = std::string_view(c.bytes).substr(at, block);
                md5.Update(part.data(), part.size());
                sha1.Update(part.data(), part.size());
            }
            EXPECT_EQ(md5.Finish(), c.md5) << c.bytes.size() << " in blocks of " << block;
            EXPECT_EQ(sha1.Finish(), c.sha1) << c.bytes.size() << " in blocks of " << block;
            // Finished, the digest starts over.
            md5.Update("abc", 3);
            EXPECT_EQ(md5.Finish(), "900150983cd24fb0d6963f7d28e17f72");
        }
    }
    EXPECT_EQ(DigestHexLength(Kind::Md5), 32u);
    EXPECT_EQ(DigestHexLength(Kind::Sha1), 40u);
}

TEST(FileDigestTest, WholeFiles)
{
    const testing_support::TempDir dir;
    // Larger than one read block, and not a multiple of it.
    dir.Write("big.mp3", std::string(3000000, 'a'));
    dir.Write("empty.mp3", "");
    EXPECT_EQ(DigestOfFile(dir.File("big.mp3"), Kind::Md5), "99ddc9a3a46ea62c95652bdf937a1fb8");
    EXPECT_EQ(DigestOfFile(dir.File("big.mp3"), Kind::Sha1), "e8935af087fafce14bf157d50ab992c861688ffa");
    EXPECT_EQ(DigestOfFile(dir.File("empty.mp3"), Kind::Md5), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(DigestOfFile(dir.File("missing.mp3"), Kind::Md5), std::nullopt);
    std::filesystem::create_directory(dir.Path() / "folder.mp3");
    EXPECT_EQ(DigestOfFile(dir.File("folder.mp3"), Kind::Sha1), std::nullopt);
}

}  // namespace
