#include "WinnerGrid.h"

#include "UiKit.h"

#include <QFontMetricsF>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QTextLayout>
#include <QToolTip>

#include <algorithm>
#include <cmath>

namespace {

constexpr int ReferencePixels = 100;
// Room left around a name inside its cell, and for the line's height.
constexpr double WidthShare = 0.94;
constexpr double HeightShare = 0.78;
const QString Ellipsis = QStringLiteral("…");

// Where text wrapped into width breaks: each line's start and length.
QList<std::pair<int, int>> wrapLines(const QString &text, const QFont &font, double width)
{
    QTextLayout layout(text, font);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    QList<std::pair<int, int>> lines;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        lines.append({line.textStart(), line.textLength()});
    }
    layout.endLayout();
    return lines;
}

// The longest beginning of text that fits width with "…" after it.
QString elideEnd(const QString &text, const QFontMetricsF &metrics, double width)
{
    qsizetype low = 0, high = text.size(); // low always fits
    while (low < high) {
        const qsizetype mid = (low + high + 1) / 2;
        if (metrics.horizontalAdvance(text.left(mid) + Ellipsis) <= width)
            low = mid;
        else
            high = mid - 1;
    }
    if (low > 0 && text.at(low - 1).isHighSurrogate())
        --low; // never half a character
    return text.left(low) + Ellipsis;
}

} // namespace

WinnerGrid::WinnerGrid(QWidget *parent) : QWidget(parent)
{
    setAttribute(Qt::WA_TranslucentBackground);
    setAutoFillBackground(false);
}

QFont WinnerGrid::fontAt(int pixels, bool struck) const
{
    pixels = qMax(1, pixels);
    const int key = struck ? -pixels : pixels;
    auto it = m_fonts.constFind(key);
    if (it == m_fonts.cend()) {
        if (m_fonts.size() > 64)
            m_fonts.clear();
        QFont font = uiFont(10);
        font.setPixelSize(pixels);
        font.setStrikeOut(struck);
        it = m_fonts.insert(key, font);
    }
    return *it;
}

void WinnerGrid::setCells(const QStringList &texts, const QList<bool> &voided, bool rolling)
{
    // While rolling the grid keeps the layout its first tick chose; each
    // name is fitted to its cell as it comes.
    const bool keep = rolling && m_rolling && texts.size() == m_texts.size() && m_pixelSize > 0;
    m_texts = texts;
    m_voided = voided;
    m_rolling = rolling;
    if (keep)
        fitCells();
    else
        layoutCells();
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
    m_pixelSize = m_roomPixels = 0;
    if (k == 0 || width() <= 0 || height() <= 0) {
        fitCells();
        return;
    }
    // The grid is chosen for the stop's typical name (the median's shorter
    // side): one long name does not make every other name small.
    const QFontMetricsF reference(fontAt(ReferencePixels));
    QList<std::pair<double, int>> widths;
    for (int i = 0; i < k; ++i)
        widths.append({qMax(1.0, reference.horizontalAdvance(m_texts.at(i))), i});
    const auto middle = widths.begin() + (k - 1) / 2;
    std::nth_element(widths.begin(), middle, widths.end());
    const double typical = middle->first;
    const QString &typicalText = m_texts.at(middle->second);
    // A lone winner (the grand prize) may use the band's whole height.
    const double cap = height() * (k == 1 ? HeightShare : MaxHeightShare);
    double best = -1;
    // The number of columns that lets the typical name stand largest.
    for (int c = 1; c <= k; ++c) {
        const int r = (k + c - 1) / c;
        if (c > 1 && (k + c - 2) / (c - 1) == r)
            continue; // as many rows with fewer columns: wider cells
        const double cellW = double(width()) / c;
        const double cellH = double(height()) / r;
        const double size =
            qMin(qMin(cellH * HeightShare, cap), cellW * WidthShare * ReferencePixels / typical);
        if (size > best + 1e-9) {
            best = size;
            m_columns = c;
            m_rows = r;
        }
    }
    m_pixelSize = qMax(1.0, std::floor(best));
    const double cellH = double(height()) / m_rows;
    // A long name shrinks and wraps as it would in a stop of its own size.
    m_roomPixels = qMax(1.0, std::floor(qMin(cellH * HeightShare, height() * MaxHeightShare)));
    // Glyph hinting is not exactly linear: step down until the typical name fits.
    const double roomW = double(width()) / m_columns * WidthShare;
    const double roomH = double(height()) / m_rows;
    for (int guard = 0; guard < 20 && m_pixelSize > 1; ++guard) {
        const QFontMetricsF metrics(fontAt(int(m_pixelSize)));
        if (metrics.height() <= roomH + 0.5 && metrics.horizontalAdvance(typicalText) <= roomW)
            break;
        m_pixelSize = qMax(1.0, std::floor(m_pixelSize * 0.95));
    }
    fitCells();
}

void WinnerGrid::fitCells()
{
    m_fits.clear();
    if (m_columns <= 0)
        return;
    const QSizeF room(double(width()) / m_columns * WidthShare, double(height()) / m_rows);
    const QFontMetricsF gridMetrics(fontAt(int(m_pixelSize)));
    for (const QString &t : m_texts) {
        Fit fit = fitCell(t, room, gridMetrics);
        if (fit.widths.isEmpty()) {
            const QFontMetricsF metrics(fontAt(fit.pixelSize));
            for (const QString &line : fit.lines)
                fit.widths.append(metrics.horizontalAdvance(line));
        }
        m_fits.append(fit);
    }
}

// At the grid's size when the name fits; else on one line shrunk to the
// floor (a share of the largest size the cell's height allows); else on two
// lines as large as they fit; else cut at the floor.
WinnerGrid::Fit WinnerGrid::fitCell(const QString &text, QSizeF room, const QFontMetricsF &gridMetrics) const
{
    Fit fit;
    fit.pixelSize = int(m_pixelSize);
    fit.lines = QStringList{text};
    const double width = gridMetrics.horizontalAdvance(text);
    const int floorPixels = qMax(1, int(std::ceil(m_roomPixels * FloorShare)));
    const bool fitsAtGridSize = width <= room.width();
    if ((fitsAtGridSize && fit.pixelSize >= floorPixels) || fit.pixelSize <= 1) {
        fit.widths = {width};
        return fit;
    }
    for (int px = qMin(fit.pixelSize - 1, int(std::floor(fit.pixelSize * room.width() / width)));
         px >= floorPixels; --px) {
        if (QFontMetricsF(fontAt(px)).horizontalAdvance(text) <= room.width()) {
            fit.pixelSize = px;
            return fit;
        }
    }
    const auto linesAt = [&](int px) {
        QStringList lines;
        for (const auto &[start, length] : wrapLines(text, fontAt(px), room.width()))
            lines.append(text.mid(start, length));
        for (qsizetype i = 0; i + 1 < lines.size(); ++i)
            while (lines.at(i).size() > 1 && lines.at(i).back().isSpace())
                lines[i].chop(1); // the blank a line broke at
        return lines;
    };
    const auto twoLinesFit = [&](int px) {
        return 2 * QFontMetricsF(fontAt(px)).height() <= room.height() + 0.5 && linesAt(px).size() <= 2;
    };
    // The largest size from the floor up at which two lines hold the name.
    if (twoLinesFit(floorPixels)) {
        int low = floorPixels, high = qMax(floorPixels, int(m_roomPixels));
        while (low < high) {
            const int mid = (low + high + 1) / 2;
            if (twoLinesFit(mid))
                low = mid;
            else
                high = mid - 1;
        }
        fit.pixelSize = low;
        fit.lines = linesAt(low);
        return fit;
    }
    if (fitsAtGridSize)
        return fit; // whole on one line, though below the floor
    // Cut at the floor: as many lines as the cell's height holds, the last
    // one ending in "…".
    fit.pixelSize = floorPixels;
    fit.lines.clear();
    fit.whole = false;
    const QFontMetricsF metrics(fontAt(floorPixels));
    const int most = 2 * metrics.height() <= room.height() + 0.5 ? 2 : 1;
    const QList<std::pair<int, int>> breaks = wrapLines(text, fontAt(floorPixels), room.width());
    const int whole = qMax(0, qMin(most - 1, int(breaks.size()) - 1)); // lines before the cut one
    for (int i = 0; i < whole; ++i)
        fit.lines.append(text.mid(breaks.at(i).first, breaks.at(i).second).trimmed());
    const int rest = whole < breaks.size() ? breaks.at(whole).first : 0;
    fit.lines.append(elideEnd(text.mid(rest), metrics, room.width()));
    return fit;
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

bool WinnerGrid::everyNameFits() const
{
    return std::all_of(m_fits.cbegin(), m_fits.cend(), [](const Fit &f) { return f.whole; });
}

int WinnerGrid::cellAt(QPoint pos) const
{
    for (int i = 0; i < m_texts.size(); ++i)
        if (cellRect(i).contains(pos))
            return i;
    return -1;
}

bool WinnerGrid::event(QEvent *event)
{
    if (event->type() != QEvent::ToolTip)
        return QWidget::event(event);
    // The whole name of the cell under the mouse, once the stop is drawn.
    const auto *help = static_cast<QHelpEvent *>(event);
    const int index = m_rolling ? -1 : cellAt(help->pos());
    if (index < 0) {
        QToolTip::hideText();
        event->ignore();
        return true;
    }
    QToolTip::showText(help->globalPos(), plainToolTip(m_texts.at(index)), this, cellRect(index).toRect());
    return true;
}

void WinnerGrid::paintEvent(QPaintEvent *)
{
    if (m_texts.isEmpty() || m_fits.size() != m_texts.size())
        return;
    QPainter painter(this);
    // Every name is ringed in a colour of the opposite lightness, so it
    // stands out from any picture behind it: the ring is always next to the
    // letters, whatever the background does.
    const auto ringFor = [](const QColor &c) {
        return c.lightnessF() > 0.55 ? QColor(0x20, 0x20, 0x20, 230) : QColor(0xFF, 0xFF, 0xFF, 230);
    };
    for (int i = 0; i < m_texts.size(); ++i) {
        const bool voided = m_voided.value(i, false);
        const Fit &fit = m_fits.at(i);
        const QFont font = fontAt(fit.pixelSize, voided);
        if (i == 0 || font != painter.font())
            painter.setFont(font);
        const QFontMetricsF metrics = painter.fontMetrics();
        const QRectF cell = cellRect(i);
        const QColor color = voided ? QColor(0x80, 0x80, 0x80) : m_color;
        const QColor ring = ringFor(color);
        const double r = qMax(1.0, fit.pixelSize / 18.0);
        double y = cell.center().y() - metrics.height() * double(fit.lines.size()) / 2 + metrics.ascent();
        for (qsizetype l = 0; l < fit.lines.size(); ++l) {
            const QPointF at(cell.center().x() - fit.widths.at(l) / 2, y);
            painter.setPen(ring);
            for (const QPointF step : {QPointF(-r, -r), QPointF(0, -r), QPointF(r, -r), QPointF(-r, 0),
                                       QPointF(r, 0), QPointF(-r, r), QPointF(0, r), QPointF(r, r)})
                painter.drawText(at + step, fit.lines.at(l));
            painter.setPen(color);
            painter.drawText(at, fit.lines.at(l));
            y += metrics.height();
        }
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
