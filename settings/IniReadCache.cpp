#include "IniReadCache.h"

#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <mutex>

namespace {

// What tells one state of a file from another without reading it.
struct SIdentity {
    dev_t nDev = 0;
    ino_t nIno = 0;
    off_t nSize = 0;
    timespec mtime{};
    timespec ctime{};

    bool operator==(const SIdentity& other) const {
        return nDev == other.nDev && nIno == other.nIno && nSize == other.nSize &&
               Same(mtime, other.mtime) && Same(ctime, other.ctime);
    }
    static bool Same(const timespec& a, const timespec& b) {
        return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
    }
};

bool IdentityOf(const std::string& strPath, SIdentity& identity) {
    struct stat st {};
    if (::stat(strPath.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        return false;
    }
    identity = {st.st_dev, st.st_ino, st.st_size, st.st_mtim, st.st_ctim};
    return true;
}

// Whether the file was last changed at least a second before now.
bool SettledBefore(const SIdentity& identity, std::chrono::system_clock::time_point tNow) {
    const auto tChanged = std::chrono::system_clock::time_point(
        std::chrono::seconds(std::max(identity.mtime.tv_sec, identity.ctime.tv_sec) + 1));
    return tChanged <= tNow;
}

struct SKept {
    std::mutex mtx;
    std::string strPath;
    SIdentity identity;
    std::shared_ptr<const CIniText> pText;
};

SKept& Kept() {
    static SKept kept;
    return kept;
}

}  // namespace

std::shared_ptr<const CIniText> ReadIniText(const std::string& strPath, EReadResult& eResult) {
    SKept& kept = Kept();
    // Taken before the read: a change during the read gives another identity next time.
    SIdentity identity;
    const bool bKnown = IdentityOf(strPath, identity);
    if (bKnown) {
        std::lock_guard lock(kept.mtx);
        if (kept.pText && kept.strPath == strPath && kept.identity == identity) {
            eResult = EReadResult::Ok;
            return kept.pText;
        }
    }
    const auto tRead = std::chrono::system_clock::now();
    std::string strContent;
    eResult = ReadFileContent(strPath, strContent);
    if (eResult != EReadResult::Ok) {
        return nullptr;
    }
    auto pText = std::make_shared<const CIniText>(std::move(strContent));
    if (bKnown && SettledBefore(identity, tRead)) {
        std::lock_guard lock(kept.mtx);
        kept.strPath = strPath;
        kept.identity = identity;
        kept.pText = pText;
    }
    return pText;
}

void ForgetIniText(const std::string& strPath) {
    SKept& kept = Kept();
    std::lock_guard lock(kept.mtx);
    if (kept.strPath == strPath) {
        kept.pText.reset();
        kept.strPath.clear();
    }
}
