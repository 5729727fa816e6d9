#include "Client/system/VersionResource.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cwctype>

#include "Client/system/ElfSection.h"
#include "Client/system/VersionSection.h"
#include "sdk/text/TextConvert.h"

namespace qrnv {
namespace {

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : mFd(fd) {}
    ~FileDescriptor()
    {
        if (mFd >= 0) {
            close(mFd);
        }
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int Get() const { return mFd; }

private:
    int mFd;
};

class FileByteSource : public ByteSource {
public:
    FileByteSource(int fd, std::uint64_t size) : mFd(fd), mSize(size) {}
    std::uint64_t Size() const override { return mSize; }
    bool ReadAt(std::uint64_t offset, void* out, std::size_t size) const override
    {
        auto* p = static_cast<char*>(out);
        while (size > 0) {
            const ssize_t n = pread(mFd, p, size, static_cast<off_t>(offset));
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0) {
                return false;
            }
            p += n;
            offset += static_cast<std::uint64_t>(n);
            size -= static_cast<std::size_t>(n);
        }
        return true;
    }

private:
    int mFd;
    std::uint64_t mSize;
};

// Key names compare without regard to ASCII case, as VerQueryValue's do.
bool SameKey(const std::wstring& a, const std::wstring& b)
{
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::towlower(a[i]) != std::towlower(b[i])) {
            return false;
        }
    }
    return true;
}

class SectionVersionBlock : public VersionBlock {
public:
    explicit SectionVersionBlock(std::vector<VersionTranslation> translations) : mTranslations(std::move(translations)) {}

    std::vector<std::pair<std::uint16_t, std::uint16_t>> Translations() const override
    {
        std::vector<std::pair<std::uint16_t, std::uint16_t>> pairs;
        for (const auto& t : mTranslations) {
            pairs.emplace_back(t.mLanguage, t.mCodePage);
        }
        return pairs;
    }

    bool QueryText(const std::wstring& subBlock, std::wstring& value) const override
    {
        // "\StringFileInfo\" + 8 hex digits + "\" + key
        const std::wstring prefix = L"\\StringFileInfo\\";
        if (subBlock.size() < prefix.size() + 9 || !SameKey(subBlock.substr(0, prefix.size()), prefix) ||
            subBlock[prefix.size() + 8] != L'\\') {
            return false;
        }
        const std::wstring id = subBlock.substr(prefix.size(), 8);
        const std::wstring key = subBlock.substr(prefix.size() + 9);
        for (const auto& t : mTranslations) {
            wchar_t own[9];
            static const wchar_t kHex[] = L"0123456789abcdef";
            const std::uint32_t v = (static_cast<std::uint32_t>(t.mLanguage) << 16) | t.mCodePage;
            for (int i = 0; i < 8; ++i) {
                own[i] = kHex[(v >> (28 - 4 * i)) & 0xF];
            }
            own[8] = 0;
            if (!SameKey(id, own)) {
                continue;
            }
            for (const auto& [k, text] : t.mStrings) {
                if (SameKey(k, key)) {
                    value = text;
                    return true;
                }
            }
            return false; // the first table of that id answers, as on Windows
        }
        return false;
    }

private:
    std::vector<VersionTranslation> mTranslations;
};

} // namespace

std::unique_ptr<VersionBlock> OpenVersionBlock(const std::wstring& path)
{
    // Non-blocking: opening a FIFO planted under the name must not hold us.
    const FileDescriptor fd(open(WideToUtf8(path).c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    struct stat st;
    if (fd.Get() < 0 || fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode)) {
        return nullptr;
    }
    const FileByteSource file(fd.Get(), static_cast<std::uint64_t>(st.st_size));
    const auto range = FindElfSection(file, kVersionSectionName);
    if (!range || range->mSize < kVersionSectionMagic.size() || range->mSize > kVersionSectionMaxSize) {
        return nullptr;
    }
    std::string content(static_cast<std::size_t>(range->mSize), '\0');
    if (!file.ReadAt(range->mOffset, content.data(), content.size())) {
        return nullptr;
    }
    std::vector<VersionTranslation> translations = ParseVersionSection(content);
    if (translations.empty()) {
        return nullptr;
    }
    return std::make_unique<SectionVersionBlock>(std::move(translations));
}

} // namespace qrnv
