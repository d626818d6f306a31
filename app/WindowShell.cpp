#include "WindowShell.h"

#include "About.h"
#include "CandidateList.h"
#include "Dialogs.h"
#include "DrawEngine.h"
#include "Edit.h"
#include "Pick.h"
#include "RecordWriter.h"
#include "Setting.h"
#include "SoundCue.h"
#include "UiKit.h"

#include <QApplication>
#include <QTimer>

#include <utility>

WindowShell::WindowShell(QObject *parent) : QObject(parent), m_sound(new SoundCue(m_evening, this))
{
    connect(m_sound, &SoundCue::failed, this, &WindowShell::soundFailed);
    DrawEngine &engine = m_evening.engine();
    // A log held by another program is waited for without freezing the hall's window.
    engine.setRecorder([this](const QString &title, const QString &result, QString *error) {
        return RecordWriter::append(m_evening.resultLog(), title, result, error);
    });
    m_evening.setLogWriter([this](const QList<ResultLog::Record> &records, QString *error) {
        return RecordWriter::appendAll(m_evening.resultLog(), records, error);
    });
    // A winner who leaves the pool leaves the master list: the data editing window's.
    connect(&engine, &DrawEngine::winnerLeaves, this,
            [this](int position) { edit()->removeWinner(position); });
}

WindowShell::~WindowShell()
{
    delete m_sound; // before the evening it follows
    // Deleting a window does not run its close handling: nothing is unloaded.
    delete m_about.data();
    delete m_edit.data();
    delete m_pick.data();
    delete m_setting.data();
}

Setting *WindowShell::setting()
{
    if (!m_setting) {
        m_setting = new Setting(m_evening, m_pictures);
        connect(m_setting, &Setting::exitRequested, this, &WindowShell::endProgram);
        connect(m_setting, &Setting::aboutRequested, this, [this] { bringToFront(about()); });
        connect(m_setting, &Setting::editRequested, this, [this] { bringToFront(edit()); });
        connect(m_setting, &Setting::armRequested, this, &WindowShell::arm);
    }
    return m_setting;
}

Pick *WindowShell::pick()
{
    if (!m_pick) {
        m_pick = new Pick(m_evening, m_pictures);
        connect(m_pick, &Pick::settingsRequested, this, [this] {
            bringToFront(setting());
            tellSoundFailure();
        });
        connect(m_pick, &Pick::exitRequested, this, &WindowShell::endProgram);
        Q_EMIT pickLoaded(m_pick);
    }
    return m_pick;
}

Edit *WindowShell::edit()
{
    if (!m_edit) {
        m_edit = new Edit(m_evening);
        m_evening.setList(m_edit->List1Model());
        connect(m_edit, &Edit::countHandedOver, this,
                [this](qint32 count) { setting()->showCandidateCount(count); });
        Edit *created = m_edit;
        connect(m_edit, &Edit::unloaded, this, [this, created] { editUnloaded(created); });
        Q_EMIT editLoaded(m_edit);
    }
    return m_edit;
}

About *WindowShell::about()
{
    if (!m_about) {
        m_about = new About(m_sizeLock);
        About *created = m_about;
        connect(m_about, &About::unloaded, this, [this, created] { aboutUnloaded(created); });
    }
    return m_about;
}

Pick *WindowShell::loadedPick() const
{
    return m_pick;
}

Edit *WindowShell::loadedEdit() const
{
    return m_edit;
}

About *WindowShell::loadedAbout() const
{
    return m_about;
}

void WindowShell::arm(const LiveLook &look)
{
    Pick *live = pick();
    QString error;
    switch (live->showLook(look, &error)) {
    case Pick::LookOutcome::Ended:
        return; // the program is ending
    case Pick::LookOutcome::PictureRefused:
        setting()->showPictureError(look.picturePath, error);
        break;
    case Pick::LookOutcome::Shown:
        break;
    }
    m_evening.arm(look.title, look.lineFontColor[0]);
    setting()->hide();
    bringToFront(live); // a presenter remote works at once
}

void WindowShell::endProgram()
{
    for (QWidget *w : std::initializer_list<QWidget *>{m_setting, m_pick, m_edit, m_about})
        if (w)
            w->hide();
    m_evening.engine().Timer1()->stop();
    m_evening.Timer2()->stop();
    if (m_endProgram) {
        m_endProgram();
        return;
    }
    // Ends the loops running now; a loop started later would not know.
    m_ended = true;
    QCoreApplication::exit(0);
}

int WindowShell::exec()
{
    // Ended in a wait before the loop ran (a picture decoded at start-up).
    if (m_ended)
        return 0;
    return QApplication::exec();
}

void WindowShell::editUnloaded(Edit *edit)
{
    if (m_edit == edit)
        m_edit = nullptr;
    edit->deleteLater();
}

void WindowShell::aboutUnloaded(About *about)
{
    if (m_about == about)
        m_about = nullptr;
    about->deleteLater();
}

void WindowShell::soundFailed(const QString &text)
{
    m_soundFailure = text;
    if (m_setting && m_setting->isVisible())
        tellSoundFailure();
}

void WindowShell::tellSoundFailure()
{
    if (m_soundFailure.isEmpty())
        return;
    const QString text = std::exchange(m_soundFailure, QString());
    // After the step that called it: a sound never holds up the draw.
    QTimer::singleShot(0, this, [this, text] {
        if (m_setting)
            Dialogs::warn(m_setting, QStringLiteral("声音"), text);
    });
}
