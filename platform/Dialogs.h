#pragma once

#include <QList>
#include <QMessageBox>
#include <QString>

#include <optional>

class QFileDialog;
class QWidget;

// Message boxes, open-file dialogs and font dialogs. Each goes through here
// so tests can answer them without a modal dialog blocking.
namespace Dialogs {

// Test hooks: once enabled, no dialog is shown; open-file and font dialogs
// take the queued answers (a missing answer counts as a cancel) and message
// boxes are recorded.
struct ShownMessage
{
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
};
void enableTestMode();
bool inTestMode();
QList<ShownMessage> &shownMessages();
// nullopt answers the next open-file dialog with a cancel.
void setNextFileName(const std::optional<QString> &path);
struct FontAnswer
{
    QString face;
    quint32 color = 0; // 0xRRGGBB
};
void setNextFont(const std::optional<FontAnswer> &answer);
// The next question's answer: true for its first button. Unanswered questions get the second.
void setNextAnswer(bool first);
// Drops queued answers and recorded messages, and turns real boxes off.
void resetTestState();
// In test mode, message boxes are still recorded and also shown for real,
// modal, so a test can close them with a key as an operator would.
void showRealMessageBoxes(bool on);

// The title of every refusal and failure the program reports.
inline const QString ErrorTitle = QStringLiteral("错误提示");

// A refusal or failure: exclamation icon, one OK button. The text is shown
// as it is, never as markup: it may quote a file name or a result.
void warn(QWidget *parent, const QString &title, const QString &text);
// The same, titled "错误提示".
inline void error(QWidget *parent, const QString &text)
{
    warn(parent, ErrorTitle, text);
}

// A question with two buttons (the first the default); true when the first
// was chosen. Closing the box counts as the second. Plain text, as warn.
bool ask(QWidget *parent, const QString &title, const QString &text, const QString &first,
         const QString &second);
// Information, for a step that went well: information icon, one OK button.
void inform(QWidget *parent, const QString &title, const QString &text);
// A question with its own buttons (the last one cancels): the index of the
// button chosen, or -1 when the box was closed or cancelled. Enter chooses
// defaultButton (-1: the last, cancelling one), Escape cancels. Tests answer
// with setNextChoice; without an answer the box counts as cancelled.
// In every question the arrow keys move nothing between the buttons: Right
// or Down from a presenter remote cannot make another button the default.
int choose(QWidget *parent, const QString &title, const QString &text, const QStringList &buttons,
           int defaultButton = -1);
void setNextChoice(int index);
// A save-file dialog starting at a folder with a proposed name; nullopt when
// cancelled. Tests answer with setNextSaveFileName.
std::optional<QString> saveFileName(QWidget *parent, const QString &title, const QString &folder,
                                    const QString &name, const QString &filter);
void setNextSaveFileName(const std::optional<QString> &path);

// The program's filter form "label|*.a;*.b|label2|*.c" as a Qt name filter list.
QStringList nameFilters(const QString &filter);

} // namespace Dialogs

// An open-file dialog that keeps its file name between showings: a dialog
// closed without a choice still reports the name it held when it opened.
class OpenFileDialog
{
public:
    QString InitDir;  // folder shown first
    QString Filter;   // "label|patterns"
    QString FileName; // full path of the chosen file, kept across showings

    // Shows the dialog; true when a file was chosen.
    bool ShowOpen(QWidget *parent, const QString &title = QString());
    // Sets up a dialog as ShowOpen shows it: folder, file mode and filters,
    // each filter named by its label alone.
    void prepare(QFileDialog &dialog) const;
};

// A font dialog reporting a face name and a colour. A cancelled dialog
// reports what it held when it opened: the previous choice, or an empty
// face and black before any.
class FontDialog
{
public:
    QString FontName;
    quint32 Color = 0; // 0xRRGGBB

    // Shows the dialog; true when confirmed. Returns false without showing
    // anything, and leaves both values alone, when no font is installed.
    bool ShowFont(QWidget *parent);
    // Whether the last ShowFont had a font to offer at all.
    bool offeredFonts() const { return m_offered; }

private:
    bool m_offered = true;
};
