// The XMODEM, XMODEM-1K and YMODEM sender on any answers from the far end, cut into pieces and
// spread over time as the input says, maybe cancelled on the way. Properties: nothing crashes;
// nothing goes out early (before the deadline); a running sender always has a deadline ahead of
// the time it was last given (a driver never spins); what it sends stays within what its files
// can need (every block, EOT and block 0 sent at most 11 times, the cancels); once the far end
// falls silent it ends within a bounded number of wake-ups.
#include <fuzzer/FuzzedDataProvider.h>
#include <stdlib.h>
#include <unistd.h>

#include <array>
#include <string>
#include <vector>

#include "FuzzCheck.h"
#include "XmodemSender.h"

namespace {

constexpr std::array<std::size_t, 6> kSizes = {0, 1, 128, 130, 1025, 3000};
constexpr int kSilentWakeUps = 200;

// The files to send, made once and removed at exit: file N holds kSizes[N] bytes.
class CFiles {
public:
    CFiles() {
        char szFolder[] = "/tmp/dive-fuzz-sender-XXXXXX";
        FUZZ_CHECK(mkdtemp(szFolder) != nullptr);
        m_strFolder = szFolder;
        for (std::size_t i = 0; i < kSizes.size(); ++i) {
            std::FILE* pFile = std::fopen(Path(i).c_str(), "wb");
            FUZZ_CHECK(pFile != nullptr);
            for (std::size_t n = 0; n < kSizes[i]; ++n) {
                std::fputc(static_cast<int>(n * 7 % 256), pFile);
            }
            std::fclose(pFile);
        }
    }
    ~CFiles() {
        for (std::size_t i = 0; i < kSizes.size(); ++i) {
            unlink(Path(i).c_str());
        }
        rmdir(m_strFolder.c_str());
    }
    std::string Path(std::size_t i) const {
        return m_strFolder + "/fw" + std::to_string(i) + ".bin";
    }

private:
    std::string m_strFolder;
};

// Mostly the bytes a receiver sends, now and then any byte.
std::uint8_t AnswerByte(FuzzedDataProvider& input) {
    const std::uint8_t by = input.ConsumeIntegral<std::uint8_t>();
    if (by < 128) {
        return xmodem::ACK;
    }
    if (by < 160) {
        return xmodem::NAK;
    }
    if (by < 192) {
        return xmodem::CRC;
    }
    if (by < 200) {
        return xmodem::CAN;
    }
    return input.ConsumeIntegral<std::uint8_t>();
}

class CDriver {
public:
    CDriver(CXmodemSender& sender, std::size_t nMaxOutput) : m_sender(sender), m_nMax(nMaxOutput) {}

    void Bytes(const std::vector<std::uint8_t>& bytes) {
        m_sender.OnBytes(bytes, m_tNow);
        Collect(false);  // the driver's OnTime follows: a deadline may be now
        Advance({});
    }
    void Cancel() {
        m_sender.Cancel(m_tNow);
        Collect(true);
    }
    void Advance(TransferClock::duration d) {
        m_tNow += d;
        const bool bEarly = m_tNow < m_sender.Deadline();
        const ETransferState eBefore = m_sender.State();
        m_sender.OnTime(m_tNow);
        FUZZ_CHECK(!bEarly || (!m_sender.HasOutput() && m_sender.State() == eBefore));
        Collect(true);
    }
    void ToDeadline() {
        Advance(std::max(m_sender.Deadline() - m_tNow, TransferClock::duration{}));
    }
    void Start() {
        m_sender.Start(m_tNow);
        Collect(true);
    }

private:
    // bAhead: the deadline must lie after now, or a driver would wake again and again.
    void Collect(bool bAhead) {
        m_nOutput += m_sender.TakeOutput().size();
        FUZZ_CHECK(m_nOutput <= m_nMax);
        FUZZ_CHECK(!m_sender.IsRunning() || m_sender.Deadline() > m_tNow ||
                   (!bAhead && m_sender.Deadline() == m_tNow));
    }

    CXmodemSender& m_sender;
    std::size_t m_nMax;
    std::size_t m_nOutput = 0;
    TransferClock::time_point m_tNow = TransferClock::time_point{} + std::chrono::hours(1);
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t nSize) {
    FuzzedDataProvider input(pData, nSize);
    const auto eProtocol = static_cast<ETransferProtocol>(input.ConsumeIntegralInRange<int>(0, 2));
    std::vector<std::string> arrPaths;
    std::size_t nItems = 1;  // the empty block 0 that closes a batch
    const int nFiles = input.ConsumeIntegralInRange<int>(1, 3);
    for (int i = 0; i < nFiles; ++i) {
        const std::size_t nFile = input.ConsumeIntegralInRange<std::size_t>(0, kSizes.size() - 1);
        static const CFiles files;
        arrPaths.push_back(files.Path(nFile));
        // Its block 0, its blocks (128 bytes at the least), EOT (twice for YMODEM).
        nItems += 1 + (kSizes[nFile] + 127) / 128 + 2;
    }
    // And the cancels: CAN five times, at most four times over (at once, a moment later, after
    // answers).
    const std::size_t nMaxOutput = nItems * (xmodem::kMaxRetries + 1) * 1029 + 20;
    STransferTimeouts timeouts;
    timeouts.settle = std::chrono::microseconds(input.ConsumeIntegralInRange<int>(0, 1000));
    CXmodemSender sender(eProtocol, arrPaths, timeouts);
    CDriver driver(sender, nMaxOutput);
    driver.Start();
    while (input.remaining_bytes() > 0 && sender.IsRunning()) {
        const std::size_t nPiece = input.ConsumeIntegralInRange<std::size_t>(0, 8);
        std::vector<std::uint8_t> piece;
        for (std::size_t i = 0; i < nPiece && input.remaining_bytes() > 0; ++i) {
            piece.push_back(AnswerByte(input));
        }
        driver.Bytes(piece);
        switch (input.ConsumeIntegralInRange<int>(0, 3)) {
            case 0:
                driver.Advance(std::chrono::microseconds(input.ConsumeIntegral<std::uint16_t>()));
                break;
            case 1:
                driver.Advance(std::chrono::milliseconds(input.ConsumeIntegralInRange(0, 12000)));
                break;
            case 2:
                driver.ToDeadline();
                break;
            default:
                if (input.ConsumeIntegral<std::uint8_t>() == 0) {
                    driver.Cancel();
                }
                break;
        }
    }
    for (int i = 0; i < kSilentWakeUps && sender.IsRunning(); ++i) {
        driver.ToDeadline();
    }
    FUZZ_CHECK(!sender.IsRunning());
    return 0;
}
