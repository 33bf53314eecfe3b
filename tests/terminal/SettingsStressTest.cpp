// The settings file under stress: two programs closing at once on it, a full disk, and a file
// that is not a file.
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QComboBox>
#include <QProcess>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>

#include "SettingsRacer.h"
#include "TerminalFixture.h"

namespace {

std::string ReadAll(const std::string& strPath) {
    std::ifstream file(strPath, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

// Two windows in two processes close at the same moment, a hundred times: the file holds all the
// settings of one of them every time, and its other lines as they were.
TEST_F(TerminalDlgTest, TwoProgramsClosingAtOnceLeaveOneWholeVersion) {
    constexpr int kRounds = 100;
    WriteIni("[KEEP]\nA=1\n");
    std::array<QProcess, 2> racers;
    for (int nId = 0; nId < 2; ++nId) {
        racers[nId].start(QStringLiteral(DIVE_SETTINGS_RACER),
                          {QString::fromStdString(m_strIni), QString::number(nId)});
        ASSERT_TRUE(racers[nId].waitForStarted(30000));
    }
    const auto say = [&](const QByteArray& text) {
        for (QProcess& racer : racers) {
            racer.write(text + "\n");
        }
    };
    const auto hear = [&](const QByteArray& answer) {
        for (QProcess& racer : racers) {
            while (!racer.canReadLine()) {
                if (!racer.waitForReadyRead(60000)) {
                    return false;
                }
            }
            if (racer.readLine().trimmed() != answer) {
                return false;
            }
        }
        return true;
    };
    std::array<int, 2> arrWins = {0, 0};
    for (int nRound = 0; nRound < kRounds; ++nRound) {
        say(QByteArray::number(nRound));
        ASSERT_TRUE(hear("ready")) << nRound;
        // Both close at the same moment, a little ahead, so that neither waits for its message.
        const auto tClose = std::chrono::system_clock::now() + std::chrono::milliseconds(100);
        say("go " +
            QByteArray::number(static_cast<qint64>(
                std::chrono::duration_cast<std::chrono::milliseconds>(tClose.time_since_epoch())
                    .count())));
        ASSERT_TRUE(hear("done")) << nRound;
        std::array<int, 7> arrNow{};
        for (std::size_t n = 0; n < kRacerKeys.size(); ++n) {
            arrNow[n] = ReadIni(kRacerKeys[n].pszSection, kRacerKeys[n].pszKey);
        }
        const bool bFirst = arrNow == RacerValues(0, nRound);
        ASSERT_TRUE(bFirst || arrNow == RacerValues(1, nRound)) << "mixed file in round " << nRound;
        ++arrWins[bFirst ? 0 : 1];
        ASSERT_EQ(ReadIni("KEEP", "A"), 1);
        ASSERT_EQ(CIniFile(m_strIni).ReadString("DEVICES", "COM1", ""), m_pty.SlavePath());
    }
    say("quit");
    for (QProcess& racer : racers) {
        EXPECT_TRUE(racer.waitForFinished(30000));
    }
    std::cout << "rounds won: " << arrWins[0] << " and " << arrWins[1] << "\n";
}

// A small file system filled to the last block: closing changes nothing, loses nothing and says
// nothing.
TEST_F(TerminalDlgTest, FullDiskKeepsTheOldFileWholeAndSaysNothing) {
    const std::string strDisk = m_dir.filePath(QStringLiteral("disk")).toStdString();
    std::filesystem::create_directory(strDisk);
    if (mount("tmpfs", strDisk.c_str(), "tmpfs", 0, "size=64k") != 0) {
        GTEST_SKIP() << "a small tmpfs needs the right to mount: " << std::strerror(errno);
    }
    struct CUnmount {
        std::string strPath;
        ~CUnmount() { umount2(strPath.c_str(), MNT_DETACH); }
    } unmount{strDisk};
    m_strIni = strDisk + "/Vexor.ini";
    WriteIni("[PORT]\nCOM=4\nBAUD=3\n[SYSTEM]\nPERIOD=250\n");
    {
        std::ofstream filler(strDisk + "/filler", std::ios::binary);
        const std::string strBlock(4096, 'x');
        while (filler.write(strBlock.data(), static_cast<std::streamsize>(strBlock.size()))) {
            filler.flush();
        }
    }
    const std::string strBefore = ReadAll(m_strIni);

    auto pDlg = MakeDialog();
    EXPECT_EQ(Ctl<QComboBox>(*pDlg, IDC_PORT)->currentIndex(), 4);
    SelectPort(*pDlg, 9);
    Ctl<QComboBox>(*pDlg, IDC_BAUD)->setCurrentIndex(7);
    ASSERT_TRUE(pDlg->close());
    EXPECT_TRUE(m_arrMessages.empty());
    EXPECT_EQ(ReadAll(m_strIni), strBefore);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(strDisk), {}), 2);
}

// A settings file that cannot be read or written as one: the window starts with the defaults,
// says once that its settings cannot be saved, closes at once and leaves the thing as it was.
TEST_F(TerminalDlgTest, SettingsPathThatIsNoFileGivesDefaultsAndNothingHangs) {
    struct SCase {
        const char* pszName;
        std::function<void(const std::string& strFolder, const std::string& strIni)> fnMake;
        std::function<bool(const std::string& strIni)> fnUnchanged;
    };
    const SCase arrCases[] = {
        {"directory", [](auto&, auto& strIni) { std::filesystem::create_directory(strIni); },
         [](auto& strIni) { return std::filesystem::is_empty(strIni); }},
        {"FIFO", [](auto&, auto& strIni) { mkfifo(strIni.c_str(), 0600); },
         [](auto& strIni) { return std::filesystem::is_fifo(strIni); }},
        {"read-only folder", [](auto& strFolder, auto&) { chmod(strFolder.c_str(), 0555); },
         [](auto& strIni) { return !std::filesystem::exists(strIni); }},
    };
    for (const SCase& test : arrCases) {
        SCOPED_TRACE(test.pszName);
        const std::string strFolder = m_dir.filePath(QString::fromUtf8(test.pszName)).toStdString();
        std::filesystem::create_directory(strFolder);
        m_strIni = strFolder + "/Vexor.ini";
        test.fnMake(strFolder, m_strIni);
        auto pDlg = MakeDialog();
        ExpectDefaultSettings(*pDlg);
        EXPECT_TRUE(WaitRunningEventLoop([&] { return !m_arrMessages.empty(); }));
        SelectPort(*pDlg, 6);
        ASSERT_TRUE(pDlg->close());
        ASSERT_EQ(m_arrMessages.size(), 1u);
        EXPECT_TRUE(m_arrMessages[0].strText.startsWith(QStringLiteral("设置文件不能写入")));
        m_arrMessages.clear();
        EXPECT_TRUE(test.fnUnchanged(m_strIni));
        chmod(strFolder.c_str(), 0755);
    }
}

// A dangling link: the defaults, and the close creates the file it names.
TEST_F(TerminalDlgTest, DanglingLinkGivesDefaultsAndTheCloseCreatesItsFile) {
    const std::string strTarget = m_dir.filePath(QStringLiteral("elsewhere.ini")).toStdString();
    m_strIni = m_dir.filePath(QStringLiteral("Vexor.ini")).toStdString();
    std::filesystem::create_symlink(strTarget, m_strIni);
    auto pDlg = MakeDialog();
    ExpectDefaultSettings(*pDlg);
    SelectPort(*pDlg, 6);
    ASSERT_TRUE(pDlg->close());
    EXPECT_TRUE(m_arrMessages.empty());
    EXPECT_TRUE(std::filesystem::is_symlink(m_strIni));
    EXPECT_EQ(CIniFile(strTarget).ReadInt("PORT", "COM", -1), 5);
}

}  // namespace
