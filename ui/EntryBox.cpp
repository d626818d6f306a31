#include "EntryBox.h"

#include "PastedText.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPointer>

EntryBox::EntryBox(QWidget *parent) : QLineEdit(parent) {}

void EntryBox::pasteText(const QString &text)
{
    if (isReadOnly())
        return;
    const QString current = QLineEdit::text();
    const int from = hasSelectedText() ? selectionStart() : cursorPosition();
    const int length = hasSelectedText() ? int(selectedText().size()) : 0;
    // However large the clipboard, only what the list can keep is split: the
    // rest is counted or, past the paste's limit, not looked at.
    const QStringView paste = QStringView(text).first(qMin(text.size(), PastedText::MaxPasteLength + 1));
    const qsizetype at = qMin(qsizetype(from), current.size());
    const QString combined =
        QStringView(current).first(at) + paste +
        QStringView(current).sliced(at).sliced(qMin(qsizetype(length), current.size() - at));
    PastedText::Column column = PastedText::split(combined);
    column.cutChars += text.size() - paste.size();
    if (column.lines.size() < 2 && column.cutChars == 0) {
        // One line: exactly as if it had been typed, cut where typing would
        // stop, never between the halves of a surrogate pair.
        const qsizetype room = qMax(qsizetype(0), qsizetype(maxLength()) - (current.size() - length));
        insert(PastedText::cutAt(PastedText::split(paste).lines.value(0), room).toString());
        return;
    }
    clear();
    Q_EMIT columnPasted(column.lines, column.leftOut, column.cutChars);
}

void EntryBox::pasteFrom(QClipboard::Mode mode)
{
    pasteText(QGuiApplication::clipboard()->text(mode));
}

void EntryBox::keyPressEvent(QKeyEvent *event)
{
    if (event->matches(QKeySequence::Paste) && !isReadOnly()) {
        pasteFrom(QClipboard::Clipboard);
        event->accept();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

void EntryBox::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::MiddleButton && !isReadOnly() &&
        QGuiApplication::clipboard()->supportsSelection()) {
        // The selection goes in at the cursor, as the box itself would put it.
        deselect();
        pasteFrom(QClipboard::Selection);
        event->accept();
        return;
    }
    QLineEdit::mouseReleaseEvent(event);
}

void EntryBox::contextMenuEvent(QContextMenuEvent *event)
{
    QPointer<QMenu> menu = createStandardContextMenu();
    // The box's own paste item, known by its (possibly translated) caption.
    const QString pasteCaption = QCoreApplication::translate("QLineEdit", "&Paste");
    for (QAction *action : menu->actions()) {
        if (action->text().section(u'\t', 0, 0) != pasteCaption)
            continue;
        action->setObjectName(QStringLiteral("edit-paste"));
        disconnect(action, &QAction::triggered, nullptr, nullptr);
        connect(action, &QAction::triggered, this, [this] { pasteFrom(QClipboard::Clipboard); });
    }
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(event->globalPos());
}
