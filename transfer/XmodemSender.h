#pragma once
// CXmodemSender: sends one file by XMODEM or XMODEM-1K, or a batch of files by YMODEM.
//
// It waits for the receiver to start: 'C' asks for CRC-16, NAK for the 8-bit sum (XMODEM-1K then
// sends 128-byte blocks, as 1024-byte blocks go only with CRC). Each block waits `answer` for its
// ACK; a NAK or a silence sends it again, up to 10 times. The last block is padded with SUB. The
// file ends with EOT until it is acknowledged (YMODEM's receiver answers the first EOT with NAK).
// YMODEM announces each file in block 0 (name, size, modification time) and closes the batch
// with an empty block 0; its tail goes in 128-byte blocks when that is shorter.
//
// Some receivers (lrzsz's rx and rb among them) empty their input right after they answer, so on
// a line without delay (a pseudo-terminal) a block sent the moment the answer arrives can be
// thrown away and cost a timeout. A wait after every answer would cost every receiver a wake-up
// per block, so the sender sends at once until a block went unanswered for `character` or more
// (thrown away, or lost on the line); from then on it waits until the line has been quiet for
// `settle` after each answer.
#include <cstdio>
#include <string>
#include <vector>

#include "Transfer.h"

class CXmodemSender : public CTransferMachine {
public:
    // arrPaths: the files to send; XMODEM sends the first only.
    CXmodemSender(ETransferProtocol eProtocol, std::vector<std::string> arrPaths,
                  STransferTimeouts timeouts = {});
    ~CXmodemSender() override;

    void Start(TransferClock::time_point tNow) override;
    void OnBytes(std::span<const std::uint8_t> bytes, TransferClock::time_point tNow) override;
    void OnTime(TransferClock::time_point tNow) override;
    // CAN CAN now, again a moment later and once the receiver has answered meanwhile (one that
    // empties its input as it answers may throw away those that came with the block it answers),
    // then what the receiver still says is dropped until the line is quiet (StartDrain), then
    // the end.
    void Cancel(TransferClock::time_point tNow) override;

private:
    enum class EStep {
        WaitStart,   // for 'C' or NAK before the first block (of the batch, or of a file's data)
        WaitAnswer,  // for the answer to m_block
        Settle,      // an answer came; m_block goes out once the line is quiet (or at once)
    };

    void WaitForStart(TransferClock::time_point tNow);
    void OnByte(std::uint8_t by, TransferClock::time_point tNow);
    void OnCancellingBytes(std::span<const std::uint8_t> bytes, TransferClock::time_point tNow);
    void OnStartAsked(bool bCrc, TransferClock::time_point tNow);
    void OnAck(TransferClock::time_point tNow);
    void Resend(TransferClock::time_point tNow);  // counted
    // Prepares the next block after an ACK (or the start): data, EOT, a header or the end.
    void Next(TransferClock::time_point tNow);
    bool OpenFile();       // the next file of the batch; false: failed (already ended)
    void EndUnanswered();  // the last word went unanswered: done, and said so
    bool ReadData();       // the next data block into m_block; false: failed
    void MakeHeader(bool bEmpty);
    void QueueBlock(TransferClock::time_point tNow);
    void OnEnd(ETransferState eState) override;
    void CloseFile();

    bool IsYmodem() const { return m_eProtocol == ETransferProtocol::Ymodem; }
    // The block out is the transfer's last word: every byte of data has been acknowledged.
    bool IsLastWord() const { return m_bClosing || (m_bEot && !IsYmodem()); }
    std::string FileName() const;

    ETransferProtocol m_eProtocol;
    std::vector<std::string> m_arrPaths;
    STransferTimeouts m_timeouts;

    EStep m_eStep = EStep::WaitStart;
    bool m_bStarted = false;    // the receiver has asked to start
    bool m_bCrc = true;         // as the receiver asked
    bool m_bDataPhase = false;  // a file's data comes next (YMODEM: after its block 0)

    std::size_t m_nFile = 0;  // index into m_arrPaths of the file being sent
    std::FILE* m_pFile = nullptr;
    std::uint64_t m_nSize = 0;
    std::uint64_t m_nModified = 0;        // seconds since 1970
    std::uint64_t m_nLeft = 0;            // YMODEM: bytes still to read, no more than announced
    std::vector<std::uint8_t> m_pending;  // read from the file, not yet in a block

    std::vector<std::uint8_t> m_block;   // the block (or EOT) being sent, as it goes on the line
    std::uint8_t m_nNumber = 0;          // its number
    std::size_t m_nBlockData = 0;        // the file's bytes in it
    bool m_bHeader = false;              // it is a block 0
    bool m_bEot = false;                 // it is an EOT
    bool m_bClosing = false;             // it is the empty block 0 that closes the batch
    int m_nTries = 0;                    // its sends after the first
    int m_nEotNaks = 0;                  // NAKs to this file's EOT
    bool m_bCancelling = false;          // the first CANs went out
    bool m_bCancelDue = false;           // the receiver answered since the last CANs
    int m_nCancelSends = 0;              // CAN CAN sent so often in the cancel
    std::uint64_t m_nSends = 0;          // blocks (and EOTs) sent
    TransferClock::time_point m_tSent;   // when the last went out
    TransferClock::time_point m_tHeard;  // when the receiver last sent something
    bool m_bSettle = false;              // a block was thrown away: wait for quiet after answers
};
