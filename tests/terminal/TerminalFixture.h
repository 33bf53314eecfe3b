#pragma once
// The fixture of the main-window tests: a settings file in a temporary folder whose section
// "DEVICES" maps COM1 to a pseudo-terminal, COM2 to a device that does not exist and COM3 to a
// path for the engine's scripted device; message boxes intercepted and recorded; helpers to reach
// the controls by their template ids.
//
// No message box may be shown from inside the delivery of a notice: a real box runs the event loop
// in the middle of a batch, where a nested delivery would hand on later notices before the rest of
// that batch. The windows the tests make note when they are being handed a notice, and every
// intercepted box checks it.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "CommandLine.h"
#include "DialogTemplate.h"
#include "FakeSerialLine.h"
#include "FileDialog.h"
#include "IniFile.h"
#include "MessageBox.h"
#include "PtyPair.h"
#include "StatusLamp.h"
#include "TerminalDlg.h"
#include "WaitHelpers.h"

inline const QString kOpenFailed =
    QStringLiteral("开启串口失败\n\n串口不存在或已被其他应用程序占用");
inline const QString kPortLost = QStringLiteral("串口已断开\n\n设备已被移除或发生读写错误");

// The window as the program builds it, noting while it is being handed a notice.
class CObservedDlg : public CTerminalDlg {
public:
    using CTerminalDlg::CTerminalDlg;
    // The engine's threads call the window while it runs: stop them before this object starts
    // coming apart (its destruction rewrites what those calls go through).
    ~CObservedDlg() override { Link().Close(); }

    void OnSerialEvent(unsigned nCode, unsigned nValue) override {
        ++s_nDelivering;
        CTerminalDlg::OnSerialEvent(nCode, nValue);
        --s_nDelivering;
    }
    bool OnSerialBytes(const std::uint8_t* pBytes, std::size_t nCount) override {
        ++s_nDelivering;
        const bool bTaken = CTerminalDlg::OnSerialBytes(pBytes, nCount);
        --s_nDelivering;
        return bTaken;
    }
    // Some window is inside the delivery of a notice.
    static bool IsDelivering() { return s_nDelivering > 0; }

private:
    static inline int s_nDelivering = 0;
};

class TerminalDlgTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        ASSERT_TRUE(m_pty.IsValid());
        m_strIni = m_dir.filePath(QStringLiteral("Vexor.ini")).toStdString();
        m_strLocks = m_dir.filePath(QStringLiteral("locks")).toStdString();
        m_strDevRoot = m_dir.filePath(QStringLiteral("root")).toStdString();
        QDir().mkpath(QString::fromStdString(m_strLocks));
        QDir().mkpath(QString::fromStdString(m_strDevRoot));
        m_strMissing = m_dir.filePath(QStringLiteral("ttyGone")).toStdString();
        CMessageBox::SetInterceptor([this](const SMessage& message) { Record(message); });
    }

    // What the interceptor does with a box.
    void Record(const SMessage& message) {
        EXPECT_FALSE(CObservedDlg::IsDelivering())
            << "box shown inside a notice: " << message.strText.toStdString();
        m_arrMessages.push_back(message);
    }

    void TearDown() override {
        CMessageBox::SetInterceptor({});
        CFileDialog::SetInterceptor({});
    }

    // The settings file: COM1 is the pseudo-terminal, COM2 a device that does not exist, then
    // strMore.
    void WriteIni(const std::string& strMore = {}) {
        QFile file(QString::fromStdString(m_strIni));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        const std::string strText = "[DEVICES]\nCOM1=" + m_pty.SlavePath() +
                                    "\nCOM2=" + m_strMissing + "\nCOM3=/dev/fake-diVE\n" + strMore;
        file.write(strText.data(), static_cast<qint64>(strText.size()));
    }

    // A window as the program builds it, shown, with its engine kept inside the test's folders;
    // arrArgs: its command line ("PTY" stands for the pseudo-terminal's path).
    std::unique_ptr<CTerminalDlg> MakeDialog(CSerialLink::DeviceFactory factory = {},
                                             QStringList arrArgs = {}) {
        std::unique_ptr<CTerminalDlg> pDlg = std::make_unique<CObservedDlg>(m_strIni);
        pDlg->Link().SetDeviceMapSource(m_strIni, m_strDevRoot);
        pDlg->Link().SetLockFolder(m_strLocks);
        if (factory) {
            pDlg->Link().SetDeviceFactory(std::move(factory));
        }
        arrArgs.replaceInStrings(QStringLiteral("PTY"), QString::fromStdString(m_pty.SlavePath()));
        const SCommandLine cmd = ParseCommandLine(arrArgs);
        EXPECT_EQ(cmd.action, SCommandLine::EAction::Run) << cmd.strError.toStdString();
        pDlg->SetRunOptions(cmd);
        pDlg->show();
        // Until the first frame has been painted and the rest of the dressing followed it.
        EXPECT_TRUE(WaitRunningEventLoop([&] { return pDlg->IsDressed(); }));
        return pDlg;
    }

    // A window opened on COM3, which the settings file maps to the engine's scripted device.
    std::unique_ptr<CTerminalDlg> OpenOnScriptedLine(
        const std::shared_ptr<CFakeSerialLine>& pLine) {
        auto pDlg = MakeDialog(pLine->Factory());
        SelectPort(*pDlg, 3);
        Click(*pDlg, IDC_OPEN);
        return pDlg;
    }

    template <class T>
    static T* Ctl(const CTerminalDlg& dlg, int nId) {
        T* pControl = qobject_cast<T*>(dlg.Control(nId));
        EXPECT_NE(pControl, nullptr) << nId;
        return pControl;
    }

    static void Click(const CTerminalDlg& dlg, int nId) {
        QTest::mouseClick(Ctl<QAbstractButton>(dlg, nId), Qt::LeftButton);
    }

    static QString Text(const CTerminalDlg& dlg, int nId) {
        return Ctl<QLineEdit>(dlg, nId)->text();
    }

    static int Bitmap(const CTerminalDlg& dlg, int nId) {
        if (const auto* pLamp = qobject_cast<const CStatusLamp*>(dlg.Control(nId))) {
            return pLamp->Bitmap();
        }
        return dlg.Control(nId)->property("bitmapId").toInt();
    }

    // The enabling rules of the closed and the open port.
    static void ExpectState(const CTerminalDlg& dlg, bool bOpen) {
        EXPECT_EQ(dlg.IsPortOpen(), bOpen);
        for (int nId : {IDC_PORT, IDC_BAUD, IDC_DATABITS, IDC_PARITY, IDC_STOPBITS}) {
            EXPECT_EQ(dlg.Control(nId)->isEnabled(), !bOpen) << nId;
        }
        for (int nId : {IDC_DTR, IDC_RTS, IDC_MANUAL_SEND, IDC_SEND_FILE, IDC_AUTO_SEND}) {
            EXPECT_EQ(dlg.Control(nId)->isEnabled(), bOpen) << nId;
        }
        auto* pOpen = Ctl<QAbstractButton>(dlg, IDC_OPEN);
        EXPECT_TRUE(pOpen->isEnabled());
        EXPECT_EQ(pOpen->text(), bOpen ? QStringLiteral("关闭串口") : QStringLiteral("打开串口"));
        EXPECT_EQ(Bitmap(dlg, IDC_OPEN), bOpen ? 132 : 133);
        EXPECT_EQ(Ctl<QPushButton>(dlg, IDC_AUTO_SEND)->text(), QStringLiteral("自动发送"));
        EXPECT_TRUE(dlg.Control(IDC_PERIOD)->isEnabled());
        if (!bOpen) {
            ExpectLamps(dlg, 140, 142, 136, 138);
        }
        for (int nId : {IDC_LAMP_CTS, IDC_LAMP_DSR, IDC_LAMP_RING, IDC_LAMP_CD}) {
            EXPECT_FALSE(dlg.Control(nId)->isEnabled()) << nId;
        }
    }

    // The settings of a first run.
    static void ExpectDefaultSettings(const CTerminalDlg& dlg) {
        EXPECT_EQ(Ctl<QComboBox>(dlg, IDC_PORT)->currentText(), "COM1");
        EXPECT_EQ(Ctl<QComboBox>(dlg, IDC_BAUD)->currentText(), "110");
        EXPECT_EQ(Ctl<QComboBox>(dlg, IDC_DATABITS)->currentText(), "8");
        EXPECT_EQ(Ctl<QComboBox>(dlg, IDC_PARITY)->currentText(), "None");
        EXPECT_EQ(Ctl<QComboBox>(dlg, IDC_STOPBITS)->currentText(), "1");
        EXPECT_EQ(Text(dlg, IDC_PERIOD), "100");
        EXPECT_TRUE(Ctl<QAbstractButton>(dlg, IDC_FORMAT_TEXT)->isChecked());
    }

    static void ExpectLamps(const CTerminalDlg& dlg, int nCts, int nDsr, int nRing, int nCd) {
        EXPECT_EQ(Bitmap(dlg, IDC_LAMP_CTS), nCts);
        EXPECT_EQ(Bitmap(dlg, IDC_LAMP_DSR), nDsr);
        EXPECT_EQ(Bitmap(dlg, IDC_LAMP_RING), nRing);
        EXPECT_EQ(Bitmap(dlg, IDC_LAMP_CD), nCd);
    }

    static void SelectPort(const CTerminalDlg& dlg, int nPort) {
        Ctl<QComboBox>(dlg, IDC_PORT)->setCurrentIndex(nPort - 1);
    }

    int ReadIni(const char* pszSection, const char* pszKey) const {
        return CIniFile(m_strIni).ReadInt(pszSection, pszKey, -999);
    }

    QTemporaryDir m_dir;
    CPtyPair m_pty;
    std::string m_strIni;
    std::string m_strLocks;
    std::string m_strDevRoot;
    std::string m_strMissing;
    std::vector<SMessage> m_arrMessages;
};
