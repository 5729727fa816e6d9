#pragma once
// Helpers of the fuzz targets: a failed property aborts with a message, so that libFuzzer
// keeps the input as a crash file; the log is set up once and then writes no file.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "Client/Log.h"
#include "sdk/text/TextConvert.h"

namespace qrnv::fuzz {

// Printed with a failed property: what the target was looking at.
inline std::string gContext;

// A wide text for the terminal: printable ASCII as it is, the rest as \u{hex}.
inline std::string Shown(std::wstring_view text)
{
    std::string out;
    for (wchar_t c : text) {
        if (c >= L' ' && c <= L'~') {
            out += static_cast<char>(c);
        } else {
            char buf[16];
            std::snprintf(buf, sizeof buf, "\\u{%x}", static_cast<unsigned>(c));
            out += buf;
        }
    }
    return out;
}

[[noreturn]] inline void Fail(const char* what, const char* file, int line)
{
    std::fprintf(stderr, "fuzz property failed: %s (%s:%d)\n", what, file, line);
    if (!gContext.empty()) {
        std::fprintf(stderr, "%s\n", gContext.c_str());
    }
    std::abort();
}

#define FUZZ_CHECK(condition)                                 \
    do {                                                      \
        if (!(condition)) {                                   \
            ::qrnv::fuzz::Fail(#condition, __FILE__, __LINE__); \
        }                                                     \
    } while (false)

// The client logs everything it reads; formatting the lines is part of what is fuzzed, the
// file writes would only slow the run and fill the disk.
inline void QuietLog()
{
    SetUpLog(L"fuzz");
    GetLog().OpenFile(nullptr);
}

inline std::string_view Bytes(const std::uint8_t* data, std::size_t size)
{
    return {reinterpret_cast<const char*>(data), size};
}

// Reads the input front to back: fixed-size numbers and length-prefixed pieces; past the
// end everything reads as zero or empty.
class Reader {
public:
    Reader(const std::uint8_t* data, std::size_t size) : mData(data), mSize(size) {}

    bool Empty() const { return mAt >= mSize; }
    std::uint8_t Byte() { return mAt < mSize ? mData[mAt++] : 0; }
    std::uint64_t Number(std::size_t bytes)
    {
        std::uint64_t v = 0;
        for (std::size_t i = 0; i < bytes; ++i) {
            v = (v << 8) | Byte();
        }
        return v;
    }
    // A piece of at most maxBytes, its length in the first byte.
    std::string_view Piece(std::size_t maxBytes)
    {
        std::size_t n = Byte();
        if (n > maxBytes) n = maxBytes;
        if (n > mSize - mAt) n = mSize - mAt;
        const std::string_view piece(reinterpret_cast<const char*>(mData + mAt), n);
        mAt += n;
        return piece;
    }
    std::string_view Rest()
    {
        const std::string_view rest(reinterpret_cast<const char*>(mData + mAt), mSize - mAt);
        mAt = mSize;
        return rest;
    }

private:
    const std::uint8_t* mData;
    std::size_t mSize;
    std::size_t mAt = 0;
};

} // namespace qrnv::fuzz

namespace qrnv::fuzz {

// A folder of this process under TMPDIR for the files a target reads back, removed at exit.
const std::string& ScratchFolder();

// Replaces the file name in the scratch folder with the bytes; its path as the client
// writes paths.
std::wstring WriteScratchFile(const char* name, std::string_view bytes);

} // namespace qrnv::fuzz
