#pragma once

#include <QLocale>
#include <QObject>
#include <QSettings>
#include <QVariant>

// The program's settings store and locale as front-end tests see and change them.
class TestStore : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    Q_INVOKABLE void clear()
    {
        QSettings settings;
        settings.clear();
        settings.sync();
    }
    Q_INVOKABLE QVariant value(const QString &key) const { return QSettings().value(key); }
    Q_INVOKABLE bool contains(const QString &key) const { return QSettings().contains(key); }
    Q_INVOKABLE void setValue(const QString &key, const QVariant &value)
    {
        QSettings settings;
        settings.setValue(key, value);
        settings.sync();
    }
    Q_INVOKABLE void setLocale(const QString &name) { QLocale::setDefault(QLocale(name)); }
};
