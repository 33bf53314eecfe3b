#include "TransferSink.h"

#include <unistd.h>

#include <cstdio>

namespace {

constexpr const char* kPartial = ".partial";
constexpr int kMaxOtherNames = 999;

bool Exists(const std::string& strPath) {
    return access(strPath.c_str(), F_OK) == 0;
}

// "name (n).ext" in the folder of strPath for the first n from 1 that names no file; "" when
// none up to kMaxOtherNames is free. A name starting with its only dot has no extension.
std::string FreeName(const std::string& strPath) {
    const std::size_t nSlash = strPath.find_last_of('/');
    const std::size_t nNameStart = nSlash == std::string::npos ? 0 : nSlash + 1;
    std::size_t nDot = strPath.find_last_of('.');
    if (nDot == std::string::npos || nDot <= nNameStart) {
        nDot = strPath.size();
    }
    for (int n = 1; n <= kMaxOtherNames; ++n) {
        const std::string strOther =
            strPath.substr(0, nDot) + " (" + std::to_string(n) + ")" + strPath.substr(nDot);
        if (!Exists(strOther) && !Exists(strOther + kPartial)) {
            return strOther;
        }
    }
    return {};
}

std::string BaseName(const std::string& strPath) {
    const std::size_t nSlash = strPath.find_last_of('/');
    return nSlash == std::string::npos ? strPath : strPath.substr(nSlash + 1);
}

}  // namespace

std::optional<std::string> CleanTransferName(const std::string& strRaw) {
    const std::size_t nSlash = strRaw.find_last_of("/\\");
    std::string strName;
    for (const char c : strRaw.substr(nSlash == std::string::npos ? 0 : nSlash + 1)) {
        const auto by = static_cast<unsigned char>(c);
        if (by >= 0x20 && by != 0x7F) {
            strName.push_back(c);
        }
    }
    if (strName.empty() || strName == "." || strName == ".." || strName.size() > 255) {
        return std::nullopt;
    }
    return strName;
}

CFileSink::CFileSink(std::string strTarget, bool bFolder, AskOverwrite fnAsk, std::uint64_t nLimit)
    : m_strTarget(std::move(strTarget)),
      m_bFolder(bFolder),
      m_fnAsk(std::move(fnAsk)),
      m_nLimit(nLimit) {}

CFileSink::~CFileSink() {
    End(false);
}

SSinkAnswer CFileSink::Begin(const std::string& strName, std::optional<std::uint64_t>) {
    End(false);
    std::string strNote;
    if (m_bFolder) {
        const std::optional<std::string> strClean = CleanTransferName(strName);
        if (!strClean) {
            return {false, "对方给出的文件名无效，已拒绝"};
        }
        if (*strClean != strName) {
            strNote = "文件名已清理为“" + *strClean + "”";
        }
        m_strPath = m_strTarget + "/" + *strClean;
    } else {
        m_strPath = m_strTarget;
    }
    if (Exists(m_strPath) && !(m_fnAsk && m_fnAsk(m_strPath))) {
        // Not replaced: the file is kept under a name of its own beside it.
        const std::string strOther = FreeName(m_strPath);
        if (strOther.empty()) {
            m_strPath.clear();
            return {false, "文件已存在，未覆盖"};
        }
        strNote += std::string(strNote.empty() ? "" : "；") + "“" + BaseName(m_strPath) +
                   "”已存在，另存为“" + BaseName(strOther) + "”";
        m_strPath = strOther;
    }
    m_pFile = std::fopen((m_strPath + kPartial).c_str(), "wbx");
    if (m_pFile == nullptr) {
        // An old partial file of an earlier transfer may be in the way: it is replaced.
        m_pFile = std::fopen((m_strPath + kPartial).c_str(), "wb");
    }
    if (m_pFile == nullptr) {
        m_strPath.clear();
        return {false, "无法写入文件"};
    }
    return {true, strNote};
}

bool CFileSink::Write(const std::uint8_t* pBytes, std::size_t nCount) {
    return m_pFile != nullptr && std::fwrite(pBytes, 1, nCount, m_pFile) == nCount;
}

std::string CFileSink::End(bool bComplete) {
    if (m_pFile == nullptr) {
        return {};
    }
    const bool bClosed = std::fclose(m_pFile) == 0;
    m_pFile = nullptr;
    const std::string strPartial = m_strPath + kPartial;
    if (bComplete && bClosed && std::rename(strPartial.c_str(), m_strPath.c_str()) == 0) {
        m_arrReceived.push_back(m_strPath);
        return {};
    }
    return "未完成的文件保存为 " + strPartial;
}
