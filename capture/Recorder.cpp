#include "Recorder.h"

#include <algorithm>
#include <cctype>
#include <chrono>

#include "TextLog.h"

ERecordMode RecordModeForPath(const std::string& strPath) {
    auto endsWith = [&strPath](const char* pszSuffix) {
        const std::string strSuffix(pszSuffix);
        return strPath.size() >= strSuffix.size() &&
               std::equal(
                   strSuffix.rbegin(), strSuffix.rend(), strPath.rbegin(),
                   [](char a, char b) { return a == std::tolower(static_cast<unsigned char>(b)); });
    };
    return endsWith(".log") || endsWith(".txt") ? ERecordMode::TextLog : ERecordMode::Raw;
}

bool CRecorder::Start(const std::string& strPath, bool bAppend, const SRecordOptions& options,
                      FailureHandler fnFailed, std::string& strError) {
    Stop();
    if (!m_file.Open(strPath, bAppend)) {
        strError = m_file.Error();
        return false;
    }
    m_options = options;
    m_fnFailed = std::move(fnFailed);
    m_bStop = false;
    m_bFailed = false;
    m_bWakeWriter = false;
    m_thread = std::thread(&CRecorder::Run, this);
    return true;
}

void CRecorder::Stop() {
    if (!m_thread.joinable()) {
        return;
    }
    {
        std::lock_guard lock(m_mtx);
        m_bStop = true;
    }
    m_cvWriter.notify_one();
    m_thread.join();
    m_file.Close();
    m_pending.clear();
    m_nPendingBytes = 0;
}

void CRecorder::AppendBytes(const std::uint8_t* pBytes, std::size_t nCount, ReadTime tRead) {
    if (nCount == 0) {
        return;
    }
    std::unique_lock lock(m_mtx);
    if (m_bFailed || !m_thread.joinable()) {
        return;
    }
    // Waits only for a disk slower than the line; a failure or Stop ends the wait.
    m_cvRoom.wait(lock, [this] { return m_nPendingBytes < kLimitBytes || m_bFailed; });
    if (m_bFailed) {
        return;
    }
    // A raw recording needs no times: one run of bytes for all reads until the writer takes it.
    if (m_options.eMode == ERecordMode::Raw && !m_pending.empty() &&
        m_pending.back().eKind == EKind::Bytes) {
        m_pending.back().data.append(reinterpret_cast<const char*>(pBytes), nCount);
    } else {
        m_pending.push_back(
            {EKind::Bytes, tRead, std::string(reinterpret_cast<const char*>(pBytes), nCount)});
    }
    m_nPendingBytes += nCount;
    if (m_nPendingBytes >= kWakeBytes && !m_bWakeWriter) {
        m_bWakeWriter = true;
        lock.unlock();
        m_cvWriter.notify_one();
    }
}

void CRecorder::AppendSent(const std::uint8_t* pBytes, std::size_t nCount, ReadTime tSent) {
    if (m_options.eMode == ERecordMode::TextLog) {
        Push({EKind::Sent, tSent, std::string(reinterpret_cast<const char*>(pBytes), nCount)},
             nCount);
    }
}

void CRecorder::AppendMarker(const std::string& strText, ReadTime tEvent) {
    if (m_options.eMode == ERecordMode::TextLog) {
        Push({EKind::Marker, tEvent, strText}, strText.size());
    }
}

void CRecorder::SetCodePage(bool bUtf8) {
    if (m_options.eMode == ERecordMode::TextLog) {
        Push({EKind::CodePage, {}, {}, bUtf8}, 0);
    }
}

void CRecorder::SetLfToCrLf(bool bLfToCrLf) {
    if (m_options.eMode == ERecordMode::TextLog) {
        Push({EKind::LfToCrLf, {}, {}, bLfToCrLf}, 0);
    }
}

void CRecorder::Flush() {
    {
        std::lock_guard lock(m_mtx);
        m_bWakeWriter = true;
    }
    m_cvWriter.notify_one();
}

void CRecorder::Push(SEntry&& entry, std::size_t nBytes) {
    std::lock_guard lock(m_mtx);
    if (m_bFailed || !m_thread.joinable()) {
        return;
    }
    m_pending.push_back(std::move(entry));
    m_nPendingBytes += nBytes;
}

void CRecorder::Run() {
    std::vector<SEntry> entries;
    auto tNextCheck = std::chrono::steady_clock::now();
    CTextLog textLog(m_options.bUtf8, m_options.bLfToCrLf);
    for (;;) {
        bool bStop = false;
        {
            std::unique_lock lock(m_mtx);
            m_cvWriter.wait_for(lock, std::chrono::milliseconds(kFlushMs),
                                [this] { return m_bWakeWriter || m_bStop; });
            entries.swap(m_pending);
            m_nPendingBytes = 0;
            m_bWakeWriter = false;
            bStop = m_bStop;
        }
        m_cvRoom.notify_all();
        bool bOk = m_options.eMode == ERecordMode::Raw ? WriteRaw(entries)
                                                       : WriteText(entries, textLog, bStop);
        entries.clear();
        const auto tNow = std::chrono::steady_clock::now();
        if (bOk && tNow >= tNextCheck) {
            tNextCheck = tNow + std::chrono::milliseconds(kFlushMs);
            bOk = m_file.Check();
        }
        if (!bOk) {
            {
                std::lock_guard lock(m_mtx);
                m_bFailed = true;
                m_pending.clear();
                m_nPendingBytes = 0;
            }
            m_cvRoom.notify_all();
            if (m_fnFailed) {
                m_fnFailed(m_file.Error());
            }
            return;
        }
        if (bStop) {
            return;
        }
    }
}

bool CRecorder::WriteRaw(const std::vector<SEntry>& entries) {
    for (const SEntry& entry : entries) {
        if (!m_file.Write(entry.data.data(), entry.data.size())) {
            return false;
        }
    }
    return true;
}

bool CRecorder::WriteText(const std::vector<SEntry>& entries, CTextLog& textLog, bool bStop) {
    m_strOut.clear();
    for (const SEntry& entry : entries) {
        switch (entry.eKind) {
            case EKind::Bytes:
                textLog.AppendBytes(m_strOut,
                                    reinterpret_cast<const std::uint8_t*>(entry.data.data()),
                                    entry.data.size(), entry.tWhen);
                break;
            case EKind::Sent:
                textLog.AppendSent(m_strOut,
                                   reinterpret_cast<const std::uint8_t*>(entry.data.data()),
                                   entry.data.size(), entry.tWhen);
                break;
            case EKind::Marker:
                textLog.AppendMarker(m_strOut, entry.data, entry.tWhen);
                break;
            case EKind::CodePage:
                textLog.SetCodePage(entry.bFlag);
                break;
            case EKind::LfToCrLf:
                textLog.SetLfToCrLf(entry.bFlag);
                break;
        }
    }
    if (bStop) {
        textLog.Finish(m_strOut);
    }
    return m_file.Write(m_strOut.data(), m_strOut.size());
}
