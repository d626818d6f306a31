#include "About.h"
#include "SoundWindow.h"
#include "UiTestSupport.h"
#include "WaveFile.h"

#include <QImage>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>

class TestSetting : public QObject
{
    Q_OBJECT

    static QImage picture(QColor color)
    {
        QImage image(80, 60, QImage::Format_RGB32);
        image.fill(color);
        return image;
    }

private Q_SLOTS:
    void startsAsDesigned()
    {
        ProgramFixture f;
        f.shell->controller().setCandidateCount(9);
        f.shell.reset(new WindowShell);
        f.shell->controller().setCandidateCount(9);
        Setting *s = f.shell->setting(); // the load step
        QCOMPARE(f.shell->module1().CandidateCount, 0);
        QCOMPARE(s->windowTitle(), QStringLiteral("星梭抽奖 - 设置"));
        QCOMPARE(s->size(), QSize(306, 401));
        QVERIFY(s->Text1->text().endsWith(QStringLiteral("-星梭抽奖")));
        QCOMPARE(s->Text2->text(), QStringLiteral("星梭的，世界的"));
        QVERIFY(s->Text4->isReadOnly());
        QVERIFY(s->Option1->isChecked());
        QCOMPARE(s->Label8->text(), QString());
        QCOMPARE(s->Label10->text(), QString());
        QVERIFY(!s->Command2->isDefault());
        QVERIFY(s->windowFlags() & Qt::WindowMinimizeButtonHint);
        QVERIFY(!(s->windowFlags() & Qt::WindowMaximizeButtonHint));
        s->show();
        QVERIFY(QTest::qWaitForWindowActive(s));
        QCOMPARE(QApplication::focusWidget(), s->Text1);
        QCOMPARE(s->Text1->nextInFocusChain(), s->Text2);
        QVERIFY(!f.shell->loadedPick());
    }

    void okOnAnEmptyList()
    {
        ProgramFixture f;
        Setting *s = f.shell->setting();
        s->show();
        click(s->Command2);
        QCOMPARE(Dialogs::shownMessages().size(), 1);
        const Dialogs::ShownMessage m = Dialogs::shownMessages().first();
        QCOMPARE(m.text, QStringLiteral("请添加列表后继续"));
        QCOMPARE(m.title, QStringLiteral("错误提示"));
        QCOMPARE(m.icon, QMessageBox::Warning);
        QVERIFY(f.shell->loadedEdit() && f.shell->loadedEdit()->isVisible());
        QVERIFY(s->isVisible());
        QVERIFY(!f.shell->loadedPick());
    }

    void okArmsTheLiveDraw()
    {
        ProgramFixture f;
        Setting *s = f.shell->setting();
        f.fillList({"甲", "乙"});
        QVERIFY(picture(Qt::red).save(f.path(QStringLiteral("bg.bmp"))));
        s->show();
        s->Text1->setText(QStringLiteral("公司年会"));
        s->Text2->setText(QStringLiteral("一等奖"));
        Dialogs::setNextFont(Dialogs::FontAnswer{QStringLiteral("DejaVu Serif"), 0x00AA00});
        click(s->Command7[1]); // the subtitle line only
        Dialogs::setNextFileName(f.path(QStringLiteral("bg.bmp")));
        click(s->Command1);
        click(s->Option2);
        QCOMPARE(f.shell->module1().NoRepeatDraw, 1);

        // A spent one-draw window from an earlier round.
        Pick *pick = f.shell->pick();
        f.scriptPositions({1});
        const QFont titleFont = pick->Label1->font();
        pick->engine()->RollClick(QStringLiteral("t"), 0);
        pick->engine()->RollClick(QStringLiteral("t"), 0);
        QVERIFY(!pick->Label4->isEnabled());
        f.shell->pick()->engine()->countRecords(5);

        click(s->Command2);
        QVERIFY(Dialogs::shownMessages().isEmpty());
        QVERIFY(!s->isVisible());
        QVERIFY(pick->isVisible());
        QVERIFY(pick->Label4->isEnabled());
        QCOMPARE(pick->Label1->text(), QStringLiteral("公司年会"));
        QCOMPARE(pick->Label2->text(), QStringLiteral("一等奖"));
        QCOMPARE(pick->Label1->font(), titleFont); // title untouched
        QCOMPARE(pick->Label1->textColor(), rgb(0xC00000));
        QCOMPARE(pick->Label2->font().families().constFirst(), QStringLiteral("DejaVu Serif"));
        QCOMPARE(pick->Label2->font().pointSizeF(), 18.0); // size kept
        QCOMPARE(pick->Label2->textColor(), rgb(0x00AA00));
        QCOMPARE(pick->Label3->text(), QString());
        QCOMPARE(pick->Label3->textColor(), rgb(0x000000));
        QCOMPARE(pick->Label6->text(), QString());
        QCOMPARE(f.shell->module1().ResultCount, 0);
        QCOMPARE(pick->backgroundSize(), QSize(80, 60));

        // Back to the settings, with everything as it was; the path emptied
        // removes the live draw's picture at the next OK.
        click(pick->Label8);
        QVERIFY(s->isVisible());
        QCOMPARE(s->Text1->text(), QStringLiteral("公司年会"));
        s->Text4->clear();
        click(s->Command2);
        QVERIFY(!pick->hasBackgroundPicture());
        QVERIFY(pick->isVisible());
    }

    void cancelledFirstFontDialogSetsBlackOnly()
    {
        ProgramFixture f;
        Setting *s = f.shell->setting();
        f.fillList({"a"});
        Pick *pick = f.shell->pick();
        const QStringList families = pick->Label1->font().families();
        click(s->Command7[0]); // no answer queued: cancelled
        QVERIFY(f.shell->module1().LineFontFace[0].has_value());
        QCOMPARE(*f.shell->module1().LineFontFace[0], QString());
        QCOMPARE(*f.shell->module1().LineFontColor[0], 0u);
        click(s->Command2);
        QCOMPARE(pick->Label1->font().families(), families);
        QCOMPARE(pick->Label1->textColor(), rgb(0x000000));
        QVERIFY(!f.shell->module1().LineFontColor[1].has_value());
    }

    void browse()
    {
        ProgramFixture f;
        Setting *s = f.shell->setting();
        QVERIFY(picture(Qt::blue).save(f.path(QStringLiteral("one.jpg"))));
        f.writeFile(QStringLiteral("broken.bmp"), QByteArray("BM but not really"));

        click(s->Command1); // cancelled before any choice
        QCOMPARE(s->Text4->text(), QString());
        QVERIFY(s->Image1->pixmap().isNull());
        QCOMPARE(s->CommonDialog2.InitDir, programFolder());
        // The usual types first, then every picture the program reads.
        const QStringList filters = Dialogs::nameFilters(s->CommonDialog2.Filter);
        QCOMPARE(filters.size(), 2);
        QCOMPARE(filters.at(0), QStringLiteral("图片文件(*.jpg;*.jpeg;*.bmp) (*.jpg *.jpeg *.bmp)"));
        QVERIFY(filters.at(1).startsWith(QStringLiteral("所有图片 (")));
        for (const char *type : {"*.png", "*.jpg", "*.bmp"})
            QVERIFY2(filters.at(1).contains(QLatin1String(type)), type);

        Dialogs::setNextFileName(f.path(QStringLiteral("one.jpg")));
        click(s->Command1);
        QCOMPARE(s->Text4->text(), f.path(QStringLiteral("one.jpg")));
        QCOMPARE(s->Image1->pixmap().size(), QSize(80, 60));

        click(s->Command1); // cancelled later: the same file again
        QCOMPARE(s->Text4->text(), f.path(QStringLiteral("one.jpg")));
        QVERIFY(!s->Image1->pixmap().isNull());

        Dialogs::setNextFileName(f.path(QStringLiteral("broken.bmp")));
        click(s->Command1);
        QVERIFY(s->Image1->pixmap().isNull());
        QVERIFY(f.lastMessage().contains(QStringLiteral("broken.bmp")));
        QCOMPARE(Dialogs::shownMessages().last().title, QStringLiteral("错误提示"));
    }

    void pictureGoneByOkStillStartsTheDraw()
    {
        ProgramFixture f;
        Setting *s = f.shell->setting();
        f.fillList({"a"});
        QVERIFY(picture(Qt::blue).save(f.path(QStringLiteral("gone.bmp"))));
        Dialogs::setNextFileName(f.path(QStringLiteral("gone.bmp")));
        click(s->Command1);
        QVERIFY(QFile::remove(f.path(QStringLiteral("gone.bmp"))));
        click(s->Command2);
        QVERIFY(f.lastMessage().contains(QStringLiteral("gone.bmp")));
        QVERIFY(f.shell->pick()->isVisible());
        QVERIFY(!f.shell->pick()->hasBackgroundPicture());
    }

    void repeatChoice()
    {
        ProgramFixture f;
        Setting *s = f.shell->setting();
        s->show();
        click(s->Option2);
        QCOMPARE(f.shell->module1().NoRepeatDraw, 1);
        click(s->Option1);
        QCOMPARE(f.shell->module1().NoRepeatDraw, 0);
    }

    // A pasted line break or other control character in the title or
    // subtitle box becomes a blank, so a title cannot add lines to a record.
    void titleBoxesStayOnOneLine_data()
    {
        QTest::addColumn<QString>("pasted");
        QTest::addColumn<QString>("kept");
        QTest::newRow("CR LF at the end") << QStringLiteral("年会抽奖\r\n") << QStringLiteral("年会抽奖  ");
        QTest::newRow("forged record") << QStringLiteral("第一行\n时间: 1999-01-01\n结果: 伪造的结果")
                                       << QStringLiteral("第一行 时间: 1999-01-01 结果: 伪造的结果");
        QTest::newRow("tab and NUL") << QStringLiteral("a\tb") + QChar(0) + QStringLiteral("c")
                                     << QStringLiteral("a b c");
        QTest::newRow("NEL, LS, PS") << QStringLiteral("a\u0085b\u2028c\u2029d") << QStringLiteral("a b c d");
        QTest::newRow("DEL and C1") << QStringLiteral("a\u007Fb\u009Bc") << QStringLiteral("a b c");
        QTest::newRow("plain text") << QStringLiteral("年会 <b>2026</b>")
                                    << QStringLiteral("年会 <b>2026</b>");
    }
    void titleBoxesStayOnOneLine()
    {
        QFETCH(QString, pasted);
        QFETCH(QString, kept);
        ProgramFixture f;
        Setting *s = f.shell->setting();
        s->show();
        for (QLineEdit *box : {s->Text1, s->Text2}) {
            box->clear();
            box->insert(pasted); // as a paste does
            QCOMPARE(box->text(), kept);
            QCOMPARE(box->cursorPosition(), kept.size());
        }
        f.fillList({QStringLiteral("张三")});
        click(s->Command2);
        Pick *pick = f.shell->pick();
        QCOMPARE(pick->Label1->text(), kept);
        QCOMPARE(pick->Label2->text(), kept);
        click(pick->Label4);
        click(pick->Label4);
        QFile log(f.path(QStringLiteral("Result.txt")));
        QVERIFY(log.open(QIODevice::ReadOnly));
        const QByteArray bytes = log.readAll();
        QCOMPARE(bytes.count("\r\n"), 4); // one record of four lines
        QCOMPARE(bytes.count('\n'), 4);
    }

    // The buttons drawn in the system's 3-D light colour.
    void lightButtons()
    {
        ProgramFixture f;
        Setting *s = f.shell->setting();
        // Only where the two roles differ can the check tell them apart.
        QVERIFY(s->palette().color(QPalette::Light) != s->palette().color(QPalette::Midlight));
        for (QPushButton *b : {s->Command5, s->Command2})
            QCOMPARE(b->palette().color(QPalette::Button), s->palette().color(QPalette::Midlight));
        QCOMPARE(s->Command1->palette().color(QPalette::Button), s->palette().color(QPalette::Button));
    }

    // "关于", "编辑待选列表" and the empty-list refusal bring a window that
    // is already open to the front.
    void openWindowsComeToTheFront_data()
    {
        QTest::addColumn<QString>("way");
        QTest::newRow("about") << "about";
        QTest::newRow("edit") << "edit";
        QTest::newRow("empty list refused") << "refusal";
    }
    void openWindowsComeToTheFront()
    {
        QFETCH(QString, way);
        ProgramFixture f;
        Setting *s = f.shell->setting();
        s->show();
        QWidget *window = way == QLatin1String("about") ? static_cast<QWidget *>(f.shell->about())
                                                        : static_cast<QWidget *>(f.shell->edit());
        window->show();
        QVERIFY(QTest::qWaitForWindowActive(window));
        s->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(s));
        QPushButton *button = way == QLatin1String("about")  ? s->Command4
                              : way == QLatin1String("edit") ? s->Command5
                                                             : s->Command2;
        click(button);
        QTRY_VERIFY(window->isActiveWindow());
        QVERIFY(window->isVisible());
    }

    void exitAboutAndEditButtons()
    {
        ProgramFixture f;
        Setting *s = f.shell->setting();
        s->show();
        click(s->Command4);
        QVERIFY(f.shell->loadedAbout() && f.shell->loadedAbout()->isVisible());
        QVERIFY(s->isVisible());
        click(s->Command5);
        QVERIFY(f.shell->loadedEdit()->isVisible());
        f.shell->loadedEdit()->List1Model()->AddItem(QStringLiteral("x"));
        click(s->Command3);
        QCOMPARE(f.endCalls, 1);
        QCOMPARE(f.shell->loadedEdit()->List1Model()->ListCount(), 1); // no unload ran
        s->show();
        s->close();
        QCOMPARE(f.endCalls, 2);
    }
    // A sound file of the organiser's: checked, and played from the
    // program's own copy, so moving the original does not matter.
    void soundFileIsCheckedAndCopied_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("taken");
        QTest::newRow("a WAV") << WaveFile{1, 8000, 16, QByteArray(800, '\x01')}.bytes() << true;
        QTest::newRow("not sound") << QByteArray("RIFF\x04\0\0\0WAVEjunk") << false;
    }
    void soundFileIsCheckedAndCopied()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, taken);
        ProgramFixture f;
        EveningController &evening = f.shell->controller();
        const QString folder = f.path(QStringLiteral("state/sounds"));
        evening.setSoundFolder(folder);
        const QString chosen = f.writeFile(QStringLiteral("我的 声音.wav"), bytes);
        SoundWindow window(evening);
        QSignalSpy settled(&window, &SoundWindow::fileSettled);
        window.chooseFile(1, chosen);
        QVERIFY(settled.wait(5000));
        const QString copy = evening.module1().SoundFile[1];
        if (!taken) {
            QVERIFY(copy.isEmpty());
            QCOMPARE(Dialogs::shownMessages().size(), 1);
            QCOMPARE(QDir(folder).entryList(QDir::Files), QStringList());
            return;
        }
        QCOMPARE(QFileInfo(copy).absolutePath(), QFileInfo(folder).absoluteFilePath());
        QVERIFY(QFile::remove(chosen)); // the original moved away
        QFile kept(copy);
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QCOMPARE(kept.readAll(), bytes);
        kept.close();
        // Back to the program's own sound: the copy goes.
        window.Command2[1]->click();
        QVERIFY(evening.module1().SoundFile[1].isEmpty());
        QVERIFY(!QFileInfo::exists(copy));
        QVERIFY(Dialogs::shownMessages().isEmpty());
    }
};

QTEST_MAIN(TestSetting)
#include "tst_setting.moc"
