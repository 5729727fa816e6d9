#pragma once
// Finding a named section in an ELF file (32- or 64-bit, either byte order), for the version
// section of POSIX programs. Every offset and size is checked against the file: a damaged
// or hostile file gives "not found", never a read outside it.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace qrnv {

// Random access to the bytes of a file (or of memory, for tests and the stamp tool).
class ByteSource {
public:
    virtual ~ByteSource() = default;
    virtual std::uint64_t Size() const = 0;
    // True when all size bytes at offset were read.
    virtual bool ReadAt(std::uint64_t offset, void* out, std::size_t size) const = 0;
};

class MemoryByteSource : public ByteSource {
public:
    explicit MemoryByteSource(std::string_view bytes) : mBytes(bytes) {}
    std::uint64_t Size() const override { return mBytes.size(); }
    bool ReadAt(std::uint64_t offset, void* out, std::size_t size) const override;

private:
    std::string_view mBytes;
};

struct FileRange {
    std::uint64_t mOffset = 0;
    std::uint64_t mSize = 0;
};

// Where the named section's content lies in the file. nullopt when the bytes are no ELF
// file, have no such section, the section has no content in the file (SHT_NOBITS), or any
// header or the content lies outside the file.
std::optional<FileRange> FindElfSection(const ByteSource& file, std::string_view name);

} // namespace qrnv
