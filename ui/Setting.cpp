#include "Setting.h"

#include "EveningController.h"
#include "PictureLoader.h"
#include "PlanWindow.h"
#include "RecordWriter.h"
#include "SoundWindow.h"
#include "UiKit.h"

#include <QCloseEvent>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>

Setting::Setting(EveningController &evening, PictureLoader &pictures)
    : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      m_evening(evening), m_pictures(pictures), m_layout(new TwipsLayout)
{
    setObjectName(QStringLiteral("Setting"));
    setWindowTitle(QStringLiteral("星梭抽奖 - 设置"));
    setUpFixedWindow(this, 4590, 6015, 0xE0E0E0);
    createControls();
    // The prize plan's ways in: a line under the repeat-draw choice and a
    // right-click menu on the free surface, which also leads to the sounds.
    Label11 = addLabel(this, *m_layout, QStringLiteral("Label11"), QString(), uiFont(9, false, false, true),
                       {240, 5010, 4095, 255});
    Label11->setTextColor(rgb(0x0000C0));
    Label11->setCursor(Qt::PointingHandCursor);
    PlanWindow::attachTo(this, evening, Label11);
    SoundWindow::attachTo(this, evening);
    Load();
}

Setting::~Setting() = default;

void Setting::createControls()
{
    auto label = [this](const QString &name, const QString &text, double pt, QRect twips,
                        Qt::Alignment align = Qt::AlignLeft | Qt::AlignTop) {
        return addLabel(this, *m_layout, name, text, uiFont(pt), twips, align);
    };
    auto button = [this](const QString &name, const QString &text, double pt, QRect twips) {
        return addButton(this, *m_layout, name, text, uiFont(pt), twips);
    };
    auto textBox = [this](const QString &name, const QString &text, QRect twips) {
        auto *t = new QLineEdit(text, this);
        t->setObjectName(name);
        t->setFont(uiFont(10.5));
        keepOnOneLine(t);
        m_layout->place(t, twips.x(), twips.y(), twips.width(), twips.height());
        return t;
    };
    const auto right = Qt::AlignRight | Qt::AlignTop;

    Label1 = label(QStringLiteral("Label1"), QStringLiteral("抽奖抽签程序"), 15.75, {720, 120, 1935, 495});
    Label7 = label(QStringLiteral("Label7"), QStringLiteral(" 系统设置"), 15.75, {2760, 120, 1575, 375});
    Label7->setTextColor(rgb(0xC00000));
    Label2 = label(QStringLiteral("Label2"), QStringLiteral("标题内容"), 12, {120, 720, 1095, 375}, right);
    Text1 = textBox(QStringLiteral("Text1"), InitialTitle, {1320, 720, 1935, 375});
    Command7[0] = button(QStringLiteral("Command7_0"), QStringLiteral("字 体"), 12, {3360, 720, 975, 375});
    Label3 = label(QStringLiteral("Label3"), QStringLiteral("副标题"), 12, {120, 1200, 1095, 375}, right);
    Text2 = textBox(QStringLiteral("Text2"), QStringLiteral("星梭的，世界的"), {1320, 1200, 1935, 375});
    Command7[1] = button(QStringLiteral("Command7_1"), QStringLiteral("字 体"), 12, {3360, 1200, 975, 375});
    Label5 = label(QStringLiteral("Label5"), QStringLiteral("背景图片"), 12, {120, 1680, 1095, 375}, right);
    Text4 = textBox(QStringLiteral("Text4"), QString(), {1320, 1680, 3015, 375});
    Text4->setReadOnly(true);
    Label6 = label(QStringLiteral("Label6"), QStringLiteral("图片预览"), 12, {120, 2160, 1095, 375}, right);
    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    showAsPlainText(Image1);
    Image1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Image1->setScaledContents(true);
    m_layout->place(Image1, 1320, 2160, 3015, 1575);
    Command1 = button(QStringLiteral("Command1"), QStringLiteral("浏 览"), 14.25, {240, 2760, 975, 855});
    Command5 = button(QStringLiteral("Command5"), QStringLiteral("编辑待选列表"), 12, {240, 3840, 1815, 735});
    Label8 = label(QStringLiteral("Label8"), QString(), 12, {2200, 4005, 2175, 495});
    Label8->setFont(uiFont(12, false, true));
    Label8->setTextColor(rgb(0x000000));
    Label10 = label(QStringLiteral("Label10"), QString(), 12, {2400, 4000, 615, 495},
                    Qt::AlignHCenter | Qt::AlignTop);
    Label10->setFont(uiFont(12, false, true, true));
    Label10->setTextColor(rgb(0xC00000));
    const QColor grey = rgb(0x808080);
    Line1 = new LineShape(this, QStringLiteral("Line1"), {2160, 3840}, {2640, 3840}, grey);
    Line2 = new LineShape(this, QStringLiteral("Line2"), {2160, 4320}, {2160, 3840}, grey);
    Line3 = new LineShape(this, QStringLiteral("Line3"), {4320, 4080}, {4320, 4560}, grey);
    Line4 = new LineShape(this, QStringLiteral("Line4"), {3840, 4560}, {4320, 4560}, grey);
    Label9 = label(QStringLiteral("Label9"), QStringLiteral("重复抽奖"), 12, {120, 4680, 1095, 375}, right);
    Option1 = new QRadioButton(QStringLiteral("允许（默认值）"), this);
    Option1->setObjectName(QStringLiteral("Option1"));
    Option1->setFont(uiFont(9));
    Option1->setChecked(true);
    m_layout->place(Option1, 1440, 4740, 1575, 255);
    Option2 = new QRadioButton(QStringLiteral("不允许"), this);
    Option2->setObjectName(QStringLiteral("Option2"));
    Option2->setFont(uiFont(9));
    m_layout->place(Option2, 3120, 4740, 975, 255);
    Command2 = button(QStringLiteral("Command2"), QStringLiteral("确 定"), 14.25, {240, 5280, 1095, 615});
    Command3 = button(QStringLiteral("Command3"), QStringLiteral("退 出"), 14.25, {1440, 5280, 1095, 615});
    Command4 = button(QStringLiteral("Command4"), QStringLiteral("关于"), 14.25, {3240, 5280, 1095, 615});
    for (QPushButton *b : {Command5, Command2}) {
        QPalette p = b->palette();
        p.setColor(QPalette::Button, palette().color(QPalette::Midlight));
        b->setPalette(p);
    }
    m_layout->apply(TwipsLayout::pixelsPerTwip(this));

    setTabOrder(Text1, Text2);
    setTabOrder(Text2, Command1);
    setTabOrder(Command1, Text4);
    setTabOrder(Text4, Command2);
    setTabOrder(Command2, Command3);
    setTabOrder(Command3, Command4);
    setTabOrder(Command4, Command5);
    setTabOrder(Command5, Option1);
    setTabOrder(Option1, Option2);
    setTabOrder(Option2, Command7[0]);
    setTabOrder(Command7[0], Command7[1]);

    connect(Command1, &QPushButton::clicked, this, &Setting::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &Setting::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &Setting::exitRequested);
    connect(Command4, &QPushButton::clicked, this, &Setting::aboutRequested);
    connect(Command5, &QPushButton::clicked, this, &Setting::editRequested);
    for (int i = 0; i < 2; ++i)
        connect(Command7[i], &QPushButton::clicked, this, [this, i] { Command7_Click(i); });
    connect(Option1, &QRadioButton::clicked, this, [this] { m_evening.setNoRepeatDraw(0); });
    connect(Option2, &QRadioButton::clicked, this, [this] { m_evening.setNoRepeatDraw(1); });
}

void Setting::Load()
{
    m_evening.setCandidateCount(0);
    centreOnScreen(this);
    Text1->setFocus();
}

void Setting::showPictureError(const QString &path, const QString &error)
{
    Dialogs::error(this, pictureErrorText(path, error));
}

QString Setting::logNotWritableText(const ResultLog &log, const QString &error)
{
    return QStringLiteral("抽奖结果无法写入 %1（文件夹 %2）：%3\r\n\r\n"
                          "仍可继续抽奖，但结果不会被保存，请手工记下每个结果；"
                          "或者退出程序，换一个可以写入的文件夹再启动。")
        .arg(log.fileName(), log.folder(), error);
}

void Setting::Command1_Click()
{
    CommonDialog2.InitDir = programFolder();
    CommonDialog2.Filter = pictureFilter();
    CommonDialog2.ShowOpen(this);
    Text4->setText(QString());
    Text4->setText(CommonDialog2.FileName);
    showPreview(true);
}

void Setting::showPreview(bool reportFailure)
{
    Image1->setPixmap(QPixmap());
    if (Text4->text().isEmpty())
        return;
    QImage image;
    QString error;
    switch (m_pictures.load(Text4->text(), &image, &error)) {
    case PictureLoader::Outcome::Interrupted:
        return;
    case PictureLoader::Outcome::Refused:
        if (reportFailure)
            showPictureError(Text4->text(), error);
        return;
    case PictureLoader::Outcome::Loaded:
        break;
    }
    Image1->setPixmap(QPixmap::fromImage(image));
}

void Setting::Command7_Click(int index)
{
    FontDialog &dialog = CommonDialog1[size_t(index)];
    dialog.ShowFont(this);
    if (!dialog.offeredFonts())
        return; // nothing to choose from: the line keeps its font
    m_evening.setLineFont(index, dialog.FontName, dialog.Color);
}

void Setting::Command2_Click()
{
    if (m_evening.listCount() == 0) {
        Dialogs::error(this, QStringLiteral("请添加列表后继续"));
        Q_EMIT editRequested();
        return;
    }
    QString logError;
    if (!RecordWriter::checkAppendable(m_evening.resultLog().fileName(), &logError))
        // Found now rather than at the first draw; the organiser may still go on.
        Dialogs::error(this, logNotWritableText(m_evening.resultLog(), logError));
    const Module1 &m = m_evening.module1();
    Q_EMIT armRequested({Text1->text(), Text2->text(), Text4->text(), m.LineFontFace, m.LineFontColor});
}

void Setting::showCandidateCount(qint32 count)
{
    // Seven blanks leave room for the count over them.
    Label8->setText(QStringLiteral("共       个候选数据"));
    Label10->setText(QString::number(count));
}

void Setting::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    LineShape::paintAll(painter, this, TwipsLayout::pixelsPerTwip(this));
}

void Setting::closeEvent(QCloseEvent *event)
{
    event->accept();
    Q_EMIT exitRequested();
}
