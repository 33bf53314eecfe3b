#include "IniTestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
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
    std::ifstream file(strPath, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

std::string DescribeDamage(const std::string& strBefore, const std::string& strAfter) {
    std::size_t nPrefix = 0;
    const std::size_t nShorter = std::min(strBefore.size(), strAfter.size());
    while (nPrefix < nShorter && strBefore[nPrefix] == strAfter[nPrefix]) {
        ++nPrefix;
    }
    std::size_t nSuffix = 0;
    while (nSuffix < nShorter - nPrefix &&
           strBefore[strBefore.size() - 1 - nSuffix] == strAfter[strAfter.size() - 1 - nSuffix]) {
        ++nSuffix;
    }
    const std::string_view removed =
        std::string_view(strBefore).substr(nPrefix, strBefore.size() - nPrefix - nSuffix);
    if (removed.find_first_of("\r\n") != std::string_view::npos) {
        return "line ends removed at offset " + std::to_string(nPrefix);
    }
    return {};
}
