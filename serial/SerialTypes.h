#pragma once
// Types shared by the serial engine and its owner: the port settings, the notice codes and the
// owner interface through which the engine reports.
#include <chrono>
#include <cstddef>
#include <cstdint>

// When the watcher read a run of received bytes: the wall clock, so that it can be shown.
using ReadTime = std::chrono::system_clock::time_point;

// Notice codes (the first argument of ISerialOwner::OnSerialEvent).
enum : unsigned {
    SN_PORT_EVENT = 0x401,   // every wake of the watcher
    SN_CTS_CHANGED = 0x402,  // a status line changed: the owner rereads GetModemStatus()
    SN_DSR_CHANGED = 0x403,
    SN_LINE_ERROR = 0x404,  // framing, parity or overrun error, or a break
    SN_RING = 0x405,
    SN_CD_CHANGED = 0x406,
    SN_RX_BYTE = 0x407,    // one received byte; the value is the byte, 0..255
    SN_TX_EMPTY = 0x40A,   // everything handed to Write()/WriteStream() has left the driver,
                           // or the transmission was cancelled
    SN_PORT_LOST = 0x40B,  // the device went away (unplugged, I/O error); raised once
};

// Port events for CSerialLink::SetEventMask(); the engine starts with EV_ALL. Received bytes are
// always delivered.
enum : std::uint32_t {
    EV_TXEMPTY = 0x0004,  // SN_TX_EMPTY
    EV_CTS = 0x0008,      // SN_CTS_CHANGED
    EV_DSR = 0x0010,      // SN_DSR_CHANGED
    EV_RLSD = 0x0020,     // SN_CD_CHANGED
    EV_BREAK = 0x0040,    // SN_LINE_ERROR for a break
    EV_ERR = 0x0080,      // SN_LINE_ERROR for a framing, parity or overrun error
    EV_RING = 0x0100,     // SN_RING
    EV_ALL = 0x01FC,
};

// Modem status bits of GetModemStatus().
enum : std::uint32_t {
    MS_CTS_ON = 0x10,
    MS_DSR_ON = 0x20,
    MS_RING_ON = 0x40,
    MS_RLSD_ON = 0x80,  // carrier detect
};

// Line settings in the engine's own terms. A value outside the named ones (a list position of
// -1, say) leaves the driver's setting as it is.
enum class EParity : int { None = 0, Odd = 1, Even = 2, Mark = 3, Space = 4 };
enum class EStopBits : int { One = 0, OneAndHalf = 1, Two = 2 };
// Handshake modes, numbered as the window's codes; Linux drivers do CtsRts and XonXoff only.
enum class EFlowControl : int {
    None = 0,
    CtsRts = 1,
    CtsDtr = 2,
    DsrRts = 3,
    DsrDtr = 4,
    XonXoff = 5
};

struct PortSettings {
    unsigned nPort = 1;  // 1-based: "COM1" is 1
    std::uint32_t dwBaudRate = 9600;
    EParity eParity = EParity::None;
    std::uint8_t byDataBits = 8;  // 5..8
    EStopBits eStopBits = EStopBits::One;
};

// Implemented by the window that owns a CSerialLink.
class ISerialOwner {
public:
    virtual ~ISerialOwner() = default;

    // Watcher thread: the notice queue went from empty to non-empty. Must return at once
    // (post an event to the user-interface thread, which then calls DeliverNotices()).
    virtual void OnNoticesPending() = 0;
    // Watcher or transmitter thread: a prompt notice (the transmit-empty notice, a status-line
    // change) is waiting, which the owner may take at once with CSerialLink::DeliverPromptNotices()
    // while it lets received bytes gather. Must return at once. By default the same as
    // OnNoticesPending(): DeliverNotices() hands over the prompt notices first.
    virtual void OnPromptNoticesPending() { OnNoticesPending(); }

    // User-interface thread, from CSerialLink::DeliverNotices(): one notice, in arrival order.
    virtual void OnSerialEvent(unsigned nCode, unsigned nValue) = 0;

    // User-interface thread, from DeliverNotices(): a run of received bytes at once, in place of
    // one SN_RX_BYTE notice per byte. False (the default) declines: each byte then comes through
    // OnSerialEvent; an owner declines at once, before doing anything else. The run is the
    // engine's until the call returns.
    virtual bool OnSerialBytes(const std::uint8_t* /*pBytes*/, std::size_t /*nCount*/) {
        return false;
    }
};
