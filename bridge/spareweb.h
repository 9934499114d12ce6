#pragma once

#include <QImage>
#include <QQuickPaintedItem>

// The camera preview inside the main window: shows whatever frame it was last given.
class Spareweb : public QQuickPaintedItem
{
    Q_OBJECT
public:
    explicit Spareweb(QQuickItem *parent = nullptr);
    void paint(QPainter *painter) override;

public slots:
    void refresh(const QImage &image);

private:
    QImage image;
};
