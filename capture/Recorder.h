// CRecorder: records received bytes to a file on a thread of its own.
//
// Raw recording writes every byte as received, nothing added; a text log writes the lines as the
// receive box's text mode shows them, each with its time (TextLog.h), and marker lines (the port
// closed or opened).
//
// Hand-off. The window's thread appends a read's bytes with the time of the read; that costs a
// copy into the pending list under a lock, never a system call. The writer thread takes the
// whole list at once, at least every kFlushMs, at once when more than kWakeBytes wait, at
// Flush() and at Stop(), and writes it out: a crash loses at most the last kFlushMs. Only when
// more than kLimitBytes are pending (a disk slower than the line) does Append wait for the
// writer, so the window takes bytes no faster than the disk keeps them, and the engine's queue
// then holds the sender back as it does for a slow window: nothing is dropped. The engine's
// watcher never waits for the recorder.
//
// Failure. When a write fails, or the file was removed, moved or made read-only (looked at every
// kFlushMs), the recorder stops writing, keeps what it wrote, and calls the failure handler once,
// on its own thread, with the reason (RecordFile.h); appends are then ignored until Stop().
#pragma once
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "RecordFile.h"
#include "TimeStamp.h"

class CTextLog;

enum class ERecordMode { Raw, TextLog };

// A name ending in ".log" or ".txt" (any case) records a text log; any other name raw bytes.
ERecordMode RecordModeForPath(const std::string& strPath);

struct SRecordOptions {
    ERecordMode eMode = ERecordMode::Raw;
    bool bUtf8 = false;     // the code page of a text log: UTF-8, else GBK
    bool bLfToCrLf = true;  // the newline option of a text log
};

class CRecorder {
public:
    static constexpr int kFlushMs = 250;
    static constexpr std::size_t kWakeBytes = 1u << 20;
    static constexpr std::size_t kLimitBytes = 16u << 20;

    using FailureHandler = std::function<void(const std::string& strReason)>;

    CRecorder() = default;
    CRecorder(const CRecorder&) = delete;
    CRecorder& operator=(const CRecorder&) = delete;
    ~CRecorder() { Stop(); }

    // Opens the file and starts the writer; false with the reason in strError when the file
    // cannot be recorded to. fnFailed runs on the writer thread.
    bool Start(const std::string& strPath, bool bAppend, const SRecordOptions& options,
               FailureHandler fnFailed, std::string& strError);
    // Writes what is pending, ends a text log's unfinished line and closes the file.
    void Stop();
    bool IsRecording() const { return m_thread.joinable(); }
    ERecordMode Mode() const { return m_options.eMode; }

    // The window's thread, while recording.
    void AppendBytes(const std::uint8_t* pBytes, std::size_t nCount, ReadTime tRead);
    // A send, as a text log's "TX " line; a raw recording ignores it.
    void AppendSent(const std::uint8_t* pBytes, std::size_t nCount, ReadTime tSent);
    // A text log's marker line (UTF-8); a raw recording ignores it.
    void AppendMarker(const std::string& strText, ReadTime tEvent);
    void SetCodePage(bool bUtf8);
    void SetLfToCrLf(bool bLfToCrLf);
    // Has the pending bytes written now (the port closed or was lost).
    void Flush();

private:
    enum class EKind { Bytes, Sent, Marker, CodePage, LfToCrLf };
    struct SEntry {
        EKind eKind;
        ReadTime tWhen;
        std::string data;  // the bytes or the marker's text
        bool bFlag = false;
    };

    void Push(SEntry&& entry, std::size_t nBytes);
    void Run();
    // Writer thread; false when writing failed. A text log's unfinished line is ended at bStop.
    bool WriteRaw(const std::vector<SEntry>& entries);
    bool WriteText(const std::vector<SEntry>& entries, CTextLog& textLog, bool bStop);

    SRecordOptions m_options;
    CRecordFile m_file;
    FailureHandler m_fnFailed;
    std::thread m_thread;
    std::string m_strOut;  // the writer's text

    std::mutex m_mtx;
    std::condition_variable m_cvWriter;  // the writer: something to do
    std::condition_variable m_cvRoom;    // the appender: the pending list was taken
    std::vector<SEntry> m_pending;
    std::size_t m_nPendingBytes = 0;
    bool m_bWakeWriter = false;
    bool m_bStop = false;
    bool m_bFailed = false;
};
