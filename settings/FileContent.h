// Whole-file reads and atomic whole-file replacement, for the settings file.
//
// Failures are reported by the result and never thrown; nothing is printed.
#pragma once
#include <cstddef>
#include <string>

enum class EReadResult { Ok, Missing, Failed };

// Larger files are not read (EReadResult::Failed), so that a stray huge file cannot exhaust memory.
constexpr std::size_t kMaxFileSize = std::size_t{256} << 20;

// Reads a whole regular file. Missing: no such file (or a folder on the way is missing). Failed:
// anything else (not a regular file, unreadable, larger than kMaxFileSize, read error).
EReadResult ReadFileContent(const std::string& strPath, std::string& strContent);

// Replaces the file's content atomically: writes a temporary file in the same folder, flushes it to
// disk and renames it over the file, so readers see either the old or the new content. Creates the
// missing folders of the path. An existing file keeps its permission bits (and owner, where the
// process may set it); a symbolic link is followed and its target replaced. Refused (false, the
// file untouched, no temporary file left) when the file or its folder is read-only - has no write
// permission bit, or the process may not write it - or on any error.
bool ReplaceFileContent(const std::string& strPath, const std::string& strContent);
