#pragma once

#include <QHash>
#include <QImage>
#include <QList>
#include <QString>

#include <memory>

struct PictureJob;

// Loads the background pictures the organiser picks. A picture is opened
// only when it is a regular file and is decoded on a worker thread within a
// time budget; meanwhile the event loop keeps running (windows repaint,
// timers tick) under a busy cursor, and mouse and key input is dropped.
//
// A decoded picture is kept, and so is a refused one (not a picture, too
// large, over the time budget): asking again for the same unchanged file
// (same path, size, modification time and file) gives the same answer
// without decoding it again. A changed file is decoded afresh.
class PictureLoader
{
    Q_DISABLE_COPY_MOVE(PictureLoader)

public:
    enum class Outcome {
        Loaded,
        Refused,    // error says why, in Chinese
        Interrupted // the program is ending: nothing is to be reported
    };

    PictureLoader();
    // Abandons a decode still running: it stops at its next read.
    ~PictureLoader();

    Outcome load(const QString &path, QImage *image, QString *error);

    // How long a decode may take, in milliseconds (a few seconds).
    static constexpr int DefaultTimeBudget = 3000;
    void setTimeBudget(int milliseconds) { m_budget = milliseconds; }
    int timeBudget() const { return m_budget; }

    // Decodes started so far, and how many of them outran the budget.
    int decodesStarted() const { return m_decodes; }
    int decodesOverBudget() const { return m_overBudget; }

    // The sentence for a picture that outran the budget.
    static QString overBudgetText(int milliseconds);

private:
    struct FileKey
    {
        qint64 device = 0;
        qint64 inode = 0;
        qint64 size = 0;
        qint64 modifiedNs = 0;
        bool operator==(const FileKey &) const = default;
    };
    struct Known
    {
        QString path;
        FileKey key;
        QImage image;  // null when refused
        QString error; // why it was refused
    };
    friend struct PictureJob;

    const Known *find(const QString &path) const;
    void remember(Known known);

    QList<Known> m_known; // most recent first
    std::shared_ptr<PictureJob> m_running;
    int m_budget = DefaultTimeBudget;
    int m_decodes = 0;
    int m_overBudget = 0;
};
