// The settings file's sections, shared by the reads of a burst: the window's start-up asks some
// twenty keys of a few sections, and a file of many megabytes would otherwise be read and scanned
// for each one.
//
// One pass over the file, through a small buffer, notes where the first section of each name
// begins and ends; only the sections asked for are read, each once, and nothing else of the file
// is kept. A file of very many sections is kept whole instead, so that a hostile one cannot make
// the index larger than its text.
//
// What was learnt is used again while the path names the same file (device and inode: a
// replacement by rename is a new file) with the same size, modification and change times. A file
// changed within a second of its read is read anew every time, since a change inside the file
// system's timestamp granularity could leave its times as they were. One file is kept, for the
// life of the process.
#pragma once
#include <memory>
#include <string>
#include <string_view>

#include "FileContent.h"
#include "IniText.h"

// A text in which CIniText::Find and FindEach see the keys of section as in the whole settings
// file at strPath (the section itself, or the whole file), or nullptr with the reason (Missing or
// Failed) in eResult. Safe from any thread.
std::shared_ptr<const CIniText> ReadIniSection(const std::string& strPath, std::string_view section,
                                               EReadResult& eResult);
// After a write of strPath: what was learnt of it is no longer trusted.
void ForgetIniText(const std::string& strPath);
