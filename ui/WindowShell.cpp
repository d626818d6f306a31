#include "WindowShell.h"

#include "About.h"
#include "CandidateList.h"
#include "DrawEngine.h"
#include "Edit.h"
#include "Pick.h"
#include "PlanWindow.h"
#include "RecordWriter.h"
#include "Setting.h"

#include <QApplication>

WindowShell::WindowShell(QObject *parent) : QObject(parent) {}

WindowShell::~WindowShell()
{
    // Deleting a window does not run its close handling: nothing is unloaded.
    delete m_about.data();
    delete m_edit.data();
    delete m_pick.data();
    delete m_setting.data();
}

Setting *WindowShell::setting()
{
    if (!m_setting) {
        m_setting = new Setting(*this);
        PlanWindow::attachTo(m_setting, *this);
    }
    return m_setting;
}

Pick *WindowShell::pick()
{
    if (!m_pick) {
        m_pick = new Pick(*this);
        Q_EMIT pickLoaded(m_pick);
    }
    return m_pick;
}

Edit *WindowShell::edit()
{
    if (!m_edit) {
        m_edit = new Edit(*this);
        Q_EMIT editLoaded(m_edit);
    }
    return m_edit;
}

About *WindowShell::about()
{
    if (!m_about)
        m_about = new About(*this);
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

QString WindowShell::candidateAt(int position) const
{
    return m_edit ? m_edit->List1Model()->List(position) : QString();
}

QString WindowShell::programFolder()
{
    return QCoreApplication::applicationDirPath();
}

void WindowShell::endProgram()
{
    for (QWidget *w : std::initializer_list<QWidget *>{m_setting, m_pick, m_edit, m_about})
        if (w)
            w->hide();
    if (m_pick)
        m_pick->engine()->Timer1()->stop();
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

EventState::RecordOutcome WindowShell::recordEvening(const Prizes::Evening &before,
                                                     const QList<ResultLog::Record> &records, QString *error)
{
    if (m_recordEvening)
        return m_recordEvening(before, records, error);
    return RecordWriter::appendAll(m_resultLog, records, error) ? EventState::RecordOutcome::Recorded
                                                                : EventState::RecordOutcome::NotRecorded;
}
