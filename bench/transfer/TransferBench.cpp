// Throughput of the sender: 1 MiB of random data by XMODEM-1K to lrzsz's `rx -c` and by YMODEM
// to `rb`, against lrzsz's own sender (`sx -k`, `sb`) to the same receivers in the same run.
// Every receiver sits behind a socket joined to a pseudo-terminal (as in the tests: its exit
// empties a terminal's queues and would eat its last ACK); the sender has the other end of the
// pseudo-terminal, ours through RunTransfer on the master, lrzsz's on the slave. Medians of three
// rounds; the file that arrives is checked. Target: ours at least 0.8 of lrzsz's rate.
//
// Usage: dive_transfer_bench [rounds, default 3]
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "LrzszPeer.h"
#include "TransferRunner.h"
#include "XmodemSender.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::size_t kSize = 1 << 20;

struct SRow {
    const char* pszName;
    ETransferProtocol eProtocol;
    const char* pszReceiver;
    std::vector<std::string> arrReceiverArgs;
    const char* pszLrzszSender;
    std::vector<std::string> arrSenderArgs;
};

std::string MakeFolder(const std::string& strBase, const char* pszName) {
    const std::string str = strBase + "/" + pszName;
    mkdir(str.c_str(), 0700);
    return str;
}

// Seconds for one transfer, or a negative value when it failed or the file differs.
double RunOnce(const SRow& row, bool bOurs, const std::string& strBase,
               const std::vector<std::uint8_t>& data) {
    const std::string strIn = MakeFolder(strBase, bOurs ? "in-ours" : "in-lrzsz");
    std::remove((strIn + "/fw.bin").c_str());
    SRawPty pty;
    std::vector<std::string> arrArgs = row.arrReceiverArgs;
    if (row.eProtocol != ETransferProtocol::Ymodem) {
        arrArgs.push_back("fw.bin");
    }
    const auto tStart = Clock::now();
    bool bDone = false;
    if (bOurs) {
        CLrzszPeer receiver(row.pszReceiver, arrArgs, strIn, pty.nSlave, true);
        CXmodemSender sender(row.eProtocol, {strBase + "/fw.bin"});
        CTransferCancel cancel;
        bDone = RunTransfer(sender, pty.nMaster, cancel) == ETransferState::Done &&
                receiver.Wait(60) == 0;
    } else {
        CLrzszPeer receiver(row.pszReceiver, arrArgs, strIn, pty.nMaster, true);
        std::vector<std::string> arrSender = row.arrSenderArgs;
        arrSender.push_back("fw.bin");
        CLrzszPeer sender(row.pszLrzszSender, arrSender, strBase, pty.nSlave);
        bDone = sender.Wait(60) == 0 && receiver.Wait(60) == 0;
    }
    const double dSeconds = std::chrono::duration<double>(Clock::now() - tStart).count();
    std::vector<std::uint8_t> got = ReadFileBytes(strIn + "/fw.bin");
    got.resize(std::min(got.size(), data.size()));  // XMODEM keeps the padding
    return bDone && got == data ? dSeconds : -1;
}

double Median(std::vector<double> arr) {
    std::sort(arr.begin(), arr.end());
    return arr[arr.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    const int nRounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    if (!HaveLrzsz()) {
        std::printf("lrzsz is not installed\n");
        return 1;
    }
    char szBase[] = "/tmp/dive-transfer-bench-XXXXXX";
    if (mkdtemp(szBase) == nullptr) {
        return 1;
    }
    const std::string strBase = szBase;
    const std::vector<std::uint8_t> data = RandomBytes(kSize, 11);
    WriteFileBytes(strBase + "/fw.bin", data);

    const SRow rows[] = {
        {"XMODEM-1K to rx -c", ETransferProtocol::Xmodem1K, "rx", {"-q", "-c"}, "sx", {"-q", "-k"}},
        {"YMODEM to rb", ETransferProtocol::Ymodem, "rb", {"-q"}, "sb", {"-q"}},
    };
    std::printf("%-20s %12s %12s %8s\n", "1 MiB", "ours kB/s", "lrzsz kB/s", "ratio");
    int nFailed = 0;
    for (const SRow& row : rows) {
        std::vector<double> arrOurs, arrLrzsz;
        for (int i = 0; i < nRounds; ++i) {
            // Alternating, so that a change in the machine's load touches both alike.
            arrLrzsz.push_back(RunOnce(row, false, strBase, data));
            arrOurs.push_back(RunOnce(row, true, strBase, data));
        }
        const double dOurs = Median(arrOurs), dLrzsz = Median(arrLrzsz);
        if (dOurs <= 0 || dLrzsz <= 0) {
            std::printf("%-20s failed (ours %.2f s, lrzsz %.2f s)\n", row.pszName, dOurs, dLrzsz);
            ++nFailed;
            continue;
        }
        std::printf("%-20s %12.0f %12.0f %8.2f\n", row.pszName, kSize / 1024.0 / dOurs,
                    kSize / 1024.0 / dLrzsz, dLrzsz / dOurs);
    }
    std::system(("rm -rf " + strBase).c_str());
    return nFailed;
}
