#include "kelorunner.h"

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

const QString settingsKey = u"HKCU\\Software\\Tarvo Technologies\\Kelo#"_s;
const QString runKey = u"HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Run"_s;

// Kelo#'s Windows package under wine on the test display: installed by its installer into a
// fresh prefix, into a folder holding a file of the user's, started from where it was installed,
// typing into a Win32 client that reports every character it gets. Its uninstaller is the one
// tests/installer.sh runs over a folder of the user's.
class TestWindows : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        for (const char *file : { KELO_WINDOWS_SETUP, KELO_WINDOWS_ZIP, KELO_TYPING_CLIENT })
            QVERIFY2(QFile::exists(QString::fromUtf8(file)), file);
        STEP((display = KeloRunner::openDisplay(&why)));
        QVERIFY2(prefix.endsWith(u"/wineprefix-windows"), "WINEPREFIX names no prefix of this test");
        QDir(prefix).removeRecursively();
        STEP(wine({ u"wineboot"_s, u"-i"_s }, 600));
    }

    // Silently, for this user alone: the program, its uninstaller, a Start menu entry; into a
    // folder of the user's, a Kelo# folder of its own.
    void installs()
    {
        QVERIFY(QDir().mkpath(tools) && userFile.open(QIODevice::ReadWrite)
                && userFile.write("mine") && userFile.flush());
        STEP(wine({ QStringLiteral(KELO_WINDOWS_SETUP), u"/S"_s, u"/D=C:\\Tools"_s }, 300));
        const QDir users(prefix + u"/drive_c/users"_s);
        for (const QString &name : users.entryList(QDir::Dirs | QDir::NoDotAndDotDot))
            if (QDir(users.filePath(name) + u"/AppData"_s).exists())
                user = users.filePath(name);
        kelo = tools + u"/Kelo#/kelo.exe"_s;
        for (const QString &file :
             { kelo, tools + u"/Kelo#/uninstall.exe"_s, tools + u"/Kelo#/platforms/qwindows.dll"_s,
               tools + u"/Kelo#/eyes.xml"_s,
               user + u"/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Kelo#.lnk"_s })
            QVERIFY2(QFile::exists(file), qPrintable(file));
    }

    // The client keeps the keyboard while Kelo# starts and while its window is clicked; with
    // Escape alone Kelo# types into it, a chosen prediction included.
    void types()
    {
        QVERIFY2(!kelo.isEmpty(), "not installed");
        client.start(QStringLiteral(KELO_WINE), { QStringLiteral(KELO_TYPING_CLIENT) });
        QVERIFY2(QTest::qWaitFor([&] { return seen().contains(u"focus"_s); }, 30000),
                 qPrintable(u"the client never got the focus: "_s + seen().join(u", ")));
        // Qt asks for wine's dialog font, Tahoma, absent here: it took the first family it knew.
        // The alphabetical order keeps the walk below the same for any word list.
        STEP(regAdd(settingsKey, u"startup"_s, u"2"_s) && regAdd(settingsKey, u"s2v"_s, u"20"_s)
             && regAdd(settingsKey, u"ranking"_s, u"0"_s) && regAdd(settingsKey, u"padjump"_s, u"false"_s)
             && regAdd(settingsKey, u"likely"_s, u"false"_s)
             && regAdd(u"HKCU\\Software\\Wine\\Fonts\\Replacements"_s, u"Tahoma"_s,
                       u"DejaVu Sans"_s));
        runner = std::make_unique<KeloRunner>(display, home.path());
        runner->setProgram(QStringLiteral(KELO_WINE), { kelo });
        STEP(runner->start(&why));
        // The window and its native menu bar; the client still in front, and after a click in
        // the window and one on the menu bar, which opens its first menu.
        const QStringList window { u"client 556 230"_s, u"menu bar"_s,
                                   u"foreground Typing client"_s };
        QCOMPARE(tool({ u"--window"_s, u"Kelo#"_s }), window);
        runner->click(runner->geometry().bottomRight() - QPoint(20, 20));
        runner->click(runner->geometry().topLeft() + QPoint(20, 8));
        QTRY_VERIFY_WITH_TIMEOUT(!runner->menuGeometry().isEmpty(), 5000);
        QCOMPARE(tool({ u"--window"_s, u"Kelo#"_s }), window);
        runner->click(runner->geometry().center()); // closes it
        QTRY_VERIFY_WITH_TIMEOUT(runner->menuGeometry().isEmpty(), 5000);
        // Wine's font is smaller than Linux's: text an eighth larger, for strokes; the prediction
        // row unread (its pad reads as a line); lists below it tall (KeyB's: 11 lines of 12 show).
        STEP(runner->close(&why, 10000) && regAdd(settingsKey, u"height"_s, u"560"_s)
             && regAdd(settingsKey, u"s3v"_s, u"1.125"_s) && runner->start(&why));
        runner->setPictureTop(runner->geometry().height() / 2 - 30);
        // h, e, l and the first prediction, with a capital; a point, which takes its space; h, i,
        // a sentence's capital; the special keys' group, Enter.
        STEP(walk({ { 2 }, { 2, 1, 6 }, { 1 }, { 1, 4, 6 }, { 2 }, { 2, 5, 6 }, { 0 }, { 0, 0 },
                    { 5 }, { 5, 1, -1 }, { 2 }, { 2, 1, 6 }, { 2 }, { 2, 2, 6 }, { 6 }, { 6, 2, 10 },
                    { 1 }, { 1, 2, 6 } }));
        QTRY_COMPARE_WITH_TIMEOUT(typed(), u"Helbeh. Hi\r"_s, 5000);
        // Back to the letters; held past the next step, a press acts on what was lit at its down: A.
        STEP(walk({ { 6 }, { 6, 0, 10 } }));
        runner->setSwitch([&] { return runner->pressEscape(1300); });
        STEP(walk({ { 1 }, { 1, 0, 6 } }));
        runner->setSwitch({});
        QTRY_COMPARE_WITH_TIMEOUT(typed(), u"Helbeh. Hi\rA"_s, 5000);
        QVERIFY2(!seen().contains(u"unfocus"_s), qPrintable(seen().join(u", ")));
    }

    // What Kelo# stores lands under its registry key, beside a value it does not know, and
    // comes back at the next start. A second start ends with a line, the client keeping the keys.
    void settingsInRegistry()
    {
        QVERIFY2(runner && runner->running(), "kelo is not running");
        const QRect where = runner->geometry();
        STEP(regAdd(settingsKey, u"later"_s, u"kept"_s) && runner->close(&why, 10000));
        QCOMPARE(regValue(settingsKey, u"s2v"_s), u"20"_s);
        QCOMPARE(regValue(settingsKey, u"width"_s), u"556"_s);
        STEP(runner->start(&why));
        QCOMPARE(runner->geometry(), where);
        QCOMPARE(regValue(settingsKey, u"later"_s), u"kept"_s);
        QString second;
        QVERIFY2(runner->startSecond(&second) && second.contains(u"Kelo# already runs"_s),
                 qPrintable(second));
        QVERIFY(runner->running() && !seen().contains(u"unfocus"_s));
    }

    // Options' fifth entry, Launch at startup: the Run value names kelo.exe; again: it goes.
    void launchAtStartup()
    {
        QVERIFY2(runner && runner->running(), "kelo is not running");
        const QStringList choose { u"--menu"_s, u"Kelo#"_s, u"1"_s, u"4"_s };
        QCOMPARE(tool(choose), QStringList());
        QTRY_VERIFY_WITH_TIMEOUT(regValue(runKey, u"Kelo#"_s).contains(u"\\kelo.exe"_s), 10000);
        QCOMPARE(tool(choose), QStringList());
        QTRY_COMPARE_WITH_TIMEOUT(regValue(runKey, u"Kelo#"_s), QString(), 10000);
    }

    // KeyB's "close Kelo#", then "yes": Kelo# ends, leaving no key or button held. Both go by
    // time: KeyB's list scrolls, and the question runs wider than its group. The question opens
    // on its way back, "yes" second.
    void quitsOnPurpose()
    {
        QVERIFY2(runner && runner->running(), "kelo is not running");
        STEP(walk({ { 6 }, { 6, 10, -1 }, { 6, 1, -1 } }) && runner->waitForCleanExit(10000, &why));
        QCOMPARE(tool({ u"--held"_s }), QStringList());
    }

    // Killed holding the left button (KeyB's Mouse, the centre's fourth entry): the next start
    // lets go of it, and says so.
    void heldButtonReleased()
    {
        STEP(runner->start(&why) && walk({ { 6 }, { 6, 4, 10 } }));
        runner->setColumns(5);
        STEP(walk({ { 3 }, { 3, 3, 8 } }));
        QTRY_VERIFY_WITH_TIMEOUT(tool({ u"--held"_s }).join(u' ').contains(u"\nheld 1\n"_s), 5000);
        runner->sendSignal(SIGKILL);
        QTRY_VERIFY(!runner->running());
        STEP(runner->start(&why));
        QCOMPARE(tool({ u"--held"_s }), QStringList());
        QCOMPARE(runner->output().count(u"the last run ended holding down: left button"_s), 1);
        STEP(runner->close(&why, 10000));
    }

    void cleanupTestCase()
    {
        client.kill();
        client.waitForFinished();
        if (runner)
            runner->sendSignal(SIGKILL);
        wine({ u"wineserver"_s, u"-k"_s }, 60);
    }

private:
    bool walk(const QList<KeloRunner::Step> &steps) { return runner->walk(steps, &why); }

    // The client's other uses; their lines, or why they failed.
    QStringList tool(const QStringList &arguments)
    {
        QString out;
        if (!wine(QStringList { QStringLiteral(KELO_TYPING_CLIENT) } + arguments, 60, &out))
            return { why };
        return out.split(u'\n', Qt::SkipEmptyParts);
    }

    // What the client reported, a line an event; what was typed, as text.
    QStringList seen()
    {
        reported += QString::fromLatin1(client.readAllStandardOutput()).remove(u'\r');
        return reported.split(u'\n', Qt::SkipEmptyParts);
    }
    QString typed()
    {
        QString text;
        for (const QString &line : seen().filter(QRegularExpression(u"^char \\d+"_s))) {
            const QChar c(line.mid(5).toUInt());
            c == u'\b' ? text.chop(1) : void(text += c); // as a text field takes Backspace
        }
        return text;
    }

    // Runs a wine program to its end; false, with why, when it failed.
    bool wine(const QStringList &command, int timeoutS, QString *out = nullptr)
    {
        QProcess process;
        process.start(QStringLiteral(KELO_WINE), command);
        const bool ended = process.waitForFinished(timeoutS * 1000);
        const QString output = QString::fromLocal8Bit(process.readAll()).remove(u'\r');
        why = u"wine %1: status %2 %3\n%4"_s.arg(command.join(u' '))
                  .arg(process.exitCode())
                  .arg(ended ? u""_s : u"(still running)"_s, output);
        if (out)
            *out = output;
        return ended && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    }
    bool regAdd(const QString &key, const QString &name, const QString &value)
    {
        return wine({ u"reg"_s, u"add"_s, key, u"/v"_s, name, u"/t"_s, u"REG_SZ"_s, u"/d"_s,
                      value, u"/f"_s },
                    60);
    }
    // A string as it is, a number in decimal; empty when there is no such value.
    QString regValue(const QString &key, const QString &name)
    {
        QString out;
        if (!wine({ u"reg"_s, u"query"_s, key, u"/v"_s, name }, 60, &out))
            return {};
        const auto match = QRegularExpression(u"^\\s*%1\\s+(REG_\\w+)\\s+(.*?)\\s*$"_s.arg(
                                                  QRegularExpression::escape(name)),
                                              QRegularExpression::MultilineOption)
                               .match(out);
        if (match.captured(1) == u"REG_DWORD")
            return QString::number(match.captured(2).toUInt(nullptr, 16));
        return match.captured(2);
    }

    const QString prefix = qEnvironmentVariable("WINEPREFIX");
    const QString tools = prefix + u"/drive_c/Tools"_s; // C:\Tools, a folder of the user's
    QFile userFile { tools + u"/other.txt"_s };
    QString why, kelo, reported, user;
    QTemporaryDir home; // kelo.log, what kelo printed
    Display *display = nullptr;
    QProcess client;
    std::unique_ptr<KeloRunner> runner;
};

QTEST_GUILESS_MAIN(TestWindows)
#include "tst_windows.moc"
