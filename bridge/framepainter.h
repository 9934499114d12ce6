#pragma once

#include <QImage>
#include <QPainter>
#include <QSizeF>

// Both camera views stretch the frame over their whole area, fast and unsmoothed, so the
// user sees the entire picture whatever shape the area has.
inline void paintStretched(QPainter *painter, const QImage &frame, const QSizeF &size)
{
    if (frame.isNull())
        return;
    painter->drawImage(0, 0,
                       frame.scaled(int(size.width()), int(size.height()), Qt::IgnoreAspectRatio,
                                    Qt::FastTransformation));
}
