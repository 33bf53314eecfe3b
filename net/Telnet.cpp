#include "Telnet.h"

using namespace telnet;

void CTelnetReader::Feed(const std::uint8_t* pBytes, std::size_t nCount,
                         std::vector<std::uint8_t>& data, std::vector<TelnetCommand>& arrCommands) {
    for (std::size_t i = 0; i < nCount; ++i) {
        const std::uint8_t by = pBytes[i];
        switch (m_eState) {
            case EState::Data:
                if (by == IAC) {
                    m_eState = EState::Iac;
                } else {
                    data.push_back(by);
                }
                break;
            case EState::Iac:
                if (by == IAC) {
                    data.push_back(IAC);
                    m_eState = EState::Data;
                } else if (by == WILL || by == WONT || by == DO || by == DONT) {
                    m_byCommand = by;
                    m_eState = EState::Option;
                } else if (by == SB) {
                    m_eState = EState::SubOption;
                } else {
                    arrCommands.push_back({by, 0, {}});
                    m_eState = EState::Data;
                }
                break;
            case EState::Option:
                arrCommands.push_back({m_byCommand, by, {}});
                m_eState = EState::Data;
                break;
            case EState::SubOption:
                m_sub = {SB, by, {}};
                m_bSubTooLong = false;
                m_eState = EState::Sub;
                break;
            case EState::Sub:
                if (by == IAC) {
                    m_eState = EState::SubIac;
                } else if (m_sub.payload.size() < kMaxSubnegotiation) {
                    m_sub.payload.push_back(by);
                } else {
                    m_bSubTooLong = true;
                }
                break;
            case EState::SubIac:
                if (by == IAC) {
                    if (m_sub.payload.size() < kMaxSubnegotiation) {
                        m_sub.payload.push_back(IAC);
                    } else {
                        m_bSubTooLong = true;
                    }
                    m_eState = EState::Sub;
                } else if (by == SE) {
                    EndSubnegotiation(arrCommands);
                    m_eState = EState::Data;
                } else {
                    // IAC and anything else inside a subnegotiation ends it unfinished; the byte
                    // then starts a command of its own.
                    EndSubnegotiation(arrCommands);
                    m_eState = EState::Iac;
                    --i;
                }
                break;
        }
    }
}

void CTelnetReader::EndSubnegotiation(std::vector<TelnetCommand>& arrCommands) {
    if (m_bSubTooLong) {
        ++m_nDropped;
    } else {
        arrCommands.push_back(std::move(m_sub));
    }
    m_sub = {};
    m_bSubTooLong = false;
}

void AppendTelnetData(std::vector<std::uint8_t>& out, const std::uint8_t* pBytes,
                      std::size_t nCount) {
    for (std::size_t i = 0; i < nCount; ++i) {
        out.push_back(pBytes[i]);
        if (pBytes[i] == IAC) {
            out.push_back(IAC);
        }
    }
}

void AppendTelnetNegotiation(std::vector<std::uint8_t>& out, std::uint8_t byCommand,
                             std::uint8_t byOption) {
    out.insert(out.end(), {IAC, byCommand, byOption});
}

void AppendTelnetSubnegotiation(std::vector<std::uint8_t>& out, std::uint8_t byOption,
                                const std::vector<std::uint8_t>& payload) {
    out.insert(out.end(), {IAC, SB, byOption});
    AppendTelnetData(out, payload.data(), payload.size());
    out.insert(out.end(), {IAC, SE});
}
