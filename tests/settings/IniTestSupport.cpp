#include "IniTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

void WriteWholeFile(const std::string& strPath, const std::string& strContent) {
    std::ofstream file(strPath, std::ios::binary | std::ios::trunc);
    file.write(strContent.data(), static_cast<std::streamsize>(strContent.size()));
    ASSERT_TRUE(file.good()) << strPath;
}

std::string ReadWholeFile(const std::string& strPath) {
    std::ifstream file(strPath, std::ios::binary | std::ios::ate);
    std::string strContent(static_cast<std::size_t>(std::max<std::streamoff>(file.tellg(), 0)),
                           '\0');
    file.seekg(0);
    file.read(strContent.data(), static_cast<std::streamsize>(strContent.size()));
    return strContent;
}

namespace {

constexpr std::size_t kCompareBlock = 4096;

// Bytes equal at the front of a and b (compared block-wise, as files here reach 50 MiB).
std::size_t CommonPrefix(std::string_view a, std::string_view b) {
    const std::size_t nShorter = std::min(a.size(), b.size());
    std::size_t n = 0;
    while (n + kCompareBlock <= nShorter && std::memcmp(&a[n], &b[n], kCompareBlock) == 0) {
        n += kCompareBlock;
    }
    while (n < nShorter && a[n] == b[n]) {
        ++n;
    }
    return n;
}

std::size_t CommonSuffix(std::string_view a, std::string_view b) {
    const std::size_t nShorter = std::min(a.size(), b.size());
    std::size_t n = 0;
    while (n + kCompareBlock <= nShorter &&
           std::memcmp(&a[a.size() - n - kCompareBlock], &b[b.size() - n - kCompareBlock],
                       kCompareBlock) == 0) {
        n += kCompareBlock;
    }
    while (n < nShorter && a[a.size() - 1 - n] == b[b.size() - 1 - n]) {
        ++n;
    }
    return n;
}

}  // namespace

std::string DescribeDamage(const std::string& strBefore, const std::string& strAfter) {
    const std::size_t nPrefix = CommonPrefix(strBefore, strAfter);
    const std::size_t nShorter = std::min(strBefore.size(), strAfter.size());
    const std::size_t nSuffix = std::min(CommonSuffix(strBefore, strAfter), nShorter - nPrefix);
    const std::string_view removed =
        std::string_view(strBefore).substr(nPrefix, strBefore.size() - nPrefix - nSuffix);
    if (removed.find_first_of("\r\n") != std::string_view::npos) {
        return "line ends removed at offset " + std::to_string(nPrefix);
    }
    return {};
}
