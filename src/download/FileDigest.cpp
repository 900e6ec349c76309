#include "download/FileDigest.h"

#include <openssl/evp.h>

#include <cstdio>
#include <vector>

namespace {

const EVP_MD* Algorithm(FileDigest::Kind kind)
{
    return kind == FileDigest::Kind::Md5 ? EVP_md5() : EVP_sha1();
}

}  // namespace

void FileDigest::Free::operator()(evp_md_ctx_st* context) const
{
    EVP_MD_CTX_free(context);
}

FileDigest::FileDigest(Kind kind) : m_kind(kind), m_context(EVP_MD_CTX_new())
{
    Start();
}

FileDigest::~FileDigest() = default;
FileDigest::FileDigest(FileDigest&&) noexcept = default;
FileDigest& FileDigest::operator=(FileDigest&&) noexcept = default;

void FileDigest::Start()
{
    // Only an allocation failure makes these fail; Finish() then gives an
    // empty text, which matches no published digest.
    if (m_context && EVP_DigestInit_ex(m_context.get(), Algorithm(m_kind), nullptr) != 1)
        m_context.reset();
}

void FileDigest::Update(const void* bytes, std::size_t size)
{
    if (m_context && size > 0 && EVP_DigestUpdate(m_context.get(), bytes, size) != 1)
        m_context.reset();
}

std::string FileDigest::Finish()
{
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (!m_context || EVP_DigestFinal_ex(m_context.get(), digest, &length) != 1) {
        m_context.reset(EVP_MD_CTX_new());
        Start();
        return {};
    }
    static constexpr char kHex[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(length * 2);
    for (unsigned int i = 0; i < length; ++i) {
        hex += kHex[digest[i] >> 4];
        hex += kHex[digest[i] & 0x0F];
    }
    Start();
    return hex;
}

std::size_t DigestHexLength(FileDigest::Kind kind)
{
    return kind == FileDigest::Kind::Md5 ? 32 : 40;
}

std::optional<std::string> DigestOfFile(const std::string& path, FileDigest::Kind kind)
{
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
    if (!file)
        return std::nullopt;
    FileDigest digest(kind);
    std::vector<unsigned char> block(1024 * 1024);
    for (;;) {
        const std::size_t got = std::fread(block.data(), 1, block.size(), file.get());
        digest.Update(block.data(), got);
        if (got < block.size())
            break;
    }
    if (std::ferror(file.get()))
        return std::nullopt;
    std::string hex = digest.Finish();
    if (hex.empty())
        return std::nullopt;
    return hex;
}
