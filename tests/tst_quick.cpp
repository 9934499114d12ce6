#include "fakewrapper.h"
#include "pointoverlay.h"
#include "pointsweep.h"
#include "settingsstore.h"
#include "spareweb.h"

#include <QApplication>
#include <QQmlContext>
#include <QQmlEngine>
#include <QQuickStyle>
#include <QSettings>
#include <QTemporaryDir>
#include <QtQuickTest>

// The program's settings store and locale as front-end tests see and change them, as "store".
class TestStore : public QObject
{
    Q_OBJECT
public:
    Q_INVOKABLE void clear() { QSettings().clear(); }
    Q_INVOKABLE QVariant value(const QString &key) const { return QSettings().value(key); }
    Q_INVOKABLE void setValue(const QString &key, const QVariant &v)
    {
        QSettings().setValue(key, v);
    }
    Q_INVOKABLE void setLocale(const QString &name) { QLocale::setDefault(QLocale(name)); }

public slots:
    void qmlEngineAvailable(QQmlEngine *engine)
    {
        engine->rootContext()->setContextProperty(QStringLiteral("store"), this);
    }
};

// The real main.qml from the resources, with the bridge faked and the settings in a temporary HOME.
int main(int argc, char **argv)
{
    QTemporaryDir home;
    qputenv("HOME", home.path().toLocal8Bit());
    qunsetenv("XDG_CONFIG_HOME");
    QQuickStyle::setStyle(QStringLiteral("Basic"));
    // Menus fall back to widgets where the platform has none, as in the program.
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Tarvo Technologies"));
    QCoreApplication::setOrganizationDomain(QStringLiteral("kelo.tarvo.example"));
    QCoreApplication::setApplicationName(QStringLiteral("Kelo#"));
    qmlRegisterType<FakeWrapper>("Wrapper", 8, 6, "Wrapper");
    qmlRegisterType<Spareweb>("Spareweb", 8, 6, "Spareweb");
    qmlRegisterType<PointSweep>("PointSweep", 8, 6, "PointSweep");
    qmlRegisterType<PointOverlay>("PointOverlay", 8, 6, "PointOverlay");
    qmlRegisterType<SettingsStore>("SettingsStore", 8, 6, "SettingsStore");
    TestStore store;
    return quick_test_main_with_setup(argc, argv, "kelo", QUICK_TEST_SOURCE_DIR, &store);
}

#include "tst_quick.moc"
