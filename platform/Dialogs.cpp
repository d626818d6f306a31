#include "Dialogs.h"

#include "FontColorDialog.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QQueue>

namespace Dialogs {

namespace {

struct TestState
{
    bool enabled = false;
    bool realBoxes = false;
    QList<ShownMessage> messages;
    QQueue<std::optional<QString>> fileNames;
    QQueue<std::optional<FontAnswer>> fonts;
    QQueue<bool> answers;
    QQueue<int> choices;
    QQueue<std::optional<QString>> saveNames;
};

TestState &testState()
{
    static TestState state;
    return state;
}

// Keeps the arrow keys from moving the focus, and with it the default,
// from one of a box's buttons to the next.
class ArrowKeysStay final : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease) {
            switch (static_cast<QKeyEvent *>(event)->key()) {
            case Qt::Key_Left:
            case Qt::Key_Right:
            case Qt::Key_Up:
            case Qt::Key_Down:
                return true;
            default:
                break;
            }
        }
        return QObject::eventFilter(watched, event);
    }
};

void keepArrowsOffButtons(QMessageBox &box)
{
    auto *filter = new ArrowKeysStay(&box);
    for (QAbstractButton *button : box.buttons())
        button->installEventFilter(filter);
}

// Some faces (WenQuanYi Micro Hei among them) are shorter above the line
// than the marks over their capitals (Ü, Å, É). A box's label paints its
// text from the top of its first line, and a selectable label clips the
// painting there, so those marks were cut off. A question's label is not
// selectable (its text is short and says what to choose) and gets the room
// its first line's ink needs above, and its last line's below.
void keepMarksInside(QMessageBox &box)
{
    auto *label = box.findChild<QLabel *>(QStringLiteral("qt_msgbox_label"));
    if (!label)
        return;
    QStringList lines = box.text().split(u'\n');
    for (QString &line : lines)
        line.remove(u'\r');
    const QFontMetrics metrics(label->font());
    const int above = -metrics.boundingRect(lines.constFirst()).top() - metrics.ascent();
    const int below = metrics.boundingRect(lines.constLast()).bottom() + 1 - metrics.descent();
    label->setTextInteractionFlags(Qt::NoTextInteraction);
    // A pixel of air beyond the ink, so the antialiased edge is not cut either.
    label->setContentsMargins(0, above > 0 ? above + 1 : 0, 0, below > 0 ? below + 1 : 0);
}

// A box showing supplied text: plain text; a question's with room for every mark.
void setText(QMessageBox &box, const QString &text)
{
    box.setTextFormat(Qt::PlainText);
    box.setText(text);
    if (box.icon() == QMessageBox::Question)
        keepMarksInside(box);
}

} // namespace

void enableTestMode()
{
    testState().enabled = true;
}

bool inTestMode()
{
    return testState().enabled;
}

QList<ShownMessage> &shownMessages()
{
    return testState().messages;
}

void setNextFileName(const std::optional<QString> &path)
{
    testState().fileNames.enqueue(path);
}

void setNextFont(const std::optional<FontAnswer> &answer)
{
    testState().fonts.enqueue(answer);
}

void setNextAnswer(bool first)
{
    testState().answers.enqueue(first);
}

void resetTestState()
{
    TestState &s = testState();
    s.answers.clear();
    s.messages.clear();
    s.fileNames.clear();
    s.fonts.clear();
    s.choices.clear();
    s.saveNames.clear();
    s.realBoxes = false;
}

void showRealMessageBoxes(bool on)
{
    testState().realBoxes = on;
}

void warn(QWidget *parent, const QString &title, const QString &text)
{
    if (inTestMode()) {
        shownMessages().append({title, text, QMessageBox::Warning});
        if (!testState().realBoxes)
            return;
    }
    QMessageBox box(QMessageBox::Warning, title, QString(), QMessageBox::Ok, parent);
    setText(box, text);
    box.exec();
}

bool ask(QWidget *parent, const QString &title, const QString &text, const QString &first,
         const QString &second)
{
    if (inTestMode()) {
        shownMessages().append({title, text, QMessageBox::Question});
        auto &answers = testState().answers;
        if (!testState().realBoxes)
            return !answers.isEmpty() && answers.dequeue();
    }
    QMessageBox box(QMessageBox::Question, title, QString(), QMessageBox::NoButton, parent);
    setText(box, text);
    QPushButton *yes = box.addButton(first, QMessageBox::AcceptRole);
    QPushButton *no = box.addButton(second, QMessageBox::RejectRole);
    box.setDefaultButton(yes);
    box.setEscapeButton(no);
    keepArrowsOffButtons(box);
    box.exec();
    return box.clickedButton() == yes;
}

void inform(QWidget *parent, const QString &title, const QString &text)
{
    if (inTestMode()) {
        shownMessages().append({title, text, QMessageBox::Information});
        if (!testState().realBoxes)
            return;
    }
    QMessageBox box(QMessageBox::Information, title, QString(), QMessageBox::Ok, parent);
    setText(box, text);
    box.exec();
}

void setNextChoice(int index)
{
    testState().choices.enqueue(index);
}

int choose(QWidget *parent, const QString &title, const QString &text, const QStringList &buttons,
           int defaultButton)
{
    if (inTestMode()) {
        shownMessages().append({title, text, QMessageBox::Question});
        auto &queue = testState().choices;
        if (!testState().realBoxes)
            return queue.isEmpty() ? -1 : queue.dequeue();
    }
    QMessageBox box(QMessageBox::Question, title, QString(), QMessageBox::NoButton, parent);
    setText(box, text);
    QList<QPushButton *> added;
    for (qsizetype i = 0; i < buttons.size(); ++i)
        added << box.addButton(buttons.at(i),
                               i + 1 == buttons.size() ? QMessageBox::RejectRole : QMessageBox::AcceptRole);
    // Cancelling (the last button) is the default unless told otherwise: a stray Enter changes nothing.
    if (!added.isEmpty()) {
        box.setDefaultButton(added.value(defaultButton, added.last()));
        box.setEscapeButton(added.last());
    }
    keepArrowsOffButtons(box);
    box.exec();
    const int index = int(added.indexOf(qobject_cast<QPushButton *>(box.clickedButton())));
    return index + 1 == added.size() ? -1 : index;
}

void setNextSaveFileName(const std::optional<QString> &path)
{
    testState().saveNames.enqueue(path);
}

std::optional<QString> saveFileName(QWidget *parent, const QString &title, const QString &folder,
                                    const QString &name, const QString &filter)
{
    if (inTestMode()) {
        auto &queue = testState().saveNames;
        return queue.isEmpty() ? std::nullopt : queue.dequeue();
    }
    QFileDialog dialog(parent, title);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setNameFilters(nameFilters(filter));
    dialog.setDirectory(folder);
    dialog.selectFile(name);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().constFirst();
}

QStringList nameFilters(const QString &filter)
{
    QStringList out;
    const QStringList parts = filter.split(u'|');
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString patterns = parts.at(i + 1);
        patterns.replace(u';', u' ');
        out << QStringLiteral("%1 (%2)").arg(parts.at(i), patterns);
    }
    return out;
}

} // namespace Dialogs

bool OpenFileDialog::ShowOpen(QWidget *parent, const QString &title)
{
    std::optional<QString> chosen;
    if (Dialogs::inTestMode()) {
        auto &queue = Dialogs::testState().fileNames;
        chosen = queue.isEmpty() ? std::nullopt : queue.dequeue();
    } else {
        QFileDialog dialog(parent, title);
        prepare(dialog);
        if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
            chosen = dialog.selectedFiles().constFirst();
    }
    if (!chosen)
        return false;
    FileName = *chosen;
    return true;
}

void OpenFileDialog::prepare(QFileDialog &dialog) const
{
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    // A label such as "文本文件 (*.txt)" already names its patterns: the
    // dialog shows it alone rather than adding the patterns a second time.
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setNameFilters(Dialogs::nameFilters(Filter));
    dialog.setDirectory(FileName.isEmpty() ? InitDir : QFileInfo(FileName).absolutePath());
}

bool FontDialog::ShowFont(QWidget *parent)
{
    if (Dialogs::inTestMode()) {
        auto &queue = Dialogs::testState().fonts;
        const std::optional<Dialogs::FontAnswer> answer = queue.isEmpty() ? std::nullopt : queue.dequeue();
        m_offered = true;
        if (!answer)
            return false;
        FontName = answer->face;
        Color = answer->color;
        return true;
    }
    m_offered = !QFontDatabase::families().isEmpty();
    if (!m_offered)
        return false;
    FontColorDialog dialog(FontName, Color, parent);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    FontName = dialog.face();
    Color = dialog.color();
    return true;
}
