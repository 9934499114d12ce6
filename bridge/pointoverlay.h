#pragma once

#include <QColor>
#include <QRasterWindow>
#include <QStringList>
#include <QVariantList>

// Point mode's overlay: a window over the whole desktop that shows only its parts (the band's
// edges, the line, the cross at the point) and the click list, cut to them so that everything
// else stays in sight with or without a compositor. It never takes the focus and every click
// goes through it. Painted by the processor: no graphics driver needed.
class PointOverlay : public QRasterWindow
{
    Q_OBJECT
    Q_PROPERTY(bool active READ isVisible WRITE setActive NOTIFY activeChanged)
    // The desktop covered, in the pointer's coordinates.
    Q_PROPERTY(QRect area READ area WRITE setArea NOTIFY changed)
    // Maps of x, y, w, h (in the window's coordinates) and color.
    Q_PROPERTY(QVariantList parts READ parts WRITE setParts NOTIFY changed)
    // The click list beside point (desktop coordinates), shown while listShown, entry lit lit.
    Q_PROPERTY(QStringList entries READ entries WRITE setEntries NOTIFY changed)
    Q_PROPERTY(bool listShown READ listShown WRITE setListShown NOTIFY changed)
    Q_PROPERTY(int lit READ lit WRITE setLit NOTIFY changed)
    Q_PROPERTY(QPoint point READ point WRITE setPoint NOTIFY changed)
    Q_PROPERTY(qreal textSize READ textSize WRITE setTextSize NOTIFY changed)
    // Where the click list stands, in the window's coordinates.
    Q_PROPERTY(QRect listRect READ listRect NOTIFY changed)

public:
    explicit PointOverlay(QWindow *parent = nullptr);

    void setActive(bool on);
    QRect area() const { return desktop; }
    void setArea(const QRect &area);
    QVariantList parts() const { return shapes; }
    void setParts(const QVariantList &parts);
    QStringList entries() const { return texts; }
    void setEntries(const QStringList &entries);
    bool listShown() const { return showList; }
    void setListShown(bool shown);
    int lit() const { return litEntry; }
    void setLit(int entry);
    QPoint point() const { return at; }
    void setPoint(const QPoint &point);
    qreal textSize() const { return pixels; }
    void setTextSize(qreal size);
    QRect listRect() const;

signals:
    void activeChanged();
    void changed();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void refresh();
    QFont font() const;

    QRect desktop;
    QVariantList shapes;
    QStringList texts;
    bool showList = false;
    int litEntry = -1;
    QPoint at;
    qreal pixels = 16;
};
