#pragma once

#include <QColor>
#include <QList>
#include <QStringList>
#include <QWidget>

// The winners of one stop side by side in the display band: one cell per
// winner, in grid order (left to right, top to bottom). Every name is shown
// whole on one line: the font shrinks until the longest fits its cell. The
// names are drawn as plain text.
class WinnerGrid : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(WinnerGrid)

public:
    explicit WinnerGrid(QWidget *parent);

    // The cells' texts; voided ones are drawn grey and struck through.
    void setCells(const QStringList &texts, const QList<bool> &voided = {});
    const QStringList &cells() const { return m_texts; }
    void setTextColor(const QColor &color);
    QColor textColor() const { return m_color; }
    // The largest a name may stand, as a share of the grid's height: the
    // single display's 21.75 pt in the band's 810 twips.
    static constexpr double MaxHeightShare = 21.75 * 20 / 810;

    // What the last layout chose, for checks: columns, rows, the font's
    // pixel size, and whether every name fitted its cell whole on one line.
    int columns() const { return m_columns; }
    int rows() const { return m_rows; }
    double pixelSize() const { return m_pixelSize; }
    bool everyNameFits() const;
    // The cell under a point, or -1.
    int cellAt(QPoint pos) const;
    QRectF cellRect(int index) const;

Q_SIGNALS:
    // A right click on a cell.
    void cellMenuRequested(int index, QPoint globalPos);

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;

private:
    void layoutCells();
    QFont cellFont() const;

    QStringList m_texts;
    QList<bool> m_voided;
    QList<double> m_widths; // advance of each text at the reference size
    QColor m_color = Qt::black;
    int m_columns = 0;
    int m_rows = 0;
    double m_pixelSize = 0;
};
