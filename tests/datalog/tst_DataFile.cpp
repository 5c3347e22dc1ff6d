// The data file on disk: whole files byte for byte, number text, separator,
// naming and numbering, and files that cannot be written.
#include "TestSupport.h"
#include "DataLogTestData.h"

#include <QDir>
#include <QTemporaryDir>

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
        DataLog::SetApplicationDirectory({});
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
        const DataLog::WriteResult r = DataLog::WriteNextDataFile(avgExponent);
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
        QTest::newRow("single widened, comma") << double(0.0955f) << German() << "0,0954999998211861";
        QTest::newRow("whole negative") << -35.0 << QLocale::c() << "-35";
        QTest::newRow("tie rounds away from zero") << -42.21099853515625 << QLocale::c() << "-42.2109985351563";
        QTest::newRow("15 digits at most") << 0.1 + 0.2 << QLocale::c() << "0.3";
        QTest::newRow("no grouping") << 1234567.5 << German() << "1234567,5";
        QTest::newRow("small") << 0.00001 << QLocale::c() << "1E-05";
        QTest::newRow("large") << 123456789012345678.0 << QLocale::c() << "1.23456789012346E+17";
        QTest::newRow("negative zero") << -0.0 << QLocale::c() << "0";
    }
    void generalNumber()
    {
        QFETCH(double, value);
        QFETCH(QLocale, locale);
        QTEST(DataLog::GeneralNumber(value, locale), "text");
    }

    void separator_data()
    {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QString>("separator");
        QTest::newRow("C") << QLocale::c() << ",";
        QTest::newRow("en_US") << QLocale(QLocale::English, QLocale::UnitedStates) << ",";
        QTest::newRow("de_DE") << German() << "\t";
        QTest::newRow("fr_FR") << QLocale(QLocale::French, QLocale::France) << "\t";
        QTest::newRow("de_CH decimal point") << QLocale(QLocale::German, QLocale::Switzerland) << ",";
    }
    void separator()
    {
        QFETCH(QLocale, locale);
        QFETCH(QString, separator);
        QCOMPARE(QString(DataLog::FieldSeparator(locale)), separator);
        QTemporaryDir dir;
        FreshState(dir.path(), locale);
        const QStringList lines = Lines(DataLog::DataFileBytes(0, locale, FixedTime()));
        QCOMPARE(lines[0], QStringLiteral("File Name,")); // line 1 keeps its literal comma
        QCOMPARE(lines[14].count(separator), 4);
        QCOMPARE(lines[15].count(separator), 3);
    }

    void statusLine_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("line");
        QTest::newRow("clear") << 0x0000 << "0,0,0,0,0,0,0,0,0,0,0,0,0,0,0";
        QTest::newRow("data ready") << 0x0080 << "0,0,0,0,0,0,0,1,0,0,0,0,0,0,0";
        QTest::newRow("bits 0, 14 and 15") << 0xC001 << "1,0,0,0,0,0,0,0,0,0,0,0,0,0,1";
    }
    void statusLine()
    {
        QFETCH(int, status);
        QTemporaryDir dir;
        FreshState(dir.path());
        // As a status read leaves them: bits 0..14 only.
        for (int i = 0; i < 15; ++i)
            StatusDisplay::StatusBits[size_t(i)] = (status >> i) & 1 ? QStringLiteral("1") : QStringLiteral("0");
        QTEST(Lines(DataLog::DataFileBytes(0, QLocale::c(), FixedTime()))[12], "line");
        ClearStatusBits();
    }

    void numberingAndReset()
    {
        QTemporaryDir dir;
        FreshState(dir.path());
        QVERIFY(DataLog::WriteNextDataFile(0).ok);
        QVERIFY(DataLog::WriteNextDataFile(0).ok);
        QCOMPARE(DataLog::DataFileNumber, int16_t(3));
        QCOMPARE(DataLog::FileDir, dir.path() + QLatin1Char('/'));
        QCOMPARE(DataLog::FileBase, QStringLiteral("Datalog"));
        QCOMPARE(DataLog::FileExt, QStringLiteral(".csv"));
        QCOMPARE(DataLog::FilePath, dir.filePath("Datalog_2.csv"));

        // After a reset the next file replaces number 1 without asking.
        DataLog::DataFileNumber = 1;
        CaptureRecord::CaptPeakX = 77;
        const DataLog::WriteResult r = DataLog::WriteNextDataFile(0);
        QVERIFY(r.ok);
        QCOMPARE(r.number, int16_t(1));
        QCOMPARE(Lines(ReadAll(dir.filePath("Datalog_1.csv")))[6], QStringLiteral("Capt_Xpk,77"));
        QCOMPARE(Files(dir.path()), (QStringList{"Datalog_1.csv", "Datalog_2.csv"}));
        QCOMPARE(DataLog::DataFileNumber, int16_t(2));
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
        const DataLog::WriteResult r = DataLog::WriteNextDataFile(0);
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

    // Writes sample files for the csv-module check when CTest asks for them.
    void csvSample()
    {
        const QString out = qEnvironmentVariable("SB_CSV_SAMPLE_DIR");
        if (out.isEmpty())
            QSKIP("only for the csv check");
        QVERIFY(QDir().mkpath(out));
        FreshState(out);
        QFile::remove(out + QStringLiteral("/Datalog_1.csv"));
        QVERIFY(DataLog::WriteNextDataFile(0).ok);
        FreshState(out, German());
        DataLog::Format = DataLog::DataFormat::Scaled;
        DataLog::FileBase = QStringLiteral("Lauf");
        DataLog::FileExt = QStringLiteral(".txt");
        QVERIFY(DataLog::WriteNextDataFile(0).ok);
    }
};

SB_TEST_MAIN(tst_DataFile)
#include "tst_DataFile.moc"
