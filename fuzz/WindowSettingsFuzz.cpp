// The main window on any settings file: it starts in a defined state (every list on one of its
// entries, colours, code page and modes among their values, at least its smallest size), and what
// it saves on closing gives the same state when it starts again.
#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QTemporaryDir>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <tuple>

#include "CodePage.h"
#include "DialogTemplate.h"
#include "FuzzCheck.h"
#include "MessageBox.h"
#include "ReceiveView.h"
#include "SendEdit.h"
#include "TerminalDlg.h"

namespace {

struct SWindowState {
    int nPort, nBaud, nDataBits, nParity, nStopBits;
    QString strPeriod;
    bool bFormatText, bFormatHex;
    int nRxMode, nRxLfToCrLf, nCodePage;
    std::uint32_t crRxText, crRxBack, crTxText, crTxBack;
    QSize size;
    friend bool operator==(const SWindowState&, const SWindowState&) = default;
};

int Selected(const CTerminalDlg& dlg, int nId) {
    const auto* pList = qobject_cast<const QComboBox*>(dlg.Control(nId));
    FUZZ_CHECK(pList != nullptr);
    const int nIndex = pList->currentIndex();
    FUZZ_CHECK(nIndex >= 0 && nIndex < pList->count());
    return nIndex;
}

bool Checked(const CTerminalDlg& dlg, int nId) {
    return qobject_cast<const QAbstractButton*>(dlg.Control(nId))->isChecked();
}

SWindowState StateOf(const CTerminalDlg& dlg) {
    const auto* pRx = qobject_cast<const CReceiveView*>(dlg.Control(IDC_RECEIVE));
    const auto* pTx = qobject_cast<const CSendEdit*>(dlg.Control(IDC_SEND));
    FUZZ_CHECK(pRx != nullptr && pTx != nullptr);
    const SWindowState state{
        Selected(dlg, IDC_PORT),
        Selected(dlg, IDC_BAUD),
        Selected(dlg, IDC_DATABITS),
        Selected(dlg, IDC_PARITY),
        Selected(dlg, IDC_STOPBITS),
        qobject_cast<const QLineEdit*>(dlg.Control(IDC_PERIOD))->text(),
        Checked(dlg, IDC_FORMAT_TEXT),
        Checked(dlg, IDC_FORMAT_HEX),
        pRx->GetMode(),
        pRx->GetLfToCrLf(),
        pRx->CodePage()->Get(),
        pRx->GetTextColor(),
        pRx->GetBkColor(),
        pTx->GetTextColor(),
        pTx->GetBkColor(),
        dlg.size(),
    };
    FUZZ_CHECK(!(state.bFormatText && state.bFormatHex));
    FUZZ_CHECK(state.nCodePage == CP_GBK || state.nCodePage == CP_UTF8);
    FUZZ_CHECK(dlg.width() >= dlg.minimumWidth() && dlg.height() >= dlg.minimumHeight());
    return state;
}

// Starts a window on the file, checks it and closes it (which saves its settings).
SWindowState RunWindow(const std::string& strIni) {
    CTerminalDlg dlg(strIni);
    dlg.show();
    QCoreApplication::processEvents();
    const SWindowState state = StateOf(dlg);
    FUZZ_CHECK(dlg.close());
    return state;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* pArgc, char*** pArgv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    // Never destroyed: at exit Qt's own globals may already be gone, and the application's
    // destructor (its input devices) would read them.
    static auto* pApp = new QApplication(*pArgc, *pArgv);
    (void)pApp;
    // A box asked for by a start on a damaged file is answered at once.
    CMessageBox::SetInterceptor([](const SMessage&) {});
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t nSize) {
    // On a memory file system when there is one: every close saves with fsync.
    static QTemporaryDir dir(QDir(QStringLiteral("/dev/shm")).exists()
                                 ? QStringLiteral("/dev/shm/dive-fuzz-XXXXXX")
                                 : QDir::tempPath() + QStringLiteral("/dive-fuzz-XXXXXX"));
    FUZZ_CHECK(dir.isValid());
    const std::string strIni = dir.filePath(QStringLiteral("Vexor.ini")).toStdString();
    {
        std::ofstream file(strIni, std::ios::binary | std::ios::trunc);
        file.write(reinterpret_cast<const char*>(pData), static_cast<std::streamsize>(nSize));
        FUZZ_CHECK(file.good());
    }
    const SWindowState first = RunWindow(strIni);
    FUZZ_CHECK(RunWindow(strIni) == first);
    return 0;
}
