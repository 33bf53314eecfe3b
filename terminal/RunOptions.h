#pragma once
// CRunOptions: what the command line sets for this run, applied to the main window once its
// settings are loaded, and kept out of the settings file.
//
// A device path takes the first port entry that already leads to it, else the first entry
// without a device (the last entry when every entry has one), for this run only; an entry that
// section "DEVICES" assigns to it is used as it is. A rate outside the baud list joins the list,
// in order, for this run. "--hex" shows received bytes as hexadecimal for this run.
//
// Saving: a list that still shows what the command line chose keeps the position that was
// loaded; a list the user changed is saved as it shows. A rate outside the fifteen has no
// position to store: while it is selected, the loaded position stays.
#include <string>
#include <vector>

#include "CommandLine.h"
#include "TerminalSettings.h"

class QComboBox;
class CSerialLink;
class CTerminalDlg;

class CRunOptions {
public:
    CRunOptions() = default;
    explicit CRunOptions(SCommandLine cmd) : m_cmd(std::move(cmd)) {}

    // Once the window has loaded its settings (loaded, from strIniPath): selects the list entries,
    // maps the device, sets the receive mode.
    void Apply(CTerminalDlg& dlg, const STerminalSettings& loaded, const std::string& strIniPath);
    // Before the settings are saved: lists that still show the command line's choice get back
    // the positions that were loaded.
    void KeepStored(STerminalSettings& settings) const;
    bool OpensAtStart() const { return m_cmd.bOpen; }

private:
    struct SOverride {
        const QComboBox* pList;
        int nRun;  // the entry the command line selected
        int STerminalSettings::*pnField;
    };

    void Select(QComboBox* pList, int nIndex, int STerminalSettings::*pnField);
    // The entry (1-based) that the device given takes.
    int PortForDevice(CSerialLink& link, const std::string& strIniPath) const;

    SCommandLine m_cmd;
    STerminalSettings m_loaded{};
    std::vector<SOverride> m_arrOverrides;
};
