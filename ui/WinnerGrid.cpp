#include "WinnerGrid.h"

#include "UiKit.h"

#include <QFontMetricsF>
#include <QMouseEvent>
#include <QPainter>
#include <QTextLayout>

#include <cmath>

namespace {

constexpr double ReferencePixels = 100.0;
// Room left around a name inside its cell, and for the line's height.
constexpr double WidthShare = 0.94;
constexpr double HeightShare = 0.78;

} // namespace

WinnerGrid::WinnerGrid(QWidget *parent) : QWidget(parent)
{
    setAttribute(Qt::WA_TranslucentBackground);
    setAutoFillBackground(false);
}

QFont WinnerGrid::cellFont(bool struck) const
{
    // Kept from paint to paint: a font looked up again costs more than the text.
    const int pixels = qMax(1, int(std::floor(m_pixelSize > 0 ? m_pixelSize : ReferencePixels)));
    QFont &font = struck ? m_struckFont : m_font;
    if (font.pixelSize() != pixels) {
        font = uiFont(10);
        font.setPixelSize(pixels);
        font.setStrikeOut(struck);
    }
    return font;
}

void WinnerGrid::setCells(const QStringList &texts, const QList<bool> &voided, bool rolling)
{
    // While rolling the grid keeps the size its first tick chose; a name
    // too wide for it is shrunk on its own as it is drawn, so each name is
    // laid out once per tick.
    const bool keep = rolling && m_rolling && texts.size() == m_texts.size() && m_pixelSize > 0;
    m_texts = texts;
    m_voided = voided;
    m_rolling = rolling;
    if (!keep) {
        m_widths.clear();
        QFont reference = uiFont(10);
        reference.setPixelSize(int(ReferencePixels));
        const QFontMetricsF metrics(reference);
        for (const QString &t : texts)
            m_widths.append(qMax(1.0, metrics.horizontalAdvance(t)));
        layoutCells();
    }
    update();
}

void WinnerGrid::setTextColor(const QColor &color)
{
    if (color == m_color)
        return;
    m_color = color;
    update();
}

void WinnerGrid::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    layoutCells();
}

void WinnerGrid::layoutCells()
{
    const int k = int(m_texts.size());
    m_columns = m_rows = 0;
    m_pixelSize = 0;
    if (k == 0 || width() <= 0 || height() <= 0)
        return;
    const auto widestAt = std::max_element(m_widths.cbegin(), m_widths.cend());
    const double widest = *widestAt;
    m_widestIndex = int(widestAt - m_widths.cbegin());
    double best = -1;
    // The number of columns that lets the longest name stand largest.
    for (int c = 1; c <= k; ++c) {
        const int r = (k + c - 1) / c;
        if (c > 1 && (k + c - 2) / (c - 1) == r)
            continue; // as many rows with fewer columns: wider cells
        const double cellW = double(width()) / c;
        const double cellH = double(height()) / r;
        const double size = qMin(qMin(cellH * HeightShare, height() * MaxHeightShare),
                                 cellW * WidthShare * ReferencePixels / widest);
        if (size > best + 1e-9) {
            best = size;
            m_columns = c;
            m_rows = r;
        }
    }
    m_pixelSize = qMax(1.0, std::floor(best));
    // Glyph hinting is not exactly linear: step down until every name fits.
    const auto fits = [this] { return m_rolling ? nameFits(m_widestIndex) : everyNameFits(); };
    for (int guard = 0; guard < 20 && m_pixelSize > 1 && !fits(); ++guard)
        m_pixelSize = qMax(1.0, std::floor(m_pixelSize * 0.95));
}

QRectF WinnerGrid::cellRect(int index) const
{
    if (m_columns <= 0 || index < 0 || index >= m_texts.size())
        return QRectF();
    const double cellW = double(width()) / m_columns;
    const double cellH = double(height()) / m_rows;
    // The last row is centred when it is not full.
    const int row = index / m_columns;
    const int inRow = row == m_rows - 1 ? int(m_texts.size()) - row * m_columns : m_columns;
    const double left = (width() - inRow * cellW) / 2;
    return QRectF(left + (index % m_columns) * cellW, row * cellH, cellW, cellH);
}

bool WinnerGrid::nameFits(int index) const
{
    const QFontMetricsF metrics(cellFont());
    return metrics.height() <= double(height()) / qMax(1, m_rows) + 0.5 &&
           metrics.horizontalAdvance(m_texts.value(index)) <= double(width()) / qMax(1, m_columns);
}

bool WinnerGrid::everyNameFits() const
{
    if (m_texts.isEmpty())
        return true;
    const QFontMetricsF metrics(cellFont());
    const double cellW = double(width()) / qMax(1, m_columns);
    const double cellH = double(height()) / qMax(1, m_rows);
    if (metrics.height() > cellH + 0.5)
        return false;
    for (const QString &t : m_texts)
        if (metrics.horizontalAdvance(t) > cellW)
            return false;
    return true;
}

int WinnerGrid::cellAt(QPoint pos) const
{
    for (int i = 0; i < m_texts.size(); ++i)
        if (cellRect(i).contains(pos))
            return i;
    return -1;
}

void WinnerGrid::paintEvent(QPaintEvent *)
{
    if (m_texts.isEmpty())
        return;
    QPainter painter(this);
    const QFont plain = cellFont(false);
    const QFont struck = cellFont(true);
    QTextOption oneLine;
    oneLine.setWrapMode(QTextOption::NoWrap);
    for (int i = 0; i < m_texts.size(); ++i) {
        const bool voided = m_voided.value(i, false);
        const QRectF cell = cellRect(i);
        QFont f = voided ? struck : plain;
        QTextLayout layout(m_texts.at(i), f);
        layout.setTextOption(oneLine);
        const auto lay = [&layout] {
            layout.beginLayout();
            QTextLine line = layout.createLine();
            if (line.isValid())
                line.setLineWidth(1e6);
            layout.endLayout();
            return line.isValid() ? line.naturalTextWidth() : 0.0;
        };
        double width = lay();
        if (width > cell.width() && f.pixelSize() > 1) {
            f.setPixelSize(qMax(1, int(std::floor(f.pixelSize() * cell.width() / width * 0.98))));
            layout.setFont(f);
            width = lay();
        }
        painter.setPen(voided ? QColor(0x80, 0x80, 0x80) : m_color);
        const double lineHeight = layout.lineCount() > 0 ? layout.lineAt(0).height() : 0.0;
        layout.draw(&painter, QPointF(cell.center().x() - width / 2, cell.center().y() - lineHeight / 2));
    }
}

void WinnerGrid::mousePressEvent(QMouseEvent *event)
{
    const int index = event->button() == Qt::RightButton ? cellAt(event->pos()) : -1;
    if (index < 0) {
        event->ignore(); // the window's own menu, or its double click
        return;
    }
    Q_EMIT cellMenuRequested(index, event->globalPosition().toPoint());
}
