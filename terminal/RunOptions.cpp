#include "RunOptions.h"

#include <QComboBox>

#include "DeviceMap.h"
#include "DialogTemplate.h"
#include "PortInfo.h"
#include "ReceiveView.h"
#include "TerminalDlg.h"

namespace {

// The entry showing dwRate, which joins the list in order when it is not there yet.
int BaudEntry(QComboBox& list, std::uint32_t dwRate) {
    int nIndex = 0;
    while (nIndex < list.count() && list.itemData(nIndex).toUInt() < dwRate) {
        ++nIndex;
    }
    if (nIndex == list.count() || list.itemData(nIndex).toUInt() != dwRate) {
        list.insertItem(nIndex, QString::number(dwRate), dwRate);
    }
    return nIndex;
}

}  // namespace

void CRunOptions::Apply(CTerminalDlg& dlg, const STerminalSettings& loaded,
                        const std::string& strIniPath) {
    m_loaded = loaded;
    const auto list = [&dlg](int nId) { return qobject_cast<QComboBox*>(dlg.Control(nId)); };
    if (!m_cmd.strDevice.isEmpty()) {
        Select(list(IDC_PORT), PortForDevice(dlg.Link(), strIniPath) - 1, &STerminalSettings::nCom);
    } else if (m_cmd.nPort > 0) {
        Select(list(IDC_PORT), m_cmd.nPort - 1, &STerminalSettings::nCom);
    }
    if (m_cmd.dwBaud) {
        Select(list(IDC_BAUD), BaudEntry(*list(IDC_BAUD), *m_cmd.dwBaud),
               &STerminalSettings::nBaud);
    }
    if (m_cmd.nDataBits) {
        Select(list(IDC_DATABITS), *m_cmd.nDataBits - 6, &STerminalSettings::nDataBits);
    }
    if (m_cmd.nParity) {
        Select(list(IDC_PARITY), *m_cmd.nParity, &STerminalSettings::nParity);
    }
    if (m_cmd.nStopBits) {
        Select(list(IDC_STOPBITS), *m_cmd.nStopBits, &STerminalSettings::nStopBits);
    }
    if (m_cmd.bHex) {
        qobject_cast<CReceiveView*>(dlg.Control(IDC_RECEIVE))->SetModeForRun(1);
    }
}

void CRunOptions::KeepStored(STerminalSettings& settings) const {
    for (const SOverride& entry : m_arrOverrides) {
        if (entry.pList->currentIndex() == entry.nRun) {
            settings.*entry.pnField = m_loaded.*entry.pnField;
        }
    }
}

void CRunOptions::Select(QComboBox* pList, int nIndex, int STerminalSettings::*pnField) {
    pList->setCurrentIndex(nIndex);
    m_arrOverrides.push_back({pList, nIndex, pnField});
}

int CRunOptions::PortForDevice(CSerialLink& link, const std::string& strIniPath) const {
    const std::string strDevice = m_cmd.strDevice.toLocal8Bit().toStdString();
    const unsigned nPort = EntryForDevice(link.DevicePaths(), strDevice);
    if (nPort != 0 && !CDeviceMap::ReadConfigured(strIniPath)[nPort - 1].empty()) {
        return static_cast<int>(nPort);  // the settings file leads this entry to it already
    }
    // A device present fills an entry only until adapters come or go: the device is pinned to
    // its entry for this run.
    const unsigned nRunPort = nPort != 0 ? nPort : CDeviceMap::kPortCount;
    link.SetRunDevice(nRunPort, strDevice);
    return static_cast<int>(nRunPort);
}
