// The settings file's text, shared by the reads of a burst: the window's start-up asks some
// twenty keys, and a file of many megabytes would otherwise be read and copied for each one.
//
// A read takes the text kept from the previous read when the path names the same file (device
// and inode: a replacement by rename is a new file) with the same size, modification and change
// times. A file changed within a second of its read is read anew every time, since a change
// inside the file system's timestamp granularity could leave its times as they were. One file's
// text is kept, for the life of the process.
#pragma once
#include <memory>
#include <string>

#include "FileContent.h"
#include "IniText.h"

// The text of the settings file at strPath, or nullptr with the reason (Missing or Failed) in
// eResult. Safe from any thread.
std::shared_ptr<const CIniText> ReadIniText(const std::string& strPath, EReadResult& eResult);
// After a write of strPath: the kept text is no longer trusted.
void ForgetIniText(const std::string& strPath);
