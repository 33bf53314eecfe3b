#pragma once
// What the block transfers (XMODEM, XMODEM-1K, YMODEM) share: the protocol's control bytes, the
// timeouts, the progress, and CTransferMachine, the base of the machines that run a transfer.
//
// A machine is a state machine without threads or I/O of its own: its driver hands it the bytes
// that arrive (OnBytes) and the time when its deadline passes (OnTime), and sends what
// TakeOutput() gives. Time comes in as an argument, so tests and fuzzers drive it with any clock.
// The machine never blocks and never throws; a failure ends it with a message in Chinese.
#include <chrono>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace xmodem {
inline constexpr std::uint8_t SOH = 0x01;  // a 128-byte block follows
inline constexpr std::uint8_t STX = 0x02;  // a 1024-byte block follows
inline constexpr std::uint8_t EOT = 0x04;
inline constexpr std::uint8_t ACK = 0x06;
inline constexpr std::uint8_t NAK = 0x15;  // also: start, 8-bit checksum
inline constexpr std::uint8_t CAN = 0x18;
inline constexpr std::uint8_t SUB = 0x1A;  // pads the last block
inline constexpr std::uint8_t CRC = 'C';   // start, CRC-16
inline constexpr int kMaxRetries = 10;     // per block
}  // namespace xmodem

enum class ETransferProtocol { Xmodem, Xmodem1K, Ymodem };
enum class ETransferState { Running, Done, Failed, Cancelled };

using TransferClock = std::chrono::steady_clock;

struct STransferTimeouts {
    std::chrono::milliseconds start{10000};     // for the receiver to start, each try
    std::chrono::milliseconds answer{10000};    // for an answer or the next block
    std::chrono::milliseconds character{1000};  // between the characters of a block
    int nStartTries = 6;                        // asking to start this often at most
    // Sending to a receiver that has thrown a block away: how long the line must be quiet after
    // an answer before the next block goes out.
    std::chrono::microseconds settle{500};
};

struct STransferProgress {
    std::string strFile;         // the file being sent or received (its name)
    std::uint64_t nBytes = 0;    // of this file, done
    std::uint64_t nTotal = 0;    // of this file, 0 when unknown
    std::uint32_t nBlocks = 0;   // blocks acknowledged, over the whole transfer
    std::uint32_t nRetries = 0;  // blocks sent or asked for again
    std::uint32_t nFiles = 0;    // files finished
};

class CTransferMachine {
public:
    virtual ~CTransferMachine() = default;

    virtual void Start(TransferClock::time_point tNow) = 0;
    virtual void OnBytes(std::span<const std::uint8_t> bytes, TransferClock::time_point tNow) = 0;
    // The deadline has passed (or the driver woke for another reason: nothing happens early).
    virtual void OnTime(TransferClock::time_point tNow) = 0;
    // The user cancels: CAN CAN goes out, the transfer ends as cancelled.
    virtual void Cancel(TransferClock::time_point tNow);
    // The line went away: the transfer fails with strWhy.
    void LineLost(const std::string& strWhy);

    TransferClock::time_point Deadline() const { return m_tDeadline; }
    std::vector<std::uint8_t> TakeOutput();
    bool HasOutput() const { return !m_out.empty(); }
    ETransferState State() const { return m_eState; }
    bool IsRunning() const { return m_eState == ETransferState::Running; }
    // Why it failed or was cancelled, or notes on a finished transfer (cleaned names); Chinese.
    const std::string& Message() const { return m_strMessage; }
    const STransferProgress& Progress() const { return m_progress; }

protected:
    void Send(std::span<const std::uint8_t> bytes);
    void Send(std::uint8_t by) { m_out.push_back(by); }
    void SendCancel();
    // Ends the transfer: Failed sends CAN CAN first.
    void End(ETransferState eState, const std::string& strMessage);
    virtual void OnEnd(ETransferState) {}
    // Two CANs in a row from the far end end the transfer; true when that happened.
    bool CountCancel(std::uint8_t by);
    // After our cancel: what the far end still sends (a block on its way, its own CANs) is read
    // and dropped until the line has been quiet for a moment (2 s at most), then the transfer
    // ends as cancelled, so that those bytes do not reach whoever has the line next.
    void StartDrain(TransferClock::time_point tNow);
    bool IsDraining() const { return m_bDraining; }
    void OnDrainBytes(TransferClock::time_point tNow);
    void OnDrainTime(TransferClock::time_point tNow);

    TransferClock::time_point m_tDeadline = TransferClock::time_point::max();
    STransferProgress m_progress;
    std::string m_strMessage;

private:
    std::vector<std::uint8_t> m_out;
    ETransferState m_eState = ETransferState::Running;
    int m_nCans = 0;
    bool m_bDraining = false;
    TransferClock::time_point m_tDrainEnd;
};

// A block as it goes on the line: SOH or STX, number, its complement, the data (padded to 128 or
// 1024 with byPad), then the CRC-16 high byte first or the 8-bit sum.
std::vector<std::uint8_t> MakeBlock(std::uint8_t nNumber, std::span<const std::uint8_t> data,
                                    std::size_t nSize, std::uint8_t byPad, bool bCrc);
