#include "windowshape.h"

#include <QRegion>

void WindowShape::setWindow(QWindow *window)
{
    if (target == window)
        return;
    target = window;
    // Windows: appearing must not take the focus from the application typed into.
    if (target)
        target->setProperty("_q_showWithoutActivating", true);
    apply();
    emit windowChanged();
}

void WindowShape::setRects(const QVariantList &rects)
{
    parts = rects;
    apply();
    emit rectsChanged();
}

void WindowShape::apply()
{
    if (!target)
        return;
    QRegion region;
    for (const QVariant &part : std::as_const(parts)) {
        const QRect r = part.toRectF().toAlignedRect();
        if (!r.isEmpty())
            region += r;
    }
    // An empty mask would mean no mask, the whole window: one pixel off-screen stands for none.
    target->setMask(region.isEmpty() ? QRegion(-1, -1, 1, 1) : region);
}
