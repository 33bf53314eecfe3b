#include "SerialTestSupport.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "IniFile.h"
#include "ProcessProbes.h"

void CRecordingOwner::OnNoticesPending() {
    {
        std::lock_guard lock(m_mtx);
        m_bPending = true;
    }
    m_cv.notify_all();
}

void CRecordingOwner::OnSerialEvent(unsigned nCode, unsigned nValue) {
    if (nCode == SN_RX_BYTE) {
        bytes.push_back(static_cast<std::uint8_t>(nValue));
    } else {
        codes.push_back(nCode);
    }
    if (fnOnEvent) {
        fnOnEvent(nCode, nValue);
    }
}

bool CRecordingOwner::OnSerialBytes(const std::uint8_t* pBytes, std::size_t nCount) {
    if (!bTakeRuns) {
        return false;
    }
    bytes.insert(bytes.end(), pBytes, pBytes + nCount);
    if (fnOnEvent) {
        fnOnEvent(SN_RX_BYTE, pBytes[nCount - 1]);
    }
    return true;
}

bool CRecordingOwner::PumpUntil(CSerialLink& link, const std::function<bool()>& pred, int nLimitMs,
                                std::size_t nBudget) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(nLimitMs);
    while (!pred()) {
        {
            std::unique_lock lock(m_mtx);
            if (!m_cv.wait_until(lock, deadline, [this] { return m_bPending; })) {
                return pred();
            }
            m_bPending = false;
        }
        while (link.DeliverNotices(nBudget) && !pred()) {
        }
    }
    return true;
}

std::size_t CRecordingOwner::Count(unsigned nCode) const {
    return static_cast<std::size_t>(std::count(codes.begin(), codes.end(), nCode));
}

void MapCom1(CSerialLink& link, const CTempFolder& folder, const std::string& strDevice) {
    CIniFile(folder.PathOf("Vexor.ini")).WriteString("DEVICES", "COM1", strDevice);
    std::filesystem::create_directories(folder.PathOf("root"));
    link.SetDeviceMapSource(folder.PathOf("Vexor.ini"), folder.PathOf("root"));
    link.SetLockFolder(folder.Path());
}

CPeerProcess::CPeerProcess(const std::vector<std::string>& arrArgs) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        return;
    }
    std::vector<char*> argv;
    for (const std::string& strArg : arrArgs) {
        argv.push_back(const_cast<char*>(strArg.c_str()));
    }
    argv.push_back(nullptr);
    m_nPid = fork();
    if (m_nPid == 0) {
        // Only async-signal-safe calls here. The test's own descriptors (a pty pair, say) must
        // not leak into the peer, or it would seem to hold them.
        const int nNull = open("/dev/null", O_WRONLY);
        dup2(fds[0], 0);
        dup2(nNull, 1);
        dup2(nNull, 2);
        close_range(3, ~0U, 0);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    close(fds[0]);
    m_nStdin = fds[1];
}

CPeerProcess::~CPeerProcess() {
    Kill();
    if (m_nStdin >= 0) {
        close(m_nStdin);
    }
}

bool CPeerProcess::IsRunning() {
    if (m_nPid <= 0) {
        return false;
    }
    int nStatus = 0;
    if (waitpid(m_nPid, &nStatus, WNOHANG) == m_nPid) {
        m_nStatus = WIFEXITED(nStatus) ? WEXITSTATUS(nStatus) : 128 + WTERMSIG(nStatus);
        m_nPid = -1;
        return false;
    }
    return true;
}

int CPeerProcess::WaitExit(int nLimitMs) {
    return WaitPolling([this] { return !IsRunning(); }, nLimitMs) ? m_nStatus : -1;
}

void CPeerProcess::Kill() {
    if (IsRunning()) {
        // script hangs up its child's terminal as it ends, which ends the child too.
        kill(m_nPid, SIGTERM);
        if (WaitExit(5000) < 0) {
            kill(m_nPid, SIGKILL);
            WaitExit(5000);
        }
    }
}

double CpuShareWhileIdle(int nMs) {
    return LeastCpuShare(nMs, kIdleCpuShare,
                         [](int n) { std::this_thread::sleep_for(std::chrono::milliseconds(n)); });
}

bool ClosesPromptly(CSerialLink& link) {
    std::atomic<bool> bClosed{false};
    std::thread closer([&] {
        link.Close();
        bClosed = true;
    });
    const bool bPrompt = WaitPolling([&] { return bClosed.load(); }, 10000);
    closer.join();
    return bPrompt;
}
