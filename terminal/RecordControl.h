// CRecordControl: the window's side of recording to a file ("开始记录..." / "停止记录" in the
// receive box's menu). It asks for the file (a text log for names ending in ".log" or ".txt",
// raw bytes for any other), asks whether an existing file is appended to or overwritten, starts
// the recorder (capture/Recorder.h) and hands it every received byte with its read time, marks
// the port closing and opening in a text log, and stops at "停止记录", when the window closes
// or when writing fails ("记录失败：" and the reason; what was written stays, the port and the box
// go on). The recorder writes on its own thread; this object only copies bytes into its hand-off.
#include <QObject>
#include <QString>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

#include "Recorder.h"

class QWidget;

class CRecordControl : public QObject {
    Q_OBJECT
public:
    enum class EExisting { Append, Overwrite, Cancel };
    // The dialogs, replaceable by tests: the file to record to (empty: cancelled), and what to do
    // with a file that exists.
    using PathAsker = std::function<QString()>;
    using ExistingAsker = std::function<EExisting(const QString& strPath)>;

    explicit CRecordControl(QWidget* pWindow);
    void SetAskers(PathAsker fnPath, ExistingAsker fnExisting);

    // The menu item: starts (after the dialogs) or stops a recording. bUtf8/bLfToCrLf: how the
    // receive box shows text now.
    void Toggle(bool bUtf8, bool bLfToCrLf);
    // Ends the recording (the window closes).
    void Stop();
    bool IsRecording() const { return m_recorder.IsRecording(); }
    // The file's name without its folder, while recording.
    const QString& FileName() const { return m_strFileName; }

    void AppendBytes(const std::uint8_t* pBytes, std::size_t nCount, ReadTime tRead) {
        if (m_recorder.IsRecording()) {
            m_recorder.AppendBytes(pBytes, nCount, tRead);
        }
    }
    void AppendSent(const std::uint8_t* pBytes, std::size_t nCount, ReadTime tSent) {
        if (m_recorder.IsRecording()) {
            m_recorder.AppendSent(pBytes, nCount, tSent);
        }
    }
    // Marker lines, written at once: "—— 串口打开 COM1 115200,8,N,1 ——" (strPort is
    // "COM1 115200,8,N,1") and "—— 串口关闭 ——".
    void PortOpened(const QString& strPort);
    void PortClosed();
    void SetCodePage(bool bUtf8) { m_recorder.SetCodePage(bUtf8); }
    void SetLfToCrLf(bool bLfToCrLf) { m_recorder.SetLfToCrLf(bLfToCrLf); }

Q_SIGNALS:
    // A recording started or stopped: the window's title and the menu's caption follow.
    void StateChanged();

private:
    // Posted by the writer's thread; the reason waits in m_strWriterFailure under its lock, so the
    // hand-over is one the thread checker sees.
    Q_INVOKABLE void OnWriterFailed();
    void OnFailed(const QString& strReason);
    void ShowFailure(const QString& strReason);

    QWidget* m_pWindow;
    PathAsker m_fnAskPath;
    ExistingAsker m_fnAskExisting;
    CRecorder m_recorder;
    QString m_strFileName;
    std::mutex m_mutexFailure;
    std::string m_strWriterFailure;
    std::uint64_t m_nFailedRecording = 0;
    std::uint64_t m_nRecording = 0;  // counts recordings, so a late failure finds a newer one
};

// "COM1 115200,8,N,1": the port and its line settings as the marker line names them.
QString PortMarkerText(unsigned nPort, std::uint32_t dwBaud, int nDataBits, int nParity,
                       int nStopBits);
