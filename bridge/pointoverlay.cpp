#include "pointoverlay.h"

#include <QFontMetrics>
#include <QPaintEvent>
#include <QPainter>
#include <QQuickItem>
#include <QQuickWindow>

namespace {
constexpr int padding = 8, gap = 24, border = 2;
}

PointOverlay::PointOverlay(QWindow *parent)
    : QRasterWindow(parent)
{
    setFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint
             | Qt::WindowDoesNotAcceptFocus | Qt::WindowTransparentForInput
             | Qt::X11BypassWindowManagerHint);
    // See-through where a compositor blends windows; elsewhere the shape does it.
    QSurfaceFormat format;
    format.setAlphaBufferSize(8);
    setFormat(format);
    // Windows: appearing must not take the focus from the application typed into.
    setProperty("_q_showWithoutActivating", true);
    setTitle(QStringLiteral("Kelo# point"));
}

void PointOverlay::setActive(bool on)
{
    if (on == isVisible())
        return;
    if (on) {
        // A secondary window of the one it is declared in: closing that one still ends the
        // program, this one being no last window to wait for.
        for (QObject *o = QObject::parent(); o && !transientParent(); o = o->parent()) {
            if (auto *item = qobject_cast<QQuickItem *>(o))
                setTransientParent(item->window());
            else if (auto *window = qobject_cast<QWindow *>(o))
                setTransientParent(window);
        }
        refresh();
        show();
    } else {
        hide();
    }
    emit activeChanged();
}

void PointOverlay::setArea(const QRect &area)
{
    if (area == desktop || area.isEmpty())
        return;
    desktop = area;
    setGeometry(area);
    refresh();
}

void PointOverlay::setParts(const QVariantList &parts)
{
    shapes = parts;
    refresh();
}

void PointOverlay::setEntries(const QStringList &entries)
{
    texts = entries;
    refresh();
}

void PointOverlay::setListShown(bool shown)
{
    showList = shown;
    refresh();
}

void PointOverlay::setLit(int entry)
{
    litEntry = entry;
    refresh();
}

void PointOverlay::setPoint(const QPoint &point)
{
    at = point;
    refresh();
}

void PointOverlay::setTextSize(qreal size)
{
    pixels = qBound(6.0, size, 200.0);
    refresh();
}

QFont PointOverlay::font() const
{
    QFont f;
    f.setBold(true);
    f.setPixelSize(int(pixels));
    return f;
}

// Below and right of the point, or on whichever side keeps it on the desktop.
QRect PointOverlay::listRect() const
{
    const QFontMetrics metrics(font());
    int w = 0;
    for (const QString &text : texts)
        w = std::max(w, metrics.horizontalAdvance(text));
    const QSize size(w + 2 * padding, int(texts.size()) * metrics.height() + padding);
    const QPoint p = at - desktop.topLeft();
    const int x = p.x() + gap + size.width() <= desktop.width()
        ? p.x() + gap
        : std::max(0, p.x() - gap - size.width());
    const int y = p.y() + gap + size.height() <= desktop.height()
        ? p.y() + gap
        : std::max(0, p.y() - gap - size.height());
    return QRect(QPoint(x, y), size);
}

void PointOverlay::refresh()
{
    QRegion region;
    for (const QVariant &part : std::as_const(shapes)) {
        const QVariantMap m = part.toMap();
        region
            += QRectF(m.value(QStringLiteral("x")).toReal(), m.value(QStringLiteral("y")).toReal(),
                      m.value(QStringLiteral("w")).toReal(), m.value(QStringLiteral("h")).toReal())
                   .toAlignedRect();
    }
    if (showList)
        region += listRect();
    // An empty mask would be no mask at all, the whole window: a pixel off it stands for none.
    setMask(region.isEmpty() ? QRegion(-1, -1, 1, 1) : region);
    // Only what changed is painted again: a whole desktop each frame would cost a core.
    update(region + shown);
    shown = region;
    emit changed();
}

void PointOverlay::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    painter.setClipRegion(event->region());
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.fillRect(event->rect(), Qt::transparent);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    for (const QVariant &part : std::as_const(shapes)) {
        const QVariantMap m = part.toMap();
        painter.fillRect(
            QRectF(m.value(QStringLiteral("x")).toReal(), m.value(QStringLiteral("y")).toReal(),
                   m.value(QStringLiteral("w")).toReal(), m.value(QStringLiteral("h")).toReal()),
            QColor(m.value(QStringLiteral("color")).toString()));
    }
    if (!showList)
        return;
    const QRect box = listRect();
    painter.fillRect(box, Qt::white);
    painter.setPen(QPen(QColor("cornflowerblue"), border));
    painter.drawRect(box.adjusted(1, 1, -1, -1));
    painter.setFont(font());
    const QFontMetrics metrics(font());
    // Dark text on the highlight's colours: the colours themselves as text on white are too
    // faint to read.
    painter.setPen(Qt::black);
    for (qsizetype i = 0; i < texts.size(); ++i) {
        const int top = box.y() + padding / 2 + int(i) * metrics.height();
        painter.fillRect(QRect(box.x() + border, top, box.width() - 2 * border, metrics.height()),
                         QColor(i == litEntry ? "darkorange" : "cornflowerblue"));
        painter.drawText(box.x() + padding, top + metrics.ascent(), texts[i]);
    }
}
