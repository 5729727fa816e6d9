#include "Client/system/CommandLineText.h"

namespace qrnv {

std::vector<std::wstring> SplitCommandLine(std::wstring_view line, bool programFirst)
{
    std::vector<std::wstring> args;
    std::size_t i = 0;
    const std::size_t n = line.size();
    auto isBlank = [](wchar_t c) { return c == L' ' || c == L'\t'; };
    if (programFirst) {
        std::wstring program;
        bool quoted = false;
        for (; i < n; ++i) {
            if (line[i] == L'"') {
                quoted = !quoted;
            } else if (!quoted && isBlank(line[i])) {
                break;
            } else {
                program.push_back(line[i]);
            }
        }
        args.push_back(std::move(program));
    }
    while (true) {
        while (i < n && isBlank(line[i])) {
            ++i;
        }
        if (i >= n) {
            break;
        }
        std::wstring arg;
        bool quoted = false;
        while (i < n) {
            const wchar_t c = line[i];
            if (c == L'\\') {
                std::size_t slashes = 0;
                while (i < n && line[i] == L'\\') {
                    ++slashes;
                    ++i;
                }
                if (i < n && line[i] == L'"') {
                    arg.append(slashes / 2, L'\\');
                    if (slashes % 2 == 1) {
                        arg.push_back(L'"');
                        ++i;
                    }
                } else {
                    arg.append(slashes, L'\\');
                }
                continue;
            }
            if (c == L'"') {
                if (quoted && i + 1 < n && line[i + 1] == L'"') {
                    // "" inside quotes: a literal quote, and the quoted part goes on.
                    arg.push_back(L'"');
                    i += 2;
                    continue;
                }
                quoted = !quoted;
                ++i;
                continue;
            }
            if (!quoted && isBlank(c)) {
                break;
            }
            arg.push_back(c);
            ++i;
        }
        args.push_back(std::move(arg));
    }
    return args;
}

std::wstring QuoteArgument(std::wstring_view argument)
{
    if (!argument.empty() && argument.find_first_of(L" \t\"") == std::wstring_view::npos) {
        return std::wstring(argument);
    }
    std::wstring out = L"\"";
    std::size_t slashes = 0;
    for (wchar_t c : argument) {
        if (c == L'\\') {
            ++slashes;
            continue;
        }
        if (c == L'"') {
            out.append(slashes * 2 + 1, L'\\');
        } else {
            out.append(slashes, L'\\');
        }
        slashes = 0;
        out.push_back(c);
    }
    out.append(slashes * 2, L'\\');
    out.push_back(L'"');
    return out;
}

std::wstring JoinCommandLine(const std::vector<std::wstring>& arguments)
{
    std::wstring out;
    for (const auto& a : arguments) {
        if (!out.empty()) {
            out.push_back(L' ');
        }
        out += QuoteArgument(a);
    }
    return out;
}

} // namespace qrnv
