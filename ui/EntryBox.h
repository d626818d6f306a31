#pragma once

#include <QClipboard>
#include <QLineEdit>

// The data editing window's entry box. A pasted column (Ctrl+V, Shift+Insert,
// the context menu, the middle button's selection) is handed over as lines
// instead of being squeezed into the one-line box; a single pasted line goes
// in as typed text does.
class EntryBox : public QLineEdit
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(EntryBox)

public:
    explicit EntryBox(QWidget *parent);

    // Pastes text at the cursor, replacing the selection, as the paste keys do.
    void pasteText(const QString &text);

Q_SIGNALS:
    // The box's text with the paste in it, one entry per line; the box is
    // emptied. leftOut lines past what the list can keep were only counted,
    // and cutChars characters past the paste's limit were not looked at.
    void columnPasted(const QStringList &lines, qsizetype leftOut, qsizetype cutChars);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    void pasteFrom(QClipboard::Mode mode);
};
