#pragma once
// Counts how often a file (a device node too) is opened while some code runs, through inotify.
// Closes are watched as well: the kernel merges identical events that follow each other unread,
// so only alternating open and close events keep every open countable.
#include <sys/inotify.h>
#include <unistd.h>

#include <cstddef>
#include <functional>
#include <string>

// The number of opens of strPath while fn ran; -1 when the file cannot be watched.
inline int CountOpens(const std::string& strPath, const std::function<void()>& fn) {
    const int nFd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (nFd < 0 || inotify_add_watch(nFd, strPath.c_str(), IN_OPEN | IN_CLOSE) < 0) {
        if (nFd >= 0) {
            close(nFd);
        }
        return -1;
    }
    fn();
    int nOpens = 0;
    alignas(inotify_event) char buf[16384];
    ssize_t nRead = 0;
    while ((nRead = read(nFd, buf, sizeof buf)) > 0) {
        for (std::size_t nPos = 0; nPos < static_cast<std::size_t>(nRead);) {
            const auto* pEvent = reinterpret_cast<const inotify_event*>(buf + nPos);
            nOpens += (pEvent->mask & IN_OPEN) ? 1 : 0;
            nPos += sizeof(inotify_event) + pEvent->len;
        }
    }
    close(nFd);
    return nOpens;
}
