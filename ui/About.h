#pragma once

#include <QPixmap>
#include <QUrl>
#include <QWidget>

#include <memory>

class EventLabel;
class LineShape;
class TwipsLayout;
class SizeLock;

// The about window: name, version and credits over a background picture,
// a link picture to the project's web page, and a framed OK label.
class About : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(About)

public:
    static inline const QString Version = QStringLiteral("v 1.0b  09-11-13");
    static QUrl webPage();

    explicit About(SizeLock &sizeLock);
    ~About() override;

    EventLabel *Label1; // first letter of the heading, "A"
    EventLabel *Label2; // rest of the heading, "bout"
    EventLabel *Label3; // program title
    EventLabel *Label5; // credit line
    EventLabel *Image1; // link picture to the web page
    EventLabel *Label8; // version, set at load
    EventLabel *Label6; // credit
    EventLabel *Label7; // maker's name
    EventLabel *Label4; // motto
    EventLabel *Label9; // OK label-button inside the frame
    LineShape *Line1;   // rule under the heading
    LineShape *Line2;   // separator above the OK area
    LineShape *Line3;   // OK frame: top edge
    LineShape *Line4;   // OK frame: left edge
    LineShape *Line5;   // OK frame: bottom edge
    LineShape *Line6;   // OK frame: right edge

Q_SIGNALS:
    // Closed from outside: the window unloaded itself and is gone once control returns.
    void unloaded();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void Load();
    void Unload();
    void createControls();
    void applyFrameLook(bool pressed);
    void Image1_Click();

    SizeLock &m_sizeLock;
    std::unique_ptr<TwipsLayout> m_layout;
    QPixmap m_background;
    bool m_surfacePressed = false;
};
