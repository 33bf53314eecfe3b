// The command line and the port map in the real window: the entries the options select, a device
// mapped for this run, a rate outside the list, the receive mode, opening at start, a settings
// file left as it was; the device-map button and the port list following adapters.
#include <QApplication>
#include <QTimer>

#include "DevicePicker.h"
#include "PortMapModel.h"
#include "ReceiveView.h"
#include "TerminalFixture.h"

namespace {

class RunOptionsTest : public TerminalDlgTest {
protected:
    QByteArray IniBytes() const {
        QFile file(QString::fromStdString(m_strIni));
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        return file.readAll();
    }
    static QString PortTip(const CTerminalDlg& dlg, int nPort) {
        return Ctl<QComboBox>(dlg, IDC_PORT)->itemData(nPort - 1, Qt::ToolTipRole).toString();
    }
};

struct SRunRow {
    QStringList arrArgs;
    const char* pszPort;
    const char* pszBaud;
    const char* pszDataBits;
    const char* pszParity;
    const char* pszStopBits;
    int nHexMode;
    const char* pszPortTip;  // "PTY": the pseudo-terminal's path
};

TEST_F(RunOptionsTest, OptionsSelectTheirEntriesForThisRun) {
    WriteIni();
    const SRunRow arrRows[] = {
        {{}, "COM1", "110", "8", "None", "1", 0, "PTY"},
        {{"COM3", "-b", "57600", "-d", "7", "-p", "e", "-s", "2"},
         "COM3",
         "57600",
         "7",
         "Even",
         "2",
         0,
         "/dev/fake-diVE"},
        // The entry that the settings file leads to the device; a rate joining the list.
        {{"PTY", "-b", "250000", "-s", "1.5", "--hex"},
         "COM1",
         "250000",
         "8",
         "None",
         "1.5",
         1,
         "PTY"},
        // A device no entry leads to takes the first free one.
        {{"/dev/null", "-p", "space", "-d", "6"},
         "COM4",
         "110",
         "6",
         "Space",
         "1",
         0,
         "/dev/null（本次运行）"},
    };
    for (const SRunRow& row : arrRows) {
        auto pDlg = MakeDialog({}, row.arrArgs);
        const std::string strRow = row.arrArgs.join(' ').toStdString();
        EXPECT_EQ(Ctl<QComboBox>(*pDlg, IDC_PORT)->currentText(), row.pszPort) << strRow;
        EXPECT_EQ(Ctl<QComboBox>(*pDlg, IDC_BAUD)->currentText(), row.pszBaud) << strRow;
        EXPECT_EQ(Ctl<QComboBox>(*pDlg, IDC_DATABITS)->currentText(), row.pszDataBits) << strRow;
        EXPECT_EQ(Ctl<QComboBox>(*pDlg, IDC_PARITY)->currentText(), row.pszParity) << strRow;
        EXPECT_EQ(Ctl<QComboBox>(*pDlg, IDC_STOPBITS)->currentText(), row.pszStopBits) << strRow;
        EXPECT_EQ(Ctl<CReceiveView>(*pDlg, IDC_RECEIVE)->GetMode(), row.nHexMode) << strRow;
        const QString strTip = QString::fromUtf8(row.pszPortTip);
        EXPECT_EQ(PortTip(*pDlg, Ctl<QComboBox>(*pDlg, IDC_PORT)->currentIndex() + 1),
                  strTip == "PTY" ? QString::fromStdString(m_pty.SlavePath()) : strTip);
        const QComboBox* pBaud = Ctl<QComboBox>(*pDlg, IDC_BAUD);
        for (int i = 1; i < pBaud->count(); ++i) {
            EXPECT_LT(pBaud->itemData(i - 1).toUInt(), pBaud->itemData(i).toUInt()) << strRow;
        }
        pDlg->close();
    }
}

TEST_F(RunOptionsTest, OnlyWhatTheUserChangedReachesTheSettingsFile) {
    WriteIni();
    MakeDialog()->close();  // the file as the window writes it
    const QByteArray before = IniBytes();
    MakeDialog({}, {"/dev/null", "-b", "250000", "-d", "6", "-p", "m", "-s", "2", "--hex"})
        ->close();
    EXPECT_EQ(IniBytes(), before);

    auto pDlg = MakeDialog({}, {"COM3", "-d", "6", "-b", "250000"});
    Ctl<QComboBox>(*pDlg, IDC_DATABITS)->setCurrentIndex(1);
    pDlg->close();
    EXPECT_EQ(ReadIni("PORT", "DATABITS"), 1);
    EXPECT_EQ(ReadIni("PORT", "COM"), 0);
    EXPECT_EQ(ReadIni("PORT", "BAUD"), 0);  // a rate outside the list keeps the stored one
}

TEST_F(RunOptionsTest, OpenAtStartOpensThePortOrSaysWhyNot) {
    WriteIni();
    auto pDlg = MakeDialog({}, {"PTY", "--open", "-b", "250000"});
    EXPECT_TRUE(WaitRunningEventLoop([&] { return pDlg->IsPortOpen(); }));
    ExpectState(*pDlg, true);
    auto pRefused = MakeDialog({}, {"COM2", "--open"});
    ASSERT_TRUE(WaitRunningEventLoop([&] { return !m_arrMessages.empty(); }));
    EXPECT_TRUE(m_arrMessages[0].strText.startsWith(kOpenFailed));
    ExpectState(*pRefused, false);
}

TEST_F(RunOptionsTest, TheDeviceMapShowsThisRunsDeviceAndCanLetItGo) {
    WriteIni();
    auto pDlg = MakeDialog({}, {"/dev/null"});
    QString strEntry;
    QTimer::singleShot(0, [&] {
        auto* pPicker = qobject_cast<CDevicePickerDlg*>(QApplication::activeModalWidget());
        ASSERT_NE(pPicker, nullptr);
        strEntry = pPicker->Model().index(pPicker->SelectedRow(), 0).data().toString();
        pPicker->OnClear();
        pPicker->accept();
    });
    Click(*pDlg, IDC_DEVICE_MAP);
    EXPECT_EQ(strEntry, QStringLiteral("COM4（本次运行）"));
    EXPECT_EQ(PortTip(*pDlg, 4), QStringLiteral("未映射设备"));
    EXPECT_EQ(IniBytes().count("COM4"), 0);
}

TEST_F(RunOptionsTest, PortTipsFollowAdaptersWithoutLosingTheSelection) {
    WriteIni();
    const QString strNode = QString::fromStdString(m_strDevRoot) + QStringLiteral("/dev/ttyUSB0");
    QDir().mkpath(QString::fromStdString(m_strDevRoot) + QStringLiteral("/dev"));
    auto pDlg = MakeDialog();
    SelectPort(*pDlg, 2);
    QFile(strNode).open(QIODevice::WriteOnly);
    EXPECT_TRUE(WaitRunningEventLoop([&] { return PortTip(*pDlg, 4) == strNode; }));
    QFile::remove(strNode);
    EXPECT_TRUE(WaitRunningEventLoop([&] { return PortTip(*pDlg, 4) == "未映射设备"; }));
    EXPECT_EQ(Ctl<QComboBox>(*pDlg, IDC_PORT)->currentIndex(), 1);
}

}  // namespace
