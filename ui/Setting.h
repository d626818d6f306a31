#pragma once

#include "Dialogs.h"
#include "LiveLook.h"

#include <QWidget>

#include <memory>

#include <array>

class EventLabel;
class LineShape;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class EveningController;
class PictureLoader;
class ResultLog;
class TwipsLayout;

// The settings window: the program's start-up window. Holds the event's
// title, subtitle, background picture, line fonts and repeat-draw choice,
// and arms the live-draw window.
class Setting : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Setting)

public:
    // The title the program starts with.
    static inline const QString InitialTitle = QStringLiteral("小梭子-星梭抽奖");

    Setting(EveningController &evening, PictureLoader &pictures);
    ~Setting() override;

    // The message at OK when the result log cannot be appended to.
    static QString logNotWritableText(const ResultLog &log, const QString &error);

    EventLabel *Label1;                      // heading "抽奖抽签程序"
    EventLabel *Label7;                      // heading " 系统设置"
    EventLabel *Label2;                      // names the title box
    QLineEdit *Text1;                        // event title
    std::array<QPushButton *, 2> Command7;   // font of the title line (0) and subtitle line (1)
    EventLabel *Label3;                      // names the subtitle box
    QLineEdit *Text2;                        // event subtitle
    EventLabel *Label5;                      // names the path box
    QLineEdit *Text4;                        // background picture path (read-only)
    EventLabel *Label6;                      // names the preview
    QLabel *Image1;                          // background preview, stretched
    QPushButton *Command1;                   // browse for the background picture
    QPushButton *Command5;                   // open the data editing window
    EventLabel *Label8;                      // candidate-count summary text
    EventLabel *Label10;                     // candidate-count number
    LineShape *Line1;                        // upper-left corner mark, top arm
    LineShape *Line2;                        // upper-left corner mark, left arm
    LineShape *Line3;                        // lower-right corner mark, right arm
    LineShape *Line4;                        // lower-right corner mark, bottom arm
    EventLabel *Label9;                      // names the repeat-draw choice
    EventLabel *Label11;                     // whether a prize plan exists; a click opens it
    QRadioButton *Option1;                   // repeat draws allowed
    QRadioButton *Option2;                   // repeat draws not allowed
    QPushButton *Command2;                   // OK: start the live draw
    QPushButton *Command3;                   // exit
    QPushButton *Command4;                   // about
    std::array<FontDialog, 2> CommonDialog1; // font dialogs of the two lines
    OpenFileDialog CommonDialog2;            // browse dialog for the background

    // Shows the picture named in Text4 in the preview (nothing when it is
    // empty); a picture that cannot be shown is reported when asked to.
    void showPreview(bool reportFailure);
    // The candidate count the data editing window handed over, in the summary.
    void showCandidateCount(qint32 count);
    // A picture the live-draw window could not show at the confirmation.
    void showPictureError(const QString &path, const QString &error);

Q_SIGNALS:
    void exitRequested();
    void aboutRequested();
    void editRequested();
    // "确 定" with a list: the live draw is armed with this look.
    void armRequested(const LiveLook &look);

protected:
    void paintEvent(QPaintEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void Load();
    void createControls();
    void Command1_Click();
    void Command2_Click();
    void Command7_Click(int index);

    EveningController &m_evening;
    PictureLoader &m_pictures;
    std::unique_ptr<TwipsLayout> m_layout;
};
