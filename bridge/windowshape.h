#pragma once

#include <QObject>
#include <QPointer>
#include <QVariantList>
#include <QWindow>

// Cuts a window down to a set of rectangles: only they are drawn, so a see-through overlay shows
// what lies beneath it even where no compositor blends it. The window stays whatever else it is
// (input transparency is its own flag).
class WindowShape : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QWindow *window READ window WRITE setWindow NOTIFY windowChanged)
    // QRectF values in the window's coordinates; none leaves nothing shown.
    Q_PROPERTY(QVariantList rects READ rects WRITE setRects NOTIFY rectsChanged)

public:
    using QObject::QObject;

    QWindow *window() const { return target; }
    void setWindow(QWindow *window);
    QVariantList rects() const { return parts; }
    void setRects(const QVariantList &rects);

signals:
    void windowChanged();
    void rectsChanged();

private:
    void apply();

    QPointer<QWindow> target;
    QVariantList parts;
};
