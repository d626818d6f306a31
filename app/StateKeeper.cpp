#include "StateKeeper.h"

#include "CandidateList.h"
#include "Dialogs.h"
#include "DrawEngine.h"
#include "Edit.h"
#include "EveningController.h"
#include "Pick.h"
#include "RecordWriter.h"
#include "Setting.h"
#include "UiKit.h"
#include "WindowShell.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardPaths>

StateKeeper::StateKeeper(WindowShell &shell, EventState::Store store, QObject *parent)
    : QObject(parent), m_shell(shell), m_store(std::move(store))
{
    m_timer.setSingleShot(true);
    // The organiser's sound files are copied beside the saved list.
    m_shell.controller().setSoundFolder(m_store.soundFolder());
    // Only what changed is encoded and written again.
    connect(&m_timer, &QTimer::timeout, this, &StateKeeper::saveEveningNow);
    // Nothing is written for windows that are gone.
    connect(&m_shell, &QObject::destroyed, &m_timer, &QTimer::stop);
    // Typing still waiting for its pause is written when the program ends.
    connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, this, [this] {
        if (m_timer.isActive())
            saveNow();
    });
}

StateKeeper::~StateKeeper() = default;

EventState::Store StateKeeper::userStore()
{
    const QString folder = QStringLiteral("/xingsuo-draw/");
    return EventState::Store(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                                 folder + QStringLiteral("settings.json"),
                             QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + folder +
                                 QStringLiteral("list.json"));
}

void StateKeeper::restore()
{
    const EventState::Store::Loaded loaded = m_store.load();
    Setting *setting = m_shell.setting();
    if (loaded.settings) {
        const EventState::Settings &s = *loaded.settings;
        EveningController &evening = m_shell.controller();
        setting->Text1->setText(s.title);
        setting->Text2->setText(s.subtitle);
        setting->Text4->setText(s.picturePath);
        // A picture that has gone since is said at "确 定", as any other.
        setting->showPreview(false);
        for (int i = 0; i < 2; ++i)
            evening.setLineFont(i, s.lineFontFace[size_t(i)], s.lineFontColor[size_t(i)]);
        // The font dialogs open with the restored choice, and "取消" keeps it.
        for (size_t i = 0; i < 2; ++i) {
            setting->CommonDialog1[i].FontName = s.lineFontFace[i].value_or(QString());
            setting->CommonDialog1[i].Color = s.lineFontColor[i].value_or(0);
        }
        evening.setNoRepeatDraw(s.noRepeatDraw);
        (s.noRepeatDraw != 0 ? setting->Option2 : setting->Option1)->setChecked(true);
        evening.setWinnersLeave(s.winnersLeave);
        m_shell.setAudienceScreen(s.audienceScreen);
        evening.setSoundOn(s.soundOn);
        evening.setSoundVolume(s.soundVolume);
        for (int i = 0; i < int(s.soundFiles.size()); ++i)
            evening.setSoundFile(i, s.soundFiles[size_t(i)]);
    }
    bool settled = false;
    QStringList logTakenBack; // what a crash cut off at the log's end, taken back now
    if (loaded.list) {
        EventState::WorkingList l = *loaded.list;
        // A list saved while a result was being recorded: the winner leaves
        // when the record reached the log, whatever came after it.
        settled = l.pending.has_value();
        QString takenBack;
        EventState::settlePending(&l, &takenBack);
        if (!takenBack.isEmpty())
            logTakenBack << takenBack;
        if (!l.entries.isEmpty() || !l.fileName.isEmpty())
            m_shell.edit()->restoreList(l.entries, l.fileName, l.filePath, l.sizeCaption, l.imported);
        m_shell.controller().restoreRoster(l.roster);
    }
    bool eveningNoted = false;
    if (loaded.evening) {
        Prizes::Evening e = *loaded.evening;
        // Saved while a change's records were being written: the change
        // stands as far as its records reached the log.
        if (loaded.eveningPending) {
            eveningNoted = true;
            QString takenBack;
            EventState::settleEvening(&e, *loaded.eveningPending, &takenBack);
            if (!takenBack.isEmpty())
                logTakenBack << takenBack;
        }
        m_shell.controller().restoreEvening(e);
    }
    // What was just read is what the files hold.
    m_savedSettings = EventState::encodeSettings(currentSettings());
    m_savedList = settled ? QByteArray() : EventState::encodeList(currentList());
    m_savedEvening = eveningNoted ? QByteArray() : EventState::encodeEvening(m_shell.evening());
    if (!loaded.problems.isEmpty())
        Dialogs::error(setting, loaded.problems.join(QStringLiteral("\r\n")) +
                                    QStringLiteral("\r\n\r\n程序以默认设置启动。"));
    if (!logTakenBack.isEmpty())
        Dialogs::warn(setting, QStringLiteral("结果文件已修复"),
                      logTakenBack.join(QStringLiteral("\r\n\r\n")));
    watch();
    if (settled || eveningNoted)
        saveNow(); // the settled pool and evening, at once
}

void StateKeeper::startFresh()
{
    QStringList kept;
    for (const QString &path : {m_store.settingsPath(), m_store.listPath(), m_store.prizesPath()}) {
        if (!QFileInfo::exists(path))
            continue;
        QString error;
        const QString aside = EventState::moveAside(path, &error, QStringLiteral("earlier"));
        if (aside.isEmpty())
            kept << QStringLiteral("%1（%2）").arg(QDir::toNativeSeparators(path), error);
    }
    if (!kept.isEmpty()) {
        // Nothing is overwritten that could not be put aside: this run is not kept.
        Dialogs::error(m_shell.setting(),
                       QStringLiteral("无法把上次保存的状态移到一旁：%1\r\n本次运行的设置和列表不会被保存。")
                           .arg(kept.join(QStringLiteral("、"))));
        return;
    }
    m_savedSettings = EventState::encodeSettings(currentSettings());
    m_savedList = EventState::encodeList(currentList());
    m_savedEvening = EventState::encodeEvening(m_shell.evening());
    watch();
}

void StateKeeper::watch()
{
    EveningController &evening = m_shell.controller();
    connect(&evening, &EveningController::eveningChanged, this, [this] {
        m_eveningOnDisk = false;
        const bool others = m_othersPending;
        scheduleSave();
        m_othersPending = others;
    });
    // A stop's winners are on disk before the hall sees them as drawn.
    evening.setStateSaver([this] { return saveEveningNow(); });
    evening.setEveningRecorder([this](const Prizes::Evening &before, const QList<ResultLog::Record> &records,
                                      QString *error) { return recordEvening(before, records, error); });
    Setting *setting = m_shell.setting();
    connect(setting->Text1, &QLineEdit::textChanged, this, [this] { scheduleSave(TypingPauseMs); });
    connect(setting->Text2, &QLineEdit::textChanged, this, [this] { scheduleSave(TypingPauseMs); });
    connect(setting->Text4, &QLineEdit::textChanged, this, [this] { scheduleSave(); });
    connect(setting->Option1, &QRadioButton::toggled, this, [this] { scheduleSave(); });
    for (QPushButton *font : setting->Command7)
        connect(font, &QPushButton::clicked, this, [this] { scheduleSave(); });
    connect(&evening, &EveningController::winnersLeaveChanged, this, [this] { scheduleSave(); });
    connect(&m_shell, &WindowShell::audienceScreenChanged, this, [this] { scheduleSave(); });
    // A volume dragged along is written once it rests.
    connect(&evening, &EveningController::soundChanged, this, [this] { scheduleSave(TypingPauseMs); });
    // With winners leaving, a stop keeps the pool on disk around its record.
    connect(&evening.engine(), &DrawEngine::recordStarting, this, &StateKeeper::keepPending);
    connect(&evening.engine(), &DrawEngine::winnerLeft, this, &StateKeeper::keepPool);
    connect(&m_shell, &WindowShell::editLoaded, this, &StateKeeper::hookEdit);
    if (Edit *edit = m_shell.loadedEdit())
        hookEdit(edit);
}

void StateKeeper::hookEdit(Edit *edit)
{
    CandidateList *list = edit->List1Model();
    const auto changed = [this] { scheduleSave(); };
    connect(list, &CandidateList::rowsInserted, this, changed);
    connect(list, &CandidateList::rowsRemoved, this, changed);
    connect(list, &CandidateList::modelReset, this, changed);
    // Closing the window drops the list with it; the saved one is set aside.
    connect(edit, &Edit::listClosed, this, &StateKeeper::setListAside);
    connect(edit, &QObject::destroyed, this, changed);
    connect(edit->Command7, &QPushButton::clicked, this, changed);
}

// Before the record is written: the list still holds the winner, with a
// note of the result, so a start after a crash at any moment from here on
// takes the winner out exactly when the record reached the log.
void StateKeeper::keepPending(const QString &title, const QString &result)
{
    const ResultLog &log = m_shell.resultLog();
    const QFileInfo info(log.fileName());
    m_pending =
        EventState::PendingResult{info.absoluteFilePath(), info.exists() ? info.size() : 0, title, result};
    saveNow();
}

// After the winner left the list: the pool that follows the result,
// written before the result shows as recorded.
void StateKeeper::keepPool()
{
    m_pending.reset();
    saveNow();
}

// The close box empties the list for this run; the saved list is renamed
// "<name>.closed-<time>" (as --fresh does), never deleted, so it can be
// brought back by hand.
void StateKeeper::setListAside()
{
    const QString path = m_store.listPath();
    if (QFileInfo::exists(path) || QFileInfo(path).isSymLink()) {
        QString error;
        if (EventState::moveAside(path, &error, QStringLiteral("closed")).isEmpty())
            Dialogs::error(m_shell.setting(), QStringLiteral("无法把保存的列表 %1 移到一旁：%2")
                                                  .arg(QDir::toNativeSeparators(path), error));
    }
    // Nothing is written for the empty list the window leaves behind.
    EventState::WorkingList empty;
    empty.pending = m_pending;
    m_savedList = EventState::encodeList(empty);
}

void StateKeeper::scheduleSave(int delayMs)
{
    m_othersPending = true;
    if (!m_timer.isActive() || m_timer.remainingTime() > delayMs)
        m_timer.start(delayMs);
}

EventState::Settings StateKeeper::currentSettings()
{
    const Setting *setting = m_shell.setting();
    const Module1 &m = m_shell.module1();
    EventState::Settings s;
    s.title = setting->Text1->text();
    s.subtitle = setting->Text2->text();
    s.picturePath = setting->Text4->text();
    s.lineFontFace = m.LineFontFace;
    s.lineFontColor = m.LineFontColor;
    s.noRepeatDraw = m.NoRepeatDraw != 0 ? 1 : 0;
    s.winnersLeave = m.WinnersLeave;
    s.audienceScreen = m_shell.audienceScreen();
    s.soundOn = m.SoundOn;
    s.soundVolume = m.SoundVolume;
    s.soundFiles = m.SoundFile;
    return s;
}

EventState::WorkingList StateKeeper::currentList() const
{
    EventState::WorkingList l;
    const Edit *edit = m_shell.loadedEdit();
    if (!edit)
        return l;
    l.entries = edit->List1Model()->entries();
    l.fileName = edit->Label1->text();
    l.filePath = edit->ListFilePath();
    l.sizeCaption = edit->Label2->text();
    l.imported = edit->Command5->isEnabled() || edit->Command2->isEnabled();
    l.pending = m_pending;
    l.roster = m_shell.roster();
    return l;
}

bool StateKeeper::saveEveningNow()
{
    // The list and settings are encoded again only when they changed: a
    // full list takes longer to encode than a stop may take.
    if (m_othersPending)
        return saveNow();
    if (m_recording || m_eveningOnDisk)
        return true; // the change's own write has it, or had it
    const QByteArray evening = EventState::encodeEvening(m_shell.evening());
    if (evening == m_savedEvening)
        return true;
    QString error;
    if (!m_store.saveEvening(m_shell.evening(), &error)) {
        reportFailure(m_store.prizesPath(), error);
        return false;
    }
    m_savedEvening = evening;
    m_failureReported = false; // a later failure is news again
    return true;
}

EventState::RecordOutcome StateKeeper::recordEvening(const Prizes::Evening &before,
                                                     const QList<ResultLog::Record> &records,
                                                     QString *logError)
{
    const ResultLog log = m_shell.resultLog();
    const Prizes::Evening after = m_shell.evening(); // a shared copy: the worker encodes it
    const QString path = m_store.prizesPath();
    auto write = std::make_shared<EventState::ChangeWrite>();
    // Saves asked for while the worker writes leave the evening's file alone.
    m_recording = true;
    RecordWriter::run(
        [path, after, before, records, log, write](QString *) {
            *write = EventState::recordChange(path, after, before, records, log);
            return true;
        },
        nullptr, StopQuickWaitMs);
    m_recording = false;
    if (logError)
        *logError = write->logError;
    if (write->outcome == EventState::RecordOutcome::NotSaved) {
        const QFileInfo info(path);
        QWidget *parent =
            m_shell.loadedPick() ? static_cast<QWidget *>(m_shell.loadedPick()) : m_shell.setting();
        const bool stop = after.awards.size() > before.awards.size();
        Dialogs::error(parent,
                       QStringLiteral("%1没有进行：无法保存奖项和中奖记录 %2（文件夹 %3）：%4\r\n"
                                      "%5结果文件也没有写入。请在文件夹 %3 所在的磁盘上腾出空间"
                                      "（或让它可以写入）后再%6。")
                           .arg(stop ? QStringLiteral("这次抽取") : QStringLiteral("这次作废"),
                                info.fileName(), QDir::toNativeSeparators(info.absolutePath()),
                                write->saveError, stop ? QStringLiteral("没有抽出任何人，") : QString(),
                                stop ? QStringLiteral("抽") : QStringLiteral("作废")));
        return write->outcome;
    }
    if (!write->saved.isEmpty()) {
        m_savedEvening = write->saved;
        m_eveningOnDisk = true;
        m_failureReported = false; // a later failure is news again
    } else {
        m_savedEvening.clear(); // written again at the next save
        reportFailure(path, write->saveError);
    }
    return write->outcome;
}

void StateKeeper::reportFailure(const QString &failedPath, const QString &error)
{
    if (m_failureReported)
        return;
    m_failureReported = true;
    const QFileInfo info(failedPath);
    Dialogs::error(m_shell.setting(),
                   QStringLiteral("无法保存当前的设置和列表：%1（文件夹 %2）：%3\r\n"
                                  "抽奖可以继续，但重新启动后不会恢复。")
                       .arg(info.fileName(), QDir::toNativeSeparators(info.absolutePath()), error));
}

bool StateKeeper::saveNow()
{
    m_timer.stop();
    m_othersPending = false;
    QString error;
    QString failedPath; // the file that could not be written
    bool wrote = false;
    const QByteArray settings = EventState::encodeSettings(currentSettings());
    if (settings != m_savedSettings) {
        if (m_store.saveSettings(currentSettings(), &error)) {
            m_savedSettings = settings;
            wrote = true;
        } else {
            failedPath = m_store.settingsPath();
        }
    }
    const QByteArray list = EventState::encodeList(currentList());
    if (failedPath.isEmpty() && list != m_savedList) {
        if (m_store.saveList(currentList(), &error)) {
            m_savedList = list;
            wrote = true;
        } else {
            failedPath = m_store.listPath();
        }
    }
    const bool eveningKept = m_recording || m_eveningOnDisk;
    const QByteArray evening = eveningKept ? m_savedEvening : EventState::encodeEvening(m_shell.evening());
    if (failedPath.isEmpty() && evening != m_savedEvening) {
        if (m_store.saveEvening(m_shell.evening(), &error)) {
            m_savedEvening = evening;
            wrote = true;
        } else {
            failedPath = m_store.prizesPath();
        }
    }
    const bool ok = failedPath.isEmpty();
    if (ok && wrote)
        m_failureReported = false; // a later failure is news again
    else if (!ok)
        reportFailure(failedPath, error);
    return ok;
}
