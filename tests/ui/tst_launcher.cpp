#include "Launcher.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using Launcher::Command;

namespace {

const QString FileName = QStringLiteral("my list; rm -rf $HOME.txt");

// A fake environment: the variables given, and the programs given as if
// they were in /usr/bin.
Launcher::Environment fakeEnvironment(const QString &visual, const QString &editor, const QStringList &onPath)
{
    return {[=](const char *name) {
                if (qstrcmp(name, "VISUAL") == 0)
                    return visual;
                return qstrcmp(name, "EDITOR") == 0 ? editor : QString();
            },
            [=](const QString &program) {
                const QString name = program.section(u'/', -1);
                return onPath.contains(name) ? QStringLiteral("/usr/bin/") + name : QString();
            }};
}

QString bin(const QString &name)
{
    return QStringLiteral("/usr/bin/") + name;
}

} // namespace

// Which editor shows a file, and that the operator sees an editor or an error.
class TestLauncher : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void commands_data();
    void commands();
    void editorKinds_data();
    void editorKinds();
    void fakePrograms_data();
    void fakePrograms();
    void waitingForTheLauncherKeepsTheWindowResponsive();

private:
    // Writes an executable script into the fake PATH folder.
    void writeProgram(const QString &name, const QByteArray &body);

    QTemporaryDir m_dir;
};

void TestLauncher::commands_data()
{
    QTest::addColumn<QString>("visual");
    QTest::addColumn<QString>("editor");
    QTest::addColumn<QStringList>("onPath");
    QTest::addColumn<QList<Command>>("expected");
    QTest::newRow("nothing at all") << ""
                                    << "" << QStringList{} << QList<Command>{};
    QTest::newRow("desktop default, then a known editor")
        << ""
        << "" << QStringList{"xdg-open", "mousepad"}
        << QList<Command>{{bin("xdg-open"), {FileName}}, {bin("mousepad"), {FileName}}};
    QTest::newRow("graphical VISUAL with arguments before the known editors")
        << "code --wait"
        << "" << QStringList{"code", "gedit", "xdg-open"}
        << QList<Command>{{bin("xdg-open"), {FileName}},
                          {bin("code"), {"--wait", FileName}},
                          {bin("gedit"), {FileName}}};
    QTest::newRow("terminal VISUAL inside the terminal, last")
        << "vim"
        << "" << QStringList{"vim", "x-terminal-emulator", "xdg-open", "kate"}
        << QList<Command>{{bin("xdg-open"), {FileName}},
                          {bin("kate"), {FileName}},
                          {bin("x-terminal-emulator"), {"-e", bin("vim"), FileName}}};
    QTest::newRow("terminal VISUAL without a terminal: never started bare")
        << "vim"
        << "" << QStringList{"vim"} << QList<Command>{};
    QTest::newRow("emacs -nw is a terminal editor")
        << "emacs -nw"
        << "" << QStringList{"emacs", "xterm"}
        << QList<Command>{{bin("xterm"), {"-e", bin("emacs"), "-nw", FileName}}};
    QTest::newRow("a shell is never started")
        << "sh -c"
        << "bash" << QStringList{"sh", "bash", "x-terminal-emulator"} << QList<Command>{};
    QTest::newRow("EDITOR when VISUAL is unset")
        << ""
        << "nano" << QStringList{"nano", "x-terminal-emulator"}
        << QList<Command>{{bin("x-terminal-emulator"), {"-e", bin("nano"), FileName}}};
    QTest::newRow("VISUAL not on the PATH is skipped")
        << "nosuch"
        << "" << QStringList{"xdg-open"} << QList<Command>{{bin("xdg-open"), {FileName}}};
    QTest::newRow("the same editor once")
        << "gedit"
        << "" << QStringList{"gedit"} << QList<Command>{{bin("gedit"), {FileName}}};
}

void TestLauncher::commands()
{
    QFETCH(QString, visual);
    QFETCH(QString, editor);
    QFETCH(QStringList, onPath);
    QFETCH(QList<Command>, expected);
    const QList<Command> got = Launcher::editorCommands(FileName, fakeEnvironment(visual, editor, onPath));
    QStringList shown;
    for (const Command &c : got)
        shown << (QStringList{c.program} + c.arguments).join(u' ');
    QVERIFY2(got == expected, qPrintable(shown.join(QStringLiteral(" | "))));
}

void TestLauncher::editorKinds_data()
{
    using K = Launcher::EditorKind;
    QTest::addColumn<QStringList>("command");
    QTest::addColumn<K>("kind");
    QTest::newRow("vi") << QStringList{"vi"} << K::Terminal;
    QTest::newRow("nano by full path") << QStringList{"/usr/bin/nano"} << K::Terminal;
    QTest::newRow("an editor nobody knows") << QStringList{"myeditor"} << K::Terminal;
    QTest::newRow("gvim") << QStringList{"gvim", "-f"} << K::Graphical;
    QTest::newRow("vim -g") << QStringList{"vim", "-g"} << K::Graphical;
    QTest::newRow("emacs") << QStringList{"emacs"} << K::Graphical;
    QTest::newRow("emacs -nw") << QStringList{"emacs", "-nw"} << K::Terminal;
    QTest::newRow("emacsclient -c") << QStringList{"emacsclient", "-c"} << K::Graphical;
    QTest::newRow("emacsclient -t") << QStringList{"emacsclient", "-t"} << K::Terminal;
    QTest::newRow("dash") << QStringList{"/bin/dash"} << K::Shell;
}

void TestLauncher::editorKinds()
{
    QFETCH(QStringList, command);
    QFETCH(Launcher::EditorKind, kind);
    QCOMPARE(Launcher::editorKind(command), kind);
}

void TestLauncher::writeProgram(const QString &name, const QByteArray &body)
{
    QFile f(m_dir.filePath(QStringLiteral("bin/") + name));
    QVERIFY(f.open(QIODevice::WriteOnly));
    const QByteArray script = "#!/bin/sh\n" + body + '\n';
    QCOMPARE(f.write(script), script.size());
    f.close();
    QVERIFY(f.setPermissions(f.permissions() | QFileDevice::ExeOwner));
}

// Real processes: fake programs on a PATH of their own write what they
// were given into ran.txt and exit with the status a real one would.
void TestLauncher::fakePrograms_data()
{
    QTest::addColumn<QStringList>("programs"); // name=exit status
    QTest::addColumn<QString>("visual");
    QTest::addColumn<QStringList>("ran");
    QTest::addColumn<QString>("message"); // a part of the error shown, or empty for none
    QTest::newRow("xdg-open shows it")
        << QStringList{"xdg-open=0", "mousepad=0"} << "" << QStringList{"xdg-open FILE"} << "";
    QTest::newRow("failing xdg-open, then a known editor")
        << QStringList{"xdg-open=4", "mousepad=0"} << "" << QStringList{"xdg-open FILE", "mousepad FILE"}
        << "";
    QTest::newRow("failing xdg-open, terminal-only VISUAL")
        << QStringList{"xdg-open=3", "vim=0", "x-terminal-emulator=0"} << "vim"
        << QStringList{"xdg-open FILE", "x-terminal-emulator -e BIN/vim FILE"} << "";
    QTest::newRow("terminal-only VISUAL and no terminal")
        << QStringList{"vim=0"} << "vim" << QStringList{} << "没有找到可用的文本编辑器";
    QTest::newRow("none at all") << QStringList{} << "" << QStringList{} << "没有找到可用的文本编辑器";
    QTest::newRow("everything fails")
        << QStringList{"xdg-open=4", "gedit=1"} << "" << QStringList{"xdg-open FILE", "gedit FILE"}
        << "试过的程序都没能打开它（xdg-open、gedit）";
    QTest::newRow("an editor still running has shown the file")
        << QStringList{"xdg-open=4", "gedit=running"} << "" << QStringList{"xdg-open FILE", "gedit FILE"}
        << "";
}

void TestLauncher::fakePrograms()
{
    QFETCH(QStringList, programs);
    QFETCH(QString, visual);
    QFETCH(QStringList, ran);
    QFETCH(QString, message);
    QVERIFY(m_dir.isValid());
    QDir(m_dir.path()).removeRecursively();
    QVERIFY(QDir().mkpath(m_dir.filePath(QStringLiteral("bin"))));
    const QString log = m_dir.filePath(QStringLiteral("ran.txt"));
    for (const QString &p : programs) {
        const QString name = p.section(u'=', 0, 0);
        const QString status = p.section(u'=', 1);
        const QByteArray record = "echo \"$(basename \"$0\") $*\" >> '" + QFile::encodeName(log) + "'";
        // A running one stays up past the moment it counts as shown, then
        // fails while the test still listens: a message then would be wrong.
        writeProgram(name, record + (status == u"running" ? QByteArray("\nsleep 2; exit 1")
                                                          : QByteArray("\nexit " + status.toLatin1())));
    }
    const QString file = m_dir.filePath(QStringLiteral("名单 1.txt"));
    Launcher::setEnvironment(
        {[&](const char *name) { return qstrcmp(name, "VISUAL") == 0 ? visual : QString(); },
         [&](const QString &program) {
             return QStandardPaths::findExecutable(program, {m_dir.filePath(QStringLiteral("bin"))});
         }});
    Launcher::setShownAfter(std::chrono::milliseconds(1000));
    QStringList want;
    for (QString line : ran)
        want << line.replace(QStringLiteral("FILE"), file)
                    .replace(QStringLiteral("BIN"), m_dir.filePath(QStringLiteral("bin")));
    auto ranSoFar = [&log] {
        QFile f(log);
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()).split(u'\n', Qt::SkipEmptyParts)
                                           : QStringList();
    };

    QObject context;
    QStringList messages;
    Launcher::OpenInTextEditor(file, &context, [&](const QString &text) { messages << text; });
    QTRY_VERIFY_WITH_TIMEOUT(!messages.isEmpty() || ranSoFar().size() >= want.size(), 10000);
    // Then listen on: nothing more may start and no message may follow,
    // also when a program that counted as shown fails later.
    const bool running = programs.join(u' ').contains(QStringLiteral("=running"));
    QTest::qWait(running ? 3000 : 500);
    const QStringList got = ranSoFar();
    QCOMPARE(got, want);
    if (message.isEmpty()) {
        QCOMPARE(messages, QStringList());
    } else {
        QCOMPARE(messages.size(), 1);
        QVERIFY2(messages.first().contains(message), qPrintable(messages.first()));
        QVERIFY(messages.first().startsWith(QStringLiteral("无法用文本编辑器打开 名单 1.txt：")));
        QVERIFY(messages.first().endsWith(QStringLiteral("文件所在的文件夹：") + m_dir.path()));
    }
    Launcher::setEnvironment({});
    Launcher::setShownAfter(std::chrono::milliseconds(3000));
}

// A launcher that takes a second to fail does not hold up the event loop:
// the longest gap between 10 ms timer ticks stays short.
void TestLauncher::waitingForTheLauncherKeepsTheWindowResponsive()
{
    QDir(m_dir.path()).removeRecursively();
    QVERIFY(QDir().mkpath(m_dir.filePath(QStringLiteral("bin"))));
    writeProgram(QStringLiteral("xdg-open"), "sleep 1; exit 4");
    Launcher::setEnvironment({[](const char *) { return QString(); },
                              [&](const QString &program) {
                                  return QStandardPaths::findExecutable(
                                      program, {m_dir.filePath(QStringLiteral("bin"))});
                              }});
    QObject context;
    QStringList messages;
    QElapsedTimer clock;
    qint64 last = 0, worst = 0;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const qint64 now = clock.elapsed();
        worst = qMax(worst, now - last);
        last = now;
    });
    clock.start();
    tick.start(10);
    Launcher::OpenInTextEditor(QStringLiteral("Result.txt"), &context,
                               [&](const QString &m) { messages << m; });
    QTRY_COMPARE_WITH_TIMEOUT(messages.size(), 1, 5000);
    tick.stop();
    QVERIFY2(clock.elapsed() >= 900, "the launcher's exit status was not awaited");
    QVERIFY2(worst < 250, qPrintable(QStringLiteral("longest event-loop gap %1 ms").arg(worst)));
    qInfo("longest event-loop gap while xdg-open ran: %lld ms", worst);
    QVERIFY(messages.first().contains(QStringLiteral("xdg-open")));
    QVERIFY(messages.first().endsWith(QDir::currentPath()));
    Launcher::setEnvironment({});
}

QTEST_MAIN(TestLauncher)
#include "tst_launcher.moc"
