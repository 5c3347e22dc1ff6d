// The data file on disk: whole files byte for byte, number text, and files that cannot be written.
#include "TestSupport.h"
#include "DataLogTestData.h"

#include <QDir>
#include <QTemporaryDir>
#include <csignal>
#include <sys/resource.h>

using namespace dltest;
Q_DECLARE_METATYPE(DataLog::DataFormat)

namespace {
QStringList Lines(const QByteArray& bytes) { return QString::fromUtf8(bytes).split(QStringLiteral("\r\n")); }
QStringList Files(const QString& dir) { return QDir(dir).entryList(QDir::Files | QDir::Hidden); }
} // namespace

class tst_DataFile : public QObject {
    Q_OBJECT
private slots:
    void cleanup()
    {
        DataLog::ResetLocale();
        DataLog::SetClock({});
        DataLog::SetDefaultDirectory({});
    }

    void wholeFile_data()
    {
        QTest::addColumn<QString>("golden");
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<DataLog::DataFormat>("format");
        QTest::addColumn<QString>("base");
        QTest::addColumn<QString>("ext");
        QTest::addColumn<int>("avgExponent");
        QTest::addColumn<QString>("fileName");
        QTest::newRow("C, LSB, defaults") << "c_lsb.csv" << QLocale::c() << DataLog::DataFormat::LSB << QString()
                                           << QString() << 0 << "Datalog_1.csv";
        QTest::newRow("C, scaled, Run.CSV, AVG 8")
            << "c_scaled.csv" << QLocale::c() << DataLog::DataFormat::Scaled << "Run" << ".CSV" << 3 << "Run_1.CSV";
        QTest::newRow("German, LSB, defaults") << "de_lsb.txt" << German() << DataLog::DataFormat::LSB << QString()
                                                << QString() << 0 << "Datalog_1.csv";
        QTest::newRow("German, scaled, Lauf.txt, AVG 1024")
            << "de_scaled.txt" << German() << DataLog::DataFormat::Scaled << "Lauf" << ".txt" << 10 << "Lauf_1.txt";
    }
    void wholeFile()
    {
        QFETCH(QString, golden);
        QFETCH(QLocale, locale);
        QFETCH(DataLog::DataFormat, format);
        QFETCH(QString, base);
        QFETCH(QString, ext);
        QFETCH(int, avgExponent);
        QFETCH(QString, fileName);
        QTemporaryDir dir;
        FreshState(dir.path(), locale);
        DataLog::Format = format;
        DataLog::FileBase = base;
        DataLog::FileExt = ext;
        CaptureRecord::Last.avgExponent = avgExponent;
        const DataLog::WriteResult r = DataLog::WriteNextDataFile();
        QVERIFY2(r.ok, qPrintable(r.error));
        QCOMPARE(r.path, dir.filePath(fileName));
        QCOMPARE(r.number, int16_t(1));
        QCOMPARE(DataLog::DataFileNumber, int16_t(2));
        const QByteArray expected = Golden(golden);
        QVERIFY(!expected.isEmpty());
        // Line by line, so that a difference names its line; the split on CR LF is lossless.
        QCOMPARE(Lines(ReadAll(r.path)), Lines(expected));
        QCOMPARE(Files(dir.path()), QStringList{fileName});
    }

    void generalNumber_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QString>("text");
        QTest::newRow("single widened") << double(0.0955f) << QLocale::c() << "0.0954999998211861";
        QTest::newRow("tie rounds away from zero") << -42.21099853515625 << QLocale::c() << "-42.2109985351563";
        QTest::newRow("no grouping") << 1234567.5 << German() << "1234567,5";
        QTest::newRow("small") << 0.00001 << QLocale::c() << "1E-05";
        QTest::newRow("negative zero") << -0.0 << QLocale::c() << "0";
    }
    void generalNumber()
    {
        QFETCH(double, value);
        QFETCH(QLocale, locale);
        QTEST(DataLog::GeneralNumber(value, locale), "text");
    }

    void unwritable_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("missing directory") << "missing";
        QTest::newRow("directory is a file") << "file";
        QTest::newRow("name taken by a directory") << "taken";
        QTest::newRow("read-only directory") << "readonly";
    }
    void unwritable()
    {
        QFETCH(QString, kind);
        QTemporaryDir dir;
        FreshState(dir.path());
        const QString target = dir.filePath(QStringLiteral("target"));
        if (kind == "file") {
            QFile f(target);
            QVERIFY(f.open(QIODevice::WriteOnly));
        } else if (kind == "taken") {
            QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("target/Datalog_5.csv")));
        } else if (kind == "readonly") {
            QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("target")));
            QFile::setPermissions(target, QFile::ReadOwner | QFile::ExeOwner);
            if (QFile probe(target + "/probe"); probe.open(QIODevice::WriteOnly)) {
                probe.remove();
                QSKIP("permissions do not bind this user (root)");
            }
        }
        DataLog::FileDir = target + QLatin1Char('/');
        DataLog::DataFileNumber = 5;
        const DataLog::WriteResult r = DataLog::WriteNextDataFile();
        QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QVERIFY(!r.ok);
        QVERIFY(!r.error.isEmpty());
        QCOMPARE(r.path, target + QStringLiteral("/Datalog_5.csv"));
        QCOMPARE(DataLog::DataFileNumber, int16_t(5));
        const QString message = DataLog::WriteFailureMessage(r);
        QVERIFY2(message.contains(r.path) && message.contains(r.error), qPrintable(message));
        // No partial or temporary file anywhere.
        if (QFileInfo(target).isDir())
            QVERIFY2(Files(target).isEmpty(), qPrintable(Files(target).join(u' ')));
        QCOMPARE(Files(dir.path()).size(), kind == "file" ? 1 : 0);
    }

    void timeLineHasSeconds_data()
    {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QString>("text");
        QTest::newRow("C") << QLocale::c() << "09:05:04";
        QTest::newRow("German") << German() << "09:05:04";
        QTest::newRow("US English") << QLocale(QLocale::English, QLocale::UnitedStates) << "9:05:04\u202fAM";
    }
    void timeLineHasSeconds()
    {
        QFETCH(QLocale, locale);
        QFETCH(QString, text);
        // Some Qt versions separate AM/PM with a plain blank.
        QCOMPARE(DataLog::TimeWithSeconds(FixedTime().time(), locale).replace(QChar(' '), QChar(0x202f)), text);
        // Captures seconds apart carry different times.
        QVERIFY(DataLog::TimeWithSeconds(QTime(9, 5, 4), locale) != DataLog::TimeWithSeconds(QTime(9, 5, 7), locale));
    }

    // A name already on disk (numbering restarts after a restart or a reset) is kept as a numbered backup.
    void existingFileKeptAsBackup()
    {
        QTemporaryDir dir;
        FreshState(dir.path());
        const QString path = dir.filePath(QStringLiteral("Datalog_1.csv"));
        const QByteArray earliest("earlier run\r\n");
        {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(earliest);
        }
        DataLog::WriteResult r = DataLog::WriteNextDataFile();
        QVERIFY2(r.ok, qPrintable(r.error));
        QCOMPARE(r.backupPath, path + QStringLiteral(".~1~"));
        QCOMPARE(ReadAll(path + QStringLiteral(".~1~")), earliest);
        const QByteArray first = ReadAll(path);
        QCOMPARE(Lines(first).first(), QStringLiteral("File Name,Datalog.csv"));

        DataLog::DataFileNumber = 1;
        r = DataLog::WriteNextDataFile();
        QVERIFY(r.ok);
        QCOMPARE(r.backupPath, path + QStringLiteral(".~2~"));
        QCOMPARE(ReadAll(path + QStringLiteral(".~1~")), earliest);
        QCOMPARE(ReadAll(path + QStringLiteral(".~2~")), first);
        QCOMPARE(Files(dir.path()).size(), 3);
    }

    // A run's first file of a series sets the earlier run's whole series aside, under one backup
    // number, so the folder never shows two runs as one series.
    void earlierRunSetAsideWhole_data()
    {
        QTest::addColumn<QStringList>("before");   // files of the earlier run(s)
        QTest::addColumn<QStringList>("expected"); // the folder after this run's two files
        QTest::newRow("three files of one earlier run")
            << QStringList{"Datalog_1.csv", "Datalog_2.csv", "Datalog_3.csv"}
            << QStringList{"Datalog_1.csv", "Datalog_1.csv.~1~", "Datalog_2.csv", "Datalog_2.csv.~1~",
                           "Datalog_3.csv.~1~"};
        QTest::newRow("a backup already there: the next number for all")
            << QStringList{"Datalog_1.csv", "Datalog_3.csv", "Datalog_3.csv.~1~"}
            << QStringList{"Datalog_1.csv", "Datalog_1.csv.~2~", "Datalog_2.csv", "Datalog_3.csv.~1~",
                           "Datalog_3.csv.~2~"};
        QTest::newRow("other series stay") << QStringList{"Run_1.csv", "Datalog_1.txt", "Datalog_x.csv"}
                                           << QStringList{"Datalog_1.csv", "Datalog_1.txt", "Datalog_2.csv",
                                                          "Datalog_x.csv", "Run_1.csv"};
    }
    void earlierRunSetAsideWhole()
    {
        QFETCH(QStringList, before);
        QFETCH(QStringList, expected);
        QTemporaryDir dir;
        FreshState(dir.path());
        for (const QString& name : before) {
            QFile f(dir.filePath(name));
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(name.toUtf8());
        }
        const DataLog::WriteResult first = DataLog::WriteNextDataFile();
        QVERIFY2(first.ok, qPrintable(first.error));
        const DataLog::WriteResult second = DataLog::WriteNextDataFile();
        QVERIFY(second.ok);
        QVERIFY(second.seriesKept.isEmpty());
        QCOMPARE(Files(dir.path()), expected);
        // Each earlier file kept as it was, under its own name.
        for (const QString& kept : first.seriesKept) {
            const QString name = QFileInfo(kept).fileName();
            QCOMPARE(ReadAll(kept), name.left(name.indexOf(".~")).toUtf8());
        }
        QCOMPARE(first.seriesKept.size(), int(before.filter(QRegularExpression("^Datalog_\\d+\\.csv$")).size()));
    }

    // With no folder chosen the files go where the settings file goes: the working directory.
    void defaultFolderIsTheWorkingDirectory()
    {
        QTemporaryDir dir;
        const QString saved = QDir::currentPath();
        QVERIFY(QDir::setCurrent(dir.path()));
        DataLog::ResetState();
        DataLog::SetDefaultDirectory({});
        const DataLog::WriteResult r = DataLog::WriteNextDataFile();
        QDir::setCurrent(saved);
        QVERIFY2(r.ok, qPrintable(r.error));
        QCOMPARE(QFileInfo(r.path).absolutePath(), QFileInfo(dir.path()).canonicalFilePath());
    }

    // A write cut short by the system names the system's reason, not a generic one.
    void shortWriteGivesSystemReason()
    {
        QTemporaryDir dir;
        FreshState(dir.path());
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit saved{};
        getrlimit(RLIMIT_FSIZE, &saved);
        rlimit small = saved;
        small.rlim_cur = 1000;
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
        const DataLog::WriteResult r = DataLog::WriteNextDataFile();
        setrlimit(RLIMIT_FSIZE, &saved);
        QVERIFY(!r.ok);
        QCOMPARE(r.error, QStringLiteral("File too large"));
        QCOMPARE(DataLog::DataFileNumber, int16_t(1));
        QVERIFY(Files(dir.path()).isEmpty());
    }

    // Writes sample files for the csv-module check when CTest asks for them.
    void csvSample()
    {
        const QString out = qEnvironmentVariable("SB_CSV_SAMPLE_DIR");
        if (out.isEmpty())
            QSKIP("only for the csv check");
        QVERIFY(QDir().mkpath(out));
        FreshState(out);
        QFile::remove(out + QStringLiteral("/Datalog_1.csv"));
        QFile::remove(out + QStringLiteral("/Lauf_1.txt"));
        QVERIFY(DataLog::WriteNextDataFile().ok);
        FreshState(out, German());
        DataLog::Format = DataLog::DataFormat::Scaled;
        DataLog::FileBase = QStringLiteral("Lauf");
        DataLog::FileExt = QStringLiteral(".txt");
        QVERIFY(DataLog::WriteNextDataFile().ok);
    }
};

SB_TEST_MAIN(tst_DataFile)
#include "tst_DataFile.moc"
