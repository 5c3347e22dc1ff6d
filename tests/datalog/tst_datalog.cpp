// Data logging, offscreen on the virtual board: one file per buffer read-out while logging is
// on, the data-log window's choices as the files show them, the file number and count label,
// and a write that fails.
#include "TestSupport.h"
#include "DataLogTestData.h"

#include "capture/ui/frmForm1.h"
#include "datalog/ui/frmFileDir.h"
#include "device/EzUsb.h"
#include "registers/m470Reg.h"
#include "shell/Module1.h"
#include "sim/Board.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTemporaryDir>

#include <csignal>
#include <sys/resource.h>

using namespace dltest;

namespace {
frmFileDir* Dlg() { return frmFileDir::instance(); }
QLabel* CountLabel() { return frmForm1::instance()->LbLDataLogCount; }

// Opens the window through the main window's menu; `action` runs while it is shown.
void OpenDialog(const std::function<void(frmFileDir*)>& action)
{
    sbtest::SetModalAction([action](QWidget* w) {
        auto* d = qobject_cast<frmFileDir*>(w);
        QVERIFY(d);
        QVERIFY(d->isVisible());
        action(d);
    });
    frmForm1::instance()->mnuDatalog_Click();
    sbtest::SetModalAction({});
}

QStringList FileLines(const QString& path) { return QString::fromUtf8(ReadAll(path)).split(QStringLiteral("\r\n")); }

} // namespace

class tst_datalog : public QObject {
    Q_OBJECT
    QTemporaryDir appDir_;
    QString app_;

    QStringList AppFiles() const { return QDir(app_).entryList(QDir::Files); }

private slots:
    void initTestCase()
    {
        app_ = appDir_.path();
        sim::Install(1, 31473);
        Module1::InitialiseState();
        Module1::ProductNumber = 31473;
        BuildTable31473();
        SelectFirstUsbCard();
        QCOMPARE(EzUsb::SelectedUsbCard.Valid, VTrue);
        Module1::InterfaceType = 2;
    }

    void init()
    {
        Dlg()->Unload();
        FreshState(app_);
        CountLabel()->setText(QStringLiteral("0"));
        sbtest::ClearMessages();
        for (const QString& f : AppFiles())
            QFile::remove(app_ + '/' + f);
    }

    void cleanupTestCase()
    {
        DataLog::SetClock({});
        DataLog::ResetLocale();
        DataLog::SetDefaultDirectory({});
    }

    // "*.*" writes .txt files but is shown as "*.CSV" next time.
    void okNaming()
    {
        QTemporaryDir target;
        const QString dir = target.path();

        OpenDialog([&](frmFileDir* d) {
            d->comboExtension->setCurrentIndex(2);
            d->txtFileName->clear();
            QTest::keyClicks(d->txtFileName, QStringLiteral("Run"));
            d->SetDir1Path(dir);
            QTest::mouseClick(d->cmdOK, Qt::LeftButton);
        });

        Dlg()->WriteDataFile();
        QCOMPARE(FileLines(dir + "/Run_1.txt").first(), QStringLiteral("File Name,Run.txt"));

        OpenDialog([&](frmFileDir* d) {
            QCOMPARE(d->comboExtension->currentText(), QStringLiteral("*.CSV"));
            QCOMPARE(d->Dir1Path(), dir);
            d->close();
        });
        // Until OK is pressed again the files keep their extension.
        Dlg()->WriteDataFile();
        QVERIFY(QFile::exists(dir + "/Run_2.txt"));
        QCOMPARE(QDir(dir).entryList(QDir::Files).size(), 2);
    }

    void emptyNameKeepsDialogOpen()
    {
        OpenDialog([](frmFileDir* d) {
            d->txtFileName->clear();
            QTest::mouseClick(d->cmdOK, Qt::LeftButton);
            QCOMPARE(sbtest::MessageTexts(), QStringList{QStringLiteral("Please enter a file name or press CANCEL")});
            QVERIFY(d->isVisible());
            QTest::mouseClick(d->cmdCancel, Qt::LeftButton);
        });
        QVERIFY(DataLog::FileBase.isEmpty());
    }

    // After "ReSet File Number" the next file takes number 1 again; the earlier file 1 is kept.
    void resetFileNumberKeepsFileOne()
    {
        for (int i = 0; i < 3; ++i)
            Dlg()->WriteDataFile();
        const QByteArray earlier = ReadAll(app_ + "/Datalog_1.csv");
        OpenDialog([](frmFileDir* d) {
            QCOMPARE(d->txtFileNum->text(), QStringLiteral("4"));
            QTest::mouseClick(d->cmdReSetFileIndex, Qt::LeftButton);
            QCOMPARE(d->txtFileNum->text(), QStringLiteral("1"));
            QTest::mouseClick(d->cmdCancel, Qt::LeftButton);
        });
        QCOMPARE(CountLabel()->text(), QStringLiteral("0"));
        CaptureRecord::CaptPeakZ = 9;
        Dlg()->WriteDataFile();
        QCOMPARE(FileLines(app_ + "/Datalog_1.csv").value(8), QStringLiteral("Capt_ADC1pk,9"));
        QCOMPARE(ReadAll(app_ + "/Datalog_1.csv.~1~"), earlier);
        QCOMPARE(QDir(app_).entryList(QDir::Files).size(), 4);
        QCOMPARE(Dlg()->lblBackupNote->text(), QStringLiteral("Datalog_1.csv existed and was kept as Datalog_1.csv.~1~"));
    }

    void oneFilePerReadOut()
    {
        frmForm1* w = frmForm1::instance();
        w->ckDataLog->click();
        const auto statusBefore = StatusDisplay::StatusBits;
        w->ReadCaptureBuffer();
        QCOMPARE(AppFiles(), QStringList{QStringLiteral("Datalog_1.csv")});

        // The file holds the record just read, and the status as it was before the read-out's own status read.
        const QStringList lines = QString::fromUtf8(ReadAll(QDir(app_).filePath("Datalog_1.csv"))).split("\r\n");
        QStringList bits;
        for (int b = 14; b >= 0; --b)
            bits << statusBefore[size_t(b)];
        QCOMPARE(lines[12], bits.join(u','));
        for (size_t i : {0, 1023})
            QCOMPARE(lines[15 + int(i)], QStringLiteral("%1,%2,%3,%4").arg(i).arg(CaptureRecord::BufRaw1[i])
                                             .arg(CaptureRecord::BufRaw2[i]).arg(CaptureRecord::BufRaw3[i]));

        w->ReadCaptureBuffer();
        QCOMPARE(AppFiles().size(), 2);
        QCOMPARE(w->LbLDataLogCount->text(), QStringLiteral("2"));

        // A restart: the earlier run's series is set aside whole, and the status bar says so.
        DataLog::ResetState();
        w->ReadCaptureBuffer();
        QCOMPARE(AppFiles(), (QStringList{"Datalog_1.csv", "Datalog_1.csv.~1~", "Datalog_2.csv.~1~"}));
        QCOMPARE(w->statusBar()->currentMessage(),
                 QStringLiteral("2 data file(s) of an earlier run (Datalog_1.csv ...) were kept as Datalog_N.csv.~1~"));
        w->ckDataLog->click();
    }

    // A failed write while logging: one message, no file (not even a temporary one), the
    // number unchanged; once the cause is gone the next read-out writes that number.
    void failedWriteThenRecovery_data()
    {
        QTest::addColumn<QString>("cause");
        QTest::newRow("directory removed") << "removed";
        QTest::newRow("disk full") << "full";
    }
    void failedWriteThenRecovery()
    {
        QFETCH(QString, cause);
        frmForm1* w = frmForm1::instance();
        const QString logDir = app_ + "/log";
        QDir(logDir).removeRecursively();
        QVERIFY(QDir().mkpath(logDir));
        DataLog::FileDir = logDir + QLatin1Char('/');
        if (!w->ckDataLog->isChecked())
            w->ckDataLog->click();
        w->ReadCaptureBuffer();
        const QStringList first{QStringLiteral("Datalog_1.csv")};
        QCOMPARE(QDir(logDir).entryList(QDir::Files), first);
        sbtest::ClearMessages();

        // A file size limit makes the write fail as a full disk does (ENOSPC and EFBIG
        // both end in a short write).
        rlimit saved{};
        getrlimit(RLIMIT_FSIZE, &saved);
        if (cause == "removed") {
            QVERIFY(QDir(logDir).removeRecursively());
        } else {
            std::signal(SIGXFSZ, SIG_IGN);
            rlimit small = saved;
            small.rlim_cur = 4096;
            QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
        }
        w->ReadCaptureBuffer();
        setrlimit(RLIMIT_FSIZE, &saved);

        const QStringList texts = sbtest::MessageTexts();
        QCOMPARE(texts.size(), 1);
        QVERIFY2(texts[0].contains(logDir + QStringLiteral("/Datalog_2.csv")), qPrintable(texts[0]));
        const QString reason = cause == "removed" ? QStringLiteral("No such file or directory") : QStringLiteral("File too large");
        QVERIFY2(texts[0].contains(reason), qPrintable(texts[0]));
        QCOMPARE(DataLog::DataFileNumber, int16_t(2));
        QCOMPARE(w->LbLDataLogCount->text(), QStringLiteral("1"));
        if (cause == "full")
            QCOMPARE(QDir(logDir).entryList(QDir::Files | QDir::Hidden), first);
        else
            QVERIFY(!QFileInfo::exists(logDir));

        // Cause gone: logging goes on with the same number.
        QVERIFY(QDir().mkpath(logDir));
        sbtest::ClearMessages();
        w->ReadCaptureBuffer();
        QVERIFY(sbtest::MessageTexts().isEmpty());
        QVERIFY(QFileInfo(logDir + QStringLiteral("/Datalog_2.csv")).size() > 4096);
        QCOMPARE(w->LbLDataLogCount->text(), QStringLiteral("2"));
        w->ckDataLog->click();
        QDir(logDir).removeRecursively();
    }

};

SB_TEST_MAIN(tst_datalog)
#include "tst_datalog.moc"
