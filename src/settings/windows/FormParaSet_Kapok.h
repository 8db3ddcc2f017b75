// The settings window of the Kapok key-value models, and the base of the
// Larch window (FormParaSet_Larch.h), which differs from it only in a few
// rules.
//
// The controls are built from the window's table (KvSettings.h). When shown,
// the window reads every setting with getval, one key at a time, and shows
// them; Set writes every setting back with setval, closes the connection,
// restarts the printer with do "reset_printer" and closes the window.
#pragma once

#include "gui/GuiFormDialog.h"

#include "settings/KvSettings.h"

#include <QDialog>

#include <memory>
#include <vector>

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

class T_frmParaSet_Kapok : public pellum::FormDialog {
    Q_OBJECT
public:
    explicit T_frmParaSet_Kapok(const pellum::PrinterTarget& printer, QWidget* parent = nullptr);
    ~T_frmParaSet_Kapok() override;

    // The values behind the controls (kept in step with them by every
    // handler).
    KvSettings::KvSettingsModel& model() { return *m_model; }
    // True once the settings were read; Set sends nothing otherwise.
    bool settingsRead() const { return m_readOk; }

    // Events.
    void FormShow() override;
    void InitLanguage();
    void ParaReadGDS();
    void btnSetClick();
    void ReplacePrintSetting();
    void btnCloseClick();
    void cmbJudgePaperModeChange();
    void cmbProtocolChange();
    void cmbDHCPChange();
    // Key filters: true when the typed character is let through.
    static bool CheckImportNumber(QChar c); // tear-off and address edits
    static bool CheckImportBTN(QChar c);
    static bool CheckImportBTP(QChar c);
    // Leaving the tear-off edit or an address edit: the tear-off range.
    virtual void CheckValue(QLineEdit* left);

protected:
    T_frmParaSet_Kapok(KvSettings::Variant variant, const pellum::PrinterTarget& printer,
                       QWidget* parent);

    bool eventFilter(QObject* watched, QEvent* event) override;

    // Copies the widgets into the model and back.
    void Pull();
    void Push();
    QLineEdit* Edit(const QString& name) const;

    std::unique_ptr<KvSettings::KvSettingsModel> m_model;

private:
    struct Control {
        int field = -1;
        QComboBox* combo = nullptr;
        QLineEdit* edit = nullptr;
        std::vector<QLineEdit*> parts;  // Address
        QRadioButton* radios[2] = {};   // Choice
        QGroupBox* choiceBox = nullptr; // Choice
        QLabel* label = nullptr;
    };

    void Build();
    void LayOut();
    void ApplyOnlyChinese();
    const KvSettings::Field* FieldOfEdit(QObject* edit, int* part = nullptr) const;
    QString Text(const QString& key) const;

    KvSettings::Variant m_variant;
    std::vector<Control> m_controls;
    std::vector<QGroupBox*> m_groups;
    QPushButton* m_btnSet = nullptr;
    QPushButton* m_btnClose = nullptr;
    QLabel* m_label3 = nullptr;
    bool m_readOk = false;
    bool m_loading = false; // the controls are being filled, not changed by the user
};
