// What the send box's options put on the line: line ends, checksums and formats through the real
// window and a pseudo-terminal; the history recorded by sends; the options kept over a restart;
// a file sent line by line.
#include <gtest/gtest.h>

#include <QPlainTextEdit>
#include <QProgressDialog>

#include "SendEdit.h"
#include "TerminalFixture.h"

namespace {

class SendFramingTest : public TerminalDlgTest {
protected:
    std::unique_ptr<CTerminalDlg> OpenWindow() {
        WriteIni();
        auto pDlg = MakeDialog();
        Click(*pDlg, IDC_OPEN);
        EXPECT_TRUE(pDlg->IsPortOpen());
        return pDlg;
    }
    static CSendEdit& SendBox(const CTerminalDlg& dlg) { return *Ctl<CSendEdit>(dlg, IDC_SEND); }
    // Everything that arrives until nothing more comes for a while.
    std::vector<std::uint8_t> ReadAll(std::size_t nExpected) {
        std::vector<std::uint8_t> bytes;
        EXPECT_TRUE(WaitRunningEventLoop([&] {
            const auto more =
                m_pty.ReadMaster(nExpected - bytes.size(), std::chrono::milliseconds(20));
            bytes.insert(bytes.end(), more.begin(), more.end());
            return bytes.size() >= nExpected;
        }));
        return bytes;
    }
};

struct SLineRow {
    const char* pszName;
    const char* pszText;
    bool bHex;
    ELineEnd eLineEnd;
    EChecksum eChecksum;
    std::vector<std::uint8_t> expected;
};

class SendFramingOnTheLine : public SendFramingTest,
                             public testing::WithParamInterface<SLineRow> {};

TEST_P(SendFramingOnTheLine, ManualSendWritesPayloadChecksumLineEnd) {
    const SLineRow& row = GetParam();
    auto pDlg = OpenWindow();
    CSendEdit& box = SendBox(*pDlg);
    box.setPlainText(QString::fromUtf8(row.pszText));
    box.OnCommand(row.bHex ? IDM_HEXMODE : IDM_TEXTMODE);
    box.OnCommand(IDM_LINEEND_FIRST + static_cast<int>(row.eLineEnd));
    box.OnCommand(IDM_CHECKSUM_FIRST + static_cast<int>(row.eChecksum));
    Click(*pDlg, IDC_MANUAL_SEND);
    EXPECT_EQ(ReadAll(row.expected.size()), row.expected);
    EXPECT_EQ(Text(*pDlg, IDC_TX_COUNT), QString::number(row.expected.size()));
    // Nothing more follows.
    EXPECT_TRUE(m_pty.ReadMaster(1, std::chrono::milliseconds(50)).empty());
}

INSTANTIATE_TEST_SUITE_P(
    SendFraming, SendFramingOnTheLine,
    testing::Values(
        SLineRow{"TextAsTyped", "AT", false, ELineEnd::None, EChecksum::None, {'A', 'T'}},
        SLineRow{"TextCr", "AT", false, ELineEnd::Cr, EChecksum::None, {'A', 'T', '\r'}},
        SLineRow{"TextLf", "AT", false, ELineEnd::Lf, EChecksum::None, {'A', 'T', '\n'}},
        SLineRow{"TextCrLf", "AT", false, ELineEnd::CrLf, EChecksum::None, {'A', 'T', '\r', '\n'}},
        SLineRow{"TextSum8ThenCrLf",
                 "AT",
                 false,
                 ELineEnd::CrLf,
                 EChecksum::Sum8,
                 {'A', 'T', 0x95, '\r', '\n'}},
        SLineRow{"TextXor8", "AT", false, ELineEnd::None, EChecksum::Xor8, {'A', 'T', 0x15}},
        SLineRow{"TextCrc8ThenLf",
                 "123456789",
                 false,
                 ELineEnd::Lf,
                 EChecksum::Crc8,
                 {'1', '2', '3', '4', '5', '6', '7', '8', '9', 0xF4, '\n'}},
        SLineRow{"ChineseGbkWithCrc32",
                 "你好",
                 false,
                 ELineEnd::None,
                 EChecksum::Crc32,
                 {0xC4, 0xE3, 0xBA, 0xC3, 0x8C, 0x1D, 0x88, 0x6F}},
        SLineRow{"HexModbusRequest",
                 "01 03 00 00 00 0A",
                 true,
                 ELineEnd::None,
                 EChecksum::Crc16Modbus,
                 {0x01, 0x03, 0x00, 0x00, 0x00, 0x0A, 0xC5, 0xCD}},
        SLineRow{"HexIgnoresTheLineEnd",
                 "01 03 00 00 00 0A",
                 true,
                 ELineEnd::CrLf,
                 EChecksum::Crc16Modbus,
                 {0x01, 0x03, 0x00, 0x00, 0x00, 0x0A, 0xC5, 0xCD}},
        SLineRow{"HexCcittFalseHighByteFirst",
                 "31 32 33 34 35 36 37 38 39",
                 true,
                 ELineEnd::Cr,
                 EChecksum::Crc16CcittFalse,
                 {'1', '2', '3', '4', '5', '6', '7', '8', '9', 0x29, 0xB1}},
        SLineRow{"HexPlain", "7E 00 ff", true, ELineEnd::Lf, EChecksum::None, {0x7E, 0x00, 0xFF}}),
    [](const testing::TestParamInfo<SLineRow>& info) { return info.param.pszName; });

TEST_F(SendFramingTest, SendsGoIntoTheHistoryButAutoSendTicksDoNot) {
    auto pDlg = OpenWindow();
    CSendEdit& box = SendBox(*pDlg);
    box.setPlainText("one");
    Click(*pDlg, IDC_MANUAL_SEND);
    ReadAll(3);
    ASSERT_TRUE(WaitRunningEventLoop([&] { return pDlg->Control(IDC_MANUAL_SEND)->isEnabled(); }));
    box.setPlainText("tick");
    Ctl<QLineEdit>(*pDlg, IDC_PERIOD)->setText("10");
    Click(*pDlg, IDC_AUTO_SEND);
    ReadAll(12);  // three sends
    Click(*pDlg, IDC_AUTO_SEND);
    EXPECT_EQ(box.History().Entries(),
              (std::vector<SHistoryEntry>{{"tick", false}, {"one", false}}));
}

TEST_F(SendFramingTest, OptionsComeBackAfterARestart) {
    {
        auto pDlg = OpenWindow();
        CSendEdit& box = SendBox(*pDlg);
        box.OnCommand(IDM_LINEEND_FIRST + static_cast<int>(ELineEnd::Lf));
        box.OnCommand(IDM_CHECKSUM_FIRST + static_cast<int>(EChecksum::Crc16CcittFalse));
        box.OnCommand(IDM_FILEMODE_BYLINE);
        pDlg->close();
    }
    const CIniFile ini(m_strIni);
    EXPECT_EQ(ini.ReadInt("TX", "EOL", -1), 2);
    EXPECT_EQ(ini.ReadInt("TX", "CHECKSUM", -1), 5);
    EXPECT_EQ(ini.ReadInt("TX", "FILEMODE", -1), 1);
    auto pDlg = MakeDialog();
    EXPECT_EQ(SendBox(*pDlg).Options(),
              (SSendOptions{ELineEnd::Lf, EChecksum::Crc16CcittFalse, EFileSendMode::ByLine}));
}

TEST_F(SendFramingTest, FileSentLineByLineArrivesWholeWithProgress) {
    // Lines with LF and CR LF ends, an empty line, and a last line without an end.
    const std::string strFile = "first line\nsecond\r\n\nlast";
    const QString strPath = m_dir.filePath(QStringLiteral("lines.txt"));
    QFile file(strPath);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(strFile.data(), static_cast<qint64>(strFile.size()));
    file.close();
    CFileDialog::SetInterceptor([strPath] { return strPath; });

    auto pDlg = OpenWindow();
    SendBox(*pDlg).OnCommand(IDM_FILEMODE_BYLINE);
    Ctl<QLineEdit>(*pDlg, IDC_PERIOD)->setText("30");
    Click(*pDlg, IDC_SEND_FILE);
    EXPECT_FALSE(pDlg->Control(IDC_SEND_FILE)->isEnabled());
    EXPECT_EQ(ReadAll(strFile.size()), std::vector<std::uint8_t>(strFile.begin(), strFile.end()));
    EXPECT_TRUE(WaitRunningEventLoop([&] { return pDlg->Control(IDC_SEND_FILE)->isEnabled(); }));
    EXPECT_EQ(Text(*pDlg, IDC_TX_COUNT), QString::number(strFile.size()));
    EXPECT_TRUE(m_arrMessages.empty());
}

TEST_F(SendFramingTest, CancelEndsAFileSentLineByLine) {
    std::string strFile;
    for (int i = 0; i < 100; ++i) {
        strFile += "line " + std::to_string(i) + "\n";
    }
    const QString strPath = m_dir.filePath(QStringLiteral("many.txt"));
    QFile file(strPath);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(strFile.data(), static_cast<qint64>(strFile.size()));
    file.close();
    CFileDialog::SetInterceptor([strPath] { return strPath; });

    auto pDlg = OpenWindow();
    SendBox(*pDlg).OnCommand(IDM_FILEMODE_BYLINE);
    Ctl<QLineEdit>(*pDlg, IDC_PERIOD)->setText("60000");  // a minute between lines
    Click(*pDlg, IDC_SEND_FILE);
    EXPECT_EQ(ReadAll(7), std::vector<std::uint8_t>(strFile.begin(), strFile.begin() + 7));
    QProgressDialog* pProgress = nullptr;
    ASSERT_TRUE(WaitRunningEventLoop([&] {
        pProgress = pDlg->findChild<QProgressDialog*>();
        return pProgress != nullptr && pProgress->isVisible();
    }));
    QTest::mouseClick(pProgress->findChild<QPushButton*>(), Qt::LeftButton);
    EXPECT_TRUE(WaitRunningEventLoop([&] { return pDlg->Control(IDC_SEND_FILE)->isEnabled(); }));
    EXPECT_EQ(Text(*pDlg, IDC_TX_COUNT), "7");
    EXPECT_TRUE(m_pty.ReadMaster(1, std::chrono::milliseconds(50)).empty());
}

}  // namespace
