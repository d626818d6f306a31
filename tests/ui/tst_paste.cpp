#include "EntryBox.h"
#include "PastedText.h"
#include "UiTestSupport.h"

#include <QClipboard>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>

// Pasting into the data editing window's entry box.
class TestPaste : public QObject
{
    Q_OBJECT

    enum Way { CtrlV, ShiftInsert, ContextMenu, MiddleButton };

    // The shown window with the focus in the entry box, as a click puts it.
    static Edit *editWithFocusInBox(ProgramFixture &f)
    {
        Edit *edit = f.shell->edit();
        edit->show();
        if (!QTest::qWaitForWindowExposed(edit))
            qFatal("the data editing window was not shown");
        click(edit->Text1);
        return edit;
    }
    static void paste(Edit *edit, Way way, const QString &text)
    {
        QClipboard *clipboard = QGuiApplication::clipboard();
        switch (way) {
        case CtrlV:
            clipboard->setText(text);
            QTest::keyClick(edit->Text1, Qt::Key_V, Qt::ControlModifier);
            break;
        case ShiftInsert:
            clipboard->setText(text);
            QTest::keyClick(edit->Text1, Qt::Key_Insert, Qt::ShiftModifier);
            break;
        case ContextMenu: {
            clipboard->setText(text);
            QContextMenuEvent event(QContextMenuEvent::Mouse, edit->Text1->rect().center(),
                                    edit->Text1->mapToGlobal(edit->Text1->rect().center()));
            QCoreApplication::sendEvent(edit->Text1, &event);
            QMenu *menu = nullptr;
            for (QMenu *m : edit->Text1->findChildren<QMenu *>())
                if (m->isVisible())
                    menu = m;
            QVERIFY2(menu, "no context menu");
            QAction *action = menu->findChild<QAction *>(QStringLiteral("edit-paste"));
            QVERIFY2(action && action->isEnabled(), "no paste in the context menu");
            action->trigger();
            menu->close();
            break;
        }
        case MiddleButton:
            clipboard->setText(text, QClipboard::Selection);
            QTest::mouseClick(edit->Text1, Qt::MiddleButton);
            break;
        }
    }
    static void addWays()
    {
        QTest::addColumn<int>("way");
        QTest::newRow("Ctrl+V") << int(CtrlV);
        QTest::newRow("Shift+Insert") << int(ShiftInsert);
        QTest::newRow("context menu") << int(ContextMenu);
        QTest::newRow("middle button") << int(MiddleButton);
    }
#define SKIP_WITHOUT_SELECTION(way)                                                                          \
    if ((way) == MiddleButton && !QGuiApplication::clipboard()->supportsSelection())                         \
    QSKIP("this platform has no selection clipboard (the display test covers it)")

private Q_SLOTS:
    void columnBecomesEntries_data()
    {
        QTest::addColumn<int>("way");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("entries");
        const QList<QPair<const char *, int>> ways{{"Ctrl+V", CtrlV},
                                                   {"Shift+Insert", ShiftInsert},
                                                   {"menu", ContextMenu},
                                                   {"middle", MiddleButton}};
        for (const auto &[name, way] : ways) {
            QTest::addRow("%s, CR LF", name)
                << way << QStringLiteral("张三\r\n李四\r\n王五\r\n") << QStringList{"张三", "李四", "王五"};
            QTest::addRow("%s, LF and empty lines", name)
                << way << QStringLiteral("\n\na\n\n\nb\n") << QStringList{"a", "b"};
            QTest::addRow("%s, CR, blanks kept", name)
                << way << QStringLiteral(" a \r  \rb") << QStringList{" a ", "  ", "b"};
            QTest::addRow("%s, spreadsheet cells", name)
                << way << QStringLiteral("1\t张三\r\n2\t李四\r\n") << QStringList{"1 张三", "2 李四"};
        }
    }
    void columnBecomesEntries()
    {
        QFETCH(int, way);
        QFETCH(QString, text);
        QFETCH(QStringList, entries);
        SKIP_WITHOUT_SELECTION(way);
        ProgramFixture f;
        f.fillList({"已有"});
        Edit *edit = editWithFocusInBox(f);
        paste(edit, Way(way), text);
        QCOMPARE(edit->List1Model()->entries(), QStringList{"已有"} + entries);
        QCOMPARE(f.shell->module1().CandidateCount, 1 + entries.size());
        QCOMPARE(edit->Label3->text(), QStringLiteral("%1个数据").arg(1 + entries.size()));
        QCOMPARE(edit->Text1->text(), QString());
        QVERIFY(edit->Text1->hasFocus());
        QVERIFY(!edit->Command5->isEnabled()); // as adding by typing: no button changes
        QVERIFY(Dialogs::shownMessages().isEmpty());
    }

    // One line goes into the box as typed text does; nothing is added yet.
    void singleLineIsTyped_data()
    {
        addWays();
    }
    void singleLineIsTyped()
    {
        QFETCH(int, way);
        SKIP_WITHOUT_SELECTION(way);
        ProgramFixture f;
        Edit *edit = editWithFocusInBox(f);
        QTest::keyClicks(edit->Text1, QStringLiteral("Li "));
        paste(edit, Way(way), QStringLiteral("小明\r\n"));
        QCOMPARE(edit->Text1->text(), QStringLiteral("Li 小明"));
        QCOMPARE(edit->List1Model()->ListCount(), 0);
        QTest::keyClick(edit->Text1, Qt::Key_Return);
        QCOMPARE(edit->List1Model()->entries(), QStringList{"Li 小明"});
    }

    // Text already in the box is the column's first line, as if the paste had gone in.
    void boxTextJoinsTheColumn()
    {
        ProgramFixture f;
        Edit *edit = editWithFocusInBox(f);
        QTest::keyClicks(edit->Text1, QStringLiteral("Li "));
        paste(edit, CtrlV, QStringLiteral("五\n赵六"));
        QCOMPARE(edit->List1Model()->entries(), (QStringList{"Li 五", "赵六"}));
    }

    // The hint in a box not yet visited is not part of what was pasted.
    void hintIsNotPasted()
    {
        ProgramFixture f;
        Edit *edit = f.shell->edit();
        QCOMPARE(edit->Text1->placeholderText(), Edit::Hint);
        auto *box = qobject_cast<EntryBox *>(edit->Text1);
        QVERIFY(box);
        box->pasteText(QStringLiteral("甲\n乙"));
        QCOMPARE(edit->List1Model()->entries(), (QStringList{"甲", "乙"}));
        QCOMPARE(edit->Label3->text(), QStringLiteral("2个数据"));
    }

    void pastPastTheLimit()
    {
        ProgramFixture f;
        QStringList many;
        for (int i = 0; i < CandidateList::MaxEntries - 2; ++i)
            many << QString::number(i);
        f.fillList(many);
        Edit *edit = editWithFocusInBox(f);
        paste(edit, CtrlV, QStringLiteral("a\nb\nc\nd\ne\n"));
        QCOMPARE(edit->List1Model()->ListCount(), CandidateList::MaxEntries);
        QCOMPARE(edit->List1Model()->List(CandidateList::MaxEntries - 1), QStringLiteral("b"));
        QCOMPARE(edit->Label3->text(), QStringLiteral("32767个数据"));
        QCOMPARE(Dialogs::shownMessages().size(), 1);
        QCOMPARE(Dialogs::shownMessages().first().title, QStringLiteral("错误提示"));
        QCOMPARE(f.lastMessage(), QStringLiteral("列表最多容纳 32767 个数据：粘贴的内容中有 3 行未能加入。"));
    }

    // A line cut where typing stops never keeps half of a surrogate pair,
    // also when the box already holds text.
    void cutNeverSplitsASurrogatePair()
    {
        ProgramFixture f;
        Edit *edit = editWithFocusInBox(f);
        auto *box = qobject_cast<EntryBox *>(edit->Text1);
        QVERIFY(box);
        box->insert(QStringLiteral("ab"));
        box->pasteText(QString(32764, u'x') + QStringLiteral("😀"));
        QCOMPARE(box->text(), QStringLiteral("ab") + QString(32764, u'x'));
        box->clear();
        box->pasteText(QString(32766, u'x') + QStringLiteral("😀\n乙"));
        QCOMPARE(edit->List1Model()->entries(), (QStringList{QString(32766, u'x'), QStringLiteral("乙")}));
    }

    // A clipboard over the paste's limit is cut at a line end, with a message.
    void overLargeClipboardIsCut()
    {
        ProgramFixture f;
        Edit *edit = editWithFocusInBox(f);
        paste(edit, CtrlV, QStringLiteral("甲\n乙\n") + QString(PastedText::MaxPasteLength, u'x'));
        QCOMPARE(edit->List1Model()->entries(), (QStringList{"甲", "乙"}));
        QCOMPARE(Dialogs::shownMessages().size(), 1);
        QVERIFY(f.lastMessage().startsWith(QStringLiteral("粘贴的内容太大")));
    }
};

QTEST_MAIN(TestPaste)
#include "tst_paste.moc"
