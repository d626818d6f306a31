#include "InputBlocker.h"
#include "Setting.h"
#include "UiTestSupport.h"

#include <QImage>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QThreadPool>

class TestPick : public QObject
{
    Q_OBJECT

    // A shown live-draw window with a list, armed as the settings would.
    static Pick *armedPick(ProgramFixture &f, const QStringList &entries, QList<qint32> positions)
    {
        f.fillList(entries);
        Pick *pick = f.shell->pick();
        f.scriptPositions(std::move(positions));
        f.shell->controller().arm(QStringLiteral("年会抽奖"));
        pick->show();
        // The presenter keys act only on the active window.
        if (!QTest::qWaitForWindowActive(pick))
            qWarning("live-draw window not active");
        return pick;
    }

private Q_SLOTS:
    // The writers' pool threads end before the process does: a thread
    // still ending while exit() runs the static destructors can hang the
    // Windows runtime.
    void cleanupTestCase() { QThreadPool::globalInstance()->waitForDone(); }
    void layoutAsDesigned()
    {
        ProgramFixture f;
        Pick *pick = f.shell->pick();
        QCOMPARE(pick->windowTitle(), QStringLiteral("星梭抽奖 - 现场"));
        QCOMPARE(pick->size(), QSize(480, 288));
        QCOMPARE(pick->Label1->geometry(), QRect(56, 16, 369, 49));
        QCOMPARE(pick->Label4->geometry(), QRect(192, 176, 97, 89));
        QVERIFY(pick->Label1->font().underline());
        QCOMPARE(pick->Label1->textColor(), rgb(0xC00000));
        QCOMPARE(pick->Label4->text(), DrawEngine::RollCaption);
        QVERIFY(!pick->engine()->Timer1()->isActive());
        QVERIFY(pick->Label4->font().families().contains(QStringLiteral("WenQuanYi Micro Hei")));
    }

    void shadowedTextButtons_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("shadow");
        QTest::newRow("settings") << "Label8"
                                  << "Label9";
        QTest::newRow("results") << "Label5"
                                 << "Label10";
        QTest::newRow("exit") << "Label7"
                              << "Label11";
    }
    void shadowedTextButtons()
    {
        QFETCH(QString, button);
        QFETCH(QString, shadow);
        ProgramFixture f;
        Pick *pick = armedPick(f, {"a"}, {0});
        auto *b = pick->findChild<EventLabel *>(button);
        auto *s = pick->findChild<EventLabel *>(shadow);
        QVERIFY(b && s);
        QCOMPARE(s->geometry().topLeft() - b->geometry().topLeft(), QPoint(1, 1)); // 10 twips lower right
        for (Qt::MouseButton mouse : {Qt::LeftButton, Qt::RightButton}) {
            QTest::mousePress(b, mouse, {}, QPoint(5, 5));
            QVERIFY(b->font().italic());
            QVERIFY(s->font().italic());
            // The italic text stays on its line, cut at the label's edge:
            // nothing of it below the first line, in the button or its shadow.
            for (EventLabel *l : {b, s}) {
                const QImage look = l->grab().toImage();
                const int below = QFontMetrics(l->font()).height();
                int ink = 0;
                for (int y = below; y < look.height(); ++y)
                    for (int x = 0; x < look.width(); ++x)
                        ink += qGray(look.pixel(x, y)) < 0xD8;
                QVERIFY2(ink == 0, qPrintable(l->objectName()));
            }
            // Released outside the label: upright again, and no action.
            QTest::mouseRelease(b, mouse, {}, QPoint(-40, -40));
            QVERIFY(!b->font().italic());
            QVERIFY(!s->font().italic());
        }
        QCOMPARE(f.endCalls, 0);
        QVERIFY(pick->isVisible());
        QVERIFY(f.started.isEmpty());
    }

    void bevelledRollButton()
    {
        ProgramFixture f;
        Pick *pick = armedPick(f, {"a"}, {0});
        auto line = [pick](const char *name) { return pick->findChild<LineShape *>(QLatin1String(name)); };
        QCOMPARE(line("Line9")->second(), QPoint(4370, 3995));
        QCOMPARE(line("Line10")->second(), QPoint(4380, 3990));
        QTest::mousePress(pick->Label4, Qt::RightButton, {}, QPoint(5, 5));
        QCOMPARE(line("Line5")->color(), rgb(0x808080));
        QCOMPARE(line("Line6")->color(), rgb(0x808080));
        QCOMPARE(line("Line7")->color(), rgb(0xFFFFFF));
        QCOMPARE(line("Line8")->color(), rgb(0xFFFFFF));
        QCOMPARE(line("Line9")->first(), QPoint(2885, 2655));
        QCOMPARE(line("Line9")->second(), QPoint(2885, 3970));
        QCOMPARE(line("Line10")->first(), QPoint(2885, 2655));
        QCOMPARE(line("Line10")->second(), QPoint(4350, 2655));
        QTest::mouseRelease(pick->Label4, Qt::RightButton, {}, QPoint(5, 5));
        QCOMPARE(line("Line5")->color(), rgb(0xFFFFFF));
        QCOMPARE(line("Line7")->color(), rgb(0x808080));
        QCOMPARE(line("Line9")->first(), QPoint(4370, 2655));
        QCOMPARE(line("Line9")->second(), QPoint(4370, 3990)); // 5 twips shorter from now on
        QCOMPARE(line("Line10")->first(), QPoint(2885, 3990));
        QCOMPARE(line("Line10")->second(), QPoint(4375, 3990));
        QCOMPARE(line("Line9")->color(), rgb(0xC0C0C0));
        QCOMPARE(pick->engine()->state(), DrawEngine::State::Idle); // the right button does not draw
    }

    void rollCycleRecordsAndCounts()
    {
        ProgramFixture f;
        Pick *pick = armedPick(f, {"甲", "乙", "丙"}, {2, 0, 1});
        f.shell->controller().arm(QStringLiteral("年会抽奖"), 0x0000FF);
        QStringList badges;
        for (int i = 0; i < 3; ++i) {
            click(pick->Label4);
            QCOMPARE(pick->Label4->text(), DrawEngine::StopCaption);
            QCOMPARE(pick->Label3->textColor(), rgb(0x000000));
            click(pick->Label4);
            QCOMPARE(pick->Label4->text(), DrawEngine::RollCaption);
            QCOMPARE(pick->Label3->textColor(), rgb(0x0000FF));
            badges << pick->Label6->text();
        }
        QCOMPARE(badges, (QStringList{"1", "2", "3"}));
        QCOMPARE(f.results(), (QStringList{"丙", "甲", "乙"}));
        QCOMPARE(pick->Label3->text(), QStringLiteral("乙"));
        QVERIFY(Dialogs::shownMessages().isEmpty());
    }

    // Qt delivers a double click as press, release, press, double click,
    // release: the second press must not stop the draw it just started.
    void doubleClickIsOneClick()
    {
        ProgramFixture f;
        Pick *pick = armedPick(f, {"a"}, {0});
        EventLabel *roll = pick->Label4;
        const QPoint at = roll->rect().center();
        QTest::mousePress(roll, Qt::LeftButton, {}, at);
        QTest::mouseRelease(roll, Qt::LeftButton, {}, at);
        QTest::mousePress(roll, Qt::LeftButton, {}, at);
        QMouseEvent dbl(QEvent::MouseButtonDblClick, QPointF(at), roll->mapToGlobal(QPointF(at)),
                        Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(roll, &dbl);
        QTest::mouseRelease(roll, Qt::LeftButton, {}, at);
        QCOMPARE(pick->engine()->state(), DrawEngine::State::Rolling);
        QCOMPARE(pick->findChild<LineShape *>(QStringLiteral("Line5"))->color(),
                 rgb(0xFFFFFF));            // released look
        QVERIFY(!pick->isFullScreenMode()); // the label took it, not the window
        click(roll);                        // the next single click stops
        QCOMPARE(pick->engine()->state(), DrawEngine::State::Idle);
    }

    // The same through the window, as the platform delivers it: the second
    // press comes as a double click alone. It is no click, but every
    // release follows a pressed look.
    void doubleClickShowsThePressedLook()
    {
        ProgramFixture f;
        Pick *pick = armedPick(f, {"a"}, {0});
        EventLabel *roll = pick->Label4;
        QStringList looks;
        connect(roll, &EventLabel::MouseDown, roll, [&looks] { looks << QStringLiteral("down"); });
        connect(roll, &EventLabel::MouseUp, roll, [&looks] { looks << QStringLiteral("up"); });
        QTest::mouseDClick(pick->windowHandle(), Qt::LeftButton, {}, roll->geometry().center());
        QCOMPARE(looks, (QStringList{"down", "up", "down", "up"}));
        QCOMPARE(pick->engine()->state(), DrawEngine::State::Rolling);
        QVERIFY(!pick->isFullScreenMode());
    }

    void oneDrawModeSpends()
    {
        ProgramFixture f;
        Pick *pick = armedPick(f, {"甲", "乙"}, {1});
        f.shell->controller().setNoRepeatDraw(1);
        click(pick->Label4);
        click(pick->Label4);
        QVERIFY(!pick->Label4->isEnabled());
        QCOMPARE(pick->Label6->text(), QStringLiteral("1"));
        click(pick->Label4); // a disabled label takes no clicks
        QCOMPARE(pick->engine()->state(), DrawEngine::State::Spent);
        QCOMPARE(f.results(), QStringList{"乙"});
    }

    // A wait under the busy cursor shows it over the operator's windows, never over the hall's.
    void busyCursorNotOverTheHall()
    {
        ProgramFixture f;
        Pick *pick = armedPick(f, {"甲"}, {0});
        Setting *s = f.shell->setting();
        s->show();
        {
            const BusyCursor busy;
            QVERIFY(BusyCursor::shown());
            QCOMPARE(s->cursor().shape(), Qt::BusyCursor);
            QVERIFY(pick->cursor().shape() != Qt::BusyCursor);
        }
        QVERIFY(!BusyCursor::shown());
        QVERIFY(s->cursor().shape() != Qt::BusyCursor);
    }

    void returnToSettingsWhileRolling()
    {
        ProgramFixture f;
        Pick *pick = armedPick(f, {"a", "b"}, {0});
        click(pick->Label4);
        QVERIFY(pick->engine()->Timer1()->isActive());
        click(pick->Label8);
        QVERIFY(!pick->isVisible());
        QVERIFY(f.shell->setting()->isVisible());
        QVERIFY(!pick->engine()->Timer1()->isActive());
        QCOMPARE(pick->Label4->text(), DrawEngine::RollCaption);
        QVERIFY(f.results().isEmpty());
    }

    void resultsButtonWhileRolling()
    {
        ProgramFixture f;
        Pick *pick = armedPick(f, {"a"}, {0});
        click(pick->Label4);
        click(pick->Label4);
        click(pick->Label4);
        QCOMPARE(pick->Label6->text(), QStringLiteral("1"));
        click(pick->Label5);
        QCOMPARE(f.started.size(), 1);
        QCOMPARE(f.started.first().last(), QFileInfo(QStringLiteral("Result.txt")).absoluteFilePath());
        QCOMPARE(pick->Label6->text(), QString());
        QCOMPARE(f.shell->module1().ResultCount, 0);
        QVERIFY(pick->engine()->Timer1()->isActive());

        f.startSucceeds = false;
        click(pick->Label5);
        QCOMPARE(Dialogs::shownMessages().size(), 1);
        QCOMPARE(Dialogs::shownMessages().first().title, QStringLiteral("错误提示"));
        QVERIFY(f.lastMessage().contains(QStringLiteral("Result.txt")));
    }

    void popupMenuOnRightClickOnly()
    {
        ProgramFixture f;
        Pick *pick = armedPick(f, {"a"}, {0});
        QCOMPARE(pick->popSet->actions().size(), 3); // and the winners-leave choice and the console after it
        QCOMPARE(pick->popBG->text(), QStringLiteral("设置背景"));
        click(pick, Qt::LeftButton, QPoint(20, 250));
        QVERIFY(!pick->popSet->isVisible());
        click(pick->Label1, Qt::RightButton);
        QVERIFY(!pick->popSet->isVisible());
        click(pick, Qt::RightButton, QPoint(20, 250));
        QTRY_VERIFY(pick->popSet->isVisible());
        pick->popSet->hide();
    }

    void backgroundPicture()
    {
        ProgramFixture f;
        Pick *pick = armedPick(f, {"a"}, {0});
        QImage big(600, 400, QImage::Format_RGB32), small(50, 40, QImage::Format_RGB32);
        big.fill(Qt::blue);
        small.fill(Qt::green);
        QVERIFY(big.save(f.path(QStringLiteral("big.bmp"))));
        QVERIFY(small.save(f.path(QStringLiteral("small.jpg"))));
        f.writeFile(QStringLiteral("broken.jpg"), QByteArray("not a picture at all"));

        // A cancelled first dialog removes the picture.
        QVERIFY(pick->setBackgroundPicture(f.path(QStringLiteral("small.jpg"))));
        Dialogs::setNextFileName(std::nullopt);
        pick->popBG->trigger();
        QVERIFY(!pick->hasBackgroundPicture());

        Dialogs::setNextFileName(f.path(QStringLiteral("big.bmp")));
        pick->popBG->trigger();
        QCOMPARE(pick->backgroundSize(), QSize(600, 400)); // drawn at its own size
        QCOMPARE(pick->CommonDialog1.InitDir, programFolder());

        Dialogs::setNextFileName(f.path(QStringLiteral("small.jpg")));
        pick->popBG->trigger();
        QCOMPARE(pick->backgroundSize(), QSize(50, 40));

        // A broken file: the operator is told, the background stays.
        Dialogs::setNextFileName(f.path(QStringLiteral("broken.jpg")));
        pick->popBG->trigger();
        QCOMPARE(pick->backgroundSize(), QSize(50, 40));
        QVERIFY(f.lastMessage().contains(QStringLiteral("broken.jpg")));
        QVERIFY(pick->isVisible());
    }

    void exitAndCloseBoxEndTheProgram()
    {
        ProgramFixture f;
        Pick *pick = armedPick(f, {"a", "b"}, {0});
        f.shell->setting()->Label10->setText(QStringLiteral("2"));
        click(pick->Label4);
        click(pick->Label7);
        QCOMPARE(f.endCalls, 1);
        // No unload step ran: the list and the summary are as they were.
        QCOMPARE(f.shell->module1().CandidateCount, 2);
        QCOMPARE(f.shell->setting()->Label10->text(), QStringLiteral("2"));
        QVERIFY(f.shell->loadedEdit());
        QVERIFY(!pick->engine()->Timer1()->isActive());
        QVERIFY(f.results().isEmpty());
        pick->show();
        pick->close();
        QCOMPARE(f.endCalls, 2);
    }

    void resultThatCannotBeSaved()
    {
        ProgramFixture f;
        Pick *pick = armedPick(f, {"王五"}, {0});
        QVERIFY(QDir(f.dir.path()).mkdir(QStringLiteral("Result.txt"))); // not a file
        click(pick->Label4);
        click(pick->Label4);
        QCOMPARE(Dialogs::shownMessages().size(), 1);
        QCOMPARE(Dialogs::shownMessages().first().title, QStringLiteral("错误提示"));
        QCOMPARE(Dialogs::shownMessages().first().icon, QMessageBox::Warning);
        QVERIFY(f.lastMessage().contains(QStringLiteral("王五")));
        QCOMPARE(pick->Label3->text(), QStringLiteral("王五"));
        QCOMPARE(pick->Label6->text(), QStringLiteral("1"));
    }

    void presenterKeysActAsTheRollButton_data()
    {
        QTest::addColumn<int>("key");
        for (int key : {int(Qt::Key_Space), int(Qt::Key_Return), int(Qt::Key_Enter), int(Qt::Key_PageDown),
                        int(Qt::Key_PageUp), int(Qt::Key_Right), int(Qt::Key_Down)})
            QTest::newRow(qPrintable(QKeySequence(key).toString())) << key;
    }
    void presenterKeysActAsTheRollButton()
    {
        QFETCH(int, key);
        ProgramFixture f;
        Pick *pick = armedPick(f, {"甲", "乙"}, {1});
        auto *top = pick->findChild<LineShape *>(QStringLiteral("Line5"));
        for (int round = 0; round < 2; ++round) {
            QTest::keyPress(pick, Qt::Key(key));
            QCOMPARE(top->color(), rgb(0x808080)); // pressed while held
            QTest::keyRelease(pick, Qt::Key(key));
            QCOMPARE(top->color(), rgb(0xFFFFFF));
            QCOMPARE(pick->engine()->state(),
                     round == 0 ? DrawEngine::State::Rolling : DrawEngine::State::Idle);
        }
        QCOMPARE(f.results(), QStringList{"乙"});
        QCOMPARE(pick->Label6->text(), QStringLiteral("1"));
    }

    void shownWindowTakesTheKeys()
    {
        ProgramFixture f;
        Pick *pick = armedPick(f, {"a"}, {0});
        QVERIFY(QTest::qWaitForWindowActive(pick));
        QCOMPARE(QApplication::focusWidget(), pick);
    }

    void heldKeyTogglesOnce()
    {
        ProgramFixture f;
        Pick *pick = armedPick(f, {"a"}, {0});
        auto send = [pick](QEvent::Type type, bool repeat) {
            QKeyEvent event(type, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "), repeat);
            QApplication::sendEvent(pick, &event);
        };
        send(QEvent::KeyPress, false);
        for (int i = 0; i < 5; ++i) {
            send(QEvent::KeyRelease, true);
            send(QEvent::KeyPress, true);
        }
        QCOMPARE(pick->engine()->state(), DrawEngine::State::Idle);
        send(QEvent::KeyRelease, false);
        QCOMPARE(pick->engine()->state(), DrawEngine::State::Rolling);
    }

    // The full-screen keys follow the same rule: a held key acts once, at
    // its release, and a release without its own press here does nothing.
    void fullScreenKeysActOncePerPress_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<bool>("fullBefore");
        QTest::addColumn<bool>("fullAfter");
        QTest::newRow("F11 on") << int(Qt::Key_F11) << false << true;
        QTest::newRow("F11 off") << int(Qt::Key_F11) << true << false;
        QTest::newRow("F5") << int(Qt::Key_F5) << false << true;
        QTest::newRow("Escape") << int(Qt::Key_Escape) << true << false;
    }
    void fullScreenKeysActOncePerPress()
    {
        QFETCH(int, key);
        QFETCH(bool, fullBefore);
        QFETCH(bool, fullAfter);
        ProgramFixture f;
        Pick *pick = armedPick(f, {"a"}, {0});
        pick->setFullScreenMode(fullBefore);
        auto send = [pick, key](QEvent::Type type, bool repeat) {
            QKeyEvent event(type, key, Qt::NoModifier, QString(), repeat);
            QApplication::sendEvent(pick, &event);
        };
        send(QEvent::KeyRelease, false);
        QCOMPARE(pick->isFullScreenMode(), fullBefore);
        send(QEvent::KeyPress, false);
        for (int i = 0; i < 5; ++i) {
            send(QEvent::KeyRelease, true);
            send(QEvent::KeyPress, true);
        }
        send(QEvent::KeyRelease, false);
        QCOMPARE(pick->isFullScreenMode(), fullAfter);
        QCOMPARE(pick->engine()->state(), DrawEngine::State::Idle);
        // Pressed while the roll button is held down by a key: that key is let
        // go, and the button does not stay drawn pressed.
        QTest::keyPress(pick, Qt::Key_Space);
        send(QEvent::KeyPress, false);
        send(QEvent::KeyRelease, false);
        QTest::keyRelease(pick, Qt::Key_Space);
        QCOMPARE(pick->findChild<LineShape *>(QStringLiteral("Line5"))->color(), rgb(0xFFFFFF));
        QCOMPARE(pick->engine()->state(), DrawEngine::State::Idle);
    }

    // A message box of this window closed with a real press of Enter: the
    // release then reaches the live-draw window, and must not act as a
    // click of the roll button.
    void enterThatClosedABoxDoesNothing_data()
    {
        QTest::addColumn<QString>("box");
        QTest::addColumn<bool>("rolling");
        QTest::newRow("result not saved") << "not saved" << true;
        QTest::newRow("no editor, idle") << "editor" << false;
        QTest::newRow("no editor, rolling") << "editor" << true;
        QTest::newRow("bad picture, idle") << "picture" << false;
        QTest::newRow("bad picture, rolling") << "picture" << true;
        QTest::newRow("list emptied while rolling") << "empty list" << true;
        QTest::newRow("winners' pool used up") << "pool used up" << false;
    }
    void enterThatClosedABoxDoesNothing()
    {
        QFETCH(QString, box);
        QFETCH(bool, rolling);
        ProgramFixture f;
        Pick *pick = armedPick(f, {"甲", "乙"}, {1});
        f.startSucceeds = false; // the editor cannot be started
        if (rolling)
            click(pick->Label4);
        Dialogs::showRealMessageBoxes(true);
        QString shown;
        onNextMessageBox([&shown](QMessageBox *b) {
            shown = b->text();
            pressEnterOn(b);
        });
        if (box == QLatin1String("not saved")) {
            QVERIFY(QDir(f.dir.path()).mkdir(QStringLiteral("Result.txt")));
            click(pick->Label4);
        } else if (box == QLatin1String("editor")) {
            click(pick->Label5);
        } else if (box == QLatin1String("picture")) {
            Dialogs::setNextFileName(f.writeFile(QStringLiteral("broken.jpg"), "not a picture"));
            pick->popBG->trigger();
        } else if (box == QLatin1String("pool used up")) {
            pick->popLeave->setChecked(true);
            click(f.shell->edit()->Command7);
            click(pick->Label4);
        } else {
            click(f.shell->edit()->Command7);
            click(pick->Label4);
        }
        QTRY_VERIFY(!shown.isEmpty());
        QTRY_VERIFY(!QApplication::activeModalWidget());
        const DrawEngine::State state = pick->engine()->state();
        const QString display = pick->Label3->text();
        const QStringList results = f.results();
        QTest::keyRelease(pick, Qt::Key_Enter);
        QCOMPARE(pick->engine()->state(), state);
        QCOMPARE(pick->Label3->text(), display);
        QCOMPARE(f.results(), results);
        QCOMPARE(pick->findChild<LineShape *>(QStringLiteral("Line5"))->color(), rgb(0xFFFFFF));
    }

    void releaseWithoutItsPressDoesNothing_data()
    {
        QTest::addColumn<int>("key");
        for (int key : {int(Qt::Key_Space), int(Qt::Key_Return), int(Qt::Key_PageDown)})
            QTest::newRow(qPrintable(QKeySequence(key).toString())) << key;
    }
    void releaseWithoutItsPressDoesNothing()
    {
        QFETCH(int, key);
        ProgramFixture f;
        Pick *pick = armedPick(f, {"a"}, {0});
        // Pressed on another window, released on this one.
        Setting *other = f.shell->setting();
        other->show();
        other->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(other));
        QTest::keyPress(other, Qt::Key(key));
        pick->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(pick));
        QTest::keyRelease(pick, Qt::Key(key));
        QCOMPARE(pick->engine()->state(), DrawEngine::State::Idle);
        // A release with no press anywhere.
        QTest::keyRelease(pick, Qt::Key(key));
        QCOMPARE(pick->engine()->state(), DrawEngine::State::Idle);
        // Pressed here, but the window lost the keyboard before the release.
        QTest::keyPress(pick, Qt::Key(key));
        other->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(other));
        pick->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(pick));
        QTest::keyRelease(pick, Qt::Key(key));
        QCOMPARE(pick->engine()->state(), DrawEngine::State::Idle);
        QCOMPARE(pick->findChild<LineShape *>(QStringLiteral("Line5"))->color(), rgb(0xFFFFFF));
        QVERIFY(f.results().isEmpty());
        // A whole press and release on the window still acts.
        QTest::keyClick(pick, Qt::Key(key));
        QCOMPARE(pick->engine()->state(), DrawEngine::State::Rolling);
    }

    void keysDoNothingWhenSpent()
    {
        ProgramFixture f;
        Pick *pick = armedPick(f, {"a"}, {0});
        f.shell->controller().setNoRepeatDraw(1);
        QTest::keyClick(pick, Qt::Key_Space);
        QTest::keyClick(pick, Qt::Key_Space);
        QCOMPARE(pick->engine()->state(), DrawEngine::State::Spent);
        auto *top = pick->findChild<LineShape *>(QStringLiteral("Line5"));
        QTest::keyPress(pick, Qt::Key_PageDown);
        QCOMPARE(top->color(), rgb(0xFFFFFF));
        QTest::keyRelease(pick, Qt::Key_PageDown);
        QCOMPARE(pick->engine()->state(), DrawEngine::State::Spent);
        QCOMPARE(f.results().size(), 1);
    }

    // The audience reads the whole winner: a long one gets a smaller font,
    // down to a floor, and then wraps; it is never cut at both ends.
    void longWinnerFitsTheDisplay_data()
    {
        QTest::addColumn<QString>("winner");
        QTest::addColumn<bool>("fullScreen");
        const QString latin = QStringLiteral("ABCDEFGHIJ").repeated(5);
        const QString han = QStringLiteral("张三李四王五赵六钱七").repeated(5);
        const QString words =
            QStringLiteral("Maria Dolores Fernandez de la Cruz y Montenegro Alvarez Junior");
        const QString endless = QStringLiteral("W").repeated(120);
        for (bool full : {false, true}) {
            const char *mode = full ? "full screen" : "window";
            QTest::addRow("short, %s", mode) << QStringLiteral("张三") << full;
            QTest::addRow("50 letters, %s", mode) << latin << full;
            QTest::addRow("50 ideographs, %s", mode) << han << full;
            QTest::addRow("many words, %s", mode) << words << full;
            QTest::addRow("one endless word, %s", mode) << endless << full;
        }
    }
    void longWinnerFitsTheDisplay()
    {
        QFETCH(QString, winner);
        QFETCH(bool, fullScreen);
        ProgramFixture f;
        Pick *pick = armedPick(f, {winner}, {0});
        if (fullScreen) {
            QTest::keyClick(pick, Qt::Key_F11);
            pick->resize(1920, 1080);
            QVERIFY(pick->layoutScale() > 2);
        }
        const double scale = pick->layoutScale();
        click(pick->Label4);
        click(pick->Label4);
        QCOMPARE(f.results(), QStringList{winner});
        EventLabel *display = pick->Label3;
        QCOMPARE(display->text(), winner);
        const QRect room = display->contentsRect();
        const QFontMetrics fm(display->font());
        QVERIFY(display->font().pointSizeF() <= 21.75 * scale + 0.01);
        QVERIFY(display->font().pointSizeF() >= 10.5 / 2 * scale - 0.01);
        if (winner.size() <= 2)
            QCOMPARE(display->font().pointSizeF(), 21.75 * scale); // short ones keep the design size
        if (display->wordWrap())
            QVERIFY2(wrappedTextHeight(winner, display->font(), room.width()) <= room.height(),
                     "the winner runs out of the display");
        else
            QVERIFY2(fm.horizontalAdvance(winner) <= room.width(), "the end of the winner is cut off");
        // Back to a short winner: the design size and one centred line again.
        f.shell->edit()->List1Model()->RemoveItem(0);
        f.shell->edit()->List1Model()->AddItem(QStringLiteral("李四"));
        click(pick->Label4);
        click(pick->Label4);
        QCOMPARE(display->text(), QStringLiteral("李四"));
        QCOMPARE(display->font().pointSizeF(), 21.75 * scale);
        QVERIFY(!display->wordWrap());
        QVERIFY(display->alignment() & Qt::AlignHCenter);
    }

    // Two long winners that differ only in their last characters look
    // different on the display: the whole of each is shown.
    void longWinnersDifferingAtTheEndLookDifferent_data()
    {
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("second");
        const QString han = QStringLiteral("张三李四王五赵六钱七").repeated(11).left(104);
        const QString latin = QStringLiteral("ABCDEFGHIJ").repeated(11).left(104);
        for (bool full : {false, true}) {
            const char *mode = full ? "full screen" : "window";
            QTest::addRow("106 ideographs, %s", mode)
                << han + QStringLiteral("甲乙") << han + QStringLiteral("丙丁");
            QTest::addRow("106 letters, no blank, %s", mode)
                << latin + QStringLiteral("XY") << latin + QStringLiteral("YX");
        }
    }
    void longWinnersDifferingAtTheEndLookDifferent()
    {
        QFETCH(QString, first);
        QFETCH(QString, second);
        QCOMPARE(first.size(), 106);
        ProgramFixture f;
        Pick *pick = armedPick(f, {first, second}, {0, 1});
        if (QByteArray(QTest::currentDataTag()).endsWith("full screen")) {
            QTest::keyClick(pick, Qt::Key_F11);
            pick->resize(1920, 1080);
        }
        QList<QImage> shots;
        for (const QString &winner : {first, second}) {
            click(pick->Label4);
            click(pick->Label4);
            QCOMPARE(pick->Label3->text(), winner);
            shots << pick->Label3->grab().toImage();
        }
        QCOMPARE(f.results(), (QStringList{first, second}));
        QVERIFY2(shots.at(0) != shots.at(1), "the two winners look the same");
    }

    // In full screen the picture, scaled from the original, covers the whole
    // screen, centred, with no bar; at the design size it stands at its own
    // size from the upper-left corner.
    void backgroundCoversTheFullScreen_data()
    {
        QTest::addColumn<QSize>("screen"); // empty: the design size
        QTest::newRow("design size") << QSize();
        QTest::newRow("1920x1080") << QSize(1920, 1080);
        QTest::newRow("1366x768") << QSize(1366, 768);
        QTest::newRow("1024x768, cut at the sides") << QSize(1024, 768);
    }
    void backgroundCoversTheFullScreen()
    {
        QFETCH(QSize, screen);
        ProgramFixture f;
        Pick *pick = armedPick(f, {"a"}, {0});
        // Quarters red, blue / yellow, cyan.
        QImage picture(1200, 800, QImage::Format_RGB32);
        picture.fill(Qt::red);
        const QList<std::pair<QRect, QColor>> quarters = {{QRect(600, 0, 600, 400), Qt::blue},
                                                          {QRect(0, 400, 600, 400), Qt::yellow},
                                                          {QRect(600, 400, 600, 400), Qt::cyan}};
        for (const auto &[rect, colour] : quarters)
            for (int y = rect.top(); y <= rect.bottom(); ++y)
                for (int x = rect.left(); x <= rect.right(); ++x)
                    picture.setPixelColor(x, y, colour);
        QVERIFY(picture.save(f.path(QStringLiteral("hall.png"))));
        QVERIFY(pick->setBackgroundPicture(f.path(QStringLiteral("hall.png"))));
        if (screen.isEmpty()) {
            const QImage shown = pick->grab().toImage();
            QCOMPARE(shown.pixelColor(470, 280), QColor(Qt::red)); // the picture's own pixel there
            QCOMPARE(shown.pixelColor(2, 2), QColor(Qt::red));
            return;
        }
        pick->setFullScreenMode(true);
        pick->resize(screen);
        const QImage shown = pick->grab().toImage();
        QCOMPARE(shown.size(), screen);
        const int r = screen.width() - 1, b = screen.height() - 1;
        QCOMPARE(shown.pixelColor(0, 0), QColor(Qt::red));
        QCOMPARE(shown.pixelColor(r, 0), QColor(Qt::blue));
        QCOMPARE(shown.pixelColor(0, b), QColor(Qt::yellow));
        QCOMPARE(shown.pixelColor(r, b), QColor(Qt::cyan));
        // No bar at any edge: the edges' middles are the picture's.
        for (const QPoint at : {QPoint(0, b / 4), QPoint(r, b / 4), QPoint(r / 4, 0), QPoint(r / 4, b)})
            QVERIFY(shown.pixelColor(at) != rgb(0xE0E0E0));
        // Centred: the quarters meet in the middle of the screen.
        QCOMPARE(shown.pixelColor(screen.width() / 2 - 3, 3), QColor(Qt::red));
        QCOMPARE(shown.pixelColor(screen.width() / 2 + 3, 3), QColor(Qt::blue));
        QCOMPARE(Pick::coverSource(QSize(1200, 800), screen).center(), QPoint(599, 399));
    }

    void fullScreenScalesTheDesign_data()
    {
        QTest::addColumn<QSize>("screen");
        QTest::addColumn<double>("scale");
        QTest::addColumn<QPoint>("offset");
        QTest::newRow("1920x1080") << QSize(1920, 1080) << 3.75 << QPoint(60, 0);
        QTest::newRow("1024x768") << QSize(1024, 768) << 1024.0 / 480 << QPoint(0, 77);
    }
    void fullScreenScalesTheDesign()
    {
        QFETCH(QSize, screen);
        QFETCH(double, scale);
        QFETCH(QPoint, offset);
        ProgramFixture f;
        Pick *pick = armedPick(f, {"a"}, {0});
        const double ppt = TwipsLayout::pixelsPerTwip(pick);
        QTest::keyClick(pick, Qt::Key_F11);
        QVERIFY(pick->isFullScreenMode());
        pick->resize(screen);
        QCOMPARE(pick->layoutScale(), scale);
        QCOMPARE(pick->layoutOffset(), offset);
        QCOMPARE(pick->Label1->geometry(),
                 TwipsLayout::rect(840, 240, 5535, 735, ppt * scale).translated(offset));
        QCOMPARE(pick->Label4->geometry(),
                 TwipsLayout::rect(2885, 2640, 1455, 1335, ppt * scale).translated(offset));
        QCOMPARE(pick->Label1->font().pointSizeF(), 26.25 * scale);
        QCOMPARE(pick->Label7->font().pointSizeF(), 12 * scale);

        QTest::keyClick(pick, Qt::Key_Escape);
        QVERIFY(!pick->isFullScreenMode());
        QCOMPARE(pick->size(), QSize(480, 288));
        QCOMPARE(pick->Label1->geometry(), QRect(56, 16, 369, 49));
        QCOMPARE(pick->Label1->font().pointSizeF(), 26.25);
        QCOMPARE(pick->layoutScale(), 1.0);

        QTest::mouseDClick(pick, Qt::LeftButton, {}, QPoint(20, 250)); // the free surface toggles too
        QVERIFY(pick->isFullScreenMode());
        QTest::keyClick(pick, Qt::Key_F11);
        QVERIFY(!pick->isFullScreenMode());
    }
};

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    app.setAttribute(Qt::AA_Use96Dpi, true);
    TestPick test;
    return leaveSuite(QTest::qExec(&test, argc, argv));
}
#include "tst_pick.moc"
