#include "FontColorDialog.h"
#include "QtTranslations.h"

#include <QColorDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

QStringList warnings;

void recordMessage(QtMsgType, const QMessageLogContext &, const QString &text)
{
    warnings << text;
}

// The button texts a dialog shows, without their mnemonics.
QStringList buttonTexts(const QWidget *dialog)
{
    QStringList out;
    for (const QAbstractButton *button : dialog->findChildren<QAbstractButton *>())
        out << button->text().remove(QStringLiteral("(&O)")).remove(u'&');
    return out;
}

enum class Dialog { MessageBox, FileDialog, FontDialog, ColorDialog };

std::unique_ptr<QWidget> makeDialog(Dialog kind)
{
    switch (kind) {
    case Dialog::MessageBox:
        return std::make_unique<QMessageBox>(QMessageBox::Warning, QStringLiteral("错误提示"),
                                             QStringLiteral("请添加列表后继续"), QMessageBox::Ok);
    case Dialog::FileDialog: {
        auto d = std::make_unique<QFileDialog>();
        d->setOption(QFileDialog::DontUseNativeDialog);
        d->setAcceptMode(QFileDialog::AcceptOpen);
        d->setFileMode(QFileDialog::ExistingFile);
        return d;
    }
    case Dialog::FontDialog:
        return std::make_unique<FontColorDialog>(QString(), 0);
    case Dialog::ColorDialog: {
        auto d = std::make_unique<QColorDialog>();
        d->setOption(QColorDialog::DontUseNativeDialog);
        return d;
    }
    }
    return {};
}

} // namespace

// Runs with LANG=C and LC_ALL=C: Qt's own texts must be Chinese anyway.
class TestTranslations : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void localeIsNotChinese() { QVERIFY(QLocale::system().language() != QLocale::Chinese); }

    // Must run before a translation is installed.
    void missingFileStaysEnglishQuietly()
    {
        QTemporaryDir empty;
        warnings.clear();
        const QtMessageHandler previous = qInstallMessageHandler(recordMessage);
        const bool installed = QtTranslations::installChinese(empty.path());
        qInstallMessageHandler(previous);
        QVERIFY(!installed);
        QCOMPARE(warnings, QStringList());
        QMessageBox box(QMessageBox::Warning, QString(), QString(), QMessageBox::Ok);
        QCOMPARE(box.button(QMessageBox::Ok)->text(), QStringLiteral("OK"));
    }

    void install()
    {
        QVERIFY2(QtTranslations::installChinese(), "qtbase_zh_CN.qm missing (qt6-translations-l10n)");
    }

    void chineseTexts_data()
    {
        QTest::addColumn<Dialog>("kind");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("message box OK") << Dialog::MessageBox << QStringList{QStringLiteral("确定")};
        QTest::newRow("file dialog accept and cancel")
            << Dialog::FileDialog << QStringList{QStringLiteral("打开"), QStringLiteral("取消")};
        QTest::newRow("font dialog buttons")
            << Dialog::FontDialog << QStringList{QStringLiteral("确定"), QStringLiteral("取消")};
        QTest::newRow("colour dialog buttons")
            << Dialog::ColorDialog << QStringList{QStringLiteral("确定"), QStringLiteral("取消")};
    }
    void chineseTexts()
    {
        QFETCH(Dialog, kind);
        QFETCH(QStringList, expected);
        const std::unique_ptr<QWidget> dialog = makeDialog(kind);
        const QStringList shown = buttonTexts(dialog.get());
        for (const QString &text : expected)
            QVERIFY2(shown.contains(text), qPrintable(shown.join(u',')));
        for (const QString &english :
             {QStringLiteral("OK"), QStringLiteral("Open"), QStringLiteral("Cancel")})
            QVERIFY2(!shown.contains(english), qPrintable(shown.join(u',')));
    }

    void fileAndColourDialogLabels_data()
    {
        QTest::addColumn<Dialog>("kind");
        QTest::addColumn<QString>("label");
        QTest::newRow("file name") << Dialog::FileDialog << QStringLiteral("文件名称(&N)：");
        QTest::newRow("look in") << Dialog::FileDialog << QStringLiteral("查找范围：");
        QTest::newRow("basic colours") << Dialog::ColorDialog << QStringLiteral("基本颜色(&B)");
    }
    void fileAndColourDialogLabels()
    {
        QFETCH(Dialog, kind);
        QFETCH(QString, label);
        const std::unique_ptr<QWidget> dialog = makeDialog(kind);
        QStringList texts;
        for (const QLabel *l : dialog->findChildren<QLabel *>())
            texts << l->text();
        QVERIFY2(texts.contains(label), qPrintable(texts.join(u',')));
    }
};

QTEST_MAIN(TestTranslations)
#include "tst_translations.moc"
