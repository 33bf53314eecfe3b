#pragma once
// A fresh folder under the temporary folder for one test, removed with everything in it (read-only
// parts included) when the object goes.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstddef>
#include <filesystem>
#include <iterator>
#include <string>
#include <string_view>

class CTempFolder {
public:
    CTempFolder() {
        std::string strTemplate =
            (std::filesystem::temp_directory_path() / "dive-test-XXXXXX").string();
        if (::mkdtemp(strTemplate.data()) == nullptr) {
            ADD_FAILURE() << "cannot create a temporary folder";
            return;
        }
        m_strPath = strTemplate;
    }
    ~CTempFolder() {
        if (m_strPath.empty()) {
            return;
        }
        // A folder without write or search permission would keep its entries.
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
    CTempFolder(const CTempFolder&) = delete;
    CTempFolder& operator=(const CTempFolder&) = delete;

    const std::string& Path() const { return m_strPath; }
    std::string PathOf(std::string_view name) const { return m_strPath + "/" + std::string(name); }
    // Entries directly in the folder.
    std::size_t CountEntries() const {
        std::error_code ec;
        std::filesystem::directory_iterator it(m_strPath, ec);
        return ec ? 0 : static_cast<std::size_t>(std::distance(it, {}));
    }

private:
    std::string m_strPath;
};
