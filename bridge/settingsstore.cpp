#include "settingsstore.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMetaProperty>
#include <QSettings>
#include <QStorageInfo>

#include <cmath>
#include <cstdio>

using namespace Qt::StringLiterals;

namespace {

int firstKey()
{
    return SettingsStore::staticMetaObject.propertyCount();
}

} // namespace

SettingsStore::SettingsStore(QObject *parent)
    : QObject(parent)
{
    // Gathers a drag's many moves into a few writes.
    pause.setSingleShot(true);
    pause.setInterval(250);
    connect(&pause, &QTimer::timeout, this, &SettingsStore::flush);
    // The exit path ends the process without destructors.
    connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, this,
            &SettingsStore::flush);
}

SettingsStore::~SettingsStore()
{
    flush();
}

void SettingsStore::componentComplete()
{
    load();
    loaded = true;
}

void SettingsStore::load()
{
    auto settings = std::make_unique<QSettings>();
    if (settings->status() == QSettings::FormatError) {
        const QString path = settings->fileName();
        settings.reset();
        frozen = !setAside(path);
        settings = std::make_unique<QSettings>();
    }
    const QMetaObject *meta = metaObject();
    const int notify = staticMetaObject.indexOfSlot("changed()");
    for (int i = firstKey(); i < meta->propertyCount(); ++i) {
        const QMetaProperty property = meta->property(i);
        QVariant value = frozen ? QVariant() : settings->value(QLatin1String(property.name()));
        const QVariantList range = ranges.value(QLatin1String(property.name())).toList();
        bool usable = value.isValid() && value.convert(property.metaType());
        if (usable && range.size() == 2) {
            const double v = value.toDouble();
            usable = std::isfinite(v) && v >= range[0].toDouble() && v <= range[1].toDouble();
        }
        if (usable)
            property.write(this, value);
        kept.insert(property.name(), property.read(this));
        if (property.hasNotifySignal())
            QMetaObject::connect(this, property.notifySignalIndex(), this, notify);
    }
}

bool SettingsStore::setAside(const QString &path)
{
    for (int n = 1; n <= 9; ++n) {
        const QString bad = path + (n == 1 ? QStringLiteral(".bad") : u".bad%1"_s.arg(n));
        if (!QFileInfo::exists(bad) && QFile::rename(path, bad)) {
            std::fprintf(stderr,
                         "Kelo#: the settings file %s cannot be read; it was kept as %s "
                         "and the default settings are used\n",
                         qPrintable(QDir::toNativeSeparators(path)),
                         qPrintable(QDir::toNativeSeparators(bad)));
            return true;
        }
    }
    std::fprintf(stderr,
                 "Kelo#: the settings file %s cannot be read nor moved aside; the default "
                 "settings are used and nothing is saved\n",
                 qPrintable(QDir::toNativeSeparators(path)));
    return false;
}

void SettingsStore::changed()
{
    if (loaded && !pause.isActive())
        pause.start();
}

void SettingsStore::flush()
{
    pause.stop();
    if (!loaded || frozen)
        return;
    // QSettings re-reads the file under its lock before writing, and writes only these keys.
    QSettings settings;
    QHash<QByteArray, QVariant> written;
    const QMetaObject *meta = metaObject();
    for (int i = firstKey(); i < meta->propertyCount(); ++i) {
        const QMetaProperty property = meta->property(i);
        const QVariant value = property.read(this);
        if (value != kept.value(property.name())) {
            settings.setValue(QLatin1String(property.name()), value);
            written.insert(property.name(), value);
        }
    }
    if (written.isEmpty())
        return;
    settings.sync();
    if (settings.status() == QSettings::NoError) {
        kept.insert(written);
        failing = false;
        return;
    }
    // The keys stay changed, so the next change tries them again.
    if (failing)
        return;
    failing = true;
    QString where;
    const int reason = reasonOf(settings.fileName(), &where);
    std::fprintf(stderr, "Kelo#: settings are not being saved: %s (%s)\n",
                 reason == 1       ? "the file is read-only"
                     : reason == 2 ? "its folder is read-only"
                     : reason == 3 ? "the disk is full"
                                   : "writing failed",
                 qPrintable(QDir::toNativeSeparators(where)));
    emit notSaved(reason, QDir::toNativeSeparators(where));
}

int SettingsStore::reasonOf(const QString &path, QString *where)
{
    const QFileInfo file(path);
    *where = path;
    if (file.exists() && !file.isWritable())
        return 1;
    const QFileInfo folder(file.absolutePath());
    *where = folder.absoluteFilePath();
    if (folder.exists() && !folder.isWritable())
        return 2;
    const QStorageInfo disk(folder.absoluteFilePath());
    if (disk.isValid() && disk.bytesAvailable() < 64 * 1024)
        return 3;
    *where = path;
    return 4;
}
