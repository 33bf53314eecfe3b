#pragma once
// CPortMapModel: the port map as a table for the device picker. One row per entry COM1 to COM32,
// columns: entry, device path, /dev/serial/by-id name, driver, holder. Entries that section
// "DEVICES" of the settings file assigns are shown plainly; entries filled with a device present
// are grey (they move when devices come and go). With the engine given, devices that it was told
// for this run only (the command line) stand in their entries, marked as such.
//
// Refresh() reads the map again and changes only the cells that changed, so a view keeps its
// selection. Assign() and Clear() write section "DEVICES" at once.
#include <QAbstractTableModel>
#include <QStringList>
#include <string>
#include <vector>

#include "PortInfo.h"

class CSerialLink;

class CPortMapModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum EColumn { COL_PORT, COL_DEVICE, COL_BYID, COL_DRIVER, COL_HOLDER, COL_COUNT };

    // strRoot stands for "/" (tests hand in a folder of their own). pLink may be null.
    explicit CPortMapModel(std::string strIniPath, std::string strRoot = "/",
                           QObject* pParent = nullptr, CSerialLink* pLink = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int nRole = Qt::DisplayRole) const override;
    QVariant headerData(int nSection, Qt::Orientation orientation,
                        int nRole = Qt::DisplayRole) const override;

    void Refresh();
    // Writes "COM<row+1>=<device>" into section "DEVICES"; false when the file cannot be written.
    // The user's choice wins over this run's devices of that entry and of that device.
    bool Assign(int nRow, const QString& strDevice);
    // An entry holding a device for this run only gives it up (the settings file is left alone);
    // else the entry is emptied and takes a device present again. False when the file cannot be
    // written.
    bool Clear(int nRow);
    // The serial devices present, by-id names first, for the choice of a device to assign.
    QStringList PresentDevices() const;
    // Whether the settings file or this run gives the entry its device.
    bool IsAssigned(int nRow) const;

private:
    std::vector<SPortRow> Describe() const;

    std::string m_strIniPath;
    std::string m_strRoot;
    CSerialLink* m_pLink;
    std::vector<SPortRow> m_arrRows;
};
