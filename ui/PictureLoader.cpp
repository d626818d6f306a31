#include "PictureLoader.h"

#include "InputBlocker.h"
#include "PictureError.h"
#include "UserFile.h"

#include <QCoreApplication>
#include <QCursor>
#include <QDeadlineTimer>
#include <QEvent>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImageReader>
#include <QThreadPool>
#include <QTimer>

#include <atomic>
#include <limits>
#include <optional>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

// One decode, shared by the waiting window and the worker. The worker
// writes the results and then sets done; the window reads them only after
// seeing done. A window that stops waiting sets stop and lets go of it.
struct PictureJob
{
    QString path;
    std::optional<PictureLoader::FileKey> known; // the remembered answer's file
    QDeadlineTimer deadline;
    std::atomic<bool> stop{false};
    std::atomic<bool> keyReady{false};
    std::atomic<bool> done{false};

    PictureLoader::FileKey key; // valid once keyReady
    bool opened = false;
    bool unchanged = false;
    bool overBudget = false;
    QImage image;
    QString error;

    bool stopped() const { return stop.load(std::memory_order_relaxed) || deadline.hasExpired(); }
    void run();
};

namespace {

// Reads the picture file for the decoder and fails every read once the job
// is stopped, so a decoder working through a costly file ends soon after.
// The JPEG decoder takes whatever a read gives: it is fed small pieces, so a
// progressive file with thousands of scans cannot do much work per read.
// Other decoders expect a read to return all they asked for.
class GuardedDevice final : public QIODevice
{
public:
    GuardedDevice(QFile &file, const PictureJob &job) : m_file(file), m_job(job) {}
    void setSmallPieces(bool on) { m_piece = on ? SmallPiece : std::numeric_limits<qint64>::max(); }

    bool isSequential() const override { return false; }
    qint64 size() const override { return m_file.size(); }
    bool seek(qint64 pos) override { return QIODevice::seek(pos) && m_file.seek(pos); }

protected:
    qint64 readData(char *data, qint64 maxSize) override
    {
        if (m_job.stopped())
            return -1;
        return m_file.read(data, qMin(maxSize, m_piece));
    }
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    static constexpr qint64 SmallPiece = 256;
    QFile &m_file;
    const PictureJob &m_job;
    qint64 m_piece = std::numeric_limits<qint64>::max();
};

} // namespace

void PictureJob::run()
{
    QFile file;
    opened = UserFile::openForReading(file, path, &error);
    if (opened) {
#ifdef Q_OS_UNIX
        struct stat st;
        if (::fstat(file.handle(), &st) == 0)
            key = {qint64(st.st_dev), qint64(st.st_ino), qint64(st.st_size),
                   qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
#else
        const QFileInfo info(path);
        key = {0, 0, info.size(), info.lastModified().toMSecsSinceEpoch() * 1000000};
#endif
        keyReady.store(true, std::memory_order_release);
        if (known && *known == key) {
            unchanged = true;
        } else {
            GuardedDevice device(file, *this);
            device.open(QIODevice::ReadOnly | QIODevice::Unbuffered);
            QImageReader reader(&device); // Qt's allocation limit applies
            device.setSmallPieces(reader.format() == "jpeg");
            const QSize announced = reader.size();
            image = reader.read();
            if (stopped()) {
                image = QImage();
                overBudget = true;
            } else if (image.isNull()) {
                error = PictureError::describe(reader.error(), announced);
            }
        }
    }
    done.store(true, std::memory_order_release);
}

PictureLoader::PictureLoader() = default;

PictureLoader::~PictureLoader()
{
    if (m_running)
        m_running->stop = true;
}

QString PictureLoader::overBudgetText(int milliseconds)
{
    return QStringLiteral("这张图片 %1 秒内没能解码完成，已放弃（多见于扫描次数极多的渐进式 JPEG）。"
                          "请换一张图片，或用看图软件另存为普通 JPEG 或 BMP 后再选。")
        .arg(milliseconds / 1000.0, 0, 'g', 2);
}

const PictureLoader::Known *PictureLoader::find(const QString &path) const
{
    for (const Known &k : m_known)
        if (k.path == path)
            return &k;
    return nullptr;
}

void PictureLoader::remember(Known known)
{
    m_known.removeIf([&](const Known &k) { return k.path == known.path; });
    m_known.prepend(std::move(known));
    // Decoded pictures can be large: keep the two most recent (the settings'
    // choice and the live-draw window's own); refusals cost nothing to keep.
    int pictures = 0;
    m_known.removeIf([&](const Known &k) { return !k.image.isNull() && ++pictures > 2; });
}

PictureLoader::Outcome PictureLoader::load(const QString &path, QImage *image, QString *error)
{
    *image = QImage();
    error->clear();
    if (m_running)
        m_running->stop = true; // a wait further out gives up its decode
    auto job = std::make_shared<PictureJob>();
    job->path = path;
    std::optional<Known> known;
    if (const Known *k = find(path)) {
        known = *k;
        job->known = k->key;
    }
    job->deadline = QDeadlineTimer(m_budget);
    m_running = job;
    QThreadPool::globalInstance()->start([job] { job->run(); });

    if (!job->done.load(std::memory_order_acquire)) {
        const bool ended = waitWithInputHeld([&job] {
            return job->done.load(std::memory_order_acquire) || job->deadline.hasExpired() || job->stop;
        });
        if (!ended || (job->stop && !job->done.load(std::memory_order_acquire))) {
            job->stop = true;
            if (m_running == job)
                m_running.reset();
            return Outcome::Interrupted;
        }
    }
    if (m_running == job)
        m_running.reset();

    const bool finished = job->done.load(std::memory_order_acquire);
    if (!finished) {
        // Over budget: the worker stops at its next read and its result is dropped.
        job->stop = true;
        ++m_decodes;
        ++m_overBudget;
        *error = overBudgetText(m_budget);
        if (job->keyReady.load(std::memory_order_acquire))
            remember({path, job->key, QImage(), *error});
        return Outcome::Refused;
    }
    if (!job->opened) {
        *error = job->error;
        return Outcome::Refused;
    }
    if (job->unchanged) {
        *image = known->image;
        *error = known->error;
        remember(std::move(*known));
        return image->isNull() ? Outcome::Refused : Outcome::Loaded;
    }
    ++m_decodes;
    if (job->overBudget) {
        ++m_overBudget;
        job->error = overBudgetText(m_budget);
    }
    remember({path, job->key, job->image, job->error});
    *image = job->image;
    *error = job->error;
    return image->isNull() ? Outcome::Refused : Outcome::Loaded;
}
