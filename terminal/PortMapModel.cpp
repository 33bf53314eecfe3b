#include "PortMapModel.h"

#include <QBrush>
#include <QPalette>

#include "DeviceMap.h"
#include "IniFile.h"
#include "SerialLink.h"

namespace {

bool SameRow(const SPortRow& a, const SPortRow& b) {
    return a.bAssigned == b.bAssigned && a.bRunOnly == b.bRunOnly &&
           a.info.strPath == b.info.strPath && a.info.strById == b.info.strById &&
           a.info.strDriver == b.info.strDriver && a.info.strHolder == b.info.strHolder;
}

}  // namespace

CPortMapModel::CPortMapModel(std::string strIniPath, std::string strRoot, QObject* pParent,
                             CSerialLink* pLink)
    : QAbstractTableModel(pParent),
      m_strIniPath(std::move(strIniPath)),
      m_strRoot(std::move(strRoot)),
      m_pLink(pLink),
      m_arrRows(Describe()) {}

std::vector<SPortRow> CPortMapModel::Describe() const {
    return CPortInfo(m_strRoot).DescribePorts(
        m_strIniPath,
        m_pLink != nullptr ? m_pLink->RunDevices() : std::map<unsigned, std::string>{});
}

int CPortMapModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_arrRows.size());
}

int CPortMapModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : COL_COUNT;
}

QVariant CPortMapModel::data(const QModelIndex& index, int nRole) const {
    if (!index.isValid() || index.row() >= rowCount()) {
        return {};
    }
    const SPortRow& row = m_arrRows[static_cast<std::size_t>(index.row())];
    if (nRole == Qt::ForegroundRole && !row.bAssigned && !row.bRunOnly &&
        index.column() != COL_PORT) {
        return QBrush(QPalette().color(QPalette::Disabled, QPalette::Text));
    }
    if (nRole != Qt::DisplayRole && nRole != Qt::ToolTipRole) {
        return {};
    }
    switch (index.column()) {
        case COL_PORT:
            return row.bRunOnly ? QStringLiteral("COM%1（本次运行）").arg(row.nPort)
                                : QStringLiteral("COM%1").arg(row.nPort);
        case COL_DEVICE:
            if (nRole == Qt::ToolTipRole && !row.info.strPath.empty()) {
                if (row.bRunOnly) {
                    return QStringLiteral("仅本次运行（命令行指定）");
                }
                return row.bAssigned ? QStringLiteral("由设置文件指定")
                                     : QStringLiteral("自动映射");
            }

            return QString::fromStdString(row.info.strPath);
        case COL_BYID:
            return QString::fromStdString(row.info.strById);
        case COL_DRIVER:
            return QString::fromStdString(row.info.strDriver);
        case COL_HOLDER:
            return QString::fromStdString(row.info.strHolder);
        default:
            return {};
    }
}

QVariant CPortMapModel::headerData(int nSection, Qt::Orientation orientation, int nRole) const {
    if (orientation != Qt::Horizontal || nRole != Qt::DisplayRole) {
        return QAbstractTableModel::headerData(nSection, orientation, nRole);
    }
    static const char* const kHeaders[COL_COUNT] = {"端口", "设备", "by-id 名称", "驱动",
                                                    "占用程序"};
    return nSection >= 0 && nSection < COL_COUNT ? QString::fromUtf8(kHeaders[nSection])
                                                 : QVariant();
}

void CPortMapModel::Refresh() {
    std::vector<SPortRow> arrRows = Describe();
    for (std::size_t i = 0; i < arrRows.size() && i < m_arrRows.size(); ++i) {
        if (!SameRow(arrRows[i], m_arrRows[i])) {
            m_arrRows[i] = std::move(arrRows[i]);
            const int nRow = static_cast<int>(i);
            emit dataChanged(index(nRow, 0), index(nRow, COL_COUNT - 1));
        }
    }
}

bool CPortMapModel::Assign(int nRow, const QString& strDevice) {
    if (nRow < 0 || nRow >= rowCount()) {
        return false;
    }
    CIniFile ini(m_strIniPath);
    const std::string strPath = strDevice.toStdString();
    if (m_pLink != nullptr) {
        const std::map<unsigned, std::string> mapRun = m_pLink->RunDevices();
        for (const auto& [nPort, strRunPath] : mapRun) {
            if (static_cast<int>(nPort) == nRow + 1 ||
                (!strPath.empty() && strRunPath == strPath)) {
                m_pLink->SetRunDevice(nPort, "");
            }
        }
    }
    bool bWritten = ini.WriteString("DEVICES", "COM" + std::to_string(nRow + 1), strPath);
    // A device belongs to one entry: assigning it moves it.
    const std::vector<std::string> arrConfigured = CDeviceMap::ReadConfigured(m_strIniPath);
    for (std::size_t i = 0; bWritten && !strPath.empty() && i < arrConfigured.size(); ++i) {
        if (static_cast<int>(i) != nRow && arrConfigured[i] == strPath) {
            bWritten = ini.WriteString("DEVICES", "COM" + std::to_string(i + 1), "");
        }
    }
    Refresh();
    return bWritten;
}

bool CPortMapModel::Clear(int nRow) {
    if (nRow >= 0 && nRow < rowCount() && m_arrRows[static_cast<std::size_t>(nRow)].bRunOnly) {
        m_pLink->SetRunDevice(static_cast<unsigned>(nRow + 1), "");
        Refresh();
        return true;
    }
    return Assign(nRow, QString());
}

QStringList CPortMapModel::PresentDevices() const {
    QStringList arrDevices;
    for (const std::string& strPath : CDeviceMap(m_strRoot).PresentDevices()) {
        arrDevices << QString::fromStdString(strPath);
    }
    return arrDevices;
}

bool CPortMapModel::IsAssigned(int nRow) const {
    if (nRow < 0 || nRow >= rowCount()) {
        return false;
    }
    const SPortRow& row = m_arrRows[static_cast<std::size_t>(nRow)];
    return row.bAssigned || row.bRunOnly;
}
