#include "Gb18030.h"
#include "UiTestSupport.h"

#include <QLineEdit>
#include <QListView>
#include <QProgressBar>
#include <QPushButton>

class TestEdit : public QObject
{
    Q_OBJECT

    static Edit *shownEdit(ProgramFixture &f)
    {
        Edit *e = f.shell->edit();
        e->show();
        if (!QTest::qWaitForWindowActive(e))
            qWarning("edit window not active");
        return e;
    }
    static void type(Edit *e, const QString &text)
    {
        e->activateWindow();
        if (!QTest::qWaitForWindowActive(e))
            qWarning("edit window not active");
        e->Text1->setFocus();
        e->Text1->insert(text); // key clicks carry ASCII only
        QTest::keyClick(e->Text1, Qt::Key_Return);
    }
    static void select(Edit *e, int row)
    {
        const QRect r = e->List1->visualRect(e->List1Model()->index(row));
        QTest::mouseClick(e->List1->viewport(), Qt::LeftButton, {}, r.center());
    }
    static QString import(ProgramFixture &f, Edit *e, const QString &name, const QByteArray &bytes)
    {
        const QString path = f.writeFile(name, bytes);
        Dialogs::setNextFileName(path);
        click(e->Command1);
        return path;
    }

private Q_SLOTS:
    void freshWindow()
    {
        ProgramFixture f;
        Edit *e = shownEdit(f);
        QCOMPARE(e->windowTitle(), QStringLiteral("星梭抽奖 - 编辑待选数据"));
        QCOMPARE(e->size(), QSize(393, 450));
        // The hint shows as the box's placeholder, in light grey.
        QCOMPARE(e->Text1->text(), QString());
        QCOMPARE(e->Text1->placeholderText(), QStringLiteral(" 可用ENTER输入"));
        QCOMPARE(e->Text1->palette().color(QPalette::PlaceholderText), rgb(0xC0C0C0));
        QCOMPARE(e->Label3->text(), QStringLiteral("0个数据"));
        QVERIFY(!e->Command2->isEnabled());
        QVERIFY(!e->Command4->isEnabled());
        QVERIFY(!e->Command5->isEnabled());
        QCOMPARE(QApplication::focusWidget(), e->Command1);
        QCOMPARE(e->ProgressBar1->value(), 0);
    }

    void addingEntries()
    {
        ProgramFixture f;
        Edit *e = shownEdit(f);
        click(e->Command6); // before ever entering the box: refused
        QCOMPARE(f.lastMessage(), QStringLiteral("请输入内容后添加到列表！"));
        QCOMPARE(Dialogs::shownMessages().last().title, QStringLiteral("错误提示"));
        QCOMPARE(QApplication::focusWidget(), e->Text1);
        QCOMPARE(e->Text1->text(), QString());
        QCOMPARE(e->Text1->placeholderText(), QString()); // the visit removed the hint
        QCOMPARE(e->Text1->palette().color(QPalette::Text), rgb(0x404040));
        QCOMPARE(e->List1Model()->ListCount(), 0);

        type(e, QStringLiteral("张三"));
        type(e, QStringLiteral("   "));
        e->Text1->setText(QStringLiteral("张三"));
        click(e->Command6);
        QCOMPARE(e->List1Model()->entries(), (QStringList{"张三", "   ", "张三"}));
        QCOMPARE(e->Label3->text(), QStringLiteral("3个数据"));
        QCOMPARE(f.shell->module1().CandidateCount, 3);
        QCOMPARE(e->Text1->text(), QString());
        QVERIFY(!e->Command5->isEnabled()); // adding enables nothing

        // Text left in the box is dropped when the focus comes back.
        QTest::keyClicks(e->Text1, QStringLiteral("half"));
        select(e, 0);
        e->Text1->setFocus(Qt::MouseFocusReason);
        QCOMPARE(e->Text1->text(), QString());
    }

    // However the box gets the focus first, the hint is never part of an
    // entry; coming back to the window keeps what was typed.
    void hintNeverBecomesPartOfAnEntry_data()
    {
        QTest::addColumn<int>("reason");
        QTest::newRow("window activated") << int(Qt::ActiveWindowFocusReason);
        QTest::newRow("mouse") << int(Qt::MouseFocusReason);
        QTest::newRow("tab") << int(Qt::TabFocusReason);
        QTest::newRow("menu closed") << int(Qt::PopupFocusReason);
        QTest::newRow("program") << int(Qt::OtherFocusReason);
    }
    void hintNeverBecomesPartOfAnEntry()
    {
        QFETCH(int, reason);
        ProgramFixture f;
        Edit *e = shownEdit(f);
        e->Text1->setFocus(Qt::FocusReason(reason));
        QCOMPARE(e->Text1->placeholderText(), QString());
        QTest::keyClicks(e->Text1, QStringLiteral("Zhang"));
        QTest::keyClick(e->Text1, Qt::Key_Return);
        QCOMPARE(e->List1Model()->entries(), QStringList{"Zhang"});

        // Typed, then the window is left and activated again: still there.
        QTest::keyClicks(e->Text1, QStringLiteral("Li"));
        e->Text1->clearFocus();
        e->Text1->setFocus(Qt::ActiveWindowFocusReason);
        QCOMPARE(e->Text1->text(), QStringLiteral("Li"));
        QTest::keyClick(e->Text1, Qt::Key_Return);
        QCOMPARE(e->List1Model()->entries(), (QStringList{"Zhang", "Li"}));
    }

    // A typed entry cannot hold a line break or another control character.
    void typedEntryStaysOnOneLine_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("entry");
        QTest::newRow("CR LF") << QStringLiteral("张三\r\n") << QStringLiteral("张三  ");
        QTest::newRow("LF inside") << QStringLiteral("张\n三") << QStringLiteral("张 三");
        QTest::newRow("tab, NEL, LS, PS")
            << QStringLiteral("a\tb\u0085c\u2028d\u2029e") << QStringLiteral("a b c d e");
        QTest::newRow("DEL and C1") << QStringLiteral("a\u007Fb\u0090c") << QStringLiteral("a b c");
    }
    void typedEntryStaysOnOneLine()
    {
        QFETCH(QString, typed);
        QFETCH(QString, entry);
        ProgramFixture f;
        Edit *e = shownEdit(f);
        type(e, typed);
        QCOMPARE(e->List1Model()->entries(), QStringList{entry});
    }

    // "删除" is enabled exactly while an entry is selected.
    void deleteNeedsASelection()
    {
        ProgramFixture f;
        Edit *e = shownEdit(f);
        f.fillList({"a", "b", "c"});
        QCOMPARE(QApplication::focusWidget(), e->Command1);
        QTest::keyClick(e->Command1, Qt::Key_Tab); // into the list: a current row, no selection
        QCOMPARE(QApplication::focusWidget(), e->List1);
        QVERIFY(e->List1->currentIndex().isValid());
        QCOMPARE(e->selectedIndex(), -1);
        QVERIFY(!e->Command4->isEnabled());
        QTest::keyClick(e->List1, Qt::Key_Down); // moving with the keys selects
        QVERIFY(e->selectedIndex() >= 0);
        QVERIFY(e->Command4->isEnabled());
        e->List1->clearSelection();
        QVERIFY(!e->Command4->isEnabled());
        select(e, 2);
        QVERIFY(e->Command4->isEnabled());
        click(e->Command4);
        QCOMPARE(e->selectedIndex(), 1); // the new last one
        QVERIFY(e->Command4->isEnabled());
        click(e->Command7);
        QVERIFY(!e->Command4->isEnabled());
    }

    void fullListRefusesTypedEntry()
    {
        ProgramFixture f;
        Edit *e = shownEdit(f);
        QStringList many;
        for (int i = 0; i < CandidateList::MaxEntries; ++i)
            many << QString::number(i);
        f.fillList(many);
        type(e, QStringLiteral("one more"));
        QVERIFY(f.lastMessage().contains(QStringLiteral("32767")));
        QCOMPARE(e->List1Model()->ListCount(), CandidateList::MaxEntries);
    }

    void deleteMovesTheSelection()
    {
        ProgramFixture f;
        Edit *e = shownEdit(f);
        f.fillList({"a", "b", "c", "d"});
        select(e, 2);
        QVERIFY(e->Command4->isEnabled());
        click(e->Command4); // c gone, d selected
        QCOMPARE(e->List1Model()->entries(), (QStringList{"a", "b", "d"}));
        QCOMPARE(e->selectedIndex(), 2);
        click(e->Command4); // the last: selection moves up
        QCOMPARE(e->selectedIndex(), 1);
        select(e, 0);
        click(e->Command4); // the first: the new first is selected
        QCOMPARE(e->List1Model()->entries(), QStringList{"b"});
        QCOMPARE(e->selectedIndex(), 0);
        click(e->Command4);
        QCOMPARE(e->List1Model()->ListCount(), 0);
        QCOMPARE(e->selectedIndex(), -1);
        QCOMPARE(e->Label3->text(), QStringLiteral("0个数据"));
        QVERIFY(!e->Command4->isEnabled());
    }

    void importsListFiles_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<QString>("sizeCaption");
        QTest::newRow("LF") << QByteArray("a\nb\n\nc") << QStringList{"x", "a", "b", "c"} << "0.01  KB";
        QTest::newRow("CR LF") << QByteArray("a\r\nb\r\n") << QStringList{"x", "a", "b"} << "0.01  KB";
        QTest::newRow("CR") << QByteArray("a\rb") << QStringList{"x", "a", "b"} << "0.00  KB";
        QTest::newRow("25000 bytes") << QByteArray(25000, 'z') << QStringList{"x", QString(25000, u'z')}
                                     << "24.41  KB";
        QByteArray thousand = QByteArray(999, 'k') + '\n';
        QTest::newRow("1000 bytes") << thousand << QStringList{"x", QString(999, u'k')} << "0.98  KB";
    }
    void importsListFiles()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, entries);
        QFETCH(QString, sizeCaption);
        ProgramFixture f;
        Edit *e = shownEdit(f);
        type(e, QStringLiteral("x"));
        const QString path = import(f, e, QStringLiteral("list.txt"), bytes);
        QCOMPARE(e->List1Model()->entries(), entries);
        QCOMPARE(e->Label1->text(), QStringLiteral("list.txt"));
        QCOMPARE(e->Label2->text(), sizeCaption);
        QCOMPARE(e->Label3->text(), QStringLiteral("%1个数据").arg(entries.size()));
        QCOMPARE(f.shell->module1().CandidateCount, entries.size());
        QCOMPARE(e->ProgressBar1->maximum(), int(bytes.size()));
        QCOMPARE(e->ProgressBar1->value(), int(bytes.size()));
        QVERIFY(e->Command2->isEnabled());
        QVERIFY(e->Command5->isEnabled());
        QVERIFY(!e->Command4->isEnabled());
        QCOMPARE(e->ListFilePath(), path);
        QCOMPARE(e->CMD1.Filter, QStringLiteral("文本文件 (*.txt)|*.txt"));
        QVERIFY(Dialogs::shownMessages().isEmpty());
    }

    void refusedFiles_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("text");
        QTest::newRow("25001 bytes") << QByteArray(25001, 'a') << "安全帽"
                                     << "打开大于25KB的文件可能造成假死\r\n\r\n请返回 ╮(╯▽╰)╭ ";
        QTest::newRow("empty") << QByteArray() << "安全帽"
                               << "无效空文件\r\n\r\n请返回 ╮(╯▽╰)╭ ";
    }
    void refusedFiles()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, title);
        QFETCH(QString, text);
        ProgramFixture f;
        Edit *e = shownEdit(f);
        import(f, e, QStringLiteral("bad.txt"), bytes);
        QCOMPARE(Dialogs::shownMessages().size(), 1);
        QCOMPARE(Dialogs::shownMessages().first().title, title);
        QCOMPARE(Dialogs::shownMessages().first().text, text);
        QCOMPARE(Dialogs::shownMessages().first().icon, QMessageBox::Warning);
        QCOMPARE(e->List1Model()->ListCount(), 0);
        QCOMPARE(e->Label1->text(), QString());
        QCOMPARE(e->ListFilePath(), QString());
        QVERIFY(!e->Command2->isEnabled());
    }

    void fileThatVanishedAddsNothing()
    {
        ProgramFixture f;
        Edit *e = shownEdit(f);
        f.fillList({"keep"});
        Dialogs::setNextFileName(f.path(QStringLiteral("gone.txt")));
        click(e->Command1);
        QCOMPARE(Dialogs::shownMessages().size(), 1);
        QCOMPARE(Dialogs::shownMessages().first().title, QStringLiteral("错误提示"));
        QVERIFY(f.lastMessage().contains(QStringLiteral("gone.txt")));
        QCOMPARE(e->List1Model()->entries(), QStringList{"keep"});
        QCOMPARE(f.shell->module1().CandidateCount, 1);
        click(e->Command1); // cancelled: nothing read, nothing said
        QCOMPARE(Dialogs::shownMessages().size(), 1);
    }

    void gbkFileAndBrokenBytesAreWarned()
    {
        ProgramFixture f;
        Edit *e = shownEdit(f);
        QByteArray bytes = Gb18030::encode(QStringLiteral("张三\r\n李四\r\n"));
        bytes += QByteArray("bad\x81\x20\r\n");
        import(f, e, QStringLiteral("gbk.txt"), bytes);
        QCOMPARE(e->List1Model()->List(0), QStringLiteral("张三"));
        QCOMPARE(e->List1Model()->ListCount(), 3);
        QVERIFY(f.lastMessage().contains(QStringLiteral("第 3 行")));
    }

    void importPastTheLimitSaysHowManyWereLeftOut()
    {
        ProgramFixture f;
        Edit *e = shownEdit(f);
        QStringList many;
        for (int i = 0; i < CandidateList::MaxEntries - 2; ++i)
            many << QString::number(i);
        f.fillList(many);
        import(f, e, QStringLiteral("five.txt"), QByteArray("1\n2\n3\n4\n5\n"));
        QCOMPARE(e->List1Model()->ListCount(), CandidateList::MaxEntries);
        QCOMPARE(f.shell->module1().CandidateCount, CandidateList::MaxEntries);
        QVERIFY(f.lastMessage().contains(QStringLiteral("3 行")));
    }

    void clearAfterImport()
    {
        ProgramFixture f;
        Edit *e = shownEdit(f);
        import(f, e, QStringLiteral("l.txt"), QByteArray("a\nb\n"));
        select(e, 0);
        click(e->Command7);
        QCOMPARE(e->List1Model()->ListCount(), 0);
        QCOMPARE(f.shell->module1().CandidateCount, 0);
        QCOMPARE(e->Label1->text(), QString());
        QCOMPARE(e->Label2->text(), QString());
        QCOMPARE(e->Label3->text(), QStringLiteral("0个数据"));
        QCOMPARE(e->ProgressBar1->value(), 0);
        QVERIFY(!e->Command2->isEnabled() && !e->Command4->isEnabled() && !e->Command5->isEnabled());
    }

    void removingRepeats()
    {
        ProgramFixture f;
        Edit *e = shownEdit(f);
        import(f, e, QStringLiteral("r.txt"), QByteArray("Ab\naB\nx\nAB\n"));
        click(e->Command5);
        QCOMPARE(e->List1Model()->entries(), (QStringList{"x", "AB"}));
        QCOMPARE(e->Label3->text(), QStringLiteral("2个数据"));
        QVERIFY(e->Command5->isEnabled());
        QVERIFY(Dialogs::shownMessages().isEmpty());

        QByteArray repeats;
        for (int i = 0; i < 101; ++i)
            repeats += "n" + QByteArray::number(i) + "\nN" + QByteArray::number(i) + "\n";
        import(f, e, QStringLiteral("r2.txt"), repeats);
        click(e->Command5);
        QCOMPARE(e->List1Model()->ListCount(), 2 + 101);
        QCOMPARE(e->List1Model()->List(2), QStringLiteral("N0"));
        QCOMPARE(e->Label3->text(), QStringLiteral("103个数据"));
    }

    // Both ways of removing repeats (one by one up to 100, clearing and
    // refilling past that) leave the selection alike, and "删除" enabled.
    void removingRepeatsKeepsTheSelection_data()
    {
        QTest::addColumn<int>("repeats");
        QTest::addColumn<bool>("selectRepeat");
        QTest::newRow("3 repeats, entry kept selected") << 3 << false;
        QTest::newRow("150 repeats, entry kept selected") << 150 << false;
        QTest::newRow("3 repeats, repeat selected") << 3 << true;
        QTest::newRow("150 repeats, repeat selected") << 150 << true;
    }
    void removingRepeatsKeepsTheSelection()
    {
        QFETCH(int, repeats);
        QFETCH(bool, selectRepeat);
        ProgramFixture f;
        Edit *e = shownEdit(f);
        QByteArray bytes;
        for (int i = 0; i < repeats; ++i)
            bytes += "r" + QByteArray::number(i) + "\n";
        bytes += "keep\n";
        for (int i = 0; i < repeats; ++i)
            bytes += "R" + QByteArray::number(i) + "\n";
        import(f, e, QStringLiteral("r.txt"), bytes);
        select(e, selectRepeat ? 1 : repeats); // "r1", a repeat, or "keep"
        QVERIFY(e->Command4->isEnabled());
        click(e->Command5);
        QCOMPARE(e->List1Model()->ListCount(), repeats + 1);
        // A removed repeat hands the selection to the next entry that stays.
        QCOMPARE(e->selectedIndex(), 0);
        QCOMPARE(e->List1Model()->List(0), QStringLiteral("keep"));
        QVERIFY(e->Command4->isEnabled());
    }

    void handOverAndCloseBox()
    {
        ProgramFixture f;
        Setting *s = f.shell->setting();
        Edit *e = shownEdit(f);
        type(e, QStringLiteral("甲"));
        e->Text1->setText(QStringLiteral("typed, not added"));
        click(e->Command3);
        QVERIFY(!e->isVisible());
        QCOMPARE(s->Label8->text(), QStringLiteral("共       个候选数据"));
        QCOMPARE(s->Label10->text(), QStringLiteral("1"));
        QCOMPARE(f.shell->loadedEdit(), e); // hidden, list kept
        QCOMPARE(e->List1Model()->ListCount(), 1);

        e->show();
        e->close();
        QCOMPARE(f.shell->module1().CandidateCount, 0);
        QCOMPARE(s->Label10->text(), QStringLiteral("0"));
        QTRY_VERIFY(!f.shell->loadedEdit());
        Edit *fresh = f.shell->edit();
        QCOMPARE(fresh->List1Model()->ListCount(), 0);
        QCOMPARE(fresh->Label3->text(), QStringLiteral("0个数据"));
        QCOMPARE(f.endCalls, 0);
    }

    void emptyHandOverThenOkRefuses()
    {
        ProgramFixture f;
        Setting *s = f.shell->setting();
        Edit *e = shownEdit(f);
        click(e->Command3);
        QCOMPARE(s->Label10->text(), QStringLiteral("0"));
        click(s->Command2);
        QCOMPARE(f.lastMessage(), QStringLiteral("请添加列表后继续"));
        QVERIFY(!f.shell->loadedPick());
    }

    void editOpensTheLastFileRead()
    {
        ProgramFixture f;
        Edit *e = shownEdit(f);
        import(f, e, QStringLiteral("first.txt"), QByteArray("a\n"));
        const QString second = import(f, e, QStringLiteral("second.txt"), QByteArray("b\n"));
        click(e->Command2);
        QCOMPARE(f.started.size(), 1);
        QCOMPARE(f.started.first().last(), second);
        f.startSucceeds = false;
        click(e->Command2);
        QVERIFY(f.lastMessage().contains(QStringLiteral("second.txt")));
    }

    // A path from a hand-edited saved list that starts with "-" reaches the
    // editor as an absolute path, never as an option.
    void editorGetsAnAbsolutePath()
    {
        ProgramFixture f;
        Edit *e = shownEdit(f);
        e->restoreList({QStringLiteral("甲")}, QStringLiteral("-rf.txt"), QStringLiteral("-rf.txt"),
                       QStringLiteral("1 KB"), true);
        click(e->Command2);
        QCOMPARE(f.started.size(), 1);
        QCOMPARE(f.started.first().last(), QDir(QDir::currentPath()).filePath(QStringLiteral("-rf.txt")));
        QVERIFY(!f.started.first().last().startsWith(u'-'));
    }

    // Settings, list, repeats, hand-over, OK, draw, log; the list window
    // stays open beside the draw and its changes reach the next tick.
    void wholeRoad()
    {
        ProgramFixture f;
        Setting *s = f.shell->setting();
        s->show();
        s->Text1->setText(QStringLiteral("春节联欢"));
        click(s->Command5);
        Edit *e = f.shell->loadedEdit();
        QVERIFY(e && e->isVisible());
        import(f, e, QStringLiteral("names.txt"),
               Gb18030::encode(QStringLiteral("赵一\r\n钱二\r\n赵一\r\n")));
        type(e, QStringLiteral("孙三"));
        click(e->Command5);
        QCOMPARE(e->List1Model()->entries(), (QStringList{"钱二", "赵一", "孙三"}));
        click(e->Command3);
        QCOMPARE(s->Label10->text(), QStringLiteral("3"));
        click(s->Command2);
        Pick *pick = f.shell->loadedPick();
        QVERIFY(pick && pick->isVisible());
        f.scriptPositions({2, 3});
        click(pick->Label4);
        QCOMPARE(pick->Label3->text(), QStringLiteral("孙三"));
        e->show();
        type(e, QStringLiteral("李四"));
        pick->engine()->Tick();
        QCOMPARE(pick->Label3->text(), QStringLiteral("李四"));
        click(pick->Label4);
        QCOMPARE(f.results(), QStringList{"李四"});
        QFile log(f.path(QStringLiteral("Result.txt")));
        QVERIFY(log.open(QIODevice::ReadOnly));
        const QByteArray head = Gb18030::encode(QStringLiteral("标题: 春节联欢\r\n时间: "));
        QVERIFY(log.readAll().startsWith(head));
    }
};

QTEST_MAIN(TestEdit)
#include "tst_edit.moc"
