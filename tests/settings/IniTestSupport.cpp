#include "IniTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

CTempFolder::CTempFolder() {
    std::string strTemplate = (std::filesystem::temp_directory_path() / "dive-ini-XXXXXX").string();
    if (::mkdtemp(strTemplate.data()) == nullptr) {
        ADD_FAILURE() << "cannot create a temporary folder";
    }
    m_strPath = strTemplate;
}

CTempFolder::~CTempFolder() {
    std::error_code ec;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(m_strPath, ec)) {
        if (entry.is_directory(ec)) {
            std::filesystem::permissions(entry.path(), std::filesystem::perms::owner_all,
                                         std::filesystem::perm_options::add, ec);
        }
    }
    std::filesystem::permissions(m_strPath, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(m_strPath, ec);
}

std::size_t CTempFolder::CountEntries() const {
    std::error_code ec;
    std::filesystem::directory_iterator it(m_strPath, ec);
    return ec ? 0 : static_cast<std::size_t>(std::distance(it, {}));
}

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
