#include "platform.h"
#include "pointoverlay.h"
#include "pointsweep.h"
#include "privatefile.h"
#include "quitsignals.h"
#include "settingsstore.h"
#include "singleinstance.h"
#include "spareweb.h"
#include "wrapper.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QIcon>
#include <QQmlApplicationEngine>
#include <QQuickStyle>
#include <QQuickWindow>
#include <QSettings>
#include <QSocketNotifier>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QWindow>

#include <cstdio>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

// Settings are the user's alone. A settings file that is a link is read but never written
// through: the run keeps its settings in a private copy that goes with it.
std::unique_ptr<QTemporaryDir> keepSettingsPrivate(const QString &runtime)
{
#ifdef Q_OS_WIN
    Q_UNUSED(runtime);
    return {}; // the registry
#else
    // Not asked of QSettings: one made now would keep its reading of the file, and a file Qt
    // cannot read would no longer show as such when the settings are loaded.
    const QString path = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
        + u'/' + QCoreApplication::organizationName() + u'/'
        + QCoreApplication::applicationName() + u".conf"_s;
    if (!PrivateFile::isLink(path.toStdString())) {
        PrivateFile::restrict(path.toStdString());
        return {};
    }
    auto copy = std::make_unique<QTemporaryDir>(QDir(runtime).filePath(u"kelo-settings-XXXXXX"_s));
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, copy->path());
    const QString file = QSettings().fileName();
    QDir().mkpath(QFileInfo(file).path());
    QFile::copy(path, file);
    std::fprintf(stderr,
                 "Kelo#: the settings file %s is a symbolic link; it is read but never written, "
                 "so choices made in this run are not kept\n",
                 qPrintable(path));
    return copy;
#endif
}

} // namespace

int main(int argc, char *argv[])
{
    // Settings, learned words, records: no one else's to read.
    PrivateFile::restrictNewFiles();
    // First of all, so that a signal during start-up also waits for the event loop.
    const int quitSignals = QuitSignals::install();
    // The scan's timers run on Qt Quick's animation clock, which the threaded render loop
    // steps by one assumed vsync per frame: where frames are not paced by the display (X
    // servers and drivers without vsync) highlights came and went early, the first list by
    // more than half a period. The basic loop keeps that clock on wall time.
    if (!qEnvironmentVariableIsSet("QSG_RENDER_LOOP"))
        qputenv("QSG_RENDER_LOOP", "basic");
    QQuickWindow::setGraphicsApi(QSGRendererInterface::OpenGL);
#ifdef Q_OS_LINUX
    // In a Wayland session the window is an XWayland client: only there can it stay on top
    // without taking the focus.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM") && qEnvironmentVariableIsSet("DISPLAY")
        && qEnvironmentVariableIsSet("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "xcb");
#endif
    QApplication app(argc, argv);
    app.setOrganizationName(QStringLiteral("Tarvo Technologies"));
    app.setOrganizationDomain(QStringLiteral("kelo.tarvo.example"));
    app.setApplicationName(QStringLiteral("Kelo#"));
    // Windows also shows it from kelo.rc for the program file; X needs it set on the window, and
    // Wayland takes it from the installed desktop entry named here.
    app.setWindowIcon(QIcon(QStringLiteral(":/kelo.png")));
    app.setDesktopFileName(QStringLiteral("kelo"));

    SingleInstance instance;
    if (!instance.claim())
        return 0;
    const auto settingsCopy = keepSettingsPrivate(instance.runtimeFolder());
    // Only after the lock: a second start must not let go of what the first holds.
    const std::string released = Platform::keepHeldRecord(
        QDir(instance.runtimeFolder()).filePath(u"kelo-held"_s).toStdString());
    if (!released.empty())
        std::fprintf(stderr, "Kelo#: the last run ended holding down:%s; let go now\n",
                     released.c_str());

    QQuickStyle::setStyle(QStringLiteral("Basic"));

    qmlRegisterType<Wrapper>("Wrapper", 8, 6, "Wrapper");
    qmlRegisterType<Spareweb>("Spareweb", 8, 6, "Spareweb");
    qmlRegisterType<PointSweep>("PointSweep", 8, 6, "PointSweep");
    qmlRegisterType<PointOverlay>("PointOverlay", 8, 6, "PointOverlay");
    qmlRegisterType<SettingsStore>("SettingsStore", 8, 6, "SettingsStore");

    QQmlApplicationEngine engine(QUrl(QStringLiteral("qrc:///main.qml")));
    // The engine has printed why; without a window the user would be left with nothing.
    if (engine.rootObjects().isEmpty())
        return 1;
    // Appearing must not take the focus from the application being typed into, nor ask for
    // attention. X takes a zero user time (what showing without activating gives there) as a
    // reason to mark the window, so that is for Windows alone.
    for (QObject *root : engine.rootObjects()) {
#ifdef Q_OS_WIN
        root->setProperty("_q_showWithoutActivating", true);
#endif
        if (auto *window = qobject_cast<QWindow *>(root);
            window && QGuiApplication::platformName() == u"xcb") {
            if (Platform::system().unmanagedWindows())
                window->setFlags(window->flags() | Qt::BypassWindowManagerHint);
            Platform::system().keepUnfocused(window->winId());
        }
    }
    // Asked by a later start: shown where it was, without taking the focus (raise, not activate).
    QObject::connect(&instance, &SingleInstance::showRequested, &app, [&engine] {
        for (QObject *root : engine.rootObjects()) {
            if (auto *window = qobject_cast<QWindow *>(root)) {
                if (window->visibility() == QWindow::Minimized)
                    window->showNormal();
                window->raise();
            }
        }
    });
    // A logout or a kill ends Kelo# as its Quit menu does, through the bridge's exit path, so
    // that no held button outlives it.
    std::unique_ptr<QSocketNotifier> quitNotifier;
    if (quitSignals >= 0) {
        quitNotifier = std::make_unique<QSocketNotifier>(quitSignals, QSocketNotifier::Read);
        QObject::connect(quitNotifier.get(), &QSocketNotifier::activated, &app, [] {
            QuitSignals::drain();
            QCoreApplication::quit();
        });
    }
    return app.exec();
}
