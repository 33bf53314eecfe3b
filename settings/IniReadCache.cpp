#include "IniReadCache.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <map>
#include <mutex>

#include "IniSectionIndex.h"

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

// Whether the file was last changed at least a second before now.
bool SettledBefore(const SIdentity& identity, std::chrono::system_clock::time_point tNow) {
    const auto tChanged = std::chrono::system_clock::time_point(
        std::chrono::seconds(std::max(identity.mtime.tv_sec, identity.ctime.tv_sec) + 1));
    return tChanged <= tNow;
}

// What one pass over a file learnt: where its sections are, or, for a file of very many, its text.
struct SLearnt {
    CIniSectionIndex index;
    std::shared_ptr<const CIniText> pWhole;
    std::map<off_t, std::shared_ptr<const CIniText>> mapSections;  // by their file offsets
};

struct SKept {
    std::mutex mtx;
    std::string strPath;
    SIdentity identity;
    std::unique_ptr<SLearnt> pLearnt;
};

SKept& Kept() {
    static SKept kept;
    return kept;
}

std::shared_ptr<const CIniText> EmptyText() {
    static const auto pEmpty = std::make_shared<const CIniText>(std::string());
    return pEmpty;
}

// The bytes of span, as far as the file still holds them.
std::shared_ptr<const CIniText> ReadSpan(int nFd, const CIniSectionIndex::SSpan& span) {
    std::string strText(static_cast<std::size_t>(span.nEnd - span.nBegin), '\0');
    std::size_t nRead = 0;
    while (nRead < strText.size()) {
        const ssize_t n = ::pread(nFd, strText.data() + nRead, strText.size() - nRead,
                                  span.nBegin + static_cast<off_t>(nRead));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        nRead += static_cast<std::size_t>(n);
    }
    strText.resize(nRead);
    return std::make_shared<const CIniText>(std::move(strText));
}

// Learns nFd's sections; nullptr when it cannot be read.
std::unique_ptr<SLearnt> Learn(int nFd) {
    auto pLearnt = std::make_unique<SLearnt>();
    switch (pLearnt->index.Scan(nFd)) {
        case CIniSectionIndex::EScan::Ok:
            return pLearnt;
        case CIniSectionIndex::EScan::TooMany: {
            std::string strContent;
            if (::lseek(nFd, 0, SEEK_SET) != 0 ||
                ReadOpenFile(nFd, strContent) != EReadResult::Ok) {
                return nullptr;
            }
            pLearnt->pWhole = std::make_shared<const CIniText>(std::move(strContent));
            return pLearnt;
        }
        case CIniSectionIndex::EScan::Failed:
            break;
    }
    return nullptr;
}

// The text for section from what was learnt of nFd; bKeep: the section's text is kept for later.
std::shared_ptr<const CIniText> TextFor(SLearnt& learnt, int nFd, std::string_view section,
                                        bool bKeep) {
    if (learnt.pWhole) {
        return learnt.pWhole;
    }
    const std::optional<CIniSectionIndex::SSpan> span = learnt.index.Find(section);
    if (!span) {
        return EmptyText();
    }
    if (const auto it = learnt.mapSections.find(span->nBegin); it != learnt.mapSections.end()) {
        return it->second;
    }
    std::shared_ptr<const CIniText> pText = ReadSpan(nFd, *span);
    if (bKeep) {
        learnt.mapSections.emplace(span->nBegin, pText);
    }
    return pText;
}

}  // namespace

std::shared_ptr<const CIniText> ReadIniSection(const std::string& strPath, std::string_view section,
                                               EReadResult& eResult) {
    const CFd fd(OpenForReading(strPath));
    if (fd.Get() < 0) {
        eResult =
            (errno == ENOENT || errno == ENOTDIR) ? EReadResult::Missing : EReadResult::Failed;
        return nullptr;
    }
    struct stat st {};
    if (::fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode) ||
        static_cast<unsigned long long>(st.st_size) > kMaxFileSize) {
        eResult = EReadResult::Failed;
        return nullptr;
    }
    const SIdentity identity{st.st_dev, st.st_ino, st.st_size, st.st_mtim, st.st_ctim};
    eResult = EReadResult::Ok;
    SKept& kept = Kept();
    std::lock_guard lock(kept.mtx);
    if (kept.pLearnt && kept.strPath == strPath && kept.identity == identity) {
        return TextFor(*kept.pLearnt, fd.Get(), section, true);
    }
    const auto tRead = std::chrono::system_clock::now();
    std::unique_ptr<SLearnt> pLearnt = Learn(fd.Get());
    if (!pLearnt) {
        eResult = EReadResult::Failed;
        return nullptr;
    }
    if (!SettledBefore(identity, tRead)) {
        return TextFor(*pLearnt, fd.Get(), section, false);
    }
    kept.strPath = strPath;
    kept.identity = identity;
    kept.pLearnt = std::move(pLearnt);
    return TextFor(*kept.pLearnt, fd.Get(), section, true);
}

void ForgetIniText(const std::string& strPath) {
    SKept& kept = Kept();
    std::lock_guard lock(kept.mtx);
    if (kept.strPath == strPath) {
        kept.pLearnt.reset();
        kept.strPath.clear();
    }
}
