#include "PlanDraw.h"
#include "StateKeeper.h"
#include "UiTestSupport.h"

#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QThreadPool>

#include <cstdio>

// The event kept across a restart, through the real windows. The user's
// config and data folders are pointed at a temporary folder for the run.
class TestStateKeeper : public QObject
{
    Q_OBJECT

    QTemporaryDir m_home;
    QString m_stateRoot;

    static EventState::Store store() { return StateKeeper::userStore(); }
    static void restart(ProgramFixture &f)
    {
        f.shell = std::make_unique<WindowShell>();
        f.shell->setEndProgramHandler([&f] { ++f.endCalls; });
        f.shell->setting();
    }
    static void writeRaw(const QString &path, const QByteArray &bytes)
    {
        QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QCOMPARE(file.write(bytes), bytes.size());
    }
    static QByteArray readAll(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
    }
    static QStringList besides(const QString &path, const QString &why)
    {
        const QFileInfo info(path);
        return QDir(info.absolutePath())
            .entryList({info.fileName() + QLatin1Char('.') + why + QStringLiteral("-*")},
                       QDir::AllEntries | QDir::System);
    }
    // The default values, as a first start shows them.
    static void verifyDefaultValues(ProgramFixture &f)
    {
        Setting *s = f.shell->setting();
        QCOMPARE(s->Text1->text(), Setting::InitialTitle);
        QCOMPARE(s->Text2->text(), QStringLiteral("星梭的，世界的"));
        QCOMPARE(s->Text4->text(), QString());
        QVERIFY(s->Option1->isChecked());
        QCOMPARE(s->Label8->text(), QString());
        QCOMPARE(s->Label10->text(), QString());
        const Module1 &m = f.shell->module1();
        QCOMPARE(m.CandidateCount, 0);
        QCOMPARE(m.NoRepeatDraw, qint16(0));
        QVERIFY(!m.WinnersLeave);
        QVERIFY(!m.LineFontFace[0] && !m.LineFontFace[1] && !m.LineFontColor[0] && !m.LineFontColor[1]);
        QVERIFY(!f.shell->loadedEdit() || f.shell->loadedEdit()->List1Model()->ListCount() == 0);
    }
    // An event under way: every kept value changed from its default.
    static void setUpAnEvent(ProgramFixture &f)
    {
        Setting *s = f.shell->setting();
        s->Text1->setText(QStringLiteral("年终抽奖"));
        s->Text2->setText(QStringLiteral("一等奖"));
        s->Text4->setText(QStringLiteral("/pictures/hall.jpg"));
        click(s->Option2);
        Dialogs::setNextFont(Dialogs::FontAnswer{QStringLiteral("文泉驿微米黑"), 0x00C000});
        click(s->Command7[1]);
        f.shell->pick()->popLeave->setChecked(true);
        Edit *edit = f.shell->edit();
        edit->importListFile(f.writeFile(QStringLiteral("名单.txt"), "Alice\r\nBob\r\nCarol\r\n"));
        edit->addPastedLines({QStringLiteral("王五"), QStringLiteral(" 赵六")});
    }
    static void verifyTheEvent(ProgramFixture &f, const QStringList &entries)
    {
        Setting *s = f.shell->setting();
        QCOMPARE(s->Text1->text(), QStringLiteral("年终抽奖"));
        QCOMPARE(s->Text2->text(), QStringLiteral("一等奖"));
        QCOMPARE(s->Text4->text(), QStringLiteral("/pictures/hall.jpg"));
        QVERIFY(s->Option2->isChecked());
        const Module1 &m = f.shell->module1();
        QCOMPARE(m.NoRepeatDraw, qint16(1));
        QVERIFY(m.WinnersLeave);
        QVERIFY(!m.LineFontFace[0] && !m.LineFontColor[0]);
        QCOMPARE(m.LineFontFace[1], std::optional<QString>(QStringLiteral("文泉驿微米黑")));
        QCOMPARE(m.LineFontColor[1], std::optional<quint32>(0x00C000));
        QVERIFY(f.shell->pick()->popLeave->isChecked());
        Edit *edit = f.shell->loadedEdit();
        QVERIFY(edit);
        QVERIFY(!edit->isVisible());
        QCOMPARE(edit->List1Model()->entries(), entries);
        QCOMPARE(m.CandidateCount, entries.size());
        QCOMPARE(edit->Label3->text(), QStringLiteral("%1个数据").arg(entries.size()));
        QCOMPARE(edit->Label1->text(), QStringLiteral("名单.txt"));
        QCOMPARE(edit->ListFilePath(), f.path(QStringLiteral("名单.txt")));
        QVERIFY(edit->Command2->isEnabled() && edit->Command5->isEnabled());
        QCOMPARE(s->Label8->text(), QStringLiteral("共       个候选数据"));
        QCOMPARE(s->Label10->text(), QString::number(entries.size()));
    }

private Q_SLOTS:
    // The writers' pool threads end before the process does: a thread
    // still ending while exit() runs the static destructors can hang the
    // Windows runtime.
    void cleanupTestCase() { QThreadPool::globalInstance()->waitForDone(); }
    void initTestCase()
    {
        QVERIFY(m_home.isValid());
        m_stateRoot = pointStateAt(m_home.path());
        QVERIFY(store().settingsPath().startsWith(m_stateRoot));
        QVERIFY(store().listPath().startsWith(m_stateRoot));
#ifdef Q_OS_WIN
        // The user's AppData, as Windows names it.
        const QString appData = QDir::fromNativeSeparators(qEnvironmentVariable("LOCALAPPDATA"));
        QVERIFY2(!appData.isEmpty() && store().settingsPath().startsWith(appData, Qt::CaseInsensitive),
                 qPrintable(store().settingsPath()));
#endif
    }
    void init()
    {
        QDir(QFileInfo(store().settingsPath()).absolutePath()).removeRecursively();
        QDir(QFileInfo(store().listPath()).absolutePath()).removeRecursively();
    }

    void firstStartIsTheDefaults()
    {
        ProgramFixture f;
        StateKeeper keeper(*f.shell, store());
        keeper.restore();
        verifyDefaultValues(f);
        QVERIFY(!f.shell->loadedEdit());
        QVERIFY(Dialogs::shownMessages().isEmpty());
        QVERIFY(keeper.saveNow());
        QVERIFY(!QFileInfo::exists(store().settingsPath())); // nothing changed, nothing written
        QVERIFY(!QFileInfo::exists(store().listPath()));
    }

    // A restored picture shows in the preview; one that has gone since is
    // left to "确 定" to report, with no box at start.
    void restoredPictureIsPreviewed()
    {
        ProgramFixture f;
        const QString picture = f.path(QStringLiteral("hall.bmp"));
        QImage image(64, 48, QImage::Format_RGB32);
        image.fill(Qt::darkRed);
        QVERIFY(image.save(picture, "BMP"));
        {
            StateKeeper keeper(*f.shell, store());
            keeper.restore();
            f.shell->setting()->Text4->setText(picture);
            QVERIFY(keeper.saveNow());
        }
        restart(f);
        {
            StateKeeper keeper(*f.shell, store());
            keeper.restore();
            const QPixmap shown = f.shell->setting()->Image1->pixmap();
            QCOMPARE(shown.size(), QSize(64, 48));
        }
        QVERIFY(QFile::remove(picture));
        restart(f);
        StateKeeper keeper(*f.shell, store());
        keeper.restore();
        QCOMPARE(f.shell->setting()->Text4->text(), picture);
        QVERIFY(f.shell->setting()->Image1->pixmap().isNull());
        QVERIFY(Dialogs::shownMessages().isEmpty());
    }

    // Every change reaches the files by itself; a restart puts it all back.
    void changesAreKeptAndRestored()
    {
        ProgramFixture f;
        {
            StateKeeper keeper(*f.shell, store());
            keeper.restore();
            setUpAnEvent(f);
            QTRY_VERIFY(QFileInfo::exists(store().settingsPath()) && QFileInfo::exists(store().listPath()));
            QTRY_COMPARE(EventState::Store(store()).load().list->entries.size(), 5);
            QTRY_VERIFY(EventState::Store(store()).load().settings->title == QStringLiteral("年终抽奖"));
        }
        restart(f);
        StateKeeper keeper(*f.shell, store());
        keeper.restore();
        verifyTheEvent(f, {"Alice", "Bob", "Carol", "王五", " 赵六"});
        QVERIFY(Dialogs::shownMessages().isEmpty());
    }

    // The list the draw leaves behind is what a restart brings back: the
    // winner stays out, and a new round keeps going from there.
    void winnersStayOutAfterARestart()
    {
        ProgramFixture f;
        {
            StateKeeper keeper(*f.shell, store());
            keeper.restore();
            setUpAnEvent(f);
            click(f.shell->setting()->Command2);
            f.scriptPositions({1});
            click(f.shell->pick()->Label4);
            click(f.shell->pick()->Label4);
            QCOMPARE(f.results(), QStringList{"Bob"});
            QTRY_COMPARE(EventState::Store(store()).load().list->entries.size(), 4);
        }
        restart(f);
        StateKeeper keeper(*f.shell, store());
        keeper.restore();
        verifyTheEvent(f, {"Alice", "Carol", "王五", " 赵六"});
    }

    // Closing the data editing window drops the list for this run; the
    // saved list is set aside as "list.json.closed-<time>", not emptied.
    void closingTheListWindowSetsTheListAside()
    {
        ProgramFixture f;
        StateKeeper keeper(*f.shell, store());
        keeper.restore();
        setUpAnEvent(f);
        QTRY_COMPARE(EventState::Store(store()).load().list->entries.size(), 5);
        const QByteArray saved = readAll(store().listPath());
        f.shell->edit()->close();
        QTRY_VERIFY(!QFileInfo::exists(store().listPath()));
        const QStringList aside = besides(store().listPath(), QStringLiteral("closed"));
        QCOMPARE(aside.size(), 1);
        QCOMPARE(readAll(QFileInfo(store().listPath()).absolutePath() + QLatin1Char('/') + aside.first()),
                 saved);
        QTest::qWait(50);
        QVERIFY(!QFileInfo::exists(store().listPath())); // nothing written over it afterwards
        QVERIFY(Dialogs::shownMessages().isEmpty());
    }

    // The font dialogs open with the restored face and colour, and "取消"
    // keeps them.
    void fontDialogsOpenWithTheRestoredChoice()
    {
        EventState::Settings saved;
        saved.lineFontFace[0] = QStringLiteral("文泉驿微米黑");
        saved.lineFontColor[0] = 0x123456;
        QString error;
        QVERIFY(store().saveSettings(saved, &error));
        ProgramFixture f;
        StateKeeper keeper(*f.shell, store());
        keeper.restore();
        Setting *s = f.shell->setting();
        QCOMPARE(s->CommonDialog1[0].FontName, QStringLiteral("文泉驿微米黑"));
        QCOMPARE(s->CommonDialog1[0].Color, quint32(0x123456));
        click(s->Command7[0]); // no answer queued: cancelled
        const Module1 &m = f.shell->module1();
        QCOMPARE(m.LineFontFace[0], std::optional<QString>(QStringLiteral("文泉驿微米黑")));
        QCOMPARE(m.LineFontColor[0], std::optional<quint32>(0x123456));
    }

    // Every failure that follows a save that worked is reported, naming the
    // folder and the cause; failures in a row are reported once.
    void eachNewSaveFailureIsReported()
    {
        ProgramFixture f;
        StateKeeper keeper(*f.shell, store());
        keeper.restore();
        const QString folder = QFileInfo(store().listPath()).absolutePath();
        auto block = [&] {
            QDir(folder).removeRecursively();
            writeRaw(folder, "a file where the folder should be");
        };
        auto unblock = [&] { QVERIFY(QFile::remove(folder)); };
        Edit *edit = f.shell->edit();
        block();
        edit->addPastedLines({QStringLiteral("甲"), QStringLiteral("乙")});
        QVERIFY(!keeper.saveNow());
        edit->addPastedLines({QStringLiteral("丙"), QStringLiteral("丁")});
        QVERIFY(!keeper.saveNow());
        QCOMPARE(Dialogs::shownMessages().size(), 1);
        unblock();
        edit->addPastedLines({QStringLiteral("戊"), QStringLiteral("己")});
        QVERIFY(keeper.saveNow());
        block();
        edit->addPastedLines({QStringLiteral("庚"), QStringLiteral("辛")});
        QVERIFY(!keeper.saveNow());
        QCOMPARE(Dialogs::shownMessages().size(), 2);
        for (const Dialogs::ShownMessage &m : Dialogs::shownMessages()) {
            QVERIFY2(m.text.contains(QDir::toNativeSeparators(folder)), qPrintable(m.text));
            QVERIFY2(m.text.contains(QStringLiteral("无法创建文件夹")), qPrintable(m.text));
        }
        unblock();
    }

    // A stop whose evening cannot be saved does not happen: nothing shows
    // as won, nothing reaches the log, and every such stop says which
    // folder to free. Once there is room the stop goes as usual.
    void stopThatCannotBeSavedDoesNotHappen()
    {
        ProgramFixture f;
        StateKeeper keeper(*f.shell, store());
        keeper.restore();
        f.fillList({QStringLiteral("甲"), QStringLiteral("乙"), QStringLiteral("丙"), QStringLiteral("丁")});
        QString why;
        QVERIFY(f.shell->controller().setPlan({{QStringLiteral("三等奖"), 3, 1}}, true, &why));
        f.shell->controller().setMinRollSeconds(0); // each stop at once
        Pick *pick = f.shell->pick();
        click(f.shell->setting()->Command2);
        QVERIFY(keeper.saveNow());
        const QString folder = QFileInfo(store().prizesPath()).absolutePath();
        QDir(folder).removeRecursively();
        writeRaw(folder, "a file where the folder should be");
        const Prizes::Evening before = f.shell->evening();
        for (int stop = 1; stop <= 2; ++stop) {
            click(pick->Label4);
            click(pick->Label4);
            QCOMPARE(f.shell->evening(), before);
            QVERIFY(pick->plan()->cellAwards().isEmpty());
            QVERIFY(!QFile::exists(f.path(QStringLiteral("Result.txt"))));
            QCOMPARE(Dialogs::shownMessages().size(), stop);
            const QString text = Dialogs::shownMessages().last().text;
            QVERIFY2(text.startsWith(QStringLiteral("这次抽取没有进行")) &&
                         text.contains(QDir::toNativeSeparators(folder)),
                     qPrintable(text));
        }
        QVERIFY(QFile::remove(folder));
        click(pick->Label4);
        click(pick->Label4);
        QCOMPARE(f.shell->evening().awards.size(), 1);
        QCOMPARE(pick->plan()->cellAwards().size(), 1);
        QVERIFY(QFile::exists(f.path(QStringLiteral("Result.txt"))));
        QCOMPARE(Dialogs::shownMessages().size(), 2);
    }

    // A saved state that cannot be used: the default values, one message,
    // the file kept aside; the next start is quiet.
    void unusableStateStartsWithTheDefaults_data()
    {
        QTest::addColumn<bool>("settingsFile");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("why");
        EventState::Settings s;
        s.title = QStringLiteral("x");
        const QByteArray settings = EventState::encodeSettings(s);
        EventState::WorkingList over;
        for (int i = 0; i <= CandidateList::MaxEntries; ++i)
            over.entries << QString::number(i);
        EventState::WorkingList l;
        l.entries << QStringLiteral("甲");
        const QByteArray list = EventState::encodeList(l);
        for (bool settingsFile : {true, false}) {
            const char *which = settingsFile ? "settings" : "list";
            const QByteArray &good = settingsFile ? settings : list;
            QTest::addRow("%s truncated", which)
                << settingsFile << good.left(30) << QStringLiteral("文件已损坏");
            QTest::addRow("%s binary garbage", which)
                << settingsFile << QByteArray("\x7f\x45LF\x02\x01\x01\x00\xff", 9)
                << QStringLiteral("文件已损坏");
            QTest::addRow("%s empty", which) << settingsFile << QByteArray() << QStringLiteral("文件是空的");
            QTest::addRow("%s from a future version", which)
                << settingsFile << QByteArray(good).replace("\"version\": 1", "\"version\": 3")
                << QStringLiteral("文件来自更新版本的程序");
            QTest::addRow("%s a folder", which) << settingsFile << QByteArray("<folder>") << QString();
        }
        QTest::addRow("list over the limit")
            << false << EventState::encodeList(over) << QStringLiteral("列表超过 32767 个数据");
    }
    void unusableStateStartsWithTheDefaults()
    {
        QFETCH(bool, settingsFile);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, why);
        const QString path = settingsFile ? store().settingsPath() : store().listPath();
        if (bytes == "<folder>")
            QVERIFY(QDir().mkpath(path));
        else
            writeRaw(path, bytes);
        ProgramFixture f;
        auto keeper = std::make_unique<StateKeeper>(*f.shell, store());
        keeper->restore();
        verifyDefaultValues(f);
        QCOMPARE(Dialogs::shownMessages().size(), 1);
        QCOMPARE(Dialogs::shownMessages().first().title, QStringLiteral("错误提示"));
        QCOMPARE(Dialogs::shownMessages().first().icon, QMessageBox::Warning);
        QVERIFY2(f.lastMessage().contains(why), qPrintable(f.lastMessage()));
        QVERIFY(f.lastMessage().contains(QStringLiteral("默认设置")));
        const QStringList aside = besides(path, QStringLiteral("damaged"));
        QCOMPARE(aside.size(), 1);
        const QString kept = QFileInfo(path).absolutePath() + QLatin1Char('/') + aside.constFirst();
        if (bytes == "<folder>")
            QVERIFY(QFileInfo(kept).isDir());
        else
            QCOMPARE(readAll(kept), bytes);

        // The event goes on and is kept; the damaged copy is never touched.
        f.shell->setting()->Text1->setText(QStringLiteral("新的"));
        QVERIFY(keeper->saveNow());
        keeper.reset();
        restart(f);
        Dialogs::resetTestState();
        StateKeeper again(*f.shell, store());
        again.restore();
        QVERIFY(Dialogs::shownMessages().isEmpty());
        QCOMPARE(f.shell->setting()->Text1->text(), QStringLiteral("新的"));
        QCOMPARE(besides(path, QStringLiteral("damaged")), aside);
    }

    void bothDamagedGiveOneMessage()
    {
        writeRaw(store().settingsPath(), "{");
        writeRaw(store().listPath(), QByteArray(1, 0));
        ProgramFixture f;
        StateKeeper keeper(*f.shell, store());
        keeper.restore();
        verifyDefaultValues(f);
        QCOMPARE(Dialogs::shownMessages().size(), 1);
        QVERIFY(f.lastMessage().contains(QStringLiteral("设置")) &&
                f.lastMessage().contains(QStringLiteral("待选列表")));
    }

    // --fresh: the default values; the saved files are set aside, not deleted.
    void freshStartSetsTheStateAside()
    {
        ProgramFixture f;
        {
            StateKeeper keeper(*f.shell, store());
            keeper.restore();
            setUpAnEvent(f);
            QVERIFY(keeper.saveNow());
        }
        const QByteArray settings = readAll(store().settingsPath());
        const QByteArray list = readAll(store().listPath());
        restart(f);
        StateKeeper keeper(*f.shell, store());
        keeper.startFresh();
        verifyDefaultValues(f);
        QVERIFY(Dialogs::shownMessages().isEmpty());
        const QStringList keptSettings = besides(store().settingsPath(), QStringLiteral("earlier"));
        const QStringList keptList = besides(store().listPath(), QStringLiteral("earlier"));
        QCOMPARE(keptSettings.size(), 1);
        QCOMPARE(keptList.size(), 1);
        QCOMPARE(readAll(QFileInfo(store().settingsPath()).absolutePath() + QLatin1Char('/') +
                         keptSettings.constFirst()),
                 settings);
        QCOMPARE(
            readAll(QFileInfo(store().listPath()).absolutePath() + QLatin1Char('/') + keptList.constFirst()),
            list);
        // The new event is kept from the start.
        f.shell->setting()->Text1->setText(QStringLiteral("另一场"));
        QTRY_VERIFY(QFileInfo::exists(store().settingsPath()));
        QCOMPARE(EventState::Store(store()).load().settings->title, QStringLiteral("另一场"));
    }

    // Saved, then killed with SIGKILL at once: the next start has it all.
    void killedRightAfterASaveLosesNothing()
    {
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("STATEKEEPER_CHILD"), m_home.path());
        child.setProcessEnvironment(env);
        child.start(QCoreApplication::applicationFilePath(), {});
        QVERIFY(child.waitForStarted());
        QByteArray out;
        while (!out.contains("saved") && child.waitForReadyRead(20000))
            out += child.readAllStandardOutput();
        QVERIFY2(out.contains("saved"), out.constData());
        QCOMPARE(child.state(), QProcess::Running);
        child.kill(); // SIGKILL: no clean-up of any kind
        QVERIFY(child.waitForFinished());
        QCOMPARE(child.exitStatus(), QProcess::CrashExit);

        ProgramFixture f;
        StateKeeper keeper(*f.shell, store());
        keeper.restore();
        QVERIFY(Dialogs::shownMessages().isEmpty());
        QCOMPARE(f.shell->setting()->Text1->text(), QStringLiteral("被终止的一场"));
        QVERIFY(f.shell->module1().WinnersLeave);
        QCOMPARE(f.shell->loadedEdit()->List1Model()->entries(), (QStringList{"甲", "丙"}));
        QCOMPARE(f.shell->setting()->Label10->text(), QStringLiteral("2"));
    }
};

// The child of the kill test: a program that keeps an event, draws one
// winner out of the pool, says so and waits to be killed.
static int childMain(int argc, char *argv[])
{
    QApplication app(argc, argv);
    // Result.txt goes to the parent's temporary folder, which outlives the kill.
    QDir::setCurrent(qEnvironmentVariable("STATEKEEPER_CHILD"));
#ifdef Q_OS_WIN
    QStandardPaths::setTestModeEnabled(
        true); // where the parent looks; elsewhere its XDG variables are inherited
#endif
    WindowShell shell;
    StateKeeper keeper(shell, StateKeeper::userStore());
    keeper.restore();
    shell.setting()->Text1->setText(QStringLiteral("被终止的一场"));
    shell.edit()->addPastedLines({QStringLiteral("甲"), QStringLiteral("乙"), QStringLiteral("丙")});
    Pick *pick = shell.pick();
    pick->popLeave->setChecked(true);
    click(shell.setting()->Command2);
    pick->engine()->setPositionSource(std::make_unique<ScriptedPositions>(QList<qint32>{1}));
    click(pick->Label4);
    click(pick->Label4);
    // The state is written by the keeper's own timer, as in the program.
    QTimer::singleShot(StateKeeper::TypingPauseMs * 2, &app, [] {
        std::fputs("saved\n", stdout);
        std::fflush(stdout);
    });
    return app.exec();
}

int main(int argc, char *argv[])
{
    if (!qEnvironmentVariableIsEmpty("STATEKEEPER_CHILD"))
        return childMain(argc, argv);
    QApplication app(argc, argv);
    TestStateKeeper test;
    return leaveSuite(QTest::qExec(&test, argc, argv));
}

#include "tst_statekeeper.moc"
