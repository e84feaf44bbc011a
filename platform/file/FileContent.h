// Whole files in and out: a file is read in one call, and replaced all at
// once so that a reader or a crash sees either the old bytes or the new ones.
#pragma once

#include <string>
#include <string_view>
#include <sys/types.h>

namespace zyr::file {

// Reads what is left of an open file, or the whole file at path; 0 or the
// errno value of the failure.
int ReadWholeFile(int fd, std::string& content);
int ReadWholeFile(const std::string& path, std::string& content);

// Writes all bytes to an open file; false with errno set on failure.
bool WriteAll(int fd, std::string_view bytes);

enum class SaveStep {
    Done,
    Prepare, // the target cannot be replaced or no temporary file can be made
    Write,   // writing or flushing the temporary file failed
    Replace, // the rename over the target failed
};

struct SaveResult {
    SaveStep failedAt = SaveStep::Done;
    int error = 0; // errno value
    bool ok() const { return failedAt == SaveStep::Done; }
};

// Replaces the file at path by bytes: a new file in the same folder is
// written, flushed, given the mode of the file it replaces (newFileMode when
// there is none) and renamed over path; then the folder is flushed. A
// symbolic link at path stays and its target gets the bytes. A target that is
// not a regular file or that the process may not write is not replaced. On
// failure the old file is untouched and no temporary file is left.
SaveResult SaveFileAtomically(const std::string& path, std::string_view bytes, mode_t newFileMode);

// How saved bytes reach the disk: write(2) unless replaced. Answers the
// bytes written or -1 with errno set, like write(2). Null restores write(2).
using FileWriter = long (*)(int fd, const char* data, size_t size);
void SetFileWriter(FileWriter writer);

} // namespace zyr::file
