#pragma once

#include <QColor>
#include <QFont>
#include <QFontMetricsF>
#include <QHash>
#include <QList>
#include <QStringList>
#include <QWidget>

// The winners of one stop side by side in the display band: one cell per
// winner, in grid order (left to right, top to bottom). The grid is laid out
// for the stop's typical name; each cell then fits its own name, whatever
// the others hold: at the grid's size when it fits, else shrunk down to a
// floor, else wrapped onto two lines, else cut at its end with "…". The
// whole name is the cell's tooltip. Names are drawn as plain text.
class WinnerGrid : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(WinnerGrid)

public:
    explicit WinnerGrid(QWidget *parent);

    // The cells' texts; voided ones are drawn grey and struck through.
    // While rolling the grid keeps the layout of its first tick.
    void setCells(const QStringList &texts, const QList<bool> &voided = {}, bool rolling = false);
    const QStringList &cells() const { return m_texts; }
    void setTextColor(const QColor &color);
    QColor textColor() const { return m_color; }
    // The largest a name may stand, as a share of the grid's height: the
    // single display's 21.75 pt in the band's 810 twips. A lone winner may
    // stand larger, up to the band's whole height.
    static constexpr double MaxHeightShare = 21.75 * 20 / 810;
    // The smallest a name shrinks to on one line, as a share of the largest
    // size its cell's height allows, before it wraps onto two lines.
    static constexpr double FloorShare = 0.6;

    // What the last layout chose, for checks: columns, rows, the grid's
    // font size in pixels, and for each cell its own size, the text as
    // drawn (lines joined by "\n"), and whether the name is shown whole.
    int columns() const { return m_columns; }
    int rows() const { return m_rows; }
    double pixelSize() const { return m_pixelSize; }
    double cellPixelSize(int index) const { return m_fits.value(index).pixelSize; }
    QString shownText(int index) const { return m_fits.value(index).lines.join(u'\n'); }
    bool nameFits(int index) const { return m_fits.value(index).whole; }
    bool everyNameFits() const;
    // The cell under a point, or -1.
    int cellAt(QPoint pos) const;
    QRectF cellRect(int index) const;

Q_SIGNALS:
    // A right click on a cell.
    void cellMenuRequested(int index, QPoint globalPos);

protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;

private:
    struct Fit
    {
        int pixelSize = 0;
        QStringList lines;    // as drawn
        QList<double> widths; // of each line
        bool whole = true;
    };
    void layoutCells();
    void fitCells();
    Fit fitCell(const QString &text, QSizeF room, const QFontMetricsF &gridMetrics) const;
    QFont fontAt(int pixels, bool struck = false) const;

    QStringList m_texts;
    QList<bool> m_voided;
    QList<Fit> m_fits;
    bool m_rolling = false;
    mutable QHash<int, QFont> m_fonts; // by pixel size; a font looked up again costs more than the text
    QColor m_color = Qt::black;
    int m_columns = 0;
    int m_rows = 0;
    double m_pixelSize = 0;  // for the typical name
    double m_roomPixels = 0; // the largest the cells' height allows
};
