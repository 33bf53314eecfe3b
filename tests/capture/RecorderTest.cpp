// The recorder: raw recordings byte-exact whatever the pieces, text logs with their markers,
// appending or overwriting, and the bad cases (a full disk, a removed file, a folder or a device
// chosen) stopping with the reason and keeping what was written.
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <fstream>
#include <mutex>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "Recorder.h"
#include "TempFolder.h"
#include "WaitHelpers.h"

namespace {

std::string ReadAll(const std::string& strPath) {
    std::ifstream file(strPath, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

std::vector<std::uint8_t> RandomBytes(std::size_t nCount, unsigned nSeed) {
    std::mt19937 rng(nSeed);
    std::vector<std::uint8_t> bytes(nCount);
    for (auto& by : bytes) {
        by = static_cast<std::uint8_t>(rng());
    }
    return bytes;
}

// The failure handler's reason, as the window would get it.
struct SFailure {
    std::mutex mtx;
    std::string strReason;
    std::atomic<int> nCalls{0};
    CRecorder::FailureHandler Handler() {
        return [this](const std::string& strWhy) {
            std::lock_guard lock(mtx);
            strReason = strWhy;
            ++nCalls;
        };
    }
    std::string Reason() {
        std::lock_guard lock(mtx);
        return strReason;
    }
};

TEST(RecordMode, FollowsTheNamesEnding) {
    EXPECT_EQ(RecordModeForPath("/a/b.log"), ERecordMode::TextLog);
    EXPECT_EQ(RecordModeForPath("/a/B.TXT"), ERecordMode::TextLog);
    EXPECT_EQ(RecordModeForPath("/a/b.bin"), ERecordMode::Raw);
    EXPECT_EQ(RecordModeForPath("/a.log/b"), ERecordMode::Raw);
    EXPECT_EQ(RecordModeForPath("log"), ERecordMode::Raw);
}

TEST(Recorder, RawIsByteExactUnderRandomPiecesAndIgnoresMarkers) {
    CTempFolder folder;
    const std::string strPath = folder.PathOf("dump.bin");
    const std::vector<std::uint8_t> data = RandomBytes(5u << 20, 7);
    std::mt19937 rng(11);
    CRecorder recorder;
    std::string strError;
    ASSERT_TRUE(recorder.Start(strPath, false, {}, nullptr, strError)) << strError;
    std::size_t nPos = 0;
    while (nPos < data.size()) {
        const std::size_t n = std::min<std::size_t>(data.size() - nPos, 1 + rng() % 70000);
        recorder.AppendBytes(data.data() + nPos, n, ReadTime{});
        if (rng() % 50 == 0) {
            recorder.AppendMarker("—— 串口关闭 ——", ReadTime{});
            recorder.SetCodePage(true);
            recorder.Flush();
        }
        nPos += n;
    }
    recorder.Stop();
    EXPECT_FALSE(recorder.IsRecording());
    const std::string strFile = ReadAll(strPath);
    ASSERT_EQ(strFile.size(), data.size());
    EXPECT_EQ(std::memcmp(data.data(), strFile.data(), data.size()), 0);
}

TEST(Recorder, WritesWithinAFlushPeriodWithoutStopping) {
    CTempFolder folder;
    const std::string strPath = folder.PathOf("live.bin");
    CRecorder recorder;
    std::string strError;
    ASSERT_TRUE(recorder.Start(strPath, false, {}, nullptr, strError));
    recorder.AppendBytes(reinterpret_cast<const std::uint8_t*>("abc"), 3, ReadTime{});
    EXPECT_TRUE(WaitPolling([&] { return ReadAll(strPath) == "abc"; }));
}

TEST(Recorder, AppendsOrOverwrites) {
    CTempFolder folder;
    const std::string strPath = folder.PathOf("a.bin");
    std::ofstream(strPath) << "old";
    for (const bool bAppend : {true, false}) {
        CRecorder recorder;
        std::string strError;
        ASSERT_TRUE(recorder.Start(strPath, bAppend, {}, nullptr, strError));
        recorder.AppendBytes(reinterpret_cast<const std::uint8_t*>("new"), 3, ReadTime{});
        recorder.Stop();
        EXPECT_EQ(ReadAll(strPath), bAppend ? "oldnew" : "new");
    }
}

TEST(Recorder, TextLogHasMarkersAndEndsTheLastLineAtStop) {
    setenv("TZ", "UTC", 1);
    tzset();
    CTempFolder folder;
    const std::string strPath = folder.PathOf("a.log");
    CRecorder recorder;
    std::string strError;
    SRecordOptions options;
    options.eMode = ERecordMode::TextLog;
    ASSERT_TRUE(recorder.Start(strPath, false, options, nullptr, strError));
    const ReadTime t0(std::chrono::milliseconds(1796724000000LL));
    recorder.AppendMarker("—— 串口打开 COM1 115200,8,N,1 ——", t0);
    recorder.AppendBytes(reinterpret_cast<const std::uint8_t*>("\xc4\xe3\xba\xc3\r\nx"), 7,
                         t0 + std::chrono::milliseconds(5));
    recorder.SetCodePage(true);
    recorder.AppendBytes(reinterpret_cast<const std::uint8_t*>("\r\n\xe4\xbd\xa0"), 5,
                         t0 + std::chrono::milliseconds(9));
    recorder.Stop();
    EXPECT_EQ(ReadAll(strPath),
              "[2026-12-08 10:00:00.000] —— 串口打开 COM1 115200,8,N,1 ——\n"
              "[2026-12-08 10:00:00.005] 你好\n"
              "[2026-12-08 10:00:00.005] x\n"
              "[2026-12-08 10:00:00.009] 你\n");
}

struct SRefusalRow {
    const char* pszName;
    std::string strPath;  // "@" stands for the test's folder
    std::string strReason;
};

class RecorderRefuses : public testing::TestWithParam<SRefusalRow> {};

TEST_P(RecorderRefuses, WhatIsNoFileToRecordTo) {
    CTempFolder folder;
    std::string strPath = GetParam().strPath;
    if (strPath.starts_with("@")) {
        strPath = folder.Path() + strPath.substr(1);
    }
    CRecorder recorder;
    std::string strError;
    EXPECT_FALSE(recorder.Start(strPath, false, {}, nullptr, strError));
    EXPECT_EQ(strError, GetParam().strReason);
    EXPECT_FALSE(recorder.IsRecording());
}

INSTANTIATE_TEST_SUITE_P(
    Rows, RecorderRefuses,
    testing::Values(SRefusalRow{"Folder", "@", "所选的是文件夹，不是文件"},
                    SRefusalRow{"Device", "/dev/null", "所选的不是普通文件"},
                    SRefusalRow{"MissingFolder", "@/none/a.log", "文件夹不存在"}),
    [](const testing::TestParamInfo<SRefusalRow>& info) { return info.param.pszName; });

TEST(Recorder, RemovedFileStopsTheRecordingWithTheReason) {
    CTempFolder folder;
    const std::string strPath = folder.PathOf("gone.bin");
    CRecorder recorder;
    SFailure failure;
    std::string strError;
    ASSERT_TRUE(recorder.Start(strPath, false, {}, failure.Handler(), strError));
    ASSERT_EQ(::unlink(strPath.c_str()), 0);
    recorder.AppendBytes(reinterpret_cast<const std::uint8_t*>("x"), 1, ReadTime{});
    ASSERT_TRUE(WaitPolling([&] { return failure.nCalls > 0; }));
    EXPECT_EQ(failure.Reason(), "记录文件已被删除或移走");
    recorder.AppendBytes(reinterpret_cast<const std::uint8_t*>("y"), 1, ReadTime{});  // ignored
    recorder.Stop();
    EXPECT_EQ(failure.nCalls, 1);
}

// A disk that fills up: a small tmpfs of its own (needs the right to mount, as root has).
TEST(Recorder, FullDiskStopsTheRecordingAndKeepsWhatWasWritten) {
    CTempFolder folder;
    if (::mount("tmpfs", folder.Path().c_str(), "tmpfs", 0, "size=64k") != 0) {
        GTEST_SKIP() << "no right to mount a small tmpfs";
    }
    const std::string strPath = folder.PathOf("full.bin");
    const std::vector<std::uint8_t> data = RandomBytes(1u << 20, 3);
    std::string strKept;
    {
        CRecorder recorder;
        SFailure failure;
        std::string strError;
        ASSERT_TRUE(recorder.Start(strPath, false, {}, failure.Handler(), strError));
        for (std::size_t nPos = 0; nPos < data.size(); nPos += 4096) {
            recorder.AppendBytes(data.data() + nPos, 4096, ReadTime{});
        }
        recorder.Flush();
        EXPECT_TRUE(WaitPolling([&] { return failure.nCalls > 0; }));
        EXPECT_EQ(failure.Reason(), "磁盘已满");
        recorder.Stop();
        strKept = ReadAll(strPath);
    }
    ::umount(folder.Path().c_str());
    EXPECT_GE(strKept.size(), 32u * 1024);
    EXPECT_LT(strKept.size(), data.size());
    EXPECT_EQ(std::memcmp(data.data(), strKept.data(), strKept.size()), 0);
}

}  // namespace
