#pragma once
// CSerialLink: one serial port, opened for exclusive use, configured, watched and written.
//
// How it works. Open() finds the device that the port number stands for (CDeviceMap), takes
// the port for exclusive use (UUCP lock file, flock, TIOCEXCL), applies the settings and reads
// them back. StartWatcher() starts a watcher thread that waits on the device, reads everything
// that has arrived in one go and queues it as notices; a transmitter thread writes what Write()
// and WriteStream() hand over. Neither thread ever waits for the owner: notices go into an
// ordered, bounded queue (CNoticeQueue). When the queue turns non-empty the watcher calls
// ISerialOwner::OnNoticesPending(); the owner's user-interface thread then calls
// DeliverNotices(), which hands each notice to ISerialOwner::OnSerialEvent() in order (one
// SN_RX_BYTE per received byte). A full queue pauses reading until the owner drains it, so the
// sender sees back-pressure and no byte is lost.
//
// Threads. Every public operation runs on the owner's thread (the progress of a file send is
// read there too, with GetTxDone()). The engine never throws.
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "OpenError.h"
#include "SerialTypes.h"
#include "TerminalDevice.h"

struct CNotice;
class CLineTransfer;
class CNoticeQueue;
class CPortLock;
class CTransferMachine;
struct STransferStatus;
class CPortWatcher;
class CTransmitter;

class CSerialLink {
public:
    // Makes the device object for a path; tests hand in a fake. Default: the termios device.
    using DeviceFactory =
        std::function<std::unique_ptr<ITerminalDevice>(const std::string& strPath)>;

    CSerialLink();
    virtual ~CSerialLink();  // stops the threads and closes the port
    CSerialLink(const CSerialLink&) = delete;
    CSerialLink& operator=(const CSerialLink&) = delete;

    // Where port numbers lead: the settings file path whose section "DEVICES" maps "COM<n>"
    // to a device path, and the folder that stands for "/" when the present devices are listed.
    void SetDeviceMapSource(std::string strIniPath, std::string strDevRoot = "/");
    // For this run only, port nPort (1-based) opens strPath whatever section "DEVICES" says; ""
    // undoes it. Nothing is written to the settings file.
    void SetRunDevice(unsigned nPort, std::string strPath);
    // The devices named for this run: port number (1-based) to path.
    const std::map<unsigned, std::string>& RunDevices() const { return m_mapRunDevices; }
    // The folder that stands for "/" (SetDeviceMapSource).
    const std::string& DevRoot() const { return m_strDevRoot; }
    // The device path that port nPort (1-based) opens, or "" when the number has none.
    std::string DevicePathFor(unsigned nPort) const;
    // The device of every port at once: element 0 is COM1's ("" where a number has none).
    std::vector<std::string> DevicePaths() const;
    void SetDeviceFactory(DeviceFactory factory);
    // A socket already connected to the network address that the next open names (the window
    // connects without waiting); the engine owns it from now on and closes it when that open
    // does not use it. -1 drops one handed over before.
    void HandOverSocket(int nFd);
    // The folder for UUCP lock files ("/var/lock" unless set); skipped when not writable.
    void SetLockFolder(std::string strFolder);

    // Closes first when open. False when the number has no device, the device is missing, or
    // another program holds it (GetHolder() then names it when it can); the engine stays closed
    // and GetOpenError() says why.
    // True once the device is open, even when the driver refused some settings
    // (GetSettingDifferences()). Applies flow control 0 (none).
    bool Open(ISerialOwner* pOwner, const PortSettings& settings);
    // The same on the device at strPath, whatever the port number maps to (a device that came
    // back under another name); settings.nPort is not used.
    bool OpenDevice(ISerialOwner* pOwner, const std::string& strPath, const PortSettings& settings);
    // The path of the open device, "" when closed.
    const std::string& DevicePath() const { return m_strOpenPath; }
    // The owner takes received bytes only every nMs (0, the default: it wants each arrival at
    // once): the watcher may then let a paced stream gather that long, as far as the line's rate
    // allows (CPortWatcher). A running watcher follows at once.
    void SetGatherMs(int nMs);
    // The clock that stamps each read with its time (the wall clock unless set; tests hand in a
    // fake one). It runs on the watcher thread. From the next StartWatcher() on.
    void SetReadClock(std::function<ReadTime()> fnNow) { m_fnReadClock = std::move(fnNow); }
    // Starts the watcher; false when not open or when it already runs.
    bool StartWatcher();
    // Stops both threads at once (never waits for the owner), cancels a transmission, closes the
    // device and releases its locks. Undelivered notices are dropped, also during a
    // DeliverNotices() call. Safe on a closed engine.
    void Close();
    bool IsOpen() const;

    // Copies the bytes and returns at once; they go out in order after anything queued before.
    // False when the port is not open.
    bool Write(const std::uint8_t* pBytes, std::size_t nCount);
    // Streams a source of any length with bounded memory: fnRead fills up to nCap bytes and
    // returns how many (0: end, negative: read error, which ends the transmission). fnRead runs
    // on the transmitter thread. False when the port is not open. With nGapMs >= 0 each piece
    // goes out on its own: the next is written once the last has left the driver and nGapMs
    // more have passed (a file line by line, one line per piece).
    bool WriteStream(std::function<long(std::uint8_t* pBuf, std::size_t nCap)> fnRead,
                     int nGapMs = -1);
    void CancelWrite();               // drops what has not been written yet; SN_TX_EMPTY follows
    std::uint64_t GetTxDone() const;  // bytes written to the driver in the current transmission
    bool IsTransmitting() const;
    // When the last transmission ended: its SN_TX_EMPTY was queued then. The epoch of the steady
    // clock before the first one, and while the port is closed.
    std::chrono::steady_clock::time_point GetTxEndTime() const;

    // None, CtsRts, XonXoff (0x11/0x13). CtsDtr, DsrRts and DsrDtr have no Linux driver
    // equivalent: they fall back to None and say so in GetSettingDifferences(). Other values
    // change nothing. Ignored when the port is not open.
    void SetFlowControl(EFlowControl eMode);
    // EV_* bits: which port events raise their notices (received bytes are always delivered).
    // False when the port is not open.
    bool SetEventMask(std::uint32_t dwMask);
    bool SetDTR();  // false when not open or the device has no such line
    bool ClearDTR();
    bool SetRTS();
    bool ClearRTS();
    bool GetModemStatus(std::uint32_t& dwStatus);  // MS_* bits; false without status lines

    // User-interface thread: hands queued notices to the owner's OnSerialEvent in order, at most
    // about nBudgetBytes received bytes per call. True when more notices are still waiting (the
    // owner should call again soon, after letting the event loop run). A call made from inside
    // OnSerialEvent (an owner that runs an event loop there) goes on where the outer call stands.
    bool DeliverNotices(std::size_t nBudgetBytes = 256 * 1024);
    // During the owner's OnSerialBytes or OnSerialEvent for SN_RX_BYTE: when the watcher read
    // those bytes.
    ReadTime GetReadTime() const { return m_tRead; }
    // User-interface thread: hands only the prompt notices that wait (transmit empty, status-line
    // changes) to OnSerialEvent, oldest first, ahead of received bytes still queued.
    void DeliverPromptNotices();

    // Hands the line to a block file transfer (CLineTransfer): the watcher stops, so received
    // bytes go to the machine and none to the owner, until EndTransfer(). False when the port is
    // not open, a transmission is pending or a transfer runs.
    bool StartTransfer(std::unique_ptr<CTransferMachine> pMachine);
    bool IsTransferring() const { return m_pTransfer != nullptr; }
    // The transfer's state, progress and byte counts; the owner polls it.
    STransferStatus TransferStatus() const;
    void CancelTransfer();  // CAN CAN; the transfer ends soon after
    // Once TransferStatus() says it has finished: the watcher takes the line back (and reports a
    // device lost meanwhile as usual). Close() ends a transfer by itself.
    void EndTransfer();

    // After a failed Open: why it failed (kind None after a successful one).
    const OpenError& GetOpenError() const;
    // After a failed Open: who holds the port, e.g. "minicom (PID 1234)", or "" when unknown.
    const std::string& GetHolder() const;
    // After Open: settings the driver refused or changed, one Chinese line each,
    // e.g. "数据位：请求 7，实际 8". Empty when everything applied as asked.
    const std::vector<std::string>& GetSettingDifferences() const;

private:
    std::unique_ptr<ITerminalDevice> MakeDevice(const std::string& strPath);
    void ApplySettings(const PortSettings& settings);
    void ClearBatch();
    // Offers a whole run of received bytes to the owner; false when it wants them one by one.
    bool DeliverRun(ISerialOwner* pOwner, std::vector<std::uint8_t>& bytes);

    std::string m_strIniPath;
    std::string m_strDevRoot = "/";
    std::map<unsigned, std::string> m_mapRunDevices;  // SetRunDevice
    std::string m_strLockFolder = "/var/lock";
    DeviceFactory m_fnDeviceFactory;
    int m_nHandedSocket = -1;  // HandOverSocket

    ISerialOwner* m_pOwner = nullptr;
    std::unique_ptr<ITerminalDevice> m_pDevice;  // set while open
    std::string m_strOpenPath;                   // its path
    std::unique_ptr<CPortLock> m_pLock;
    std::unique_ptr<CNoticeQueue> m_pNotices;
    std::unique_ptr<CPortWatcher> m_pWatcher;
    std::unique_ptr<CTransmitter> m_pTransmitter;
    std::unique_ptr<CLineTransfer> m_pTransfer;  // set while a transfer has the line
    int m_nGatherMs = 0;
    std::function<ReadTime()> m_fnReadClock;
    ReadTime m_tRead{};            // the read being delivered
    std::uint64_t m_nSession = 0;  // changes at Open and Close, so a delivery in progress stops

    // The batch being delivered and the next notice (and byte of a run) to hand over; they move
    // before each call of the owner, so a nested DeliverNotices() carries on from there.
    std::vector<CNotice> m_arrBatch;
    std::size_t m_nBatchPos = 0;
    std::size_t m_nBytePos = 0;
    bool m_bQueueMore = false;  // the last Take left notices in the queue
    // The prompt notices being delivered by DeliverPromptNotices, and the next one, kept the same
    // way.
    std::vector<CNotice> m_arrPrompt;
    std::size_t m_nPromptPos = 0;

    std::string m_strHolder;
    OpenError m_openError;
    std::vector<std::string> m_arrSettingLines;  // differences found by Open
    std::vector<std::string> m_arrDifferences;   // those, then the flow-control line if any
};
