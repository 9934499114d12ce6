#include "spareweb.h"

#include "framepainter.h"

Spareweb::Spareweb(QQuickItem *parent)
    : QQuickPaintedItem(parent)
{
}

void Spareweb::refresh(const QImage &image)
{
    this->image = image;
    update();
}

void Spareweb::paint(QPainter *painter)
{
    paintStretched(painter, image, size());
}
