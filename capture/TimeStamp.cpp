#include "TimeStamp.h"

#include <cstdio>
#include <ctime>

namespace {

// The local time of one second, kept: a stream brings many lines in the same second, and
// localtime_r reads the time zone each time.
struct SSecondText {
    std::time_t tSecond = -1;
    char szDate[48] = {};  // "YYYY-MM-DD "
    char szTime[48] = {};  // "HH:MM:SS"
};

const SSecondText& SecondText(std::time_t tSecond) {
    thread_local SSecondText cached;
    if (cached.tSecond != tSecond) {
        std::tm tmLocal{};
        localtime_r(&tSecond, &tmLocal);
        std::snprintf(cached.szDate, sizeof cached.szDate, "%04d-%02d-%02d ",
                      tmLocal.tm_year + 1900, tmLocal.tm_mon + 1, tmLocal.tm_mday);
        std::snprintf(cached.szTime, sizeof cached.szTime, "%02d:%02d:%02d", tmLocal.tm_hour,
                      tmLocal.tm_min, tmLocal.tm_sec);
        cached.tSecond = tSecond;
    }
    return cached;
}

}  // namespace

void AppendTimeStamp(std::string& out, ReadTime tRead, bool bWithDate) {
    using namespace std::chrono;
    const auto nMs = duration_cast<milliseconds>(tRead.time_since_epoch()).count();
    // Floor division: a time before 1970 still gets its milliseconds from 0 to 999.
    const auto nSecond = nMs >= 0 ? nMs / 1000 : (nMs - 999) / 1000;
    const auto nMilli = static_cast<int>(nMs - nSecond * 1000);
    const SSecondText& text = SecondText(static_cast<std::time_t>(nSecond));
    out += '[';
    if (bWithDate) {
        out += text.szDate;
    }
    out += text.szTime;
    const char szMilli[] = {'.',
                            static_cast<char>('0' + nMilli / 100),
                            static_cast<char>('0' + nMilli / 10 % 10),
                            static_cast<char>('0' + nMilli % 10),
                            ']',
                            ' '};
    out.append(szMilli, sizeof szMilli);
}
