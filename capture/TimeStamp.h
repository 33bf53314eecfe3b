// The times that the text log and the receive box put before a line: the local time of the read
// that brought the line's first byte, to the millisecond.
#pragma once
#include <chrono>
#include <string>

using ReadTime = std::chrono::system_clock::time_point;

// Appends "[YYYY-MM-DD HH:MM:SS.mmm] " (bWithDate) or "[HH:MM:SS.mmm] ".
void AppendTimeStamp(std::string& out, ReadTime tRead, bool bWithDate);
