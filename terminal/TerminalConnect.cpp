// The main window and ports on other machines: the connect runs on a thread of its own
// (CNetConnector), so the window paints and takes input while a name resolves or a server is
// slow to answer; the engine then opens on the connected socket.
#include <unistd.h>

#include "MessageBox.h"
#include "NetAddress.h"
#include "OpenFailure.h"
#include "PortCombo.h"
#include "TerminalDlg.h"

bool CTerminalDlg::StartConnecting() {
    const std::string strPath =
        m_link.DevicePathFor(static_cast<unsigned>(m_cbPort->currentIndex() + 1));
    // A malformed address goes to the engine, which refuses it with its reason.
    return IsNetAddress(strPath) && m_connector.Start(strPath);
}

void CTerminalDlg::OnConnected(int nFd, int nError) {
    if (m_bWaiting) {
        EndReconnectTry(nFd, nError);
        return;
    }
    if (m_bClosed || m_bPortOpen) {
        if (nFd >= 0) {
            ::close(nFd);
        }
        return;
    }
    if (nError != 0) {
        CMessageBox::Show(this, OpenFailureText(OpenErrorFromErrno(nError, m_connector.Address())),
                          QString::fromUtf8(CMessageBox::kErrorCaption), QMessageBox::Warning);
    } else {
        m_link.HandOverSocket(nFd);
        if (OpenPort()) {
            ++m_nSession;
        } else {
            CMessageBox::Show(this, OpenFailureText(m_link),
                              QString::fromUtf8(CMessageBox::kErrorCaption), QMessageBox::Warning);
        }
    }
    EndOpenClose();
}
