#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>

struct evp_md_ctx_st;

// A file's MD5 or SHA-1 as the services that list files publish them, over
// OpenSSL's libcrypto. Fed block by block as the bytes arrive, so that a
// download can be checked without reading its file a second time.
class FileDigest final {
public:
    enum class Kind { Md5, Sha1 };

    explicit FileDigest(Kind kind);
    ~FileDigest();
    FileDigest(const FileDigest&) = delete;
    FileDigest& operator=(const FileDigest&) = delete;
    FileDigest(FileDigest&&) noexcept;
    FileDigest& operator=(FileDigest&&) noexcept;

    Kind GetKind() const { return m_kind; }
    void Update(const void* bytes, std::size_t size);
    // The digest of everything fed so far, in lower-case hex. The digest
    // starts over afterwards, ready for other bytes.
    std::string Finish();

private:
    struct Free {
        void operator()(evp_md_ctx_st* context) const;
    };
    void Start();

    Kind m_kind;
    std::unique_ptr<evp_md_ctx_st, Free> m_context;
};

// The digest of the whole file at `path`, in lower-case hex; nothing when
// the file cannot be opened or read to its end.
std::optional<std::string> DigestOfFile(const std::string& path, FileDigest::Kind kind);

// Lower-case hex digits of the digest's length for `kind` (32 for MD5, 40
// for SHA-1).
std::size_t DigestHexLength(FileDigest::Kind kind);
