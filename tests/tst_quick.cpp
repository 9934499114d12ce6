#include "fakewrapper.h"
#include "spareweb.h"

#include <QApplication>
#include <QQmlContext>
#include <QQmlEngine>
#include <QQuickStyle>
#include <QSettings>
#include <QTemporaryDir>
#include <QtQuickTest>

// The program's settings store and locale as front-end tests see and change them.
class TestStore : public QObject
{
    Q_OBJECT
public:
    Q_INVOKABLE void clear() { QSettings().clear(); }
    Q_INVOKABLE QVariant value(const QString &key) const { return QSettings().value(key); }
    Q_INVOKABLE bool contains(const QString &key) const { return QSettings().contains(key); }
    Q_INVOKABLE void setValue(const QString &key, const QVariant &value)
    {
        QSettings().setValue(key, value);
    }
    Q_INVOKABLE void setLocale(const QString &name) { QLocale::setDefault(QLocale(name)); }
};

// Front-end tests drive the real main.qml from the resources, with the bridge faked and the
// settings in a temporary HOME.
class Setup : public QObject
{
    Q_OBJECT
public:
    Setup()
    {
        qputenv("HOME", home.path().toLocal8Bit());
        qunsetenv("XDG_CONFIG_HOME");
        QQuickStyle::setStyle(QStringLiteral("Basic"));
    }

public slots:
    void applicationAvailable()
    {
        QCoreApplication::setOrganizationName(QStringLiteral("Tarvo Technologies"));
        QCoreApplication::setOrganizationDomain(QStringLiteral("kelo.tarvo.example"));
        QCoreApplication::setApplicationName(QStringLiteral("Kelo#"));
        qmlRegisterType<FakeWrapper>("Wrapper", 8, 6, "Wrapper");
        qmlRegisterType<Spareweb>("Spareweb", 8, 6, "Spareweb");
    }
    void qmlEngineAvailable(QQmlEngine *engine)
    {
        engine->rootContext()->setContextProperty(QStringLiteral("store"), &store);
        engine->rootContext()->setContextProperty(QStringLiteral("buildDir"),
                                                  QStringLiteral(KELO_BUILD_DIR));
    }

private:
    QTemporaryDir home;
    TestStore store;
};

int main(int argc, char **argv)
{
    Setup setup;
    // Menus fall back to widgets where the platform has none, as in the program.
    QApplication app(argc, argv);
    return quick_test_main_with_setup(argc, argv, "kelo", QUICK_TEST_SOURCE_DIR, &setup);
}

#include "tst_quick.moc"
