// The file window: what a key-value printer keeps in its memory. It shows
// the used and free capacity, downloads a picture (converted to the raster
// record), a label template or an automatic template, and lists, prints and
// deletes the stored pictures and templates.
#pragma once

#include "gui/GuiFormDialog.h"

#include <QDialog>

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;
class QTreeWidget;

namespace pellum {

class TfrmDLFile : public pellum::FormDialog {
    Q_OBJECT
public:
    explicit TfrmDLFile(const pellum::PrinterTarget& printer, QWidget* parent = nullptr);
    // A download still running is cancelled; the window waits for its
    // threads to end.
    ~TfrmDLFile() override;

    // Events.
    void FormShow() override;
    void LanguageIni();
    void Button7Click();
    void cmbFileTypeChange();
    void cmbPPLChange();
    void ComboBox1Change();
    void btnDLFileClick();
    void DoActive_Bitmap(QPushButton* sender);
    void DoActive_Label(QPushButton* sender);
    void DoActive_AutoTmp(QPushButton* sender);
    bool GetSpace();

    // The storage class of the current file type ("" until a type or file
    // is chosen).
    const QString& storageClass() const { return m_storageClass; }
    // The automatic template's stored name, as the printer reported it.
    const QString& autoTemplateName() const { return m_autoTemplateName; }

protected:
private:
    void BuildControls();
    bool RamSelected() const;
    QString RamCaption() const;
    QString StorageCaption() const;
    QString ClassOfType(int type) const;
    void SetIdle();
    void SetActionsEnabled(bool enabled);
    void ShowCapacity(const QString& text);
    // The list actions of the picture and template columns.
    void DoActiveList(QPushButton* sender, const QString& storageClass, QTreeWidget* list,
                      QPushButton* getAll, QPushButton* print, QPushButton* deleteCurrent,
                      QPushButton* deleteAll);
    bool PrepareAndStart();
    // The preview of the chosen picture's dots at the chosen factor, at
    // their printed size, with the size and the width limit's verdict.
    void UpdatePreview();
    int PreviewDpi();

    QComboBox* cmbFileType = nullptr;
    QComboBox* cmbImageTimes = nullptr;
    QComboBox* cmbPPL = nullptr;
    QComboBox* ComboBox1 = nullptr;
    QLabel* lblFileType = nullptr;
    QLabel* lblImageTimes = nullptr;
    QLabel* lblPPL = nullptr;
    QLabel* lblCarPosi = nullptr;
    QLabel* lblFilePath = nullptr;
    QLineEdit* txtFilePath = nullptr;
    QPushButton* Button7 = nullptr;
    QPushButton* btnDLFile = nullptr;
    QProgressBar* ProgressBar2 = nullptr;
    QLabel* lblProgressInfo_F = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* lblSpace_File = nullptr;
    QWidget* gpbImage = nullptr;
    QWidget* gpbTmp = nullptr;
    QWidget* gpbAutoTmp = nullptr;
    QTreeWidget* lvFonts = nullptr;
    QPushButton* btnGetAllImage = nullptr;
    QPushButton* btnPrintImage = nullptr;
    QPushButton* btnDelCurImage = nullptr;
    QPushButton* btnDelAllImage = nullptr;
    QTreeWidget* ListView1 = nullptr;
    QPushButton* btnGetAllTmp = nullptr;
    QPushButton* btnPrintTmp = nullptr;
    QPushButton* btnDelCurTmp = nullptr;
    QPushButton* btnDelAllTmp = nullptr;
    QListWidget* lsbAutoTmp = nullptr;
    QPushButton* btnGetAutoTmp = nullptr;
    QPushButton* btnPrintAutoTmp = nullptr;
    QPushButton* btnDeleteAutoTmp = nullptr;
    QPushButton* btnSwitchAutoform = nullptr;

    QWidget* gpbPreview = nullptr;
    QLabel* imgPreview = nullptr;
    QLabel* lblPreviewSize = nullptr;
    QLabel* lblPreviewVerdict = nullptr;

    QString m_storageClass;
    int m_printerDpi = 0; // as the printer reported it, 0 until then
    QString m_autoTemplateName;
};

} // namespace pellum
