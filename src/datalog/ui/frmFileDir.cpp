#include "datalog/ui/frmFileDir.h"
#include "capture/ui/frmForm1.h"
#include "datalog/DataFile.h"
#include "ui/Ui.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <QStorageInfo>
#include <QTimer>
#include <QTreeView>
#include <QVBoxLayout>

namespace {
QString WithoutTrailingSeparator(QString path)
{
    while (path.size() > 1 && path.endsWith(QLatin1Char('/')))
        path.chop(1);
    return path;
}
} // namespace

frmFileDir::frmFileDir(QWidget* parent) : QWidget(parent, Qt::Dialog)
{
    setWindowTitle(QStringLiteral("Data File"));
    BuildControls();
}

frmFileDir* frmFileDir::instance()
{
    static frmFileDir* w = existing_ = new frmFileDir;
    return w;
}

void frmFileDir::BuildControls()
{
    Drive1 = new QComboBox(this);
    dirModel_ = new QFileSystemModel(this);
    dirModel_->setFilter(QDir::Dirs | QDir::NoDotAndDotDot);
    dirModel_->setReadOnly(true);
    Dir1 = new QTreeView(this);
    Dir1->setModel(dirModel_);
    Dir1->setHeaderHidden(true);
    for (int c = 1; c < dirModel_->columnCount(); ++c)
        Dir1->hideColumn(c);
    Dir1->setMinimumSize(260, 240);

    Frame1 = new QGroupBox(QStringLiteral("Data Format"), this);
    OpDataFormatScaled = new QRadioButton(QStringLiteral("Scaled Units (g)"), Frame1);
    opDataFormatLSB = new QRadioButton(QStringLiteral("LSB's"), Frame1);
    auto* fl = new QVBoxLayout(Frame1);
    fl->addWidget(OpDataFormatScaled);
    fl->addWidget(opDataFormatLSB);

    Label13 = new QLabel(QStringLiteral("File Number"), this);
    txtFileNum = new QLineEdit(this);
    txtFileNum->setEnabled(false);
    cmdReSetFileIndex = new QPushButton(QStringLiteral("ReSet File Number"), this);

    lblExt = new QLabel(QStringLiteral("File Ext"), this);
    comboExtension = new QComboBox(this);
    comboExtension->addItems({QStringLiteral("*.CSV"), QStringLiteral("*.TXT"), QStringLiteral("*.*")});
    lblFileName = new QLabel(QStringLiteral("File Name"), this);
    txtFileName = new QLineEdit(this);
    lblExt->setBuddy(comboExtension);
    lblFileName->setBuddy(txtFileName);

    cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdCancel = new QPushButton(QStringLiteral("Cancel"), this);

    auto* left = new QVBoxLayout;
    left->addWidget(Drive1);
    left->addWidget(Dir1, 1);

    auto* right = new QGridLayout;
    right->addWidget(Frame1, 0, 0, 1, 2);
    right->addWidget(Label13, 1, 0);
    right->addWidget(txtFileNum, 1, 1);
    right->addWidget(cmdReSetFileIndex, 2, 0, 1, 2);
    right->addWidget(lblExt, 3, 0);
    right->addWidget(comboExtension, 3, 1);
    right->addWidget(lblFileName, 4, 0);
    right->addWidget(txtFileName, 4, 1);
    right->setRowStretch(5, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdCancel);
    right->addLayout(buttons, 6, 0, 1, 2);
    lblBackupNote = new QLabel(this);
    lblBackupNote->setObjectName(QStringLiteral("lblBackupNote"));
    lblBackupNote->setWordWrap(true);
    right->addWidget(lblBackupNote, 7, 0, 1, 2);

    auto* top = new QHBoxLayout(this);
    top->addLayout(left, 3);
    top->addLayout(right, 2);

    FillDrives();

    connect(Drive1, &QComboBox::currentIndexChanged, this, [this] { Drive1_Change(); });
    connect(Dir1->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) {
                if (current.isValid())
                    dirPath_ = dirModel_->filePath(current);
            });
    // The model lists directories in the background; keep the chosen one in view as rows arrive.
    auto keepInView = [this] {
        // Deferred: after the model's own deferred sort and the view's layout.
        QTimer::singleShot(0, this, [this] {
            if (Dir1->currentIndex().isValid())
                Dir1->scrollTo(Dir1->currentIndex(), QAbstractItemView::PositionAtCenter);
        });
    };
    connect(dirModel_, &QFileSystemModel::directoryLoaded, this, keepInView);
    connect(dirModel_, &QFileSystemModel::layoutChanged, this, keepInView);
    connect(txtFileName, &QLineEdit::textChanged, this, [this] { txtFileName_Change(); });
    connect(txtFileName, &QLineEdit::returnPressed, this, &frmFileDir::cmdOK_Click);
    connect(OpDataFormatScaled, &QRadioButton::clicked, this, &frmFileDir::OpDataFormatScaled_Click);
    connect(opDataFormatLSB, &QRadioButton::clicked, this, &frmFileDir::opDataFormatLSB_Click);
    connect(cmdReSetFileIndex, &QPushButton::clicked, this, &frmFileDir::cmdReSetFileIndex_Click);
    connect(cmdOK, &QPushButton::clicked, this, &frmFileDir::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmFileDir::cmdCancel_Click);
    auto* esc = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(esc, &QShortcut::activated, this, &frmFileDir::cmdCancel_Click);
}

void frmFileDir::FillDrives()
{
    const QSignalBlocker block(Drive1);
    Drive1->clear();
    for (const QStorageInfo& vol : QStorageInfo::mountedVolumes()) {
        if (!vol.isValid() || !vol.isReady())
            continue;
        const QString root = vol.rootPath();
        const QString name = vol.displayName();
        Drive1->addItem(name.isEmpty() || name == root ? root : QStringLiteral("%1  [%2]").arg(root, name), root);
    }
    if (Drive1->findData(QStringLiteral("/")) < 0)
        Drive1->insertItem(0, QStringLiteral("/"), QStringLiteral("/"));
}

QString frmFileDir::Drive1Drive() const { return Drive1->currentData().toString(); }

void frmFileDir::SelectDriveFor(const QString& path)
{
    int best = -1;
    qsizetype bestLen = -1;
    for (int i = 0; i < Drive1->count(); ++i) {
        const QString root = Drive1->itemData(i).toString();
        const QString prefix = root.endsWith(QLatin1Char('/')) ? root : root + QLatin1Char('/');
        const bool holds = path == root || path.startsWith(prefix);
        if (holds && root.size() > bestLen) {
            best = i;
            bestLen = root.size();
        }
    }
    if (best >= 0)
        Drive1->setCurrentIndex(best);
}

QString frmFileDir::Dir1Path() const { return dirPath_; }

void frmFileDir::SetDir1Path(const QString& path)
{
    dirPath_ = WithoutTrailingSeparator(QDir::cleanPath(path));
    const QString root = Drive1Drive().isEmpty() ? QStringLiteral("/") : Drive1Drive();
    dirModel_->setRootPath(root);
    Dir1->setRootIndex(dirModel_->index(root));
    const QModelIndex idx = dirModel_->index(dirPath_);
    if (idx.isValid()) {
        const QSignalBlocker block(Dir1->selectionModel());
        // Only the path to the chosen directory stays open.
        Dir1->collapseAll();
        Dir1->setCurrentIndex(idx);
        Dir1->scrollTo(idx);
        Dir1->expand(idx);
    }
}

void frmFileDir::showEvent(QShowEvent* e)
{
    if (!loaded_)
        Form_Load();
    Form_Activate();
    QWidget::showEvent(e);
}

void frmFileDir::closeEvent(QCloseEvent* e)
{
    Unload();
    e->accept();
}

void frmFileDir::Unload()
{
    if (loaded_)
        DataLog::SavedExtIndex = int16_t(comboExtension->currentIndex());
    loaded_ = false;
    hide();
}

void frmFileDir::Form_Load()
{
    loaded_ = true;
    if (frmForm1::exists())
        ui::PlaceRelativeTo(this, frmForm1::instance(), 3300, 300);
    if (DataLog::SavedFileBase.isEmpty())
        DataLog::SavedFileBase = QStringLiteral("DATALOG");
    txtFileName->setText(DataLog::SavedFileBase);
    txtFileNum->setText(QString::number(DataLog::DataFileNumber));
    txtFileNum->setEnabled(false);
    OpDataFormatScaled->setChecked(DataLog::Format == DataLog::DataFormat::Scaled);
    opDataFormatLSB->setChecked(DataLog::Format == DataLog::DataFormat::LSB);
}

void frmFileDir::Form_Activate()
{
    FillDrives();
    if (DataLog::FileDir.isEmpty()) {
        const QString appDir = DataLog::DefaultDirectory();
        DataLog::FileDir = appDir.endsWith(QLatin1Char('/')) ? appDir : appDir + QLatin1Char('/');
    }
    const QString dir = WithoutTrailingSeparator(DataLog::FileDir);
    SelectDriveFor(dir);
    SetDir1Path(dir);
    // A saved "*.*" comes back as "*.CSV".
    comboExtension->setCurrentIndex(DataLog::SavedExtIndex == 1 ? 1 : 0);
}

void frmFileDir::Drive1_Change()
{
    // A volume has no current directory of its own; the working directory counts when it lies there.
    const QString root = Drive1Drive();
    const QString cwd = QDir::currentPath();
    const QString prefix = root.endsWith(QLatin1Char('/')) ? root : root + QLatin1Char('/');
    const bool cwdHere = cwd == root || cwd.startsWith(prefix);
    SetDir1Path(cwdHere ? cwd : root);
}

void frmFileDir::txtFileName_Change() { DataLog::SavedFileBase = txtFileName->text(); }

void frmFileDir::OpDataFormatScaled_Click() { DataLog::Format = DataLog::DataFormat::Scaled; }

void frmFileDir::opDataFormatLSB_Click() { DataLog::Format = DataLog::DataFormat::LSB; }

void frmFileDir::cmdReSetFileIndex_Click()
{
    DataLog::DataFileNumber = 1;
    txtFileNum->setText(QStringLiteral("1"));
    ShowFileCount();
}

void frmFileDir::cmdOK_Click()
{
    DataLog::SavedExtIndex = int16_t(comboExtension->currentIndex());
    if (txtFileName->text().isEmpty()) {
        ui::MessageBox(QStringLiteral("Please enter a file name or press CANCEL"));
        return;
    }
    DataLog::FileBase = txtFileName->text();
    DataLog::FileExt = comboExtension->currentText() == QLatin1String("*.CSV") ? QStringLiteral(".CSV")
                                                                               : QStringLiteral(".txt");
    const QString dir = Dir1Path();
    DataLog::FileDir = dir.endsWith(QLatin1Char('/')) ? dir : dir + QLatin1Char('/');
    DataLog::FilePath = DataLog::ComposeFilePath();
    Unload();
}

void frmFileDir::cmdCancel_Click() { Unload(); }

void frmFileDir::ShowFileCount()
{
    if (frmForm1::exists())
        frmForm1::instance()->LbLDataLogCount->setText(QString::number(DataLog::DataFileNumber - 1));
}

DataLog::WriteResult frmFileDir::WriteDataFile(const CaptureRecord::Record& record)
{
    if (!loaded_)
        Form_Load();
    const DataLog::WriteResult result = DataLog::WriteNextDataFile(record);
    ShowWritten(result);
    return result;
}

void frmFileDir::NoteWritten(const DataLog::WriteResult& result)
{
    if (existing_)
        existing_->ShowWritten(result);
}

void frmFileDir::ShowWritten(const DataLog::WriteResult& result)
{
    txtFileNum->setText(QString::number(DataLog::DataFileNumber));
    if (!result.seriesKept.isEmpty())
        lblBackupNote->setText(DataLog::SeriesKeptNote(result));
    else if (!result.backupPath.isEmpty())
        lblBackupNote->setText(QStringLiteral("%1 existed and was kept as %2")
                                   .arg(QFileInfo(result.path).fileName(), QFileInfo(result.backupPath).fileName()));
}
