#include "TestSupport.h"
#include "registers/m470Reg.h"
#include "shell/Module1.h"

#include <QDir>
#include <QTemporaryDir>

using namespace Module1;

class TestSettings : public QObject {
    Q_OBJECT
    QTemporaryDir dir;
    QString path() const { return dir.filePath(QStringLiteral("CommPort.cfg")); }
    void writeFile(const QByteArray& bytes)
    {
        QFile f(path());
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }

private slots:
    void init()
    {
        QFile::remove(path());
        InitialiseState();
        PortAddress = 0;
        ProductNumber = 0;
        sbtest::ClearMessages();
    }

    void readSettings_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<int>("iface");
        QTest::addColumn<int>("port");
        QTest::addColumn<int>("product");
        QTest::newRow("as written") << QByteArray("Interface =  2 \r\nPort Address =  888 \r\nProductNumber =  31470 \r\n") << 2 << 888 << 31470;
        QTest::newRow("empty file") << QByteArray() << 0 << 0 << 0;
        QTest::newRow("product only") << QByteArray("ProductNumber =  31470 \r\n") << 0 << 0 << 31470;
        QTest::newRow("no spaces around = cuts a character") << QByteArray("Interface=2\r\n") << 0 << 0 << 0;
        QTest::newRow("keys are case-sensitive") << QByteArray("interface =  2 \r\n") << 0 << 0 << 0;
        QTest::newRow("last key wins") << QByteArray("Interface =  1 \r\nInterface =  2 \r\n") << 2 << 0 << 0;
        QTest::newRow("order does not matter") << QByteArray("ProductNumber = 31473\r\nInterface = 1\r\n") << 1 << 0 << 31473;
        QTest::newRow("comma separates fields") << QByteArray("Interface = 2,Port Address = -5\r\n") << 2 << -5 << 0;
        QTest::newRow("quoted field") << QByteArray("\"Interface = 1\"\r\n") << 1 << 0 << 0;
        QTest::newRow("LF only") << QByteArray("Interface = 2\nPort Address = 888\n") << 2 << 888 << 0;
        QTest::newRow("no = ignored") << QByteArray("Interface 2\r\n") << 0 << 0 << 0;
        QTest::newRow("non-numeric ignored") << QByteArray("Interface = two\r\n") << 0 << 0 << 0;
        QTest::newRow("out of 16-bit range ignored") << QByteArray("Port Address = 70000\r\n") << 0 << 0 << 0;
        QTest::newRow("binary garbage") << QByteArray("\x00\xff\x01=\x02\r\n\x7f", 9) << 0 << 0 << 0;
    }
    void readSettings()
    {
        QFETCH(QByteArray, file);
        writeFile(file);
        ReadSettings(path());
        QFETCH(int, iface);
        QFETCH(int, port);
        QFETCH(int, product);
        QCOMPARE(int(InterfaceType), iface);
        QCOMPARE(int(PortAddress), port);
        QCOMPARE(int(ProductNumber), product);
    }

    void missingFileKeepsDefaults()
    {
        InterfaceType = 0;
        ReadSettings(path());
        QCOMPARE(int(InterfaceType), 0);
        QCOMPARE(int(ProductNumber), 0);
        LoadStateAndTables(path());
        QCOMPARE(int(ProductNumber), 31473);
        QCOMPARE(int(m470Reg::LastRegisterIndex), 34);
        QVERIFY(sbtest::Messages().isEmpty());
    }

    // Whatever sits where the settings file should be, start-up goes on with defaults and
    // exit writes a valid file wherever a file can be written.
    void unusableSettingsFile_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("writable");
        QTest::newRow("huge garbage") << "huge" << true;
        QTest::newRow("unreadable") << "unreadable" << true;
        QTest::newRow("directory") << "directory" << false;
        QTest::newRow("symlink loop") << "loop" << true;
    }
    void unusableSettingsFile()
    {
        QFETCH(QString, kind);
        QFETCH(bool, writable);
        if (kind == QLatin1String("huge")) {
            // Binary noise, then a valid line past the part that is read.
            QByteArray noise(3 << 20, '\0');
            for (qsizetype i = 0; i < noise.size(); ++i)
                noise[i] = char((i * 7919) >> 3);
            writeFile(noise + "\r\nInterface =  2 \r\n");
        } else if (kind == QLatin1String("unreadable")) {
            writeFile("Interface =  1 \r\n");
            QFile::setPermissions(path(), QFileDevice::WriteOwner);
            if (QFile f(path()); f.open(QIODevice::ReadOnly))
                QSKIP("permissions do not bind this user (root)");
        } else if (kind == QLatin1String("directory")) {
            QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("CommPort.cfg")));
        } else {
            QVERIFY(QFile::link(path(), path()));
        }
        LoadStateAndTables(path());
        QCOMPARE(int(InterfaceType), 0);
        QCOMPARE(int(ProductNumber), 31473);
        QCOMPARE(int(m470Reg::LastRegisterIndex), 34);
        QVERIFY(sbtest::Messages().isEmpty());

        InterfaceType = 2;
        QCOMPARE(WriteSettings(path()), writable);
        if (writable) {
            InterfaceType = 0;
            ProductNumber = 0;
            ReadSettings(path());
            QCOMPARE(int(InterfaceType), 2);
            QCOMPARE(int(ProductNumber), 31473);
        }
        QDir(dir.path()).rmdir(QStringLiteral("CommPort.cfg"));
        QFile::remove(path());
    }

    void startupTableFollowsStoredProduct()
    {
        writeFile("ProductNumber =  31470 \r\n");
        LoadStateAndTables(path());
        QCOMPARE(int(m470Reg::LastRegisterIndex), 26);
        QCOMPARE(int(InterfaceType), 0);
    }

    void invalidProductShowsMessageOnce()
    {
        BuildTable31473();
        writeFile("ProductNumber =  5 \r\n");
        LoadStateAndTables(path());
        QCOMPARE(sbtest::Messages().size(), 1);
        const MessageRequest m = sbtest::Messages().first();
        QCOMPARE(m.text, QStringLiteral("error Module1 ProductNumber = 5\r\n is not valid"));
        QCOMPARE(m.icon, MsgIcon::Critical);
        QCOMPARE(m.title, QStringLiteral("Sensor Bench"));
        QCOMPARE(int(ProductNumber), 5);
    }

    void writeBytes_data()
    {
        QTest::addColumn<int>("iface");
        QTest::addColumn<int>("port");
        QTest::addColumn<int>("product");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("usb") << 2 << 0 << 31473
                             << QByteArray("Interface =  2 \r\nPort Address =  0 \r\nProductNumber =  31473 \r\n");
        QTest::newRow("port 378") << 1 << 888 << 31470
                                  << QByteArray("Interface =  1 \r\nPort Address =  888 \r\nProductNumber =  31470 \r\n");
        QTest::newRow("negative") << 0 << -32768 << 31473
                                  << QByteArray("Interface =  0 \r\nPort Address = -32768 \r\nProductNumber =  31473 \r\n");
    }
    void writeBytes()
    {
        QFETCH(int, iface);
        QFETCH(int, port);
        QFETCH(int, product);
        InterfaceType = int16_t(iface);
        PortAddress = int16_t(port);
        ProductNumber = int16_t(product);
        QVERIFY(WriteSettings(path()));
        QFile f(path());
        QVERIFY(f.open(QIODevice::ReadOnly));
        QFETCH(QByteArray, bytes);
        QCOMPARE(f.readAll(), bytes);
        // What is written reads back to the same state.
        InterfaceType = 9;
        PortAddress = 9;
        ProductNumber = 9;
        ReadSettings(path());
        QCOMPARE(int(InterfaceType), iface);
        QCOMPARE(int(PortAddress), port);
        QCOMPARE(int(ProductNumber), product);
    }

    void unwritableLocationFailsQuietly()
    {
        QVERIFY(!WriteSettings(dir.filePath(QStringLiteral("missing/CommPort.cfg"))));
        QVERIFY(sbtest::Messages().isEmpty());
    }

    void hexConversions_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("asLong");
        QTest::addColumn<int>("asInteger");
        QTest::newRow("378") << QString("378") << 888 << 888;
        QTest::newRow("FFFF") << QString("FFFF") << 65535 << -1;
        QTest::newRow("ffff lower case") << QString("ffff") << 65535 << -1;
        QTest::newRow("empty") << QString("") << 0 << 0;
        QTest::newRow("last four digits") << QString("1A2B5") << 0xA2B5 << int(int16_t(0xA2B5));
        QTest::newRow("non-hex counts 0") << QString("1G2") << 0x102 << 0x102;
        QTest::newRow("8000") << QString("8000") << 32768 << -32768;
        QTest::newRow("7FFF") << QString("7FFF") << 32767 << 32767;
    }
    void hexConversions()
    {
        QFETCH(QString, text);
        QFETCH(int, asLong);
        QFETCH(int, asInteger);
        QCOMPARE(int(HexToLong(text)), asLong);
        QCOMPARE(int(HexToInteger(text)), asInteger);
    }
};

SB_TEST_MAIN(TestSettings)
#include "tst_settings.moc"
