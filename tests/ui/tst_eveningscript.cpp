// DRAW_WRITE_GOLDEN=<folder> writes the masked files into that folder instead of comparing them.
#include "UiTestSupport.h"

#include "Gb18030.h"
#include "PlanDraw.h"
#include "PlanWindow.h"
#include "StateKeeper.h"

#include <QInputMethodEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QSpinBox>
#include <QThreadPool>

namespace {

// Repeatable positions, for this test only: splitmix64 folded onto 0 .. n-1.
class SplitMixPositions final : public PositionSource
{
public:
    explicit SplitMixPositions(quint64 seed) : m_state(seed) {}
    qint32 pick(qint32 n) override
    {
        quint64 z = (m_state += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        z ^= z >> 31;
        return n > 1 ? qint32(z % quint64(n)) : 0;
    }

private:
    quint64 m_state;
};

// ---------------------------------------------------------------------------
// Where the script reaches into the program: the only calls to adapt when the
// windows or the evening's state change shape. The script below and the golden
// files stay as they are.
struct Program
{
    ProgramFixture f; // current folder, dialogs answered by the test
    StateKeeper keeper{*f.shell, EventState::Store(f.path(QStringLiteral("settings.json")),
                                                   f.path(QStringLiteral("list.json")),
                                                   f.path(QStringLiteral("prizes.json")))};
    Program()
    {
        keeper.restore();
        Pick *pick = f.shell->pick(); // the seeded sources: draws without and with a plan
        pick->engine()->setPositionSource(std::make_unique<SplitMixPositions>(0x5EED0001));
        pick->plan()->setPositionSource(std::make_unique<SplitMixPositions>(0x5EED0002));
    }
    // A pasted column, then names typed one at a time; the list handed over.
    void enterList(const QStringList &pasted, const QStringList &typed)
    {
        Edit *edit = f.shell->edit();
        edit->addPastedLines(pasted);
        for (const QString &name : typed) {
            edit->Text1->setText(name);
            click(edit->Command6);
        }
        click(edit->Command3);
    }
    void typeTitles(const QString &title, const QString &subtitle)
    {
        for (auto [box, text] :
             {std::pair{f.shell->setting()->Text1, title}, {f.shell->setting()->Text2, subtitle}}) {
            box->clear();
            QInputMethodEvent typing; // as an input method commits Chinese
            typing.setCommitString(text);
            QApplication::sendEvent(box, &typing);
        }
    }
    void confirmSettings() { click(f.shell->setting()->Command2); }
    void backToSettings() { click(f.shell->pick()->Label8); }
    void pressRoll() { f.shell->pick()->pressRollButton(); }
    void setWinnersLeave(bool on) { f.shell->pick()->popLeave->setChecked(on); }
    void answerNextQuestion(int button) { Dialogs::setNextChoice(button); }
    // The plan typed into the plan window, opened from the settings window's menu, and saved.
    bool makePlan(const QList<Prizes::Prize> &prizes)
    {
        f.shell->setting()->findChild<QAction *>(QStringLiteral("popPrizes"))->trigger();
        PlanWindow *window = nullptr;
        for (QWidget *w : QApplication::topLevelWidgets())
            if (w->objectName() == u"Plan" && w->isVisible())
                window = qobject_cast<PlanWindow *>(w);
        if (!window)
            return false;
        for (const Prizes::Prize &p : prizes)
            window->addPrize(p.name, p.count, p.perStop);
        window->Spin1->setValue(0); // the script stops each roll at once
        click(window->Command5);
        return !window->isVisible();
    }
    // Voids the winner whose item in the void menu starts with item, answering the question with button.
    bool voidWinner(const QString &item, int button)
    {
        QMenu menu;
        f.shell->pick()->plan()->fillVoidMenu(&menu);
        for (QAction *a : menu.actions())
            if (a->data().isValid() && a->text().startsWith(item)) {
                answerNextQuestion(button);
                f.shell->pick()->plan()->offerVoid(a->data().toInt());
                return true;
            }
        return false;
    }
    bool exportWinners(const QString &path)
    {
        QSignalSpy done(f.shell->pick()->plan(), &PlanDraw::exported);
        Dialogs::setNextSaveFileName(path);
        f.shell->pick()->plan()->popExport->trigger();
        return done.wait(10000) && done.at(0).at(1).toBool();
    }
    bool saveState() { return keeper.saveNow(); }
};
// ---------------------------------------------------------------------------

QString decoded(const QByteArray &bytes, bool gb18030)
{
    return gb18030 ? Gb18030::decode(bytes) : QString::fromUtf8(bytes);
}

// A file as compared: its times (the log's and the CSV's local "yyyy-MM-dd
// HH:mm:ss", or the date alone at midnight; the state's UTC ISO times) and
// the temporary folder masked.
QByteArray maskedFile(const QString &path, const QString &folder, bool gb18030)
{
    static const QRegularExpression time(
        QStringLiteral(R"(\d{4}-\d{2}-\d{2}(?:[ T]\d{2}:\d{2}:\d{2}(?:\.\d{3}Z)?)?)"));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return "<unreadable>";
    const QString text = decoded(file.readAll(), gb18030)
                             .replace(folder, QStringLiteral("<dir>"))
                             .replace(QDir::toNativeSeparators(folder), QStringLiteral("<dir>"))
                             .replace(time, QStringLiteral("<time>"));
    return gb18030 ? Gb18030::encode(text) : text.toUtf8();
}

// Empty when bytes equal the golden file's (or were written as it); else the first differing line.
QString againstGolden(const QString &name, const QByteArray &bytes, bool gb18030)
{
    const QString writeTo = qEnvironmentVariable("DRAW_WRITE_GOLDEN");
    QFile file(writeTo.isEmpty() ? QStringLiteral(":/golden/evening/") + name : QDir(writeTo).filePath(name));
    if (!writeTo.isEmpty())
        return QDir().mkpath(writeTo) && file.open(QIODevice::WriteOnly) &&
                       file.write(bytes) == bytes.size() && file.flush()
                   ? QString()
                   : name + QStringLiteral(": cannot write ") + file.fileName() + u'\n';
    if (!file.open(QIODevice::ReadOnly))
        return name + QStringLiteral(": no golden file\n");
    const QByteArray golden = file.readAll();
    if (golden == bytes)
        return QString();
    const QStringList want = decoded(golden, gb18030).remove(u'\r').split(u'\n');
    const QStringList got = decoded(bytes, gb18030).remove(u'\r').split(u'\n');
    qsizetype i = 0;
    while (i < want.size() && i < got.size() && want.at(i) == got.at(i))
        ++i;
    return QStringLiteral("%1 differs at line %2:\n- %3\n+ %4\n")
        .arg(name, QString::number(i + 1), want.value(i, QStringLiteral("<end>")),
             got.value(i, QStringLiteral("<end>")));
}

} // namespace

// A whole evening played through the windows with seeded draws; what it
// leaves on disk must match the files kept beside this test.
class TestEveningScript : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cleanupTestCase() { QThreadPool::globalInstance()->waitForDone(); }

    void wholeEvening()
    {
        Program p;
        const auto draw = [&p] {
            p.pressRoll(); // start and stop with no tick between
            p.pressRoll();
        };

        // The list: a pasted column with one name twice, then some typed.
        p.enterList(
            QStringLiteral(
                "张伟、王芳、李娜、刘洋、陈静、杨磊、赵敏、黄强、周杰、吴霞、徐涛、孙丽、Alice Martin、"
                "Bob Chen、Carol Wang、王芳、马超、朱琳、胡斌、郭婷、何勇、高洁、林峰、罗娟、郑凯")
                .split(u'、'),
            QStringLiteral("梁晨、谢芳芳、宋扬、David Li、韩雪").split(u'、'));
        p.typeTitles(QStringLiteral("星梭年会"), QStringLiteral("二〇二六 新春抽奖"));
        p.confirmSettings();

        // Draws without a plan, the last two with winners leaving the list.
        for (int i = 0; i < 5; ++i) {
            p.setWinnersLeave(i >= 3);
            draw();
        }

        // The plan: 三等奖 1–3, a void of the second (not in later prizes)
        // and its redraw, 4–5; 二等奖 announced and its first place drawn;
        // 三等奖's fourth voided (may win later) and redrawn; 二等奖's second;
        // 一等奖; 参与奖 until its pool runs short, closed short; then refused.
        p.backToSettings();
        QVERIFY(p.makePlan({{QStringLiteral("三等奖"), 5, 3},
                            {QStringLiteral("二等奖"), 2, 1},
                            {QStringLiteral("一等奖"), 1, 1},
                            {QStringLiteral("参与奖"), 20, 10}}));
        p.confirmSettings();
        draw();
        QVERIFY(p.voidWinner(QStringLiteral("三等奖 第 2 名："), 1));
        draw();
        draw();
        p.pressRoll();
        draw();
        QVERIFY(p.voidWinner(QStringLiteral("三等奖 第 4 名："), 0));
        draw();
        draw();
        p.pressRoll();
        draw();
        p.pressRoll();
        draw();
        draw();
        p.answerNextQuestion(0);
        p.pressRoll();
        p.pressRoll();
        QVERIFY(p.exportWinners(p.f.path(QStringLiteral("中奖名单.csv"))));
        QVERIFY(p.saveState());

        // What is on disk, masked, against the golden files.
        const QString folder = p.f.dir.path();
        QString differences;
        for (auto [file, golden] : {std::pair{QStringLiteral("Result.txt"), QStringLiteral("Result.txt")},
                                    {QStringLiteral("prizes.json"), QStringLiteral("prizes.json")},
                                    {QStringLiteral("中奖名单.csv"), QStringLiteral("winners.csv")}}) {
            const bool gb18030 = file == u"Result.txt"; // the others are UTF-8
            differences += againstGolden(golden, maskedFile(p.f.path(file), folder, gb18030), gb18030);
        }
        QVERIFY2(differences.isEmpty(), qPrintable(differences));
    }
};

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    TestEveningScript test;
    return leaveSuite(QTest::qExec(&test, argc, argv));
}

#include "tst_eveningscript.moc"
