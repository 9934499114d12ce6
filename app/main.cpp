#include "spareweb.h"
#include "wrapper.h"

#include <QApplication>
#include <QQmlApplicationEngine>
#include <QQuickWindow>

int main(int argc, char *argv[])
{
    QQuickWindow::setGraphicsApi(QSGRendererInterface::OpenGL);
    QApplication app(argc, argv);
    app.setOrganizationName(QStringLiteral("Tarvo Technologies"));
    app.setOrganizationDomain(QStringLiteral("kelo.tarvo.example"));
    app.setApplicationName(QStringLiteral("Kelo#"));

    qmlRegisterType<Wrapper>("Wrapper", 8, 6, "Wrapper");
    qmlRegisterType<Spareweb>("Spareweb", 8, 6, "Spareweb");

    QQmlApplicationEngine engine(QUrl(QStringLiteral("qrc:///main.qml")));
    // The engine has printed why; without a window the user would be left with nothing.
    if (engine.rootObjects().isEmpty())
        return 1;
    return app.exec();
}
