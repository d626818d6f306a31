#include "EveningController.h"

#include "CandidateList.h"
#include "DrawEngine.h"
#include "PositionSource.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>

#include <algorithm>

EveningController::EveningController(QObject *parent)
    : QObject(parent), m_engine(new DrawEngine(
                           m_module1, [this](int position) { return candidateAt(position); }, m_log, this)),
      m_source(std::make_unique<SystemPositionSource>())
{
    m_rehearsalLog = ResultLog(rehearsalFileName(m_log.fileName()));
    m_timer.setObjectName(QStringLiteral("Timer2"));
    m_timer.setInterval(DrawEngine::TickIntervalMs);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &EveningController::tick);
    m_stopTimer.setSingleShot(true);
    m_stopTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_stopTimer, &QTimer::timeout, this, [this] {
        Q_EMIT stopPendingChanged(false);
        if (planRolling())
            stopRolling();
    });
    m_redrawStop.setObjectName(QStringLiteral("Timer3"));
    m_redrawStop.setSingleShot(true);
    connect(&m_redrawStop, &QTimer::timeout, this, [this] {
        if (planRolling())
            stopRolling();
    });
    connect(this, &EveningController::eveningChanged, this, &EveningController::markPoolDirty);
    // The settings' confirmation empties the display: the plan's grid too.
    connect(m_engine, &DrawEngine::displayChanged, this, [this](const QString &text) {
        if (text.isEmpty() && !planRolling())
            show({}, m_evening.nextPlaces());
    });
    m_writeLog = [this](const QList<ResultLog::Record> &records, QString *error) {
        return resultLog().AppendResultRecords(records, error);
    };
    m_engine->setRecordText([this](const QString &shown) { return recordText(shown); });
}

EveningController::~EveningController() = default;

void EveningController::setCandidateCount(qint32 count)
{
    m_module1.CandidateCount = count;
}

void EveningController::setNoRepeatDraw(qint16 choice)
{
    m_module1.NoRepeatDraw = choice;
}

void EveningController::setLineFont(int line, const std::optional<QString> &face,
                                    const std::optional<quint32> &color)
{
    if (line < 0 || line > 1)
        return;
    m_module1.LineFontFace[size_t(line)] = face;
    m_module1.LineFontColor[size_t(line)] = color;
}

void EveningController::setWinnersLeave(bool on)
{
    if (on == m_module1.WinnersLeave)
        return;
    m_module1.WinnersLeave = on;
    Q_EMIT winnersLeaveChanged(on);
}

void EveningController::setSoundOn(bool on)
{
    if (on == m_module1.SoundOn)
        return;
    m_module1.SoundOn = on;
    Q_EMIT soundChanged();
}

void EveningController::setSoundVolume(int volume)
{
    volume = std::clamp(volume, 0, 100);
    if (volume == m_module1.SoundVolume)
        return;
    m_module1.SoundVolume = volume;
    Q_EMIT soundChanged();
}

void EveningController::setSoundFile(int slot, const QString &path)
{
    if (slot < 0 || slot >= int(m_module1.SoundFile.size()) || m_module1.SoundFile[size_t(slot)] == path)
        return;
    m_module1.SoundFile[size_t(slot)] = path;
    Q_EMIT soundChanged();
}

void EveningController::setLogWriter(LogWriter writer)
{
    m_writeLog = std::move(writer);
}

void EveningController::setList(CandidateList *list)
{
    m_list = list;
    m_poolDirty = true;
    if (!list)
        return;
    connect(list, &CandidateList::rowsInserted, this, &EveningController::markPoolDirty);
    connect(list, &CandidateList::rowsRemoved, this, &EveningController::markPoolDirty);
    connect(list, &CandidateList::modelReset, this, &EveningController::markPoolDirty);
    connect(list, &CandidateList::dataChanged, this, &EveningController::markPoolDirty);
    connect(list, &QObject::destroyed, this, &EveningController::markPoolDirty);
}

CandidateList *EveningController::list() const
{
    return m_list;
}

qint32 EveningController::listCount() const
{
    return m_list ? m_list->ListCount() : 0;
}

QString EveningController::candidateAt(int position) const
{
    return m_list ? m_list->List(position) : QString();
}

QStringList EveningController::entries() const
{
    return m_list ? m_list->entries() : QStringList();
}

void EveningController::arm(const QString &title, const std::optional<quint32> &titleColor)
{
    m_title = title;
    m_titleColor = titleColor.value_or(m_titleColor);
    Q_EMIT titleChanged(m_title, m_titleColor);
    m_engine->EnableRoll();
    m_engine->ClearDisplay();
    m_engine->ClearBadge();
}

void EveningController::roll()
{
    if (!planActive()) {
        m_engine->RollClick(m_title, m_titleColor);
        return;
    }
    if (!planRolling()) {
        startRolling();
        return;
    }
    if (stopPending())
        return; // already stopping
    // The hall sees every roll for the plan's minimum time, however fast the second press came.
    const qint64 wait = qint64(m_evening.minRollSeconds) * 1000 - m_rollShown.elapsed();
    if (wait > 0) {
        m_stopTimer.start(int(wait));
        m_engine->showStopping();
        Q_EMIT stopPendingChanged(true);
        return;
    }
    stopRolling();
}

void EveningController::setMinRollSeconds(int seconds)
{
    seconds = qBound(0, seconds, Prizes::MaxMinRollSeconds);
    if (seconds == m_evening.minRollSeconds && seconds == keptEvening().minRollSeconds)
        return;
    m_evening.minRollSeconds = seconds;
    m_realEvening.minRollSeconds = seconds; // kept after a rehearsal too
    changed();
    saveStateNow();
}

QString EveningController::rehearsalFileName(const QString &logFileName)
{
    const QFileInfo log(logFileName);
    const QString name = log.completeBaseName() + QStringLiteral("-彩排") +
                         (log.suffix().isEmpty() ? QString() : QStringLiteral(".") + log.suffix());
    return log.path() == u"." ? name : log.dir().filePath(name);
}

bool EveningController::setRehearsal(bool on, QString *why)
{
    if (on == m_rehearsal)
        return true;
    const auto refuse = [why](const QString &reason) {
        if (why)
            *why = reason;
        return false;
    };
    if (planRolling())
        return refuse(QStringLiteral("正在滚动，请先停止。"));
    if (on && !planActive())
        return refuse(QStringLiteral("彩排按奖项进行：请先设置奖项。"));
    if (on) {
        m_realEvening = m_evening;
        m_realResultCount = m_module1.ResultCount;
        m_rehearsalLog = ResultLog(rehearsalFileName(m_log.fileName()));
        m_rehearsal = true;
        m_engine->ClearBadge();
    } else {
        m_rehearsal = false;
        m_evening = m_realEvening;
        m_engine->ClearBadge();
        if (m_realResultCount > 0)
            m_engine->countRecords(m_realResultCount);
    }
    m_engine->ClearDisplay();
    Q_EMIT rehearsalChanged(on);
    changed();
    show({}, m_evening.nextPlaces());
    return true;
}

void EveningController::abort()
{
    m_engine->Abort();
    m_redrawStop.stop();
    if (!m_timer.isActive())
        return;
    m_timer.stop();
    if (m_stopTimer.isActive()) {
        m_stopTimer.stop();
        Q_EMIT stopPendingChanged(false);
    }
    m_engine->showRolling(false);
    Q_EMIT planRollingChanged(false);
    show({}, m_evening.nextPlaces());
}

void EveningController::clearBadge()
{
    m_engine->ClearBadge();
}

void EveningController::setPositionSource(std::unique_ptr<PositionSource> source)
{
    m_source = std::move(source);
}

void EveningController::show(const QList<int> &awards, const QList<int> &places)
{
    m_shownAwards.clear();
    for (int i : awards)
        if (i >= 0 && i < m_evening.awards.size())
            m_shownAwards.append(i);
    m_shownPlaces = places;
    Q_EMIT planShown();
}

void EveningController::changed()
{
    m_poolDirty = true;
    // A plan taken away while it rolls stops without a record.
    if (!planActive() && planRolling())
        abort();
    Q_EMIT eveningChanged();
}

void EveningController::startRolling()
{
    Prizes::Evening &e = m_evening;
    switch (e.start()) {
    case Prizes::Evening::Start::Finished:
        Q_EMIT refused(QStringLiteral("所有奖项都已抽完，不能再抽了。\r\n中奖名单可从右键菜单或 M 键打开。"));
        return;
    case Prizes::Evening::Start::Announced:
        // The hall sees the next prize before anything rolls for it.
        changed();
        saveStateNow();
        show({}, e.nextPlaces());
        return;
    case Prizes::Evening::Start::Roll:
        break;
    }
    renewPool();
    const Prizes::Prize &prize = e.prizes.at(e.announced);
    const bool firstRoll = e.pools.value(e.announced).size < 0;
    if (m_pool.isEmpty() && prize.limited() && firstRoll) {
        Q_EMIT refused(QStringLiteral("%1限定：%2。\r\n名单中没有可以抽取%1的人，不能开始。")
                           .arg(prize.name, prize.eligibilityText()));
        return;
    }
    if (m_pool.isEmpty()) {
        Q_EMIT closeShortOffered();
        return;
    }
    // Whatever the stop writes, the next start reads back: refused before
    // anything rolls when the evening might outgrow it.
    const qsizetype longest =
        std::max_element(m_pool.cbegin(), m_pool.cend(), [](const QString &a, const QString &b) {
            return a.size() < b.size();
        })->size();
    QString why;
    if (!EventState::eveningRoomFor(e, int(e.nextPlaces().size()), int(longest),
                                    int(e.recordTitle(m_title, e.announced).size()), &why)) {
        Q_EMIT refused(why);
        return;
    }
    // A prize's first stop stamps its pool: worked out now rather than at
    // the stop, unless the list changes while it rolls.
    if (firstRoll)
        m_poolFingerprint = Prizes::fingerprint(m_pool);
    // Who may win a limited prize is in the log before anything rolls for it.
    if (firstRoll && prize.limited() && !m_eligibilityLogged.contains(e.announced)) {
        QString error;
        const QString line = eligibilityLine() + QStringLiteral(" · 指纹 ") + m_poolFingerprint;
        if (!m_writeLog({{e.recordTitle(m_title, e.announced), line, QDateTime::currentDateTime()}},
                        &error)) {
            Q_EMIT refused(
                QStringLiteral("%1的参与范围未能写入 %2（文件夹 %3）：%4\r\n没有写入记录，不能开始。")
                    .arg(prize.name, m_log.fileName(), m_log.folder(), error));
            return;
        }
        m_eligibilityLogged.insert(e.announced);
    }
    m_timer.start();
    m_rollShown.start();
    // A redraw is a short roll for one place: it stops by itself.
    if (e.redrawNext())
        m_redrawStop.start(m_redrawRollMs);
    m_engine->showRolling(true);
    m_shownAwards.clear();
    m_shownPlaces = e.nextPlaces();
    Q_EMIT planRollingChanged(true);
    Q_EMIT planShown();
    tick(); // something shows at once
}

void EveningController::renewPool()
{
    m_pool = m_evening.pool(entries());
    const Prizes::Prize prize = m_evening.prizes.value(m_evening.announced);
    if (planActive() && prize.limited()) {
        QStringList eligible;
        for (const QString &text : std::as_const(m_pool)) {
            const Roster::Person *person = m_roster ? m_roster->shownAs(text) : nullptr;
            if (person && prize.admits(person->dept))
                eligible << text;
        }
        m_pool = eligible;
    }
    m_poolDirty = false;
    m_poolFingerprint.clear();
}

void EveningController::tick()
{
    if (m_poolDirty)
        renewPool();
    Q_EMIT planRolled(m_evening.rollingCells(m_pool, *m_source));
}

void EveningController::stopRolling()
{
    m_timer.stop();
    m_redrawStop.stop();
    if (m_stopTimer.isActive()) { // a redraw's own end came first
        m_stopTimer.stop();
        Q_EMIT stopPendingChanged(false);
    }
    m_engine->showRolling(false);
    Q_EMIT planRollingChanged(false);
    Prizes::Evening &e = m_evening;
    const int prize = e.announced;
    // The winners are chosen now, from the pool as it is at this moment:
    // every change of the list or of the evening has marked it for renewal.
    if (m_poolDirty)
        renewPool();
    const Prizes::Evening before = e;
    const QDateTime now = QDateTime::currentDateTime(); // the stop's one time
    const Prizes::Evening::Stop stop = e.stopFromPool(m_pool, *m_source, now, m_poolFingerprint);
    m_poolDirty = true;
    if (stop.awards.isEmpty()) {
        show({}, m_shownPlaces);
        Q_EMIT refused(
            QStringLiteral("没有可以抽取的人了：列表已空，或列表中的人都已中奖。本次没有抽出任何人。"));
        return;
    }
    // What follows the stop is on disk before the hall sees it as drawn.
    changed();
    QStringList titles, results;
    QList<int> places;
    for (int i : stop.awards) {
        titles << e.recordTitle(m_title, prize);
        results << recordText(e.awards.at(i).winner);
        places << e.awards.at(i).place;
    }
    const EventState::RecordOutcome outcome = record(before, titles, results, now);
    if (outcome == EventState::RecordOutcome::NotSaved) {
        // Nothing is won that could not be kept: the evening is the one before.
        e = before;
        changed();
        show({}, e.nextPlaces());
        return;
    }
    show(stop.awards, places);
    if (outcome != EventState::RecordOutcome::Recorded)
        return;
    if (stop.awards.size() < stop.wanted)
        Q_EMIT warned(QStringLiteral("奖池不足"),
                      QStringLiteral("本次应抽 %1 名，但可以抽取的只剩 %2 人，已全部抽出。")
                          .arg(stop.wanted)
                          .arg(stop.awards.size()));
}

EventState::RecordOutcome EveningController::record(const Prizes::Evening &before, const QStringList &titles,
                                                    const QStringList &results, const QDateTime &when)
{
    QList<ResultLog::Record> records;
    for (qsizetype i = 0; i < titles.size(); ++i)
        records.append({titles.at(i), results.at(i), when});
    QString error;
    EventState::RecordOutcome outcome;
    if (m_rehearsal) // its own file; its evening is kept in memory only
        outcome = m_writeLog(records, &error) ? EventState::RecordOutcome::Recorded
                                              : EventState::RecordOutcome::NotRecorded;
    else if (m_recordEvening)
        outcome = m_recordEvening(before, records, &error);
    else
        outcome = m_writeLog(records, &error) ? EventState::RecordOutcome::Recorded
                                              : EventState::RecordOutcome::NotRecorded;
    // The badge counts every record, as the draw without a plan counts its
    // results: a record that could not be written was shown and told. A
    // change that could not be saved did not happen and counts nothing.
    if (outcome != EventState::RecordOutcome::NotSaved)
        m_engine->countRecords(int(records.size()));
    if (outcome == EventState::RecordOutcome::NotRecorded)
        Q_EMIT refused(
            QStringLiteral("本次结果未能写入 %1（文件夹 %2）：%3\r\n\r\n结果：%4\r\n请手工记下这些结果。")
                .arg(resultLog().fileName(), resultLog().folder(), error,
                     results.join(QStringLiteral("、"))));
    return outcome;
}

QString EveningController::awardText(int award) const
{
    if (award < 0 || award >= m_evening.awards.size())
        return QString();
    const Prizes::Award &a = m_evening.awards.at(award);
    return QStringLiteral("%1 第 %2 名：%3")
        .arg(m_evening.prizes.at(a.prize).name, QString::number(a.place), a.winner);
}

bool EveningController::voidAward(int award, bool mayWinLater)
{
    Prizes::Evening &e = m_evening;
    if (planRolling() || !e.canVoid(award))
        return false;
    const int prize = e.awards.at(award).prize;
    const Prizes::Evening before = e;
    const QDateTime now = QDateTime::currentDateTime(); // the void's one time
    e.voidAward(award, mayWinLater, now);
    changed();
    if (record(before, {e.recordTitle(m_title, prize)}, {Prizes::Evening::voidResultText(e.awards.at(award))},
               now) == EventState::RecordOutcome::NotSaved) {
        e = before; // the winner stays: nothing was voided
        changed();
        show(m_shownAwards, m_shownPlaces);
        return false;
    }
    // The hall sees the place to redraw (补抽), the voided name gone; an
    // earlier prize's place brings that prize back.
    QList<int> keep;
    if (before.announced == e.announced)
        keep = m_shownAwards;
    keep.removeAll(award);
    show(keep, e.nextPlaces());
    return true;
}

bool EveningController::canCloseShort()
{
    if (!planActive() || planRolling())
        return false;
    if (m_poolDirty)
        renewPool();
    return m_evening.canCloseShort(int(m_pool.size()));
}

QString EveningController::closeShortReason()
{
    if (!canCloseShort())
        return QString();
    const Prizes::Evening &e = m_evening;
    const QString name = e.prizes.at(e.announced).name;
    const QList<int> open = e.openPlaces(e.announced);
    return m_pool.isEmpty() ? QStringLiteral("没有可以抽取%1的人了：列表中的人都已中奖或不能参加。").arg(name)
                            : QStringLiteral("可以抽取%1的只剩 %2 人，不够 %3 个名额。")
                                  .arg(name, QString::number(m_pool.size()), QString::number(open.size()));
}

bool EveningController::closeShort()
{
    if (!canCloseShort())
        return false;
    Prizes::Evening &e = m_evening;
    const int prize = e.announced;
    const Prizes::Evening before = e;
    const QList<int> empty = e.closeShort();
    changed();
    if (record(before, {e.recordTitle(m_title, prize)}, {Prizes::Evening::closeResultText(empty)},
               QDateTime::currentDateTime()) == EventState::RecordOutcome::NotSaved) {
        e = before; // the prize stays open: nothing was closed
        changed();
        return false;
    }
    show({}, e.nextPlaces());
    return true;
}

QString EveningController::eligibilityLine()
{
    const Prizes::Prize prize = m_evening.prizes.value(m_evening.announced);
    if (!planActive() || !prize.limited())
        return QString();
    if (m_poolDirty)
        renewPool();
    return QStringLiteral("本奖项参与：%1 · 共 %2 人").arg(prize.eligibilityText()).arg(m_pool.size());
}

bool EveningController::setPlan(const QList<Prizes::Prize> &plan, bool onceEach, QString *why)
{
    if (m_rehearsal && (plan != m_evening.prizes || onceEach != m_evening.onceEach)) {
        if (why)
            *why = QStringLiteral("彩排中不能修改奖项：请先结束彩排。");
        return false;
    }
    if (!m_evening.setPlan(plan, onceEach, why))
        return false;
    m_eligibilityLogged.clear();
    changed();
    saveStateNow();
    if (!planRolling())
        show({}, m_evening.nextPlaces());
    return true;
}

void EveningController::clearAwards()
{
    m_evening.clearAwards();
    m_eligibilityLogged.clear();
    changed();
    saveStateNow();
    if (!planRolling())
        show({}, m_evening.nextPlaces());
}

void EveningController::restoreEvening(const Prizes::Evening &evening)
{
    const bool wasRehearsal = m_rehearsal;
    m_rehearsal = false;
    m_evening = evening;
    if (wasRehearsal)
        Q_EMIT rehearsalChanged(false);
    changed();
    if (!planRolling())
        show({}, m_evening.nextPlaces());
}

void EveningController::restoreRoster(const std::optional<Roster::Held> &roster)
{
    m_roster = roster;
    Q_EMIT rosterChanged();
}

QString EveningController::recordText(const QString &shown) const
{
    if (!m_roster)
        return shown;
    const Roster::Person *person = m_roster->shownAs(shown);
    return person ? Roster::recordText(shown, *person) : shown;
}

bool EveningController::importRoster(const Roster::Held &imported, bool append, QString *why, int *skipped)
{
    const auto refuse = [why](const QString &reason) {
        if (why)
            *why = reason;
        return false;
    };
    if (planRolling() || m_engine->isRecording())
        return refuse(QStringLiteral("正在抽奖，不能导入名单。"));
    if (!m_evening.awards.isEmpty())
        return refuse(QStringLiteral("本场已有中奖记录，不能再导入名单：换了名单，已中奖的人就对不上了。\r\n"
                                     "如要重新开始，请先在奖项设置中清空中奖记录。"));
    if (!m_list)
        return refuse(QStringLiteral("待选列表还没有打开。"));
    if (imported.people().isEmpty())
        return refuse(QStringLiteral("名单中没有人。"));
    int left = 0;
    const Roster::Held held = append && m_roster
                                  ? m_roster->appended(imported.people(), &left).withLook(imported.look())
                                  : imported;
    QStringList entries;
    if (append) {
        const QStringList old = m_roster ? m_roster->texts() : QStringList();
        const QSet<QString> oldTexts(old.cbegin(), old.cend());
        for (const QString &entry : m_list->entries()) {
            if (!oldTexts.contains(entry))
                entries << entry;
        }
    }
    entries << held.texts();
    if (entries.size() > CandidateList::MaxEntries)
        return refuse(QStringLiteral("导入后列表将有 %1 个数据，最多 %2 个。")
                          .arg(entries.size())
                          .arg(CandidateList::MaxEntries));
    if (skipped)
        *skipped = left;
    m_roster = held;
    m_list->ReplaceAll(entries);
    Q_EMIT rosterChanged();
    changed();
    saveStateNow();
    // The import's own record: what came in, how many, its fingerprint.
    const QString title = m_title.isEmpty() ? QStringLiteral("星梭抽奖") : m_title;
    const QString result = Roster::importRecordText(imported.fileName(), imported.people().size(),
                                                    Roster::fingerprint(imported.people()));
    QString error;
    if (!m_writeLog({{title, result, QDateTime::currentDateTime()}}, &error))
        Q_EMIT refused(QStringLiteral("导入记录未能写入 %1（文件夹 %2）：%3\r\n\r\n%4")
                           .arg(m_log.fileName(), m_log.folder(), error, result));
    return true;
}
