// Data logging at a buffer read-out on the virtual board: one file per read-out
// while logging is on, none while it is off.
#include "TestSupport.h"
#include "DataLogTestData.h"

#include "capture/frmForm1.h"
#include "datalog/frmFileDir.h"
#include "device/EzUsb.h"
#include "registers/m470Reg.h"
#include "shell/Module1.h"
#include "sim/Board.h"

#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>

#include <csignal>
#include <sys/resource.h>

using namespace dltest;

class tst_DataLogReadout : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;

    QStringList Files() const { return QDir(dir_.path()).entryList(QDir::Files); }

private slots:
    void initTestCase()
    {
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
        frmFileDir::instance()->Unload();
        FreshState(dir_.path());
        for (const QString& f : Files())
            QFile::remove(dir_.filePath(f));
        frmForm1::instance()->LbLDataLogCount->setText(QStringLiteral("0"));
    }

    void cleanupTestCase()
    {
        DataLog::SetClock({});
        DataLog::ResetLocale();
        DataLog::SetApplicationDirectory({});
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
            QVERIFY(Files().isEmpty());
            QCOMPARE(w->LbLDataLogCount->text(), QStringLiteral("0"));
            return;
        }
        QCOMPARE(Files(), QStringList{QStringLiteral("Datalog_1.csv")});
        QCOMPARE(w->LbLDataLogCount->text(), QStringLiteral("1"));

        // The file holds the record just read, and the status as it was before the read-out's own status read.
        const QStringList lines = QString::fromUtf8(ReadAll(dir_.filePath("Datalog_1.csv"))).split("\r\n");
        QCOMPARE(lines.size(), 1040); // 1039 lines and the empty rest after the last CR LF
        QStringList bits;
        for (int b = 14; b >= 0; --b)
            bits << statusBefore[size_t(b)];
        QCOMPARE(lines[12], bits.join(u','));
        for (size_t i : {0, 511, 1023})
            QCOMPARE(lines[15 + int(i)], QStringLiteral("%1,%2,%3,%4").arg(i).arg(CaptureRecord::BufRaw1[i])
                                             .arg(CaptureRecord::BufRaw2[i]).arg(CaptureRecord::BufRaw3[i]));

        w->ReadCaptureBuffer();
        QCOMPARE(Files(), (QStringList{QStringLiteral("Datalog_1.csv"), QStringLiteral("Datalog_2.csv")}));
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
        const QString logDir = dir_.filePath(QStringLiteral("log"));
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
        if (cause == QLatin1String("removed")) {
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
        if (cause == QLatin1String("removed"))
            QVERIFY2(texts[0].contains(QStringLiteral("No such file or directory")), qPrintable(texts[0]));
        QCOMPARE(DataLog::DataFileNumber, int16_t(2));
        QCOMPARE(frmFileDir::instance()->txtFileNum->text(), QStringLiteral("2"));
        QCOMPARE(w->LbLDataLogCount->text(), QStringLiteral("1"));
        QCOMPARE(w->LbLDataLogCount->palette().color(QPalette::Window), QColor(Qt::white));
        if (cause == QLatin1String("full"))
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
    }
};

SB_TEST_MAIN(tst_DataLogReadout)
#include "tst_DataLogReadout.moc"
