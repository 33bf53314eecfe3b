#include "DevicePicker.h"

#include <sys/stat.h>

#include <QComboBox>
#include <QFile>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

#include "DeviceWatcher.h"
#include "Fonts.h"
#include "MessageBox.h"
#include "NetAddress.h"
#include "PortMapModel.h"

namespace {

// What to mend in an address that is not well formed.
QString AddressFaultText(ENetAddressFault eFault) {
    switch (eFault) {
        case ENetAddressFault::NoHost:
            return QStringLiteral("缺少主机名或 IP 地址");
        case ENetAddressFault::BadHost:
            return QStringLiteral("主机名中不能有空格或 /，IPv6 地址的方括号要成对");
        case ENetAddressFault::UnbracketedIpv6:
            return QStringLiteral("IPv6 地址要写在方括号中");
        case ENetAddressFault::NoPort:
            return QStringLiteral("缺少端口号，主机后写“:端口”");
        case ENetAddressFault::BadPort:
            return QStringLiteral("端口号应为 1 到 65535 之间的数字");
        default:
            return {};
    }
}

// Why a typed device cannot be assigned, "" when it can: a full path to a character device (a
// pseudo-terminal, a by-id link, a node the scan does not know), or to one not plugged in yet.
// A network address (rfc2217://HOST:PORT, tcp://HOST:PORT) is taken when it is well formed.
QString TypedDeviceProblem(const QString& strDevice) {
    if (IsNetAddress(strDevice.toStdString())) {
        const ENetAddressFault eFault = NetAddressFault(strDevice.toStdString());
        return eFault == ENetAddressFault::None
                   ? QString()
                   : QStringLiteral(
                         "“%1”不是有效的网络地址\n原因：%2\n"
                         "请输入 rfc2217://主机:端口 或 tcp://主机:端口，例如 "
                         "rfc2217://192.0.2.10:2001、rfc2217://[::1]:2001")
                         .arg(strDevice, AddressFaultText(eFault));
    }
    if (!strDevice.startsWith(QChar('/'))) {
        return QStringLiteral(
            "请输入设备的完整路径（以 / 开头），例如 /dev/ttyUSB0，"
            "或网络串口的地址，例如 rfc2217://192.0.2.10:2001");
    }
    struct stat st {};
    if (::stat(QFile::encodeName(strDevice).constData(), &st) == 0 && !S_ISCHR(st.st_mode)) {
        return QStringLiteral(
                   "“%1”不是字符设备，不能作为串口打开\n"
                   "请输入串口设备的路径，例如 /dev/ttyUSB0、/dev/pts/3 或 "
                   "/dev/serial/by-id/ 下的名称")
            .arg(strDevice);
    }
    return {};
}

}  // namespace

CDevicePickerDlg::CDevicePickerDlg(const std::string& strIniPath, int nPort,
                                   CDeviceWatcher* pWatcher, QWidget* pParent,
                                   const std::string& strRoot, CSerialLink* pLink)
    : QDialog(pParent) {
    setWindowTitle(QStringLiteral("设备映射"));
    setFont(DialogFont());
    m_pModel = new CPortMapModel(strIniPath, strRoot, this, pLink);

    m_tblMap = new QTableView(this);
    m_tblMap->setModel(m_pModel);
    m_tblMap->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_tblMap->setSelectionMode(QAbstractItemView::SingleSelection);
    m_tblMap->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_tblMap->verticalHeader()->hide();
    m_tblMap->horizontalHeader()->setStretchLastSection(true);
    m_tblMap->setAccessibleName(QStringLiteral("端口映射"));

    auto* pDeviceLabel = new QLabel(QStringLiteral("设备或地址："), this);
    m_cbDevice = new QComboBox(this);
    m_cbDevice->setEditable(true);
    m_cbDevice->setInsertPolicy(QComboBox::NoInsert);
    m_cbDevice->setMinimumContentsLength(32);
    m_cbDevice->lineEdit()->setPlaceholderText(
        QStringLiteral("/dev/ttyUSB0 或 rfc2217://主机:端口"));
    m_cbDevice->setToolTip(QStringLiteral(
        "要指定给所选端口的设备：从列表中选择，或输入设备的完整路径（如 /dev/ttyUSB0），\n"
        "或网络串口的地址：rfc2217://主机:端口（RFC 2217，可远程设置）、\n"
        "tcp://主机:端口（只传数据），IPv6 地址写在方括号中，如 rfc2217://[::1]:2001"));
    pDeviceLabel->setBuddy(m_cbDevice);
    m_btnAssign = new QPushButton(QStringLiteral("指定"), this);
    m_btnAssign->setToolTip(QStringLiteral("把设备指定给所选端口，写入设置文件"));
    m_btnClear = new QPushButton(QStringLiteral("清除"), this);
    m_btnClear->setToolTip(QStringLiteral("清除所选端口的指定，该端口改用现有的设备"));
    auto* pRefresh = new QPushButton(QStringLiteral("刷新"), this);
    auto* pClose = new QPushButton(QStringLiteral("关闭"), this);

    auto* pAssignRow = new QHBoxLayout;
    pAssignRow->addWidget(pDeviceLabel);
    pAssignRow->addWidget(m_cbDevice, 1);
    pAssignRow->addWidget(m_btnAssign);
    pAssignRow->addWidget(m_btnClear);
    auto* pButtons = new QHBoxLayout;
    pButtons->addWidget(new QLabel(QStringLiteral("灰色：未指定，自动映射现有设备"), this), 1);
    pButtons->addWidget(pRefresh);
    pButtons->addWidget(pClose);
    auto* pLayout = new QVBoxLayout(this);
    pLayout->addWidget(m_tblMap, 1);
    pLayout->addLayout(pAssignRow);
    pLayout->addLayout(pButtons);

    connect(m_btnAssign, &QPushButton::clicked, this, &CDevicePickerDlg::OnAssign);
    connect(m_btnClear, &QPushButton::clicked, this, &CDevicePickerDlg::OnClear);
    connect(pRefresh, &QPushButton::clicked, this, &CDevicePickerDlg::Refresh);
    connect(pClose, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_tblMap->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &CDevicePickerDlg::OnSelectionChanged);
    if (pWatcher != nullptr) {
        connect(pWatcher, &CDeviceWatcher::DevicesChanged, this, &CDevicePickerDlg::Refresh);
    }

    FillDeviceChoices();
    m_tblMap->resizeColumnsToContents();
    m_tblMap->selectRow(qBound(1, nPort, m_pModel->rowCount()) - 1);
    resize(760, 520);
}

int CDevicePickerDlg::SelectedRow() const {
    const QModelIndexList arrRows = m_tblMap->selectionModel()->selectedRows();
    return arrRows.isEmpty() ? -1 : arrRows.first().row();
}

void CDevicePickerDlg::OnSelectionChanged() {
    const int nRow = SelectedRow();
    m_btnAssign->setEnabled(nRow >= 0);
    m_btnClear->setEnabled(m_pModel->IsAssigned(nRow));
    if (nRow >= 0) {
        m_cbDevice->setCurrentText(
            m_pModel->index(nRow, CPortMapModel::COL_DEVICE).data().toString());
    }
}

void CDevicePickerDlg::OnAssign() {
    const int nRow = SelectedRow();
    const QString strDevice = m_cbDevice->currentText().trimmed();
    if (nRow < 0 || strDevice.isEmpty()) {
        return;
    }
    if (const QString strProblem = TypedDeviceProblem(strDevice); !strProblem.isEmpty()) {
        CMessageBox::Show(this, strProblem, QString::fromUtf8(CMessageBox::kErrorCaption),
                          QMessageBox::Warning);
        return;  // the typed text stays for mending
    }
    if (!m_pModel->Assign(nRow, strDevice)) {
        CMessageBox::Show(this, QStringLiteral("无法写入设置文件"),
                          QString::fromUtf8(CMessageBox::kErrorCaption), QMessageBox::Warning);
    }
    OnSelectionChanged();
}

void CDevicePickerDlg::OnClear() {
    const int nRow = SelectedRow();
    if (nRow >= 0 && !m_pModel->Clear(nRow)) {
        CMessageBox::Show(this, QStringLiteral("无法写入设置文件"),
                          QString::fromUtf8(CMessageBox::kErrorCaption), QMessageBox::Warning);
    }
    OnSelectionChanged();
}

void CDevicePickerDlg::Refresh() {
    m_pModel->Refresh();
    FillDeviceChoices();
    OnSelectionChanged();
}

void CDevicePickerDlg::FillDeviceChoices() {
    // The text being typed stays.
    const QString strTyped = m_cbDevice->currentText();
    m_cbDevice->clear();
    m_cbDevice->addItems(m_pModel->PresentDevices());
    m_cbDevice->setCurrentText(strTyped);
}
