#pragma once
// The data-log window: directory, name, extension, data format and file number of the
// data files. Its choices live in DataLog (DataFile.h) so they outlive the window.
#include "datalog/DataFile.h"
#include <QWidget>

class QComboBox;
class QFileSystemModel;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTreeView;

class frmFileDir : public QWidget {
    Q_OBJECT
public:
    static frmFileDir* instance();
    // Writes the capture record to the next numbered data file; the caller shows the outcome.
    // The data-log window, when it exists, shows a file written without it: number and backups.
    static void NoteWritten(const DataLog::WriteResult& result);
    DataLog::WriteResult WriteDataFile(const CaptureRecord::Record& record = CaptureRecord::Last);

    void Form_Load();
    void Form_Activate();
    void Drive1_Change();
    void txtFileName_Change();
    void OpDataFormatScaled_Click();
    void opDataFormatLSB_Click();
    void cmdReSetFileIndex_Click();
    void cmdOK_Click();
    void cmdCancel_Click();

    // The directory list's path (no trailing separator except for a root) and setting it.
    QString Dir1Path() const;
    void SetDir1Path(const QString& path);
    // Root path of the volume selected in the drive list.
    QString Drive1Drive() const;
    // True from load until the window is closed.
    bool isLoaded() const { return loaded_; }
    // Closes the window, shown or loaded hidden, so the next use loads it afresh.
    void Unload();

    QGroupBox* Frame1 = nullptr;
    QRadioButton* OpDataFormatScaled = nullptr;
    QRadioButton* opDataFormatLSB = nullptr;
    QLabel* Label13 = nullptr;
    QLineEdit* txtFileNum = nullptr;
    QPushButton* cmdReSetFileIndex = nullptr;
    QComboBox* Drive1 = nullptr;
    QTreeView* Dir1 = nullptr;
    QLabel* lblExt = nullptr;
    QComboBox* comboExtension = nullptr;
    QLabel* lblFileName = nullptr;
    QLineEdit* txtFileName = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdCancel = nullptr;
    // Says where an earlier file of the same name was kept.
    QLabel* lblBackupNote = nullptr;

protected:
    void showEvent(QShowEvent* e) override;
    void closeEvent(QCloseEvent* e) override;

private:
    inline static frmFileDir* existing_ = nullptr;
    void ShowWritten(const DataLog::WriteResult& result);
    explicit frmFileDir(QWidget* parent = nullptr);
    void BuildControls();
    void FillDrives();
    // Selects the volume holding `path` (the longest mounted root that prefixes it).
    void SelectDriveFor(const QString& path);
    void ShowFileCount();

    QFileSystemModel* dirModel_ = nullptr;
    QString dirPath_;
    bool loaded_ = false;
};
