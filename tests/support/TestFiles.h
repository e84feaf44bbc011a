// Files for the tests: a fresh temporary folder, whole files read and written
// as bytes, and a text as the UTF-16LE file with a byte order mark that
// Windows tools write.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

namespace zyr::test {

// A new folder /tmp/<prefix>-XXXXXX; empty when none can be made.
inline std::filesystem::path MakeTempFolder(std::string_view prefix)
{
    std::string pattern = "/tmp/" + std::string(prefix) + "-XXXXXX";
    return ::mkdtemp(pattern.data()) != nullptr ? std::filesystem::path(pattern) : std::filesystem::path();
}

// The file's bytes; empty when it cannot be read.
inline std::string FileContent(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Writes the bytes as the whole file, making its folder first.
inline void WriteFileBytes(const std::filesystem::path& path, const std::string& bytes)
{
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

inline std::string Utf16LeFile(std::u16string_view text)
{
    std::string bytes = "\xFF\xFE";
    for (char16_t c : text) {
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>(c >> 8);
    }
    return bytes;
}

} // namespace zyr::test
