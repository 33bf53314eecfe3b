// The receive box's timestamps, frames and sends through its menu: what copying and saving give,
// and the options' keys in the settings file.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <chrono>
#include <cstdlib>

#include "BoxTestSupport.h"
#include "NewMenu.h"
#include "ReceiveView.h"

namespace {

class RxTimeTest : public ::testing::Test {
protected:
    RxTimeTest() {
        setenv("TZ", "UTC", 1);
        tzset();
    }
    static ReadTime At(int nMs) { return ReadTime(std::chrono::milliseconds(nMs)); }
    static void Pick(CReceiveView& box, int nCommand) {
        FindCommand(*box.CreateContextMenu(), nCommand)->trigger();
    }
    void Receive(CReceiveView& box, const char* psz, int nMs) {
        box.AppendBytes(reinterpret_cast<const std::uint8_t*>(psz), std::strlen(psz), At(nMs));
    }

    CTempIni m_ini;
    CScriptedDialogs::SScript m_script;
};

TEST_F(RxTimeTest, MenuTurnsTimeFramesAndSendsOnCopyShowsThemSaveKeepsBytes) {
    CReceiveView box(m_ini.Path());
    box.SetDialogs(std::make_unique<CScriptedDialogs>(m_script));
    box.resize(600, 200);
    box.show();
    Pick(box, IDM_TIMESTAMP);
    Pick(box, IDM_FRAMEGAP_FIRST + 2);  // "20 ms"
    Pick(box, IDM_ECHO);
    const auto pMenu = box.CreateContextMenu();
    EXPECT_TRUE(FindCommand(*pMenu, IDM_TIMESTAMP)->isChecked());
    EXPECT_TRUE(FindCommand(*pMenu, IDM_ECHO)->isChecked());
    std::vector<SMenuRow> frames;
    for (int i = 0; i < 6; ++i) {
        const QAction* pAction = FindCommand(*pMenu, IDM_FRAMEGAP_FIRST + i);
        frames.push_back({pAction->text(), pAction->isEnabled(), pAction->isChecked()});
    }
    EXPECT_EQ(frames, (std::vector<SMenuRow>{{QString::fromUtf8("不分帧"), true, false},
                                             {"10 ms", true, false},
                                             {"20 ms", true, true},
                                             {"50 ms", true, false},
                                             {"100 ms", true, false},
                                             {"500 ms", true, false}}));

    Receive(box, "\x01\x02", 0);
    Receive(box, "\x03", 30);
    const std::uint8_t sent[] = {'A', 'T'};
    box.AppendSent(sent, sizeof sent, At(40));
    Pick(box, IDM_HEXMODE);
    const QString strShown =
        QString::fromUtf8("[00:00:00.000] 01 02 \n[00:00:00.030] 03 \n[00:00:00.040] TX 41 54 \n");
    EXPECT_EQ(box.ShownText(), strShown) << box.ShownText().toStdString();
    box.selectAll();
    box.copy();
    EXPECT_EQ(QApplication::clipboard()->text(), strShown);
    // Sends are not received bytes: not held, not saved.
    EXPECT_EQ(box.GetLength(), 3u);
    m_script.strSavePath = m_ini.Folder() + "/out.bin";
    Pick(box, IDM_SAVEFILE);
    EXPECT_EQ(ReadFileBytes(m_script.strSavePath), (std::vector<std::uint8_t>{1, 2, 3}));

    // Off again: the same bytes as before, without the marks.
    Pick(box, IDM_TIMESTAMP);
    Pick(box, IDM_FRAMEGAP_FIRST);
    Pick(box, IDM_ECHO);
    EXPECT_EQ(box.ShownText(), "01 02 03 ");
}

TEST_F(RxTimeTest, OptionsAreWrittenAndReadBackRangeChecked) {
    struct SRow {
        const char* pszIni;
        SRxOptions want;
    };
    const SRow rows[] = {
        {"", {false, 0, false}},
        {"[RX]\nTIMESTAMP=1\nFRAMEGAP=50\nECHO=1\n", {true, 50, true}},
        {"[RX]\nTIMESTAMP=2\nFRAMEGAP=30\nECHO=-1\n", {false, 0, false}},
        {"[RX]\nTIMESTAMP=x\nFRAMEGAP=500\nECHO=0\n", {false, 500, false}},
        {"[RX]\nFRAMEGAP=-10\n", {false, 0, false}},
    };
    for (const SRow& row : rows) {
        SCOPED_TRACE(row.pszIni);
        m_ini.Write(row.pszIni);
        EXPECT_EQ(SRxOptions::Read(m_ini.Path()), row.want);
    }
    const SRxOptions options{true, 100, true};
    options.Write(m_ini.Path());
    EXPECT_EQ(SRxOptions::Read(m_ini.Path()), options);
    CReceiveView box(m_ini.Path());
    EXPECT_EQ(box.Options(), options);
}

}  // namespace
