// The engine of the block-protocol settings windows.
//
// A settings window is a WindowSpec (SettingsTables.h). The engine builds the
// fixed-size dialog from it (groups, lists, fields, radio groups, Set and
// Close), reads the printer's parameter block when the window is shown,
// spreads the block over the controls, and on Set gathers the controls back
// into the block and writes it. Each window class (T_frmParaSet_Nutmeg, ...)
// is this engine with its own table.
#pragma once

#include "gui/GuiFormDialog.h"

#include "settings/ParameterBlock.h"
#include "settings/SettingsTables.h"

#include <QDialog>
#include <QPointer>

#include <memory>
#include <vector>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTimer;

namespace pellum {

class FormParaSetEngine : public pellum::FormDialog {
    Q_OBJECT
public:
    FormParaSetEngine(const SettingsTables::WindowSpec& spec, const pellum::PrinterTarget& printer,
                      QWidget* parent = nullptr);
    ~FormParaSetEngine() override;

    const SettingsTables::WindowSpec& spec() const { return m_spec; }

    // The window's copy of the parameter block.
    ParameterBlockProtocol::ParameterBlock PrintSetting{};
    // Whether the model has Bluetooth (windows with a Bluetooth group).
    bool HaveBT() const;

    // Events, in the names the windows use.
    void FormShow() override;
    void InitLanguage();
    void SplitSetting();
    // False (with the message shown) when a field cannot be stored.
    bool ReplacePrintSetting();
    void btnSetClick();
    void btnCloseClick();
    void Timer1Timer();
    void cmbDHCPChange();
    void cmbDetectModeChange();
    // The leave-field check of `edit`; false when it showed a conversion error.
    bool CheckValue(QLineEdit* edit);

    QTimer* Timer1() const { return m_timer; }
    // The current values of the controls, without widgets.
    const SettingsTables::WindowModel* model() const { return m_model.get(); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Row {
        int field = -1;
        QLabel* label = nullptr;
        QWidget* control = nullptr;
        QLabel* trailing = nullptr;
        std::vector<QWidget*> more; // further octets of the row
    };
    struct GroupBox {
        const SettingsTables::Group* spec = nullptr;
        QGroupBox* box = nullptr;
        std::vector<Row> rows;
        int switchField = -1; // the radio group's field
    };

    void BuildControls();
    void LayOut();
    void ApplyOnlyChinese();
    void PullValues();
    void PushValues();
    void EnableBluetooth(bool on);
    void ShowConversionError(int field);
    // Names the field and its range; nothing has been written.
    void ShowRangeError(int field);
    QWidget* ControlOf(int field) const;
    int FieldOf(QObject* control) const;
    bool ModelInOnlyChinese() const;

    const SettingsTables::WindowSpec& m_spec;
    std::unique_ptr<SettingsTables::WindowModel> m_model;
    std::vector<GroupBox> m_groups;
    std::vector<Row> m_footRows;         // the anti-stick row
    std::vector<QWidget*> m_controls;    // per field
    std::vector<QRadioButton*> m_radios; // two per switch field, by field * 2
    QPushButton* m_btnSet = nullptr;
    QPushButton* m_btnClose = nullptr;
    QTimer* m_timer = nullptr;
    bool m_readOk = false;
};

} // namespace pellum
