#include "WindowShell.h"

#include "About.h"
#include "CandidateList.h"
#include "Console.h"
#include "Dialogs.h"
#include "DrawEngine.h"
#include "Edit.h"
#include "Pick.h"
#include "PlanDraw.h"
#include "RecordWriter.h"
#include "ScreenChoice.h"
#include "Setting.h"
#include "SoundCue.h"
#include "UiKit.h"

#include <QApplication>
#include <QScreen>
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
    // Screens plugged, unplugged, moved or resized: placed once the changes of the moment are in.
    m_placing.setSingleShot(true);
    m_placing.setInterval(0);
    connect(&m_placing, &QTimer::timeout, this, &WindowShell::placeWindows);
    if (auto *gui = qobject_cast<QGuiApplication *>(QCoreApplication::instance())) {
        connect(gui, &QGuiApplication::screenAdded, this, [this](QScreen *screen) {
            watchScreen(screen);
            m_placing.start();
        });
        connect(gui, &QGuiApplication::screenRemoved, &m_placing, qOverload<>(&QTimer::start));
        connect(gui, &QGuiApplication::primaryScreenChanged, &m_placing, qOverload<>(&QTimer::start));
        for (QScreen *screen : QGuiApplication::screens())
            watchScreen(screen);
    }
}

void WindowShell::watchScreen(QScreen *screen)
{
    connect(screen, &QScreen::geometryChanged, &m_placing, qOverload<>(&QTimer::start));
}

WindowShell::~WindowShell()
{
    delete m_sound; // before the evening it follows
    // Deleting a window does not run its close handling: nothing is unloaded.
    delete m_console.data();
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
        connect(m_pick, &Pick::consoleRequested, this, [this] {
            Console *c = console();
            placeWindows();
            // On the operator's own screen when there is one.
            if (!c->isVisible())
                c->showOnScreen(m_consoleScreen ? m_consoleScreen.data() : m_pick->screen());
            bringToFront(c);
        });
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

Console *WindowShell::console()
{
    if (!m_console) {
        Pick *live = pick();
        PlanDraw *plan = live->plan();
        m_console = new Console(m_evening, *live);
        connect(m_console, &Console::voidRequested, plan, &PlanDraw::offerVoid);
        connect(m_console, &Console::voidMenuRequested, plan, &PlanDraw::showVoidMenu);
        connect(m_console, &Console::boardRequested, plan, &PlanDraw::showBoard);
        connect(m_console, &Console::exportRequested, plan, [this, plan] { plan->exportBoard(m_console); });
        connect(m_console, &Console::audienceScreenChosen, this, &WindowShell::setAudienceScreen);
        // What the evening tells the operator is told on the console from now on.
        plan->setOperatorWindow(m_console);
        connect(&m_evening, &EveningController::refused, m_console,
                [this](const QString &reason) { m_console->tell(Dialogs::ErrorTitle, reason); });
        connect(&m_evening, &EveningController::warned, m_console, &Console::tell);
        QStringList names;
        for (const QScreen *screen : QGuiApplication::screens())
            names.append(screen->name());
        m_console->showScreens(names, m_audienceScreen);
    }
    return m_console;
}

Console *WindowShell::loadedConsole() const
{
    return m_console;
}

void WindowShell::setAudienceScreen(const QString &name)
{
    if (name == m_audienceScreen)
        return;
    m_audienceScreen = name;
    Q_EMIT audienceScreenChanged(name);
    placeWindows();
}

void WindowShell::placeWindows()
{
    m_placing.stop();
    const QList<QScreen *> screens = QGuiApplication::screens();
    QList<ScreenChoice::Screen> infos;
    QStringList names;
    for (QScreen *s : screens) {
        infos.append({s->name(), s->geometry(), s == QGuiApplication::primaryScreen()});
        names.append(s->name());
    }
    const ScreenChoice::Choice choice = ScreenChoice::choose(infos, m_audienceScreen);
    if (m_console)
        m_console->showScreens(names, m_audienceScreen);
    const bool ownScreens = choice.console >= 0;
    m_consoleScreen = ownScreens ? screens.at(choice.console) : nullptr;
    const bool newlyTwo = ownScreens && !m_ownScreens;
    const bool newlyOne = !ownScreens && m_ownScreens;
    m_ownScreens = ownScreens;
    Pick *live = m_pick;
    // Nothing of the operator's on the hall's screen while the console has its own.
    if (live)
        live->setOperatorControlsShown(!ownScreens);
    if (choice.audience < 0 || !live || !live->isVisible())
        return;
    QScreen *hall = screens.at(choice.audience);
    if (!ownScreens) {
        // One screen: the live draw stays as it was, full screen or not, on
        // a screen that is there (full screen: the whole of it).
        if (live->isFullScreenMode() || !hall->geometry().intersects(live->frameGeometry()))
            live->placeOnScreen(hall, live->isFullScreenMode());
        // The console's screen gone: it steps aside rather than cover the
        // hall (F2 brings it back; meanwhile it is told on its message line).
        if (m_console && m_console->isVisible() &&
            (newlyOne || !hall->geometry().intersects(m_console->frameGeometry())))
            m_console->hide();
        return;
    }
    live->placeOnScreen(hall, true);
    // The console comes up by itself when a second screen is there.
    if (newlyTwo || (m_console && m_console->isVisible()))
        console()->showOnScreen(screens.at(choice.console));
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
    // With a plan the operator is told on the console, never over the winners.
    if (m_evening.planActive())
        console();
    m_ownScreens = false; // a second screen there now brings the console up
    placeWindows();
}

void WindowShell::endProgram()
{
    for (QWidget *w : std::initializer_list<QWidget *>{m_setting, m_pick, m_edit, m_about, m_console})
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
