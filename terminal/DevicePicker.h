#pragma once
// CDevicePickerDlg: "设备映射", the map of the port list. A table of the entries COM1 to COM32
// (device, by-id name, driver, holder) and, for the selected entry, a device to assign ("指定")
// or the entry to clear ("清除"); both are stored in section "DEVICES" of the settings file at
// once. The table follows adapters plugged in or out (CDeviceWatcher) and keeps its selection.
#include <QDialog>
#include <string>

class QComboBox;
class QPushButton;
class QTableView;
class CDeviceWatcher;
class CPortMapModel;
class CSerialLink;

class CDevicePickerDlg : public QDialog {
    Q_OBJECT
public:
    // nPort: the entry selected at start (1..32). pWatcher may be null (no automatic refresh);
    // pLink, the engine, shows and lets go this run's devices (may be null).
    CDevicePickerDlg(const std::string& strIniPath, int nPort, CDeviceWatcher* pWatcher,
                     QWidget* pParent = nullptr, const std::string& strRoot = "/",
                     CSerialLink* pLink = nullptr);

    CPortMapModel& Model() { return *m_pModel; }
    int SelectedRow() const;

    void OnAssign();
    void OnClear();
    void Refresh();

private:
    void OnSelectionChanged();
    void FillDeviceChoices();

    CPortMapModel* m_pModel = nullptr;
    QTableView* m_tblMap = nullptr;
    QComboBox* m_cbDevice = nullptr;
    QPushButton* m_btnAssign = nullptr;
    QPushButton* m_btnClear = nullptr;
};
