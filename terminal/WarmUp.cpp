#include "WarmUp.h"

#include <fontconfig/fontconfig.h>

#include "IniReadCache.h"

CWarmUp::CWarmUp(const std::string& strIniPath)
    : m_thread([this, strIniPath] {
          FcInit();
          m_fontsDone.set_value();
          EReadResult eResult{};
          ReadIniSection(strIniPath, "PORT", eResult);
      }) {}

CWarmUp::~CWarmUp() {
    m_thread.join();
}

void CWarmUp::FinishFonts() {
    m_fontsReady.wait();
}
