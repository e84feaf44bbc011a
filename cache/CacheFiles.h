// The two cache files, "rolecache.xml" (written after every role fetch) and
// "ApplCache.xml" (written by another party, only read here), and the
// process-wide texts that hold their decrypted contents.
//
// A cache file holds one encrypted text (see cache/TextCipher.h, built-in pass
// phrase) and nothing else: no header, no line break, no terminator.
#pragma once

#include "platform/com/WinTypes.h"

#include <cstddef>
#include <string>
#include <string_view>

// Replaces filePath by a file holding plainText encrypted. A text of fewer
// than two characters gives an empty file. The new content is written to a
// temporary file in the same folder and renamed over the old file only when
// it is complete and flushed to disk, so a failure leaves the old file as it
// was. E_FAIL: the file cannot be created (or exists read-only);
// E_UNEXPECTED: writing failed; E_OUTOFMEMORY; or the encryption's failure.
HRESULT KvtEncryptBufferAndPersistInFile(std::string_view plainText, std::string_view filePath);

// Reads filePath and stores its decrypted text in target (up to the first zero
// byte). E_FAIL when the file cannot be read. A file of fewer than two
// characters leaves target unchanged; a file that does not decode empties
// target and still answers S_OK (see zyr::cache::ReadCacheFile for a checked read).
HRESULT ReadEncryptedFile(std::string_view filePath, std::string& target);

// Fills each process-wide text that is still empty: the cache directory from
// GetCachePath, then the application cache text from "ApplCache.xml", then
// the role cache text from "rolecache.xml". Answers the result of the last
// read that ran, S_OK when none ran.
HRESULT LoadCacheFiles();

namespace zyr::cache {

constexpr const char* kRoleCacheFileName = "rolecache.xml";
constexpr const char* kApplCacheFileName = "ApplCache.xml";
constexpr size_t kCacheDirectorySize = 260; // bytes with the terminator

// directory joined with fileName; an empty directory gives fileName alone.
std::string CacheFilePath(std::string_view directory, std::string_view fileName);

// Like ReadEncryptedFile, but a text that does not decode fails
// (zyr::cipher::kUndecodableText) and leaves plainText empty; a file
// of fewer than two characters gives an empty text.
HRESULT ReadCacheFile(std::string_view filePath, std::string& plainText);

// The process-wide texts, empty at start.
std::string_view CacheDirectory();
const std::string& RoleCacheText();
const std::string& ApplCacheText();
// Sets the cache directory, so that LoadCacheFiles does not ask GetCachePath
// (cut to kCacheDirectorySize - 1 bytes).
void SetCacheDirectory(std::string_view directory);
// Empties the role and application cache texts, so that the next
// LoadCacheFiles reads both files again.
void EmptyCacheTexts();
// Forgets all three texts and restores the file writer (tests).
void ResetCacheFiles();

// How cache files reach the disk: write(2) unless replaced. Answers the bytes
// written or -1 with errno set, like write(2). Null restores write(2).
using CacheFileWriter = long (*)(int fd, const char* data, size_t size);
void SetCacheFileWriter(CacheFileWriter writer);

} // namespace zyr::cache
