#include "About.h"
#include "UiTestSupport.h"

#include <QImage>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>

// Text that looks like markup, supplied as a title, a subtitle, an entry or
// a file name, is shown exactly as supplied everywhere it appears, and the
// result the hall sees is the one the log keeps.
class TestMarkup : public QObject
{
    Q_OBJECT

    // What a label shows, as pixels.
    static QImage picture(QLabel *label)
    {
        QImage image(label->size(), QImage::Format_ARGB32);
        image.fill(Qt::white);
        label->render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
        return image;
    }
    // What the label would show if it showed its text literally.
    static QImage literalPicture(QLabel *label)
    {
        QLabel plain;
        plain.setTextFormat(Qt::PlainText);
        plain.setTextInteractionFlags(label->textInteractionFlags());
        plain.setText(label->text());
        plain.setFont(label->font());
        plain.setPalette(label->palette());
        plain.setAlignment(label->alignment());
        plain.setWordWrap(label->wordWrap());
        plain.setMargin(label->margin());
        plain.setIndent(label->indent());
        plain.setFrameStyle(label->frameStyle());
        plain.setContentsMargins(label->contentsMargins());
        plain.setAutoFillBackground(label->autoFillBackground());
        plain.resize(label->size());
        return picture(&plain);
    }
    // The label holds the text and draws it character for character.
    static bool shownAsIs(QLabel *label, const QString &text)
    {
        if (label->text() != text) {
            qWarning() << label->objectName() << "holds" << label->text();
            return false;
        }
        if (picture(label) != literalPicture(label)) {
            qWarning() << label->objectName() << "draws" << text << "as markup";
            return false;
        }
        return true;
    }
    static QString asFileName(QString text)
    {
#ifdef Q_OS_WIN
        for (QChar c : QStringLiteral("<>:\"\\|?*")) // not in Windows file names
            text.replace(c, u'_');
#endif
        return text.replace(u'/', u'_') + QStringLiteral(".txt");
    }

private Q_SLOTS:
    void suppliedTextIsShownAsIs_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("line break tag") << "x<br>y";
        QTest::newRow("struck") << "<s>Dan</s>";
        QTest::newRow("nested") << "<u><i>AB</i></u>";
        QTest::newRow("two names") << "<i>Tom</i> & <b>Jerry</b>";
        QTest::newRow("heading") << "<h1>BIG</h1>";
        QTest::newRow("local picture") << "<img src=\"PICTURE\">";
        QTest::newRow("endless picture") << "<img src=\"/dev/zero\">";
        QTest::newRow("entity") << "&amp;";
        QTest::newRow("lone angle") << "<";
        QTest::newRow("comparison") << "a < b > c";
    }
    void suppliedTextIsShownAsIs()
    {
        QFETCH(QString, text);
        ProgramFixture f;
        QImage red(8, 8, QImage::Format_RGB32);
        red.fill(Qt::red);
        QVERIFY(red.save(f.path(QStringLiteral("pic.png"))));
        text.replace(QStringLiteral("PICTURE"), f.path(QStringLiteral("pic.png")));

        // Title and subtitle, typed in the settings window.
        Setting *setting = f.shell->setting();
        f.fillList({text});
        f.scriptPositions({0});
        setting->Text1->setText(text);
        setting->Text2->setText(text);
        click(setting->Command2);
        Pick *pick = f.shell->pick();
        QVERIFY(pick->isVisible());
        QVERIFY(shownAsIs(pick->Label1, text));
        QVERIFY(shownAsIs(pick->Label2, text));

        // The rolling display at every tick and at the stop; the log agrees.
        click(pick->Label4);
        for (int tick = 0; tick < 3; ++tick) {
            QVERIFY(shownAsIs(pick->Label3, text));
            pick->engine()->Tick();
        }
        click(pick->Label4);
        QVERIFY(shownAsIs(pick->Label3, text));
        QCOMPARE(f.results(), QStringList{text});

        // The list row.
        Edit *edit = f.shell->edit();
        const QModelIndex row = edit->List1Model()->index(0);
        QCOMPARE(row.data(Qt::DisplayRole).toString(), text);

        // The file-name label of the status row.
        const QString fileName = asFileName(text);
        edit->importListFile(f.writeFile(fileName, "a\r\n"));
        QVERIFY(shownAsIs(edit->Label1, fileName));

        // Message boxes quoting a file name and a result.
        Dialogs::showRealMessageBoxes(true);
        QStringList boxTexts;
        auto readBox = [&boxTexts](QMessageBox *box) {
            QLabel *label = messageLabel(box);
            if (label && shownAsIs(label, box->text()))
                boxTexts << box->text();
            pressEnterOn(box);
        };
        onNextMessageBox(readBox);
        edit->importListFile(f.path(QStringLiteral("missing ") + fileName));
        QCOMPARE(boxTexts.size(), 1);
        QVERIFY(boxTexts.last().contains(QStringLiteral("missing ") + fileName));

        QVERIFY(QFile::remove(f.path(QStringLiteral("Result.txt"))));
        QVERIFY(QDir(f.dir.path()).mkdir(QStringLiteral("Result.txt"))); // cannot be written
        click(pick->Label4);
        onNextMessageBox(readBox);
        click(pick->Label4);
        QCOMPARE(boxTexts.size(), 2);
        QVERIFY(boxTexts.last().contains(QStringLiteral("结果：") + text));
        QVERIFY(shownAsIs(pick->Label3, text));

        // Still running, on the live-draw window.
        QVERIFY(pick->isVisible());
        QCOMPARE(f.endCalls, 0);
    }

    // No label of any window reads its text as markup, so a label added
    // later cannot forget it either.
    void everyLabelIsPlainText()
    {
        ProgramFixture f;
        const QList<QWidget *> windows{f.shell->setting(), f.shell->pick(), f.shell->edit(),
                                       f.shell->about()};
        int labels = 0;
        for (QWidget *window : windows) {
            for (QLabel *label : window->findChildren<QLabel *>()) {
                QVERIFY2(label->textFormat() == Qt::PlainText,
                         qPrintable(window->objectName() + u'.' + label->objectName()));
                ++labels;
            }
        }
        QVERIFY(labels >= 30);
    }
};

QTEST_MAIN(TestMarkup)
#include "tst_markup.moc"
