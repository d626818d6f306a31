#pragma once

#include <QColor>
#include <QHash>
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
    // While rolling, only the widest name is measured at the chosen size.
    void setCells(const QStringList &texts, const QList<bool> &voided = {}, bool rolling = false);
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
    bool nameFits(int index) const;
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
    QFont cellFont(bool struck = false) const;

    QStringList m_texts;
    QList<bool> m_voided;
    QList<double> m_widths; // advance of each text at the reference size
    bool m_rolling = false;
    int m_widestIndex = 0;
    mutable QFont m_font;
    mutable QFont m_struckFont;
    QColor m_color = Qt::black;
    int m_columns = 0;
    int m_rows = 0;
    double m_pixelSize = 0;
};
