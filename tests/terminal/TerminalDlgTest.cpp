// The main window, driven through its real widgets offscreen: against a pseudo-terminal that
// section "DEVICES" maps to COM1, and against the engine's scripted device for the status and
// control lines. Message boxes are intercepted and their texts compared.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "AboutBox.h"
#include "DialogTemplate.h"
#include "DialogUnits.h"
#include "IniFile.h"
#include "MessageBox.h"
#include "ProcessProbes.h"
#include "PtyPair.h"
#include "ReceiveView.h"
#include "SendEdit.h"
#include "TerminalDlg.h"
#include "TerminalFixture.h"

namespace {

TEST_F(TerminalDlgTest, FirstRunShowsTheDefaultsInTheClosedState) {
    auto pDlg = MakeDialog();
    EXPECT_EQ(pDlg->windowTitle(), QStringLiteral("diVE 串口调试终端 V1.04"));
    ExpectDefaultSettings(*pDlg);
    EXPECT_EQ(Text(*pDlg, IDC_RX_COUNT), "0");
    EXPECT_EQ(Text(*pDlg, IDC_TX_COUNT), "0");
    EXPECT_FALSE(Ctl<QCheckBox>(*pDlg, IDC_DTR)->isChecked());
    EXPECT_FALSE(Ctl<QCheckBox>(*pDlg, IDC_RTS)->isChecked());
    ExpectState(*pDlg, false);
    EXPECT_TRUE(m_arrMessages.empty());
}

TEST_F(TerminalDlgTest, ListsHoldTheirEntriesInOrder) {
    auto pDlg = MakeDialog();
    const auto entries = [&](int nId) {
        QStringList arr;
        auto* pList = Ctl<QComboBox>(*pDlg, nId);
        for (int i = 0; i < pList->count(); ++i) {
            arr << pList->itemText(i);
        }
        return arr;
    };
    QStringList arrPorts;
    for (int i = 1; i <= 32; ++i) {
        arrPorts << QStringLiteral("COM%1").arg(i);
    }
    EXPECT_EQ(entries(IDC_PORT), arrPorts);
    EXPECT_EQ(entries(IDC_BAUD),
              QStringList({"110", "300", "600", "1200", "2400", "4800", "9600", "14400", "19200",
                           "38400", "56000", "57600", "115200", "128000", "256000"}));
    EXPECT_EQ(entries(IDC_DATABITS), QStringList({"6", "7", "8"}));
    EXPECT_EQ(entries(IDC_PARITY), QStringList({"None", "Odd", "Even", "Mark", "Space"}));
    EXPECT_EQ(entries(IDC_STOPBITS), QStringList({"1", "1.5", "2"}));
}

TEST_F(TerminalDlgTest, PortEntriesNameTheDeviceTheyOpen) {
    WriteIni();
    auto pDlg = MakeDialog();
    auto* pPorts = Ctl<QComboBox>(*pDlg, IDC_PORT);
    EXPECT_EQ(pPorts->itemData(0, Qt::ToolTipRole).toString(),
              QString::fromStdString(m_pty.SlavePath()));
    EXPECT_EQ(pPorts->itemData(1, Qt::ToolTipRole).toString(),
              QString::fromStdString(m_strMissing));
    EXPECT_EQ(pPorts->itemData(9, Qt::ToolTipRole).toString(), QStringLiteral("未映射设备"));
}

TEST_F(TerminalDlgTest, ControlsStandAtTheirTemplateRectanglesInTabOrder) {
    auto pDlg = MakeDialog();
    const CDialogUnits units(pDlg->logicalDpiY());
    EXPECT_EQ(pDlg->size(), units.ToPixels(QSize(450, 315)));
    std::vector<QWidget*> arrFocusable;
    for (const SDlgItem& item : kMainDialogTemplate.items) {
        QWidget* pControl = pDlg->Control(item.nId);
        ASSERT_NE(pControl, nullptr) << item.nId;
        EXPECT_EQ(pControl->geometry(), units.ToPixels(item.rcDlu)) << item.nId;
        EXPECT_EQ(pControl->objectName(), QStringLiteral("IDC_%1").arg(item.nId));
        EXPECT_EQ(pControl->property("dlgId").toInt(), item.nId);
        EXPECT_EQ(pControl->isVisible(), (item.uFlags & DLG_HIDDEN) == 0) << item.nId;
        if (pControl->focusPolicy() != Qt::NoFocus) {
            arrFocusable.push_back(pControl);
        }
    }
    // The focus chain, walked from the first control, meets the controls in template order.
    std::vector<QWidget*> arrChain;
    QWidget* pWalk = arrFocusable.front();
    do {
        if (std::find(arrFocusable.begin(), arrFocusable.end(), pWalk) != arrFocusable.end()) {
            arrChain.push_back(pWalk);
        }
        pWalk = pWalk->nextInFocusChain();
    } while (pWalk != arrFocusable.front() && arrChain.size() <= arrFocusable.size());
    EXPECT_EQ(arrChain, arrFocusable);
    // The design font of the boxes is replaced by a CJK font with a fixed grid.
    const QFont fontBox = pDlg->Control(IDC_RECEIVE)->font();
    EXPECT_EQ(fontBox.pixelSize(), 16);
    EXPECT_EQ(fontBox.families().value(0), QStringLiteral("WenQuanYi Zen Hei Mono"));
    EXPECT_EQ(pDlg->Control(IDC_SEND)->font(), fontBox);
}

TEST_F(TerminalDlgTest, OpenReceiveCloseAndReopen) {
    WriteIni();
    auto pDlg = MakeDialog();
    Click(*pDlg, IDC_OPEN);
    {
        SCOPED_TRACE("open");
        ExpectState(*pDlg, true);
    }
    ASSERT_TRUE(m_arrMessages.empty());

    auto* pReceive = Ctl<CReceiveView>(*pDlg, IDC_RECEIVE);
    // The counter never counts bytes the box does not show yet.
    std::vector<std::pair<qulonglong, qulonglong>> arrAtRefresh;
    QObject::connect(pReceive, &CReceiveView::Refreshed, [&] {
        arrAtRefresh.emplace_back(Text(*pDlg, IDC_RX_COUNT).toULongLong(), pReceive->GetLength());
    });
    ASSERT_TRUE(m_pty.WriteMaster(std::vector<std::uint8_t>{0x41, 0x00, 0x42}));
    EXPECT_TRUE(WaitRunningEventLoop([&] { return Text(*pDlg, IDC_RX_COUNT) == "3"; }));
    ASSERT_FALSE(arrAtRefresh.empty());
    for (const auto& [nShown, nHeld] : arrAtRefresh) {
        EXPECT_LE(nShown, nHeld);
    }
    EXPECT_EQ(pReceive->GetBytes(), (std::vector<std::uint8_t>{0x41, 0x00, 0x42}));

    Click(*pDlg, IDC_OPEN);
    {
        SCOPED_TRACE("closed");
        ExpectState(*pDlg, false);
    }
    EXPECT_EQ(Text(*pDlg, IDC_RX_COUNT), "3");

    Click(*pDlg, IDC_OPEN);
    {
        SCOPED_TRACE("reopened");
        ExpectState(*pDlg, true);
    }
    ASSERT_TRUE(m_pty.WriteMaster(std::vector<std::uint8_t>{0x0A}));
    EXPECT_TRUE(WaitRunningEventLoop([&] { return Text(*pDlg, IDC_RX_COUNT) == "4"; }));
    EXPECT_EQ(pReceive->GetBytes(), (std::vector<std::uint8_t>{0x41, 0x00, 0x42, 0x0A}));
    EXPECT_TRUE(m_arrMessages.empty());
}

TEST_F(TerminalDlgTest, OpenButtonKeepsTheFocusAcrossOpenAndClose) {
    WriteIni();
    auto pDlg = MakeDialog();
    pDlg->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(pDlg.get()));
    QWidget* pOpen = pDlg->Control(IDC_OPEN);
    pOpen->setFocus();
    Click(*pDlg, IDC_OPEN);
    ASSERT_TRUE(pDlg->IsPortOpen());
    EXPECT_EQ(QApplication::focusWidget(), pOpen);
    Click(*pDlg, IDC_OPEN);
    EXPECT_EQ(QApplication::focusWidget(), pOpen);
}

TEST_F(TerminalDlgTest, NoticeAfterTheCloseChangesNothing) {
    WriteIni();
    auto pDlg = MakeDialog();
    Click(*pDlg, IDC_OPEN);
    Click(*pDlg, IDC_OPEN);
    pDlg->OnSerialEvent(SN_RX_BYTE, 0x41);
    QCoreApplication::processEvents();
    EXPECT_EQ(Text(*pDlg, IDC_RX_COUNT), "0");
    EXPECT_EQ(Ctl<CReceiveView>(*pDlg, IDC_RECEIVE)->GetLength(), 0u);
}

TEST_F(TerminalDlgTest, MissingDeviceShowsTheErrorBox) {
    WriteIni();
    auto pDlg = MakeDialog();
    SelectPort(*pDlg, 2);
    Click(*pDlg, IDC_OPEN);
    ASSERT_EQ(m_arrMessages.size(), 1u);
    EXPECT_EQ(m_arrMessages[0].strText, kOpenFailed + QStringLiteral("\n原因：设备 ") +
                                            QString::fromStdString(m_strMissing) +
                                            QStringLiteral(" 不存在"));
    EXPECT_EQ(m_arrMessages[0].strCaption, QStringLiteral("错误"));
    EXPECT_EQ(m_arrMessages[0].icon, QMessageBox::Warning);
    ExpectState(*pDlg, false);

    // The user picks another port and carries on.
    SelectPort(*pDlg, 1);
    Click(*pDlg, IDC_OPEN);
    ExpectState(*pDlg, true);
    EXPECT_EQ(m_arrMessages.size(), 1u);
}

TEST_F(TerminalDlgTest, HeldDeviceShowsTheErrorBoxNamingTheHolder) {
    WriteIni();
    // Another program holds the port by the lock-file convention of serial programs.
    QProcess holder;
    holder.start(QStringLiteral("sleep"), {QStringLiteral("60")});
    ASSERT_TRUE(holder.waitForStarted());
    const QString strLock = QString::fromStdString(m_strLocks) + "/LCK.." +
                            QString::fromStdString(m_pty.SlavePath()).mid(5).replace('/', '_');
    QFile lock(strLock);
    ASSERT_TRUE(lock.open(QIODevice::WriteOnly));
    lock.write(QStringLiteral("%1\n").arg(holder.processId(), 10).toLatin1());
    lock.close();

    auto pDlg = MakeDialog();
    Click(*pDlg, IDC_OPEN);
    ASSERT_EQ(m_arrMessages.size(), 1u);
    EXPECT_EQ(m_arrMessages[0].strText,
              kOpenFailed + QStringLiteral("\n原因：%1 正被其他程序使用\n占用程序：sleep (PID %2)")
                                .arg(QString::fromStdString(m_pty.SlavePath()))
                                .arg(holder.processId()));
    EXPECT_EQ(m_arrMessages[0].strCaption, QStringLiteral("错误"));
    ExpectState(*pDlg, false);
    holder.kill();
    holder.waitForFinished();
}

TEST_F(TerminalDlgTest, DeviceHeldByAnotherEngineShowsTheErrorBox) {
    WriteIni();
    CSerialLink other;
    other.SetDeviceMapSource(m_strIni, m_strDevRoot);
    other.SetLockFolder(m_strLocks);
    struct SNoOwner : ISerialOwner {
        void OnNoticesPending() override {}
        void OnSerialEvent(unsigned, unsigned) override {}
    } owner;
    ASSERT_TRUE(other.Open(&owner, PortSettings{}));

    auto pDlg = MakeDialog();
    Click(*pDlg, IDC_OPEN);
    ASSERT_EQ(m_arrMessages.size(), 1u);
    const std::string& strHolder = pDlg->Link().GetHolder();
    QString strExpected = kOpenFailed + QStringLiteral("\n原因：%1 正被其他程序使用")
                                            .arg(QString::fromStdString(m_pty.SlavePath()));
    if (!strHolder.empty()) {
        strExpected += QStringLiteral("\n占用程序：") + QString::fromStdString(strHolder);
    }
    EXPECT_EQ(m_arrMessages[0].strText, strExpected);
    ExpectState(*pDlg, false);
    other.Close();
}

TEST_F(TerminalDlgTest, EscapeAndEnterLeaveTheWindowOpen) {
    WriteIni();
    auto pDlg = MakeDialog();
    const auto pressBoth = [&](QWidget* pTarget) {
        pTarget->setFocus();
        for (Qt::Key key : {Qt::Key_Escape, Qt::Key_Return, Qt::Key_Enter}) {
            QTest::keyClick(pTarget, key);
            QCoreApplication::processEvents();
            EXPECT_TRUE(pDlg->isVisible()) << pTarget->objectName().toStdString() << " " << key;
        }
    };
    pressBoth(pDlg.get());
    pressBoth(pDlg->Control(IDC_PERIOD));
    pressBoth(pDlg->Control(IDC_BAUD));
    Click(*pDlg, IDC_OPEN);
    pressBoth(pDlg->Control(IDC_DTR));
    EXPECT_TRUE(pDlg->isVisible());
    EXPECT_EQ(pDlg->result(), 0);
    // Nothing ended the window, so nothing was saved.
    EXPECT_EQ(ReadIni("PORT", "COM"), -999);
    ExpectState(*pDlg, true);
}

TEST_F(TerminalDlgTest, ClearingTheCountersShowsZero) {
    WriteIni();
    auto pDlg = MakeDialog();
    Click(*pDlg, IDC_OPEN);
    ASSERT_TRUE(m_pty.WriteMaster(std::vector<std::uint8_t>(5, 0x55)));
    ASSERT_TRUE(WaitRunningEventLoop([&] { return Text(*pDlg, IDC_RX_COUNT) == "5"; }));
    Click(*pDlg, IDC_CLEAR_COUNTERS);
    EXPECT_EQ(Text(*pDlg, IDC_RX_COUNT), "0");
    EXPECT_EQ(Text(*pDlg, IDC_TX_COUNT), "0");
    // Counting goes on from 0; the box keeps its bytes.
    ASSERT_TRUE(m_pty.WriteMaster(std::vector<std::uint8_t>{0x31, 0x32}));
    EXPECT_TRUE(WaitRunningEventLoop([&] { return Text(*pDlg, IDC_RX_COUNT) == "2"; }));
    EXPECT_EQ(Ctl<CReceiveView>(*pDlg, IDC_RECEIVE)->GetLength(), 7u);
}

TEST_F(TerminalDlgTest, CountersMoveDuringALongStreamAndEndAtTheExactCount) {
    WriteIni();
    auto pDlg = MakeDialog();
    Click(*pDlg, IDC_OPEN);
    // A stream of 60 reads, one each 20 ms, as a device at a real line rate sends.
    constexpr int kChunks = 60;
    constexpr std::size_t kChunkBytes = 97;
    int nWritten = 0;
    QStringList arrShownWhileStreaming;
    QTimer feeder;
    QObject::connect(&feeder, &QTimer::timeout, [&] {
        const QString strShown = Text(*pDlg, IDC_RX_COUNT);
        if (arrShownWhileStreaming.isEmpty() || arrShownWhileStreaming.back() != strShown) {
            arrShownWhileStreaming.append(strShown);
        }
        if (nWritten == kChunks) {
            feeder.stop();
            return;
        }
        ASSERT_TRUE(m_pty.WriteMaster(std::vector<std::uint8_t>(kChunkBytes, 0x41)));
        ++nWritten;
    });
    feeder.start(20);
    const QString strTotal = QString::number(kChunks * kChunkBytes);
    ASSERT_TRUE(WaitRunningEventLoop([&] { return Text(*pDlg, IDC_RX_COUNT) == strTotal; }, 30000));
    EXPECT_EQ(nWritten, kChunks);
    // Shown between the first and the last read: the count moved while the bytes kept coming.
    const auto nBetween =
        std::count_if(arrShownWhileStreaming.cbegin(), arrShownWhileStreaming.cend(),
                      [&](const QString& str) { return str != "0" && str != strTotal; });
    EXPECT_GE(nBetween, 2) << arrShownWhileStreaming.join(' ').toStdString();
    EXPECT_EQ(Ctl<CReceiveView>(*pDlg, IDC_RECEIVE)->GetLength(), kChunks * kChunkBytes);
}

TEST_F(TerminalDlgTest, DtrAndRtsFollowTheirBoxesWhileOpen) {
    WriteIni();
    auto pLine = std::make_shared<CFakeSerialLine>();
    auto pDlg = OpenOnScriptedLine(pLine);
    ASSERT_TRUE(pDlg->IsPortOpen());
    EXPECT_FALSE(pLine->OutputLine(EOutputLine::DTR));

    Click(*pDlg, IDC_DTR);
    EXPECT_TRUE(pLine->OutputLine(EOutputLine::DTR));
    EXPECT_FALSE(pLine->OutputLine(EOutputLine::RTS));
    Click(*pDlg, IDC_RTS);
    EXPECT_TRUE(pLine->OutputLine(EOutputLine::RTS));
    Click(*pDlg, IDC_DTR);
    EXPECT_FALSE(pLine->OutputLine(EOutputLine::DTR));
    EXPECT_TRUE(pLine->OutputLine(EOutputLine::RTS));

    // The ticks survive closing and reopening.
    Click(*pDlg, IDC_OPEN);
    Click(*pDlg, IDC_OPEN);
    EXPECT_FALSE(Ctl<QCheckBox>(*pDlg, IDC_DTR)->isChecked());
    EXPECT_TRUE(Ctl<QCheckBox>(*pDlg, IDC_RTS)->isChecked());
}

TEST_F(TerminalDlgTest, CheckBoxesAndOptionsFollowTheirStateHoweverItChanges) {
    WriteIni("[SYSTEM]\nTXFORMAT=1\n");
    auto pLine = std::make_shared<CFakeSerialLine>();
    auto pDlg = OpenOnScriptedLine(pLine);
    ASSERT_TRUE(pDlg->IsPortOpen());
    auto* pSend = Ctl<CSendEdit>(*pDlg, IDC_SEND);
    // The stored option is loaded into the window, not passed on to the send box.
    EXPECT_TRUE(Ctl<QRadioButton>(*pDlg, IDC_FORMAT_HEX)->isChecked());
    EXPECT_EQ(pSend->GetMode(), 0);
    Ctl<QRadioButton>(*pDlg, IDC_FORMAT_TEXT)->setChecked(true);

    const struct {
        int nId;
        int nOffId;  // the control whose setChecked(true) clears it (itself: setChecked(false))
        std::function<bool()> fnIsOn;
    } arrRows[] = {
        {IDC_DTR, IDC_DTR, [&] { return pLine->OutputLine(EOutputLine::DTR); }},
        {IDC_RTS, IDC_RTS, [&] { return pLine->OutputLine(EOutputLine::RTS); }},
        {IDC_FORMAT_HEX, IDC_FORMAT_TEXT, [&] { return pSend->GetMode() == 1; }},
    };
    for (const auto& row : arrRows) {
        // A screen reader's "Toggle" emits no click.
        QAccessibleInterface* pAccessible =
            QAccessible::queryAccessibleInterface(pDlg->Control(row.nId));
        ASSERT_NE(pAccessible->actionInterface(), nullptr) << row.nId;
        pAccessible->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
        EXPECT_TRUE(Ctl<QAbstractButton>(*pDlg, row.nId)->isChecked()) << row.nId;
        EXPECT_TRUE(row.fnIsOn()) << row.nId;
        Ctl<QAbstractButton>(*pDlg, row.nOffId)->setChecked(row.nOffId != row.nId);
        EXPECT_FALSE(row.fnIsOn()) << row.nId;
    }
}

// A lamp as assistive technology reads it: its checked state and its description.
QString LampSpeaks(const CTerminalDlg& dlg, int nId) {
    QAccessibleInterface* pAccessible = QAccessible::queryAccessibleInterface(dlg.Control(nId));
    return (pAccessible->state().checked ? QStringLiteral("on ") : QStringLiteral("off ")) +
           pAccessible->text(QAccessible::Description);
}

TEST_F(TerminalDlgTest, LampsFollowTheStatusLinesWhileOpenAndTellAssistiveTechnology) {
    WriteIni();
    auto pLine = std::make_shared<CFakeSerialLine>();
    pLine->SetStatusLines(MS_CTS_ON | MS_DSR_ON);
    auto pDlg = OpenOnScriptedLine(pLine);
    ASSERT_TRUE(pDlg->IsPortOpen());
    ExpectLamps(*pDlg, 141, 143, 136, 138);
    EXPECT_EQ(LampSpeaks(*pDlg, IDC_LAMP_CTS), QStringLiteral("on 有效"));
    EXPECT_EQ(LampSpeaks(*pDlg, IDC_LAMP_RING), QStringLiteral("off 无效"));
    // A received byte shows that the watcher runs and has taken its first look at the lines.
    pLine->Receive({0x30});
    ASSERT_TRUE(WaitRunningEventLoop([&] { return Text(*pDlg, IDC_RX_COUNT) == "1"; }));

    pLine->SetStatusLines(MS_RING_ON | MS_RLSD_ON);
    EXPECT_TRUE(WaitRunningEventLoop([&] { return Bitmap(*pDlg, IDC_LAMP_CD) == 139; }));
    EXPECT_TRUE(WaitRunningEventLoop([&] { return Bitmap(*pDlg, IDC_LAMP_CTS) == 140; }));
    ExpectLamps(*pDlg, 140, 142, 137, 139);
    EXPECT_EQ(LampSpeaks(*pDlg, IDC_LAMP_CTS), QStringLiteral("off 无效"));
    EXPECT_EQ(LampSpeaks(*pDlg, IDC_LAMP_CD), QStringLiteral("on 有效"));

    Click(*pDlg, IDC_OPEN);
    ExpectState(*pDlg, false);
    EXPECT_EQ(LampSpeaks(*pDlg, IDC_LAMP_CD), QStringLiteral("off 无效"));
}

TEST_F(TerminalDlgTest, SettingDifferencesGoIntoTheOpenButtonsTip) {
    WriteIni("[PORT]\nDATABITS=1\n");
    auto pLine = std::make_shared<CFakeSerialLine>();
    pLine->SetSettingsFilter([](LineSettings& settings) { settings.nDataBits = 8; });
    auto pDlg = OpenOnScriptedLine(pLine);
    ASSERT_TRUE(pDlg->IsPortOpen());
    EXPECT_TRUE(m_arrMessages.empty());
    const QString strTip = pDlg->Control(IDC_OPEN)->toolTip();
    EXPECT_TRUE(strTip.contains(QStringLiteral("数据位"))) << strTip.toStdString();
    EXPECT_TRUE(strTip.contains(QStringLiteral("7"))) << strTip.toStdString();
    Click(*pDlg, IDC_OPEN);
    EXPECT_TRUE(pDlg->Control(IDC_OPEN)->toolTip().isEmpty());
}

TEST_F(TerminalDlgTest, UnpluggedDeviceClosesThePortAndKeepsTheData) {
    WriteIni();
    auto pDlg = MakeDialog();
    Click(*pDlg, IDC_OPEN);
    ASSERT_TRUE(m_pty.WriteMaster(std::vector<std::uint8_t>{0x61, 0x62}));
    ASSERT_TRUE(WaitRunningEventLoop([&] { return Text(*pDlg, IDC_RX_COUNT) == "2"; }));
    m_pty.CloseMaster();
    ASSERT_TRUE(WaitRunningEventLoop([&] { return !m_arrMessages.empty(); }));
    EXPECT_EQ(m_arrMessages[0].strText, kPortLost);
    EXPECT_EQ(m_arrMessages[0].strCaption, QStringLiteral("错误"));
    ExpectState(*pDlg, false);
    EXPECT_EQ(Text(*pDlg, IDC_RX_COUNT), "2");
    EXPECT_EQ(Ctl<CReceiveView>(*pDlg, IDC_RECEIVE)->GetBytes(),
              (std::vector<std::uint8_t>{0x61, 0x62}));
    QTest::qWait(50);
    EXPECT_EQ(m_arrMessages.size(), 1u);
}

// A hundred unplug cycles: COM1 is a link that each plug-in points at a fresh pseudo-terminal, as
// udev would. Each loss gives one message (answered by the interceptor) and a closed port; the
// cycles leave no descriptor or thread behind, and nothing spins while the port is lost.
TEST_F(TerminalDlgTest, HundredUnplugCyclesGiveOneMessageEachAndLeaveNothingBehind) {
    constexpr int kCycles = 100;
    const std::string strDevice = m_dir.filePath(QStringLiteral("ttyUSB0")).toStdString();
    ASSERT_TRUE(CIniFile(m_strIni).WriteString("DEVICES", "COM1", strDevice));
    auto pDlg = MakeDialog();
    const int nFds = CountOpenFds();
    const int nThreads = CountThreads();
    for (int nCycle = 0; nCycle < kCycles; ++nCycle) {
        auto pPty = std::make_unique<CPtyPair>();
        ASSERT_TRUE(pPty->IsValid());
        QFile::remove(QString::fromStdString(strDevice));
        ASSERT_TRUE(QFile::link(QString::fromStdString(pPty->SlavePath()),
                                QString::fromStdString(strDevice)));
        Click(*pDlg, IDC_OPEN);
        ASSERT_TRUE(pDlg->IsPortOpen()) << nCycle;
        const auto by = static_cast<std::uint8_t>('a' + nCycle % 26);
        ASSERT_TRUE(pPty->WriteMaster(&by, 1));
        const QString strCount = QString::number(nCycle + 1);
        ASSERT_TRUE(WaitRunningEventLoop([&] { return Text(*pDlg, IDC_RX_COUNT) == strCount; }))
            << nCycle;

        pPty.reset();
        ASSERT_TRUE(WaitRunningEventLoop([&] {
            return m_arrMessages.size() > std::size_t(nCycle);
        })) << nCycle;
        EXPECT_EQ(m_arrMessages.back().strText, kPortLost);
        EXPECT_FALSE(pDlg->IsPortOpen());
        if (nCycle % 10 == 0) {
            EXPECT_LT(LeastCpuShare(200, 0.2, [](int nMs) { QTest::qWait(nMs); }), 0.2) << nCycle;
        }
    }
    QTest::qWait(50);
    EXPECT_EQ(m_arrMessages.size(), std::size_t{kCycles});
    EXPECT_EQ(Ctl<CReceiveView>(*pDlg, IDC_RECEIVE)->GetBytes().size(), std::size_t{kCycles});
    EXPECT_EQ(CountOpenFds(), nFds);
    EXPECT_EQ(CountThreads(), nThreads);
}

TEST_F(TerminalDlgTest, CloseBoxSavesTheSettings) {
    WriteIni("[RX]\nCR=0\n");
    auto pDlg = MakeDialog();
    SelectPort(*pDlg, 5);
    Ctl<QComboBox>(*pDlg, IDC_BAUD)->setCurrentIndex(12);
    Ctl<QComboBox>(*pDlg, IDC_DATABITS)->setCurrentIndex(1);
    Ctl<QComboBox>(*pDlg, IDC_PARITY)->setCurrentIndex(2);
    Ctl<QComboBox>(*pDlg, IDC_STOPBITS)->setCurrentIndex(2);
    auto* pPeriod = Ctl<QLineEdit>(*pDlg, IDC_PERIOD);
    pPeriod->selectAll();
    QTest::keyClicks(pPeriod, "2500");
    Click(*pDlg, IDC_OPEN);
    ASSERT_TRUE(pDlg->close());
    EXPECT_FALSE(pDlg->isVisible());
    EXPECT_FALSE(pDlg->Link().IsOpen());
    EXPECT_EQ(ReadIni("PORT", "COM"), 4);
    EXPECT_EQ(ReadIni("PORT", "BAUD"), 12);
    EXPECT_EQ(ReadIni("PORT", "DATABITS"), 1);
    EXPECT_EQ(ReadIni("PORT", "PARITY"), 2);
    EXPECT_EQ(ReadIni("PORT", "STOPBITS"), 2);
    EXPECT_EQ(ReadIni("SYSTEM", "TXFORMAT"), 0);
    EXPECT_EQ(ReadIni("SYSTEM", "PERIOD"), 2500);
    EXPECT_EQ(ReadIni("RX", "CR"), 0);  // never written by the program

    // The next start shows what was saved.
    auto pNext = MakeDialog();
    EXPECT_EQ(Ctl<QComboBox>(*pNext, IDC_PORT)->currentText(), "COM5");
    EXPECT_EQ(Ctl<QComboBox>(*pNext, IDC_BAUD)->currentText(), "115200");
    EXPECT_EQ(Ctl<QComboBox>(*pNext, IDC_DATABITS)->currentText(), "7");
    EXPECT_EQ(Ctl<QComboBox>(*pNext, IDC_PARITY)->currentText(), "Even");
    EXPECT_EQ(Ctl<QComboBox>(*pNext, IDC_STOPBITS)->currentText(), "2");
    EXPECT_EQ(Text(*pNext, IDC_PERIOD), "2500");
}

TEST_F(TerminalDlgTest, ListWithoutSelectionIsSavedAsMinusOneAndReadAsItsDefault) {
    WriteIni("[PORT]\nBAUD=5\n");
    auto pDlg = MakeDialog();
    Ctl<QComboBox>(*pDlg, IDC_BAUD)->setCurrentIndex(-1);
    pDlg->close();
    EXPECT_EQ(ReadIni("PORT", "BAUD"), -1);
    auto pNext = MakeDialog();
    EXPECT_EQ(Ctl<QComboBox>(*pNext, IDC_BAUD)->currentIndex(), 0);
}

struct SLoadCase {
    const char* pszName;
    const char* pszIni;
    int nList;
    int nExpectedIndex;
};

void PrintTo(const SLoadCase& row, std::ostream* pOut) {
    *pOut << row.pszName;
}

class SettingsLoadTest : public TerminalDlgTest, public ::testing::WithParamInterface<SLoadCase> {};

TEST_P(SettingsLoadTest, OutOfRangeIndicesFallBackToTheirDefaults) {
    WriteIni(GetParam().pszIni);
    auto pDlg = MakeDialog();
    EXPECT_EQ(Ctl<QComboBox>(*pDlg, GetParam().nList)->currentIndex(), GetParam().nExpectedIndex);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, SettingsLoadTest,
    ::testing::Values(SLoadCase{"Parity4IsSpace", "[PORT]\nPARITY=4\n", IDC_PARITY, 4},
                      SLoadCase{"Parity5IsNone", "[PORT]\nPARITY=5\n", IDC_PARITY, 0},
                      SLoadCase{"Com31IsCom32", "[PORT]\nCOM=31\n", IDC_PORT, 31},
                      SLoadCase{"Com40IsCom1", "[PORT]\nCOM=40\n", IDC_PORT, 0},
                      SLoadCase{"DataBits9Is8", "[PORT]\nDATABITS=9\n", IDC_DATABITS, 2},
                      SLoadCase{"DataBits0Is6", "[PORT]\nDATABITS=0\n", IDC_DATABITS, 0},
                      SLoadCase{"BaudMinus1Is110", "[PORT]\nBAUD=-1\n", IDC_BAUD, 0},
                      SLoadCase{"Baud14Is256000", "[PORT]\nBAUD=14\n", IDC_BAUD, 14},
                      SLoadCase{"Baud15Is110", "[PORT]\nBAUD=15\n", IDC_BAUD, 0},
                      SLoadCase{"StopBits3IsOne", "[PORT]\nSTOPBITS=3\n", IDC_STOPBITS, 0},
                      SLoadCase{"StopBits1IsOneAndAHalf", "[PORT]\nSTOPBITS=1\n", IDC_STOPBITS, 1}),
    [](const auto& info) { return std::string(info.param.pszName); });

struct SFormatCase {
    const char* pszName;
    int nStored;
    bool bText;
    bool bHex;
    int nWritten;
};

void PrintTo(const SFormatCase& row, std::ostream* pOut) {
    *pOut << row.pszName;
}

class SendFormatTest : public TerminalDlgTest, public ::testing::WithParamInterface<SFormatCase> {};

TEST_P(SendFormatTest, ChoiceIsShownAndWrittenBack) {
    WriteIni("[SYSTEM]\nTXFORMAT=" + std::to_string(GetParam().nStored) + "\n");
    auto pDlg = MakeDialog();
    EXPECT_EQ(Ctl<QRadioButton>(*pDlg, IDC_FORMAT_TEXT)->isChecked(), GetParam().bText);
    EXPECT_EQ(Ctl<QRadioButton>(*pDlg, IDC_FORMAT_HEX)->isChecked(), GetParam().bHex);
    pDlg->close();
    EXPECT_EQ(ReadIni("SYSTEM", "TXFORMAT"), GetParam().nWritten);
}

INSTANTIATE_TEST_SUITE_P(Rows, SendFormatTest,
                         ::testing::Values(SFormatCase{"Text", 0, true, false, 0},
                                           SFormatCase{"Hex", 1, false, true, 1},
                                           SFormatCase{"FiveIsNeither", 5, false, false, -1},
                                           SFormatCase{"MinusOneIsNeither", -1, false, false, -1}),
                         [](const auto& info) { return std::string(info.param.pszName); });

TEST_F(TerminalDlgTest, PeriodOfSixDigitsShowsItsLastFiveAndIsWrittenSo) {
    WriteIni("[SYSTEM]\nPERIOD=1234567\n");
    auto pDlg = MakeDialog();
    EXPECT_EQ(Text(*pDlg, IDC_PERIOD), "34567");
    pDlg->close();
    EXPECT_EQ(ReadIni("SYSTEM", "PERIOD"), 34567);
}

TEST_F(TerminalDlgTest, EveryControlHasAnAccessibleName) {
    auto pDlg = MakeDialog();
    const auto name = [&](int nId) {
        QAccessibleInterface* pAccessible =
            QAccessible::queryAccessibleInterface(pDlg->Control(nId));
        return pAccessible != nullptr ? pAccessible->text(QAccessible::Name) : QString();
    };
    for (const SDlgItem& item : kMainDialogTemplate.items) {
        EXPECT_FALSE(name(item.nId).isEmpty()) << item.nId;
    }
    const std::pair<int, const char*> arrNames[] = {
        {IDC_PORT, "端口号："},
        {IDC_BAUD, "波特率："},
        {IDC_DATABITS, "数据位："},
        {IDC_PARITY, "校验位："},
        {IDC_STOPBITS, "停止位："},
        {IDC_RX_COUNT, "RX"},
        {IDC_TX_COUNT, "TX"},
        {IDC_PERIOD, "周期(ms)"},
        {IDC_RECEIVE, "接收信息框"},
        {IDC_SEND, "发送信息框"},
        {IDC_LAMP_CTS, "CTS"},
        {IDC_LAMP_DSR, "DSR"},
        {IDC_LAMP_RING, "RING"},
        {IDC_LAMP_CD, "CD"},
        {IDC_OPEN, "打开串口"},
        {IDC_CLEAR_COUNTERS, "计数清零"},
        {IDC_DTR, "DTR"},
        {IDC_RTS, "RTS"},
        {IDC_SEND_FILE, "发送文件"},
        {IDC_AUTO_SEND, "自动发送"},
        {IDC_MANUAL_SEND, "手动发送"},
        {ID_HELP, "帮助..."},
        {IDC_PERIOD_GROUP, "自动发送"},
        {IDC_PERIOD_LABEL, "周期(ms)"},
    };
    for (const auto& [nId, pszName] : arrNames) {
        EXPECT_EQ(pDlg->Control(nId)->accessibleName().isEmpty()
                      ? name(nId)
                      : pDlg->Control(nId)->accessibleName(),
                  QString::fromUtf8(pszName))
            << nId;
    }
    // Qt names a list by its current entry on Linux; screen readers there take the list's name
    // from the label that its "labelled by" relation points to.
    for (int nId : {IDC_PORT, IDC_BAUD, IDC_DATABITS, IDC_PARITY, IDC_STOPBITS}) {
        QAccessibleInterface* pList = QAccessible::queryAccessibleInterface(pDlg->Control(nId));
        ASSERT_NE(pList, nullptr);
        const auto arrLabels = pList->relations(QAccessible::Label);
        ASSERT_EQ(arrLabels.size(), 1) << nId;
        EXPECT_EQ(arrLabels[0].first->text(QAccessible::Name),
                  pDlg->Control(nId)->accessibleName());
    }
    // The counters read out the number they show.
    QAccessibleInterface* pRx = QAccessible::queryAccessibleInterface(pDlg->Control(IDC_RX_COUNT));
    ASSERT_NE(pRx, nullptr);
    EXPECT_EQ(pRx->text(QAccessible::Value), "0");
}

TEST_F(TerminalDlgTest, HelpOpensTheAboutBoxWithTheSameContentEachTime) {
    auto pDlg = MakeDialog();
    QStringList arrTexts;
    QStringList arrCaptions;
    for (int i = 0; i < 2; ++i) {
        QTimer::singleShot(0, [&] {
            auto* pBox = qobject_cast<CAboutBox*>(QApplication::activeModalWidget());
            ASSERT_NE(pBox, nullptr);
            arrCaptions << pBox->windowTitle();
            arrTexts << pBox->findChild<QPlainTextEdit*>()->toPlainText();
            auto* pPath = pBox->findChild<QLineEdit*>(QStringLiteral("IDC_1052"));
            ASSERT_NE(pPath, nullptr);
            EXPECT_EQ(pPath->text().toStdString(), m_strIni);
            pBox->accept();
        });
        Click(*pDlg, ID_HELP);
    }
    ASSERT_EQ(arrTexts.size(), 2);
    EXPECT_EQ(arrTexts[0], arrTexts[1]);
    EXPECT_EQ(arrTexts[0], CAboutBox::AboutText());
    EXPECT_EQ(arrCaptions[0], QStringLiteral("关于diVE"));
    EXPECT_TRUE(pDlg->isVisible());
}

TEST(AboutBox, ShowsTheFeaturesInOrderIndentedWithIdeographicSpaces) {
    CAboutBox box(QStringLiteral("/home/user/.config/diVE/Vexor.ini"));
    const QStringList arrLines = CAboutBox::AboutText().split('\n');
    EXPECT_EQ(arrLines.value(0), QStringLiteral("\t\t\t说明"));
    const QStringList arrFeatures = {"支持标准的波特率、数据位、校验位与停止位",
                                     "支持串口号从COM1~COM255",
                                     "支持文本模式与十六进制模式发送",
                                     "接收数据可以文本模式或十六进制模式显示",
                                     "支持Modem控制线与状态线",
                                     "支持文件发送",
                                     "支持自动周期性发送"};
    const int nFeatures = static_cast<int>(arrLines.indexOf(QStringLiteral("特点：")));
    ASSERT_GT(nFeatures, 0);
    for (int i = 0; i < arrFeatures.size(); ++i) {
        const QString& strLine = arrLines.value(nFeatures + 1 + i);
        EXPECT_TRUE(strLine.startsWith(QStringLiteral("　　"))) << strLine.toStdString();
        EXPECT_TRUE(strLine.endsWith(arrFeatures[i])) << strLine.toStdString();
    }
    EXPECT_TRUE(arrLines.contains(QStringLiteral("　　非常感谢您的使用！")));
    EXPECT_TRUE(arrLines.value(1).startsWith(QStringLiteral("　　")));
    bool bVersion = false;
    for (QLabel* pLabel : box.findChildren<QLabel*>()) {
        bVersion = bVersion || pLabel->text().contains(QStringLiteral("1.04"));
    }
    EXPECT_TRUE(bVersion);
    auto* pOk = box.findChild<QPushButton*>();
    ASSERT_NE(pOk, nullptr);
    EXPECT_EQ(pOk->text(), QStringLiteral("确定"));
    EXPECT_TRUE(box.findChild<QPlainTextEdit*>()->isReadOnly());
    // The settings path can be selected whole and copied, not changed.
    auto* pPath = box.findChild<QLineEdit*>(QStringLiteral("IDC_1052"));
    ASSERT_NE(pPath, nullptr);
    EXPECT_TRUE(pPath->isReadOnly());
    pPath->selectAll();
    EXPECT_EQ(pPath->selectedText(), QStringLiteral("/home/user/.config/diVE/Vexor.ini"));
    EXPECT_EQ(pPath->accessibleName(), QStringLiteral("设置文件"));
}

}  // namespace

// Settings that could never be saved are not lost in silence: the window says so once it shows.
TEST_F(TerminalDlgTest, ReadOnlySettingsFileIsReportedOnceTheWindowShows) {
    WriteIni();
    ASSERT_EQ(::chmod(m_strIni.c_str(), 0444), 0);
    auto pDlg = MakeDialog();
    ASSERT_TRUE(WaitRunningEventLoop([&] { return !m_arrMessages.empty(); }));
    EXPECT_EQ(m_arrMessages[0].strText,
              QStringLiteral("设置文件不能写入：\n%1\n\n本次运行中更改的设置不会被保存。")
                  .arg(QString::fromStdString(m_strIni)));
    EXPECT_EQ(m_arrMessages[0].strCaption, QStringLiteral("diVE"));
    pDlg->close();
    EXPECT_EQ(m_arrMessages.size(), 1u);
}
