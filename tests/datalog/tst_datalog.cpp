// Data logging, offscreen on the virtual board: one file per buffer read-out while logging is
// on, the data-log window's choices as the files show them, the file number and count label,
// and a write that fails.
#include "TestSupport.h"
#include "DataLogTestData.h"

#include "capture/frmForm1.h"
#include "datalog/frmFileDir.h"
#include "device/EzUsb.h"
#include "registers/m470Reg.h"
#include "shell/Module1.h"
#include "sim/Board.h"
#include "ui/Ui.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
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

QColor Background(QLabel* l) { return l->palette().color(QPalette::Window); }
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
        DataLog::SetApplicationDirectory({});
    }

    void firstOpeningThenCancel()
    {
        OpenDialog([this](frmFileDir* d) {
            QCOMPARE(d->windowTitle(), QStringLiteral("Data File"));
            QCOMPARE(d->txtFileName->text(), QStringLiteral("DATALOG"));
            QCOMPARE(d->txtFileNum->text(), QStringLiteral("1"));
            QVERIFY(!d->txtFileNum->isEnabled());
            QVERIFY(d->opDataFormatLSB->isChecked() && !d->OpDataFormatScaled->isChecked());
            QCOMPARE(d->comboExtension->currentText(), QStringLiteral("*.CSV"));
            QCOMPARE(d->Dir1Path(), app_);
            QVERIFY(app_.startsWith(d->Drive1Drive()));
            QTest::mouseClick(d->cmdCancel, Qt::LeftButton);
            QVERIFY(!d->isVisible());
        });
        QCOMPARE(sbtest::ModalsShown().last(), Dlg());
        QVERIFY(DataLog::FileBase.isEmpty() && DataLog::FileExt.isEmpty());
        Dlg()->WriteDataFile();
        QCOMPARE(FileLines(app_ + "/Datalog_1.csv").first(), QStringLiteral("File Name,Datalog.csv"));
        QCOMPARE(CountLabel()->text(), QStringLiteral("1"));
        QCOMPARE(Dlg()->txtFileNum->text(), QStringLiteral("2"));
        QVERIFY(sbtest::Messages().isEmpty());
    }

    void okNaming_data()
    {
        QTest::addColumn<int>("extIndex");
        QTest::addColumn<QString>("firstFile");
        QTest::addColumn<QString>("secondFile");
        QTest::addColumn<QString>("listNextTime");
        QTest::newRow("*.CSV") << 0 << "Run_1.CSV" << "Run_2.CSV" << "*.CSV";
        QTest::newRow("*.TXT") << 1 << "Run_1.txt" << "Run_2.txt" << "*.TXT";
        QTest::newRow("*.* gives .txt, shown as *.CSV") << 2 << "Run_1.txt" << "Run_2.txt" << "*.CSV";
    }

    void okNaming()
    {
        QFETCH(int, extIndex);
        QFETCH(QString, firstFile);
        QFETCH(QString, secondFile);
        QTemporaryDir target;
        const QString dir = target.path();

        OpenDialog([&](frmFileDir* d) {
            d->comboExtension->setCurrentIndex(extIndex);
            d->txtFileName->clear();
            QTest::keyClicks(d->txtFileName, QStringLiteral("Run"));
            d->SetDir1Path(dir);
            QTest::mouseClick(d->cmdOK, Qt::LeftButton);
            QVERIFY(!d->isVisible());
        });
        QCOMPARE(DataLog::FilePath, dir + '/' + firstFile);
        QCOMPARE(DataLog::FileDir, dir + '/');
        QCOMPARE(DataLog::SavedExtIndex, int16_t(extIndex));

        Dlg()->WriteDataFile();
        QCOMPARE(FileLines(dir + '/' + firstFile).first(),
                 QStringLiteral("File Name,Run") + firstFile.mid(firstFile.indexOf(u'.')));

        OpenDialog([&](frmFileDir* d) {
            QTEST(d->comboExtension->currentText(), "listNextTime");
            QCOMPARE(d->Dir1Path(), dir);
            QCOMPARE(d->txtFileName->text(), QStringLiteral("Run"));
            QVERIFY(dir.startsWith(d->Drive1Drive()));
            d->close();
        });
        // Until OK is pressed again the files keep their extension.
        Dlg()->WriteDataFile();
        QVERIFY(QFile::exists(dir + '/' + secondFile));
        QCOMPARE(QDir(dir).entryList(QDir::Files).size(), 2);
    }

    void emptyNameKeepsDialogOpen()
    {
        OpenDialog([](frmFileDir* d) {
            d->txtFileName->clear();
            QVERIFY(DataLog::SavedFileBase.isEmpty());
            QTest::mouseClick(d->cmdOK, Qt::LeftButton);
            QCOMPARE(sbtest::MessageTexts(), QStringList{QStringLiteral("Please enter a file name or press CANCEL")});
            QCOMPARE(sbtest::Messages().first().buttons, MsgButtons::Ok);
            QVERIFY(d->isVisible());
            QTest::mouseClick(d->cmdCancel, Qt::LeftButton);
        });
        QVERIFY(DataLog::FileBase.isEmpty());
        QVERIFY(DataLog::FilePath.isEmpty());
    }

    void typedNameShownAgainAfterCancel()
    {
        OpenDialog([](frmFileDir* d) {
            d->txtFileName->clear();
            QTest::keyClicks(d->txtFileName, QStringLiteral("Trial"));
            d->comboExtension->setCurrentIndex(1);
            d->close(); // the window frame's close button
        });
        QVERIFY(DataLog::FileBase.isEmpty());
        QCOMPARE(DataLog::SavedExtIndex, int16_t(1));
        OpenDialog([](frmFileDir* d) {
            QCOMPARE(d->txtFileName->text(), QStringLiteral("Trial"));
            QCOMPARE(d->comboExtension->currentText(), QStringLiteral("*.TXT"));
            QTest::mouseClick(d->cmdCancel, Qt::LeftButton);
        });
        Dlg()->WriteDataFile();
        QVERIFY(QFile::exists(app_ + "/Datalog_1.csv"));
    }

    void dataFormat_data()
    {
        QTest::addColumn<bool>("scaled");
        QTest::addColumn<bool>("pressOk");
        QTest::addColumn<QString>("firstSample");
        QTest::newRow("scaled, OK") << true << true << "0,-48.8959999084473,-1.24927997589111,0";
        QTest::newRow("scaled, Cancel") << true << false << "0,-48.8959999084473,-1.24927997589111,0";
        QTest::newRow("LSB, OK") << false << true << "0,-512,-1024,0";
    }

    void dataFormat()
    {
        QFETCH(bool, scaled);
        QFETCH(bool, pressOk);
        DataLog::Format = scaled ? DataLog::DataFormat::LSB : DataLog::DataFormat::Scaled;
        OpenDialog([&](frmFileDir* d) {
            QRadioButton* option = scaled ? d->OpDataFormatScaled : d->opDataFormatLSB;
            // On the indicator: a radio button takes clicks on its indicator and text only.
            QTest::mouseClick(option, Qt::LeftButton, {}, QPoint(8, option->height() / 2));
            QVERIFY(option->isChecked());
            QTest::mouseClick(pressOk ? d->cmdOK : d->cmdCancel, Qt::LeftButton);
        });
        Dlg()->WriteDataFile();
        const QStringList lines = FileLines(app_ + QStringLiteral("/") +
                                            (pressOk ? QStringLiteral("DATALOG_1.CSV") : QStringLiteral("Datalog_1.csv")));
        QTEST(lines.value(15), "firstSample");
        QCOMPARE(lines.value(6), QStringLiteral("Capt_Xpk,-35")); // peaks stay raw
        OpenDialog([&](frmFileDir* d) {
            QCOMPARE(d->OpDataFormatScaled->isChecked(), scaled);
            QCOMPARE(d->opDataFormatLSB->isChecked(), !scaled);
            d->close();
        });
    }

    void resetFileNumberOverwritesFileOne()
    {
        for (int i = 0; i < 3; ++i)
            Dlg()->WriteDataFile();
        QCOMPARE(CountLabel()->text(), QStringLiteral("3"));
        OpenDialog([](frmFileDir* d) {
            QCOMPARE(d->txtFileNum->text(), QStringLiteral("4"));
            QTest::mouseClick(d->cmdReSetFileIndex, Qt::LeftButton);
            QCOMPARE(d->txtFileNum->text(), QStringLiteral("1"));
            QTest::mouseClick(d->cmdCancel, Qt::LeftButton);
        });
        QCOMPARE(DataLog::DataFileNumber, int16_t(1));
        QCOMPARE(CountLabel()->text(), QStringLiteral("0"));
        CaptureRecord::CaptPeakZ = 9;
        Dlg()->WriteDataFile();
        QCOMPARE(CountLabel()->text(), QStringLiteral("1"));
        QCOMPARE(FileLines(app_ + "/Datalog_1.csv").value(8), QStringLiteral("Capt_ADC1pk,9"));
        QCOMPARE(QDir(app_).entryList(QDir::Files).size(), 3);
    }

    void countLabelAndAveraging_data()
    {
        QTest::addColumn<int>("avgIndex");
        QTest::addColumn<QString>("avgLine");
        QTest::newRow("AVG 1") << 0 << "AVG_Cnt,1";
        QTest::newRow("AVG 64") << 6 << "AVG_Cnt,64";
        QTest::newRow("AVG 1024") << 10 << "AVG_Cnt,1024";
    }

    void countLabelAndAveraging()
    {
        QFETCH(int, avgIndex);
        QComboBox* avg = frmForm1::instance()->ComboAVG;
        {
            const QSignalBlocker block(avg);
            if (avg->count() < 11)
                for (int i = avg->count(); i < 11; ++i)
                    avg->addItem(QString::number(1 << i));
            avg->setCurrentIndex(avgIndex);
        }
        // The clock is read while the file is composed: the label is yellow then.
        QColor during;
        QString textDuring;
        DataLog::SetClock([&] {
            during = Background(CountLabel());
            textDuring = CountLabel()->text();
            return FixedTime();
        });
        DataLog::DataFileNumber = 7;
        Dlg()->WriteDataFile();
        DataLog::SetClock(FixedTime);
        QCOMPARE(during, QColor(255, 255, 0));
        QCOMPARE(textDuring, QStringLiteral("0"));
        QCOMPARE(Background(CountLabel()), QColor(255, 255, 255));
        QCOMPARE(CountLabel()->text(), QStringLiteral("7"));
        QCOMPARE(Dlg()->txtFileNum->text(), QStringLiteral("8"));
        QTEST(FileLines(app_ + QStringLiteral("/Datalog_7.csv")).value(3), "avgLine");
    }

    void driveChangeMovesDirectory()
    {
        OpenDialog([](frmFileDir* d) {
            QVERIFY(d->Drive1->count() >= 1);
            QVERIFY(d->Drive1->findData(QStringLiteral("/")) >= 0);
            const QString cwd = QDir::currentPath();
            // Every volume once, then back to the first: each step is a change.
            const int n = d->Drive1->count();
            for (int step = 1; step <= n; ++step) {
                d->Drive1->setCurrentIndex((d->Drive1->currentIndex() + 1) % n);
                if (n == 1)
                    d->Drive1_Change();
                const QString root = d->Drive1Drive();
                // The working directory when it lies on the chosen volume, else the volume's root.
                QVERIFY2(d->Dir1Path() == root || d->Dir1Path() == cwd, qPrintable(d->Dir1Path()));
                QVERIFY(d->Dir1Path().startsWith(root));
            }
            d->close();
        });
    }

    void oneFilePerReadOut_data()
    {
        QTest::addColumn<bool>("logging");
        QTest::newRow("logging on") << true;
        QTest::newRow("logging off") << false;
    }

    void oneFilePerReadOut()
    {
        QFETCH(bool, logging);
        frmForm1* w = frmForm1::instance();
        if (w->ckDataLog->isChecked() != logging)
            w->ckDataLog->click();
        QCOMPARE(w->ckDataLog->isChecked(), logging);

        const auto statusBefore = StatusDisplay::StatusBits;
        w->ReadCaptureBuffer();
        if (!logging) {
            QVERIFY(AppFiles().isEmpty());
            QCOMPARE(w->LbLDataLogCount->text(), QStringLiteral("0"));
            return;
        }
        QCOMPARE(AppFiles(), QStringList{QStringLiteral("Datalog_1.csv")});
        QCOMPARE(w->LbLDataLogCount->text(), QStringLiteral("1"));

        // The file holds the record just read, and the status as it was before the read-out's own status read.
        const QStringList lines = QString::fromUtf8(ReadAll(QDir(app_).filePath("Datalog_1.csv"))).split("\r\n");
        QCOMPARE(lines.size(), 1040); // 1039 lines and the empty rest after the last CR LF
        QStringList bits;
        for (int b = 14; b >= 0; --b)
            bits << statusBefore[size_t(b)];
        QCOMPARE(lines[12], bits.join(u','));
        for (size_t i : {0, 511, 1023})
            QCOMPARE(lines[15 + int(i)], QStringLiteral("%1,%2,%3,%4").arg(i).arg(CaptureRecord::BufRaw1[i])
                                             .arg(CaptureRecord::BufRaw2[i]).arg(CaptureRecord::BufRaw3[i]));

        w->ReadCaptureBuffer();
        QCOMPARE(AppFiles(), (QStringList{QStringLiteral("Datalog_1.csv"), QStringLiteral("Datalog_2.csv")}));
        QCOMPARE(w->LbLDataLogCount->text(), QStringLiteral("2"));
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
        if (cause == "removed")
            QVERIFY2(texts[0].contains(QStringLiteral("No such file or directory")), qPrintable(texts[0]));
        QCOMPARE(DataLog::DataFileNumber, int16_t(2));
        QCOMPARE(frmFileDir::instance()->txtFileNum->text(), QStringLiteral("2"));
        QCOMPARE(w->LbLDataLogCount->text(), QStringLiteral("1"));
        QCOMPARE(w->LbLDataLogCount->palette().color(QPalette::Window), QColor(Qt::white));
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

    // The picture in docs/, written where SB_DOCS_SCREENSHOTS points.
    void screenshot()
    {
        const QString docs = qEnvironmentVariable("SB_DOCS_SCREENSHOTS");
        if (docs.isEmpty())
            QSKIP("only with SB_DOCS_SCREENSHOTS");
        QTemporaryDir base(QStringLiteral("/var/tmp/SensorBench-XXXXXX")); // a tidier tree than /tmp
        for (const char* sub : {"/Captures/2026-12-05", "/Captures/2026-12-04", "/Reports"})
            QVERIFY(QDir().mkpath(base.path() + sub));
        DataLog::FileDir = base.path() + "/Captures/2026-12-05/";
        DataLog::SavedFileBase = QStringLiteral("Run");
        DataLog::DataFileNumber = 12;
        DataLog::Format = DataLog::DataFormat::Scaled;
        Dlg()->resize(620, 380);
        OpenDialog([&docs](frmFileDir* d) {
            ui::WaitPumping(200); // the directory model lists the tree
            QVERIFY(d->grab().save(docs + QStringLiteral("/datalog.png")));
            d->close();
        });
    }
};

SB_TEST_MAIN(tst_datalog)
#include "tst_datalog.moc"
