#pragma once
// ITerminalDevice over TCP: a serial port on another machine, at "rfc2217://HOST:PORT" (Telnet
// with BINARY both ways and the Com Port Control Option, RFC 2217) or "tcp://HOST:PORT" (bytes
// only, nothing sent for the settings).
//
// One socket carries the data and, for RFC 2217, the commands and the server's answers. Reading
// and parsing take m_mtxRead: the watcher's Read(), and the owner's wait for answers to settings
// while nobody else reads (data it meets is held for the watcher, whose Wait() sees it through an
// event of the device's own). Everything written (data with IAC doubled, commands, negotiation
// answers) goes through one encoded queue under m_mtxWrite, in order; commands are pushed out
// within kSendMs.
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "ComPortOption.h"
#include "NetAddress.h"
#include "Telnet.h"
#include "TelnetOptions.h"
#include "TerminalDevice.h"
#include "WakeEvent.h"

class CNetDevice final : public ITerminalDevice {
public:
    static constexpr int kConnectMs = 5000;  // resolution and connection
    static constexpr int kAnswerMs = 2000;   // the server's answer to the option and each setting
    static constexpr int kSendMs = 2000;     // a command waiting for room in the socket

    // nConnectedFd: a socket already connected to the address (the window connects without
    // waiting), which the device then owns; -1 connects in Open().
    explicit CNetDevice(std::string strAddress, int nConnectedFd = -1);
    ~CNetDevice() override;
    CNetDevice(const CNetDevice&) = delete;
    CNetDevice& operator=(const CNetDevice&) = delete;

    // Errors beyond the tty's: EINVAL a malformed address, ENOENT a name that does not resolve,
    // ECONNREFUSED, ETIMEDOUT, EHOSTUNREACH, ENETUNREACH, EPROTONOSUPPORT a server that refused
    // the Com Port Control Option or never answered it, ECONNRESET a server that closed at once.
    int Open() override;
    void Close() override;

    int Wait(short nEvents, int nWakeFd, int nTimeoutMs, bool& bWoken) override;
    long Read(std::uint8_t* pBuf, std::size_t nCap) override;
    long Write(const std::uint8_t* pBytes, std::size_t nCount) override;
    bool Drain() override;
    void DiscardOutput() override;

    // RFC 2217: sends every setting and waits (up to kAnswerMs) for the server's answers, which
    // GetSettings() then reports. Raw: nothing is sent; GetSettings() reports the request.
    bool ApplySettings(const LineSettings& settings) override;
    bool GetSettings(LineSettings& settings) override;

    // RFC 2217: the lines of the server's last NOTIFY-MODEMSTATE; raw: none.
    bool GetStatusLines(std::uint32_t& dwStatus) override;
    bool SetOutputLine(EOutputLine line, bool bOn) override;
    bool GetErrorCounts(LineErrorCounts& counts) override;
    std::vector<std::string> Notes() const override;

private:
    using Clock = std::chrono::steady_clock;
    static constexpr std::size_t kChunk = 64 * 1024;

    bool IsComPort() const { return m_address && m_address->bComPort; }
    // Appends encoded bytes and pushes them out within kSendMs; false when the socket failed.
    bool SendCommand(const std::vector<std::uint8_t>& bytes);
    // Under m_mtxWrite: writes what the queue holds; 0, -EAGAIN when some is left, -errno.
    long FlushLocked();
    // Under m_mtxRead: one non-blocking read of the socket, parsed; data goes to pData (up to
    // nCap, which is never less than what one read brings). The data count, 0 at end of stream,
    // -EAGAIN or -errno.
    long ReadSocketLocked(std::uint8_t* pData, std::size_t nCap);
    void Handle(const TelnetCommand& command);
    // Waits until pred() holds (under m_mtxState), reading the socket itself while nobody else
    // does; false after nMs or at the end of the stream.
    template <class Pred>
    bool WaitFor(Pred pred, int nMs);

    std::string m_strAddress;
    std::optional<NetAddress> m_address;
    int m_nFd = -1;
    CWakeEvent m_held;  // readable while m_heldData has bytes for the watcher

    std::mutex m_mtxWrite;
    std::vector<std::uint8_t> m_pending;  // encoded, not yet written
    std::size_t m_nPendingPos = 0;
    std::atomic<bool> m_bDiscard{false};  // ends a Drain()

    std::mutex m_mtxRead;
    CTelnetReader m_reader;
    CTelnetOptions m_options;
    std::vector<std::uint8_t> m_raw;   // one read of the socket
    std::vector<std::uint8_t> m_data;  // its data bytes
    std::vector<TelnetCommand> m_arrCommands;
    std::vector<std::uint8_t> m_heldData;  // data read while waiting for answers
    std::atomic<bool> m_bEnded{false};     // the server closed or the socket failed

    std::mutex m_mtxState;
    std::condition_variable m_cvState;
    LineSettings m_requested;
    LineSettings m_actual;
    unsigned m_nAwaited = 0;  // bit per comport::ECommand whose answer has not come
    bool m_bOptionAnswered = false;
    std::atomic<std::uint32_t> m_dwLines{0};
};
