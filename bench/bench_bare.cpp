// The yardstick for Kelo#'s start-up: a bare Qt Quick window of about Kelo#'s size with a row of
// rectangles, a slider and a combo box, drawn the way Kelo# draws (OpenGL, the basic render
// loop, the Basic style). Its title and colour are Kelo#'s so the same runner finds it.

#include <QGuiApplication>
#include <QQmlApplicationEngine>
#include <QQuickStyle>
#include <QQuickWindow>

int main(int argc, char *argv[])
{
    if (!qEnvironmentVariableIsSet("QSG_RENDER_LOOP"))
        qputenv("QSG_RENDER_LOOP", "basic");
    QQuickWindow::setGraphicsApi(QSGRendererInterface::OpenGL);
    QGuiApplication app(argc, argv);
    QQuickStyle::setStyle(QStringLiteral("Basic"));
    QQmlApplicationEngine engine;
    engine.loadData(R"(
import QtQuick
import QtQuick.Controls
ApplicationWindow {
    title: "Kelo#"
    width: 556
    height: 230
    visible: true
    Column {
        anchors.fill: parent
        Row {
            spacing: 4
            Repeater {
                model: 6
                Rectangle { width: 88; height: 120; radius: 4; color: "cornflowerblue" }
            }
        }
        Slider { from: 500; to: 2000; value: 1000 }
        ComboBox { model: ["a", "b", "c", "d", "e"] }
    }
}
)");
    return engine.rootObjects().isEmpty() ? 1 : app.exec();
}
