#pragma once
// CXmodemReceiver: receives by XMODEM (one file; 128- and 1024-byte blocks alike) or YMODEM (a
// batch of files, each announced by block 0).
//
// It asks for CRC-16 with 'C' (three times, `start` apart), then for the 8-bit sum with NAK, and
// gives up after nStartTries more; a block is checked (number, complement, CRC or sum) and
// acknowledged, a bad one or a silence of `character` inside a block or `answer` between blocks
// is asked for again with NAK, up to 10 times. A repeated block (its ACK was lost) is
// acknowledged and dropped; a block number out of line ends the transfer.
//
// XMODEM cannot know the file's true size: the SUB bytes at the end of the last block are taken
// for padding and removed. YMODEM cuts the padding by the size block 0 gives and never writes
// more than that size; without a size it removes trailing SUBs like XMODEM, and no file grows
// beyond the sink's limit.
#include <optional>
#include <vector>

#include "Transfer.h"
#include "TransferSink.h"

class CXmodemReceiver : public CTransferMachine {
public:
    // Xmodem and Xmodem1K receive the same way. bAskCrc false: XMODEM asks for the 8-bit sum at
    // once, for senders that know nothing else.
    CXmodemReceiver(ETransferProtocol eProtocol, ITransferSink& sink,
                    STransferTimeouts timeouts = {}, bool bAskCrc = true);
    ~CXmodemReceiver() override;

    void Start(TransferClock::time_point tNow) override;
    void OnBytes(std::span<const std::uint8_t> bytes, TransferClock::time_point tNow) override;
    void OnTime(TransferClock::time_point tNow) override;
    // CAN CAN, then what the sender still had on its way is dropped until the line is quiet
    // (StartDrain), then the end.
    void Cancel(TransferClock::time_point tNow) override;

private:
    void OnByte(std::uint8_t by, TransferClock::time_point tNow);
    void OnBlock(TransferClock::time_point tNow);
    void OnHeader(std::span<const std::uint8_t> data, TransferClock::time_point tNow);
    bool Deliver(std::span<const std::uint8_t> data);
    bool Store(const std::uint8_t* p, std::size_t n);
    void OnEot(TransferClock::time_point tNow);
    void Reject(TransferClock::time_point tNow);  // NAK, counted
    void AskToStart(TransferClock::time_point tNow);
    void OnEnd(ETransferState eState) override;

    bool IsYmodem() const { return m_eProtocol == ETransferProtocol::Ymodem; }

    ETransferProtocol m_eProtocol;
    ITransferSink& m_sink;
    STransferTimeouts m_timeouts;

    bool m_bStarted = false;  // a first block has come (before: 'C' or NAK to start)
    int m_nStartTries = 0;
    bool m_bAskCrc;
    bool m_bCrc = true;
    bool m_bWantHeader;  // YMODEM: block 0 comes next
    bool m_bFileOpen = false;
    std::uint8_t m_nExpected;
    int m_nErrors = 0;        // for the current block
    bool m_bEotOnce = false;  // YMODEM: the first EOT was answered by NAK

    std::vector<std::uint8_t> m_block;  // the block being read, from its first byte
    std::size_t m_nBlockLength = 0;     // its whole length with header and check, 0: none

    std::optional<std::uint64_t> m_nSize;  // announced by block 0
    std::vector<std::uint8_t> m_held;      // the last block, held back for its padding
    std::uint64_t m_nWritten = 0;
    int m_nBlocksBeyond = 0;  // blocks after the announced size was reached
};
