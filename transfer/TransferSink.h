#pragma once
// Where a receiver puts what arrives. ITransferSink is the seam (the fuzz target keeps the bytes
// in memory); CFileSink writes them to disk.
//
// The far end is not trusted: a YMODEM name is cleaned to a bare name (CleanTransferName) and
// refused when nothing usable is left; an existing file is replaced only when the ask callback
// says so, else the new one is saved beside it as "name (1).ext" (the next free number); a file is
// written as "<name>.partial" and renamed when it is complete, so a transfer that fails leaves a
// file that says what it is.
#include <cstdint>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <vector>

// A sink's answer to a new file: refused with why, or accepted, with a note (a cleaned name).
struct SSinkAnswer {
    bool bAccepted = true;
    std::string strMessage;  // Chinese
};

class ITransferSink {
public:
    virtual ~ITransferSink() = default;
    // A new file. strName: the name the sender gave (YMODEM), "" for XMODEM; nSize when the
    // sender gave one.
    virtual SSinkAnswer Begin(const std::string& strName, std::optional<std::uint64_t> nSize) = 0;
    virtual bool Write(const std::uint8_t* pBytes, std::size_t nCount) = 0;
    // The file ends; bComplete: it arrived whole. Returns a note for the user ("" when none).
    virtual std::string End(bool bComplete) = 0;
    // The most a file without a size may grow to.
    virtual std::uint64_t Limit() const = 0;
};

// The name a file gets from a name the sender gave: what follows its last '/' or '\', without
// control characters. nullopt when nothing usable is left ("", ".", "..", longer than 255 bytes).
std::optional<std::string> CleanTransferName(const std::string& strRaw);

class CFileSink : public ITransferSink {
public:
    // Asked (with the full path) before an existing file is replaced; true: replace it, false:
    // keep it and save the new one under a free name (said in Begin's note).
    using AskOverwrite = std::function<bool(const std::string& strPath)>;

    // XMODEM: the file strTarget; YMODEM: files in the folder strTarget under their own names.
    CFileSink(std::string strTarget, bool bFolder, AskOverwrite fnAsk,
              std::uint64_t nLimit = std::uint64_t(1) << 32);
    ~CFileSink() override;

    SSinkAnswer Begin(const std::string& strName, std::optional<std::uint64_t> nSize) override;
    bool Write(const std::uint8_t* pBytes, std::size_t nCount) override;
    std::string End(bool bComplete) override;
    std::uint64_t Limit() const override { return m_nLimit; }

    // The files received whole, full paths.
    const std::vector<std::string>& Received() const { return m_arrReceived; }

private:
    std::string m_strTarget;
    bool m_bFolder;
    AskOverwrite m_fnAsk;
    std::uint64_t m_nLimit;
    std::string m_strPath;  // the file being written (without ".partial")
    std::FILE* m_pFile = nullptr;
    std::vector<std::string> m_arrReceived;
};
