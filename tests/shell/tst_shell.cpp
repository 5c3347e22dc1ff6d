// The shell: the settings file, start-up and exit.
#include "TestSupport.h"
#include "capture/ui/frmForm1.h"
#include "registers/m470Reg.h"
#include "shell/ui/GuiMain.h"
#include "shell/Module1.h"
#include "shell/ui/frmMsg.h"

#include <QDir>
#include <QPlainTextEdit>
#include <QTemporaryDir>

using namespace Module1;

class TestShell : public QObject {
    Q_OBJECT
    QTemporaryDir dir;
    QString path() const { return dir.filePath(QStringLiteral("CommPort.cfg")); }
    void writeFile(const QByteArray& bytes)
    {
        QFile f(path());
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    static QList<int> state() { return {InterfaceType, PortAddress, ProductNumber}; }

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
        QTest::addColumn<QList<int>>("expected"); // interface, port, product
        QTest::newRow("as written") << QByteArray("Interface =  2 \r\nPort Address =  888 \r\nProductNumber =  31470 \r\n")
                                    << QList<int>{2, 888, 31470};
        QTest::newRow("empty file") << QByteArray() << QList<int>{0, 0, 0};
        QTest::newRow("no spaces around = cuts a character") << QByteArray("Interface=2\r\n") << QList<int>{0, 0, 0};
        QTest::newRow("last key wins") << QByteArray("Interface =  1 \r\nInterface =  2 \r\n") << QList<int>{2, 0, 0};
        QTest::newRow("comma separates fields") << QByteArray("Interface = 2,Port Address = -5\r\n") << QList<int>{2, -5, 0};
        QTest::newRow("non-numeric ignored") << QByteArray("Interface = two\r\n") << QList<int>{0, 0, 0};
        QTest::newRow("out of 16-bit range ignored") << QByteArray("Port Address = 70000\r\n") << QList<int>{0, 0, 0};
        QTest::newRow("binary garbage") << QByteArray("\x00\xff\x01=\x02\r\n\x7f", 9) << QList<int>{0, 0, 0};
    }
    void readSettings()
    {
        QFETCH(QByteArray, file);
        writeFile(file);
        ReadSettings(path());
        QTEST(state(), "expected");
    }

    // Start-up: whatever sits where the settings file should be, it goes on with defaults,
    // and exit writes a valid file wherever a file can be written.
    void startup_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("product");
        QTest::addColumn<int>("lastIndex");
        QTest::addColumn<bool>("writable");
        QTest::newRow("missing") << "missing" << 31473 << 34 << true;
        QTest::newRow("single axis stored") << "31470" << 31470 << 26 << true;
        QTest::newRow("invalid product") << "invalid" << 5 << 0 << true;
        QTest::newRow("huge garbage") << "huge" << 31473 << 34 << true;
        QTest::newRow("unreadable") << "unreadable" << 31473 << 34 << true;
        QTest::newRow("directory") << "directory" << 31473 << 34 << false;
        QTest::newRow("symlink loop") << "loop" << 31473 << 34 << true;
    }
    void startup()
    {
        QFETCH(QString, kind);
        QFETCH(int, product);
        QFETCH(bool, writable);
        if (kind == "31470") {
            writeFile("ProductNumber =  31470 \r\n");
        } else if (kind == "invalid") {
            writeFile("ProductNumber =  5 \r\n");
        } else if (kind == "huge") {
            // Binary noise, then a valid line past the part that is read.
            QByteArray noise(3 << 20, '\0');
            for (qsizetype i = 0; i < noise.size(); ++i)
                noise[i] = char((i * 7919) >> 3);
            writeFile(noise + "\r\nInterface =  2 \r\n");
        } else if (kind == "unreadable") {
            writeFile("Interface =  1 \r\n");
            QFile::setPermissions(path(), QFileDevice::WriteOwner);
            if (QFile f(path()); f.open(QIODevice::ReadOnly))
                QSKIP("permissions do not bind this user (root)");
        } else if (kind == "directory") {
            QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("CommPort.cfg")));
        } else if (kind == "loop") {
            QVERIFY(QFile::link(path(), path()));
        }
        LoadStateAndTables(path());
        QCOMPARE(state(), (QList<int>{0, 0, product}));
        QTEST(int(m470Reg::Table().LastRegisterIndex), "lastIndex");
        if (kind == "invalid") {   // its message is checked in mainWithInvalidProductThenExit
            QCOMPARE(sbtest::Messages().first().icon, MsgIcon::Critical);
            return;
        }
        QVERIFY(sbtest::Messages().isEmpty());

        InterfaceType = 2;
        QCOMPARE(WriteSettings(path()), writable);
        if (writable) {
            InterfaceType = ProductNumber = 0;
            ReadSettings(path());
            QCOMPARE(state(), (QList<int>{2, 0, product}));
        }
        QDir(dir.path()).rmdir(QStringLiteral("CommPort.cfg"));
    }

    void writeBytes_data()
    {
        QTest::addColumn<QList<int>>("values"); // interface, port, product
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("usb") << QList<int>{2, 0, 31473}
                             << QByteArray("Interface =  2 \r\nPort Address =  0 \r\nProductNumber =  31473 \r\n");
        QTest::newRow("negative") << QList<int>{0, -32768, 31473}
                                  << QByteArray("Interface =  0 \r\nPort Address = -32768 \r\nProductNumber =  31473 \r\n");
    }
    void writeBytes()
    {
        QFETCH(QList<int>, values);
        InterfaceType = int16_t(values[0]);
        PortAddress = int16_t(values[1]);
        ProductNumber = int16_t(values[2]);
        QVERIFY(WriteSettings(path()));
        QFile f(path());
        QVERIFY(f.open(QIODevice::ReadOnly));
        QTEST(f.readAll(), "bytes");
        // What is written reads back to the same state.
        InterfaceType = PortAddress = ProductNumber = 9;
        ReadSettings(path());
        QCOMPARE(state(), values);
    }

    void mainWithInvalidProductThenExit()
    {
        QVERIFY(QDir::setCurrent(dir.path()));
        QFile f(QStringLiteral("CommPort.cfg"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("Interface =  0 \r\nProductNumber =  5 \r\n");
        f.close();
        Main();

        const QStringList texts = sbtest::MessageTexts();
        QCOMPARE(texts.first(), QStringLiteral("error Module1 ProductNumber = 5\r\n is not valid"));
        QCOMPARE(texts.count(texts.first()), 1);
        QVERIFY(!frmMsg::instance()->isVisible());
        QCOMPARE(frmMsg::instance()->txtMsg->toPlainText(), QStringLiteral(" "));

        frmForm1* w = frmForm1::instance();
        QVERIFY(w->isVisible());
        QCOMPARE(w->windowTitle(), QStringLiteral("Quorvane         Sensor Bench"));
        QCOMPARE(int(Module1::ProductNumber), 31473);

        // The product chosen from the menu is what the exit stores.
        w->mnu31470->trigger();
        const int ends = sbtest::EndProgramCalls();
        w->MnuExit->trigger();
        QCOMPARE(sbtest::EndProgramCalls(), ends + 1);
        QVERIFY(!w->isVisible());
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray saved = f.readAll();
        QVERIFY2(saved.endsWith("\r\nProductNumber =  31470 \r\n"), saved.constData());
    }

    // Hex text typed into the windows: the last four digits count, a non-hex digit counts 0.
    void hexConversions_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("asLong");
        QTest::addColumn<int>("asInteger");
        QTest::newRow("378") << "378" << 888 << 888;
        QTest::newRow("ffff lower case") << "ffff" << 65535 << -1;
        QTest::newRow("empty") << "" << 0 << 0;
        QTest::newRow("last four digits") << "1A2B5" << 0xA2B5 << int(int16_t(0xA2B5));
        QTest::newRow("non-hex counts 0") << "1G2" << 0x102 << 0x102;
        QTest::newRow("8000") << "8000" << 32768 << -32768;
    }
    void hexConversions()
    {
        QFETCH(QString, text);
        QTEST(int(HexToLong(text)), "asLong");
        QTEST(int(HexToInteger(text)), "asInteger");
    }
};

SB_TEST_MAIN(TestShell)
#include "tst_shell.moc"
