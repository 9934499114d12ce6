#include "spareweb.h"
#include "wrapper.h"

#include <QApplication>
#include <QPointer>
#include <QQmlApplicationEngine>
#include <QQuickStyle>
#include <QQuickWindow>

int main(int argc, char *argv[])
{
    QQuickWindow::setGraphicsApi(QSGRendererInterface::OpenGL);
    QApplication app(argc, argv);
    app.setOrganizationName(QStringLiteral("Tarvo Technologies"));
    app.setOrganizationDomain(QStringLiteral("kelo.tarvo.example"));
    app.setApplicationName(QStringLiteral("Kelo#"));

    QQuickStyle::setStyle(QStringLiteral("Basic"));

    qmlRegisterType<Wrapper>("Wrapper", 8, 6, "Wrapper");
    qmlRegisterType<Spareweb>("Spareweb", 8, 6, "Spareweb");

    QQmlApplicationEngine engine(QUrl(QStringLiteral("qrc:///main.qml")));
    // The engine has printed why; without a window the user would be left with nothing.
    if (engine.rootObjects().isEmpty())
        return 1;
    // On Windows, appearing must not take the focus from the application being typed into.
    for (QObject *root : engine.rootObjects())
        root->setProperty("_q_showWithoutActivating", true);
    const int exitCode = app.exec();
    // Settings blocks write what changed when they go; the teardown that follows ends in the
    // bridge, which exits the process, so let them go first.
    QList<QPointer<QObject>> blocks;
    for (QObject *root : engine.rootObjects()) {
        const auto objects = root->findChildren<QObject *>();
        for (QObject *object : objects) {
            if (object->inherits("QQmlSettings"))
                blocks.append(object);
        }
    }
    for (const QPointer<QObject> &block : blocks)
        delete block.data();
    return exitCode;
}
