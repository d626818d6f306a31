#include "FontColorDialog.h"

#include <QColorDialog>
#include <QDialogButtonBox>
#include <QFontComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

FontColorDialog::FontColorDialog(const QString &face, quint32 color, QWidget *parent)
    : QDialog(parent), m_faces(new QFontComboBox(this)), m_colorButton(new QPushButton(this)),
      m_preview(new QLabel(QStringLiteral("星梭抽奖 AaBb 123"), this)), m_color(color)
{
    setWindowTitle(QStringLiteral("字体"));
    if (!face.isEmpty())
        m_faces->setCurrentFont(QFont(face));
    m_colorButton->setMinimumWidth(80);
    m_preview->setMinimumHeight(48);
    m_preview->setAlignment(Qt::AlignCenter);

    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("字体："), m_faces);
    form->addRow(QStringLiteral("颜色："), m_colorButton);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(m_preview);
    layout->addWidget(buttons);

    connect(m_faces, &QFontComboBox::currentFontChanged, this, &FontColorDialog::updatePreview);
    connect(m_colorButton, &QPushButton::clicked, this, &FontColorDialog::chooseColor);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    updatePreview();
}

QString FontColorDialog::face() const
{
    return m_faces->currentFont().family();
}

void FontColorDialog::chooseColor()
{
    const QColor chosen = QColorDialog::getColor(QColor::fromRgb(m_color), this, QStringLiteral("颜色"));
    if (chosen.isValid()) {
        m_color = chosen.rgb() & 0xFFFFFF;
        updatePreview();
    }
}

void FontColorDialog::updatePreview()
{
    const QColor c = QColor::fromRgb(m_color);
    m_colorButton->setText(c.name().toUpper());
    m_colorButton->setStyleSheet(
        QStringLiteral("background-color: %1; color: %2;")
            .arg(c.name(), c.lightness() > 128 ? QStringLiteral("black") : QStringLiteral("white")));
    QFont f = m_faces->currentFont();
    f.setPointSize(16);
    m_preview->setFont(f);
    m_preview->setStyleSheet(QStringLiteral("color: %1;").arg(c.name()));
}
