// Helpers shared by the settings tests: a scratch folder and whole-file access.
#pragma once
#include <string>
#include <string_view>

#include "TempFolder.h"

void WriteWholeFile(const std::string& strPath, const std::string& strContent);
std::string ReadWholeFile(const std::string& strPath);

// Empty when after differs from before in one stretch whose bytes of before hold no line end, so
// that every other line of before is kept byte for byte; else a description of the damage.
std::string DescribeDamage(const std::string& strBefore, const std::string& strAfter);
