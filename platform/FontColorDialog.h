#pragma once

#include <QDialog>

class QFontComboBox;
class QLabel;
class QPushButton;

// Chooses a font face and a text colour for one line of the live draw.
class FontColorDialog : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FontColorDialog)

public:
    FontColorDialog(const QString &face, quint32 color, QWidget *parent = nullptr);

    QString face() const;
    quint32 color() const { return m_color; }

private:
    void chooseColor();
    void updatePreview();

    QFontComboBox *m_faces;
    QPushButton *m_colorButton;
    QLabel *m_preview;
    quint32 m_color;
};
