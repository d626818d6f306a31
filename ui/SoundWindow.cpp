#include "SoundWindow.h"

#include "Dialogs.h"
#include "EveningController.h"
#include "SoundPlayer.h"
#include "UiKit.h"

#include <QCheckBox>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QSlider>
#include <QThread>
#include <QVBoxLayout>

#include <memory>

namespace {

const std::array<QString, 3> SlotNames{QStringLiteral("滚动时"), QStringLiteral("停止时"),
                                       QStringLiteral("奖项抽完时")};
const std::array<QString, 3> SlotFiles{QStringLiteral("roll"), QStringLiteral("stop"),
                                       QStringLiteral("prize")};
const QString SoundFilter = QStringLiteral("WAV 声音文件(*.wav)|*.wav");

// What the copy off the windows' thread came to.
struct Copy
{
    QString path; // the program's copy; empty on failure
    QString why;
};

Copy checkAndCopy(const QString &source, const QString &folder, int slot)
{
    Copy c;
    if (!SoundPlayer::check(source, &c.why))
        return c;
    if (folder.isEmpty()) { // nowhere to keep a copy: played where it is
        c.path = QFileInfo(source).absoluteFilePath();
        return c;
    }
    if (!QDir().mkpath(folder)) {
        c.why = QStringLiteral("无法创建文件夹 %1").arg(QDir::toNativeSeparators(folder));
        return c;
    }
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss-zzz"));
    const QString target = QStringLiteral("%1/%2-%3.wav").arg(folder, SlotFiles.at(size_t(slot)), stamp);
    QFile in(source);
    if (!in.copy(target)) {
        c.why = QStringLiteral("无法复制到 %1：%2").arg(QDir::toNativeSeparators(target), in.errorString());
        return c;
    }
    // The copy is what plays: it must read as the original did.
    if (!SoundPlayer::check(target, &c.why)) {
        QFile::remove(target); // a bad copy goes; its removal failing leaves only a stray file
        return c;
    }
    c.path = target;
    return c;
}

} // namespace

SoundWindow::SoundWindow(EveningController &evening) : QWidget(nullptr, Qt::Window), m_evening(evening)
{
    setObjectName(QStringLiteral("Sound"));
    setWindowTitle(QStringLiteral("星梭抽奖 - 声音"));
    setFont(uiFont(10.5));
    Check1 = new QCheckBox(QStringLiteral("播放声音（抽奖窗口按 S 键静音 / 取消静音）"), this);
    Check1->setObjectName(QStringLiteral("Check1"));
    Slider1 = new QSlider(Qt::Horizontal, this);
    Slider1->setObjectName(QStringLiteral("Slider1"));
    Slider1->setRange(0, 100);
    auto *grid = new QGridLayout;
    grid->addWidget(new QLabel(QStringLiteral("音量"), this), 0, 0);
    grid->addWidget(Slider1, 0, 1, 1, 3);
    for (int slot = 0; slot < 3; ++slot) {
        auto *name = new QLabel(SlotNames.at(size_t(slot)), this);
        Label1[size_t(slot)] = new EventLabel(QString(), this, QStringLiteral("Label1_%1").arg(slot));
        Label1[size_t(slot)]->setTextFormat(Qt::PlainText);
        Command1[size_t(slot)] = new QPushButton(QStringLiteral("选择文件…"), this);
        Command1[size_t(slot)]->setObjectName(QStringLiteral("Command1_%1").arg(slot));
        Command2[size_t(slot)] = new QPushButton(QStringLiteral("用程序自带的"), this);
        Command2[size_t(slot)]->setObjectName(QStringLiteral("Command2_%1").arg(slot));
        grid->addWidget(name, slot + 1, 0);
        grid->addWidget(Label1[size_t(slot)], slot + 1, 1);
        grid->addWidget(Command1[size_t(slot)], slot + 1, 2);
        grid->addWidget(Command2[size_t(slot)], slot + 1, 3);
        grid->setColumnStretch(1, 1);
        connect(Command1[size_t(slot)], &QPushButton::clicked, this, [this, slot] {
            OpenFileDialog dialog;
            dialog.InitDir = programFolder();
            dialog.Filter = SoundFilter;
            if (dialog.ShowOpen(this, QStringLiteral("选择声音文件")))
                chooseFile(slot, dialog.FileName);
        });
        connect(Command2[size_t(slot)], &QPushButton::clicked, this, [this, slot] { useOwn(slot); });
    }
    Command3 = new QPushButton(QStringLiteral("关 闭"), this);
    Command3->setObjectName(QStringLiteral("Command3"));
    auto *bottom = new QHBoxLayout;
    bottom->addStretch();
    bottom->addWidget(Command3);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(Check1);
    layout->addLayout(grid);
    layout->addStretch();
    layout->addLayout(bottom);
    resize(560, 240);

    connect(Check1, &QCheckBox::toggled, &m_evening, &EveningController::setSoundOn);
    connect(Slider1, &QSlider::valueChanged, &m_evening, &EveningController::setSoundVolume);
    connect(Command3, &QPushButton::clicked, this, &QWidget::hide);
    connect(&m_evening, &EveningController::soundChanged, this, &SoundWindow::load);
    load();
}

SoundWindow::~SoundWindow() = default;

void SoundWindow::attachTo(QWidget *setting, EveningController &evening)
{
    auto *menu = setting->findChild<QMenu *>(QStringLiteral("popPlan"));
    if (!menu)
        return;
    QAction *item = menu->addAction(QStringLiteral("声音设置…"));
    item->setObjectName(QStringLiteral("popSound"));
    auto window = std::make_shared<QPointer<SoundWindow>>();
    QObject::connect(item, &QAction::triggered, setting, [setting, &evening, window] {
        if (!*window) {
            *window = new SoundWindow(evening);
            QObject::connect(setting, &QObject::destroyed, *window, &QObject::deleteLater);
            centreOnScreen(*window);
        }
        (*window)->load();
        bringToFront(*window);
    });
}

void SoundWindow::load()
{
    const Module1 &m = m_evening.module1();
    const QSignalBlocker checkBlock(Check1);
    const QSignalBlocker sliderBlock(Slider1);
    Check1->setChecked(m.SoundOn);
    Slider1->setValue(m.SoundVolume);
    for (int slot = 0; slot < 3; ++slot) {
        const QString &file = m.SoundFile[size_t(slot)];
        Label1[size_t(slot)]->setText(file.isEmpty() ? QStringLiteral("程序自带")
                                                     : QDir::toNativeSeparators(file));
        Command2[size_t(slot)]->setEnabled(!m_busy && !file.isEmpty());
        Command1[size_t(slot)]->setEnabled(!m_busy);
    }
}

void SoundWindow::chooseFile(int slot, const QString &path)
{
    if (m_busy)
        return;
    setBusy(true);
    auto result = std::make_shared<Copy>();
    const QString folder = m_evening.soundFolder();
    QThread *worker =
        QThread::create([result, path, folder, slot] { *result = checkAndCopy(path, folder, slot); });
    connect(worker, &QThread::finished, worker, &QObject::deleteLater);
    connect(worker, &QThread::finished, this, [this, result, slot] {
        setBusy(false);
        if (result->path.isEmpty()) {
            Dialogs::warn(this, QStringLiteral("声音文件不能使用"), result->why);
        } else {
            const QString old = m_evening.module1().SoundFile[size_t(slot)];
            m_evening.setSoundFile(slot, result->path);
            dropCopy(old);
        }
        Q_EMIT fileSettled();
    });
    worker->start();
}

void SoundWindow::useOwn(int slot)
{
    const QString old = m_evening.module1().SoundFile[size_t(slot)];
    m_evening.setSoundFile(slot, QString());
    dropCopy(old);
}

// The program's copy no slot plays any more. One that cannot be removed
// stays behind and does no harm.
void SoundWindow::dropCopy(const QString &path)
{
    const QString folder = m_evening.soundFolder();
    if (path.isEmpty() || folder.isEmpty() ||
        QFileInfo(path).absolutePath() != QFileInfo(folder).absoluteFilePath())
        return;
    if (!QFile::remove(path))
        qInfo("The earlier sound copy %s stays: it could not be removed", qPrintable(path));
}

void SoundWindow::setBusy(bool busy)
{
    m_busy = busy;
    if (busy)
        setCursor(Qt::BusyCursor);
    else
        unsetCursor();
    load();
}
