#pragma once
// The words of the block file transfers in the window: the protocol and direction, the rate and
// the time in the progress dialog, and the one line that the receive box gets when a transfer
// has ended ("XMODEM 发送完成：fw.bin，1024 字节，0 次重发").
#include <QString>
#include <cstdint>

#include "Transfer.h"

// "XMODEM 发送", "XMODEM-1K 发送", "YMODEM 接收", ...
QString TransferTitle(ETransferProtocol eProtocol, bool bSend);
// Bytes per second over the time so far: "512 B/s", "11.3 KB/s", "1.2 MB/s"; "—" before 1 ms.
QString RateText(std::uint64_t nBytes, std::int64_t nElapsedMs);
// "00:07", "12:34", "1:02:03".
QString ElapsedText(std::int64_t nElapsedMs);

struct STransferOutcome {
    QString strTitle;  // TransferTitle
    ETransferState eState = ETransferState::Done;
    QString strNames;  // the files, "、" between them; empty when none was named
    std::uint64_t nBytes = 0;
    std::uint32_t nRetries = 0;
    QString strMessage;  // the engine's, Chinese: why it failed, or notes
};

// Done: "{title}完成：{names}，{n} 字节，{r} 次重发[；{notes}]"; failed:
// "{title}失败：{why}（{names}， 已传输 {n} 字节，{r} 次重发）"; cancelled the same with "已取消".
QString SummaryLine(const STransferOutcome& outcome);
