#include "ScreenChoice.h"

#include <QTest>

using ScreenChoice::Screen;

// Which screen the hall watches, with and without a remembered choice, as
// screens come and go.
class TestScreenChoice : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void choose_data()
    {
        const Screen laptop{QStringLiteral("LAPTOP"), {0, 0, 1366, 768}, true};
        const Screen projector{QStringLiteral("PROJ"), {1366, 0, 1920, 1080}, false};
        const Screen tv{QStringLiteral("TV"), {3286, 0, 1280, 720}, false};
        const Screen mirror{QStringLiteral("MIRROR"), {0, 0, 1366, 768}, false};
        QTest::addColumn<QList<Screen>>("screens");
        QTest::addColumn<QString>("remembered");
        QTest::addColumn<int>("audience");
        QTest::addColumn<int>("console");
        QTest::newRow("none") << QList<Screen>{} << QString() << -1 << -1;
        QTest::newRow("one screen") << QList<Screen>{laptop} << QStringLiteral("PROJ") << 0 << -1;
        QTest::newRow("not chosen: the other screen")
            << QList<Screen>{laptop, projector} << QString() << 1 << 0;
        QTest::newRow("not chosen: the largest other")
            << QList<Screen>{tv, laptop, projector} << QString() << 2 << 1;
        QTest::newRow("chosen") << QList<Screen>{laptop, projector, tv} << QStringLiteral("TV") << 2 << 0;
        QTest::newRow("chosen: the primary one")
            << QList<Screen>{laptop, projector} << QStringLiteral("LAPTOP") << 0 << 1;
        QTest::newRow("chosen screen unplugged")
            << QList<Screen>{laptop, projector} << QStringLiteral("TV") << 1 << 0;
        QTest::newRow("a mirror is no screen of its own")
            << QList<Screen>{laptop, mirror} << QString() << 1 << -1;
        QTest::newRow("no primary named") << QList<Screen>{{QStringLiteral("A"), {0, 0, 800, 600}, false},
                                                           {QStringLiteral("B"), {800, 0, 800, 600}, false}}
                                          << QString() << 0 << 1;
    }
    void choose()
    {
        QFETCH(QList<Screen>, screens);
        QFETCH(QString, remembered);
        QFETCH(int, audience);
        QFETCH(int, console);
        const ScreenChoice::Choice c = ScreenChoice::choose(screens, remembered);
        QCOMPARE(c.audience, audience);
        QCOMPARE(c.console, console);
    }
};

QTEST_GUILESS_MAIN(TestScreenChoice)
#include "tst_screenchoice.moc"
