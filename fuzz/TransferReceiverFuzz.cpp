// The XMODEM and YMODEM receiver on any bytes from the far end, cut into pieces and spread over
// time as the input says. Properties: nothing crashes; the receiver never writes more than the
// size block 0 announced, nor more than its limit; it always ends or has a deadline to wake at;
// names that reach the sink are bare names.
#include <fuzzer/FuzzedDataProvider.h>

#include <optional>
#include <string>
#include <vector>

#include "FuzzCheck.h"
#include "XmodemReceiver.h"

namespace {

constexpr std::uint64_t kLimit = 64 * 1024;

class CMemorySink : public ITransferSink {
public:
    SSinkAnswer Begin(const std::string& strName, std::optional<std::uint64_t> nSize) override {
        if (!strName.empty()) {
            const std::optional<std::string> strClean = CleanTransferName(strName);
            if (!strClean) {
                return {false, "bad name"};
            }
            FUZZ_CHECK(strClean->find('/') == std::string::npos);
            FUZZ_CHECK(*strClean != ".." && *strClean != ".");
        }
        m_nSize = nSize;
        m_nWritten = 0;
        return {};
    }
    bool Write(const std::uint8_t*, std::size_t nCount) override {
        m_nWritten += nCount;
        FUZZ_CHECK(m_nWritten <= (m_nSize ? *m_nSize : kLimit));
        return true;
    }
    std::string End(bool) override { return {}; }
    std::uint64_t Limit() const override { return kLimit; }

private:
    std::optional<std::uint64_t> m_nSize;
    std::uint64_t m_nWritten = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t nSize) {
    FuzzedDataProvider input(pData, nSize);
    const bool bYmodem = input.ConsumeBool();
    CMemorySink sink;
    CXmodemReceiver receiver(bYmodem ? ETransferProtocol::Ymodem : ETransferProtocol::Xmodem, sink);
    auto tNow = TransferClock::time_point{} + std::chrono::hours(1);
    receiver.Start(tNow);
    while (input.remaining_bytes() > 0 && receiver.IsRunning()) {
        const std::size_t nPiece = input.ConsumeIntegralInRange<std::size_t>(1, 1100);
        const std::vector<std::uint8_t> piece = input.ConsumeBytes<std::uint8_t>(nPiece);
        receiver.OnBytes(piece, tNow);
        receiver.TakeOutput();
        tNow += std::chrono::milliseconds(input.ConsumeIntegralInRange<int>(0, 12000));
        receiver.OnTime(tNow);
        FUZZ_CHECK(!receiver.IsRunning() ||
                   receiver.Deadline() != TransferClock::time_point::max());
    }
    return 0;
}
