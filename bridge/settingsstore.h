#pragma once

#include <QHash>
#include <QObject>
#include <QQmlParserStatus>
#include <QTimer>
#include <QVariant>
#include <QVariantMap>

// The window's persisted settings: each property declared on it in QML (an alias of the
// window's) is a key of the per-user store. Stored values are applied once, before the window
// completes; afterwards only the keys whose value changed are written, into the store as it is
// on disk at that moment, so keys written by another version or by hand stay as they are.
class SettingsStore : public QObject, public QQmlParserStatus
{
    Q_OBJECT
    Q_INTERFACES(QQmlParserStatus)
    // Per key, [lowest, highest]: a stored value outside (or not a number) leaves the default.
    Q_PROPERTY(QVariantMap ranges MEMBER ranges)

public:
    explicit SettingsStore(QObject *parent = nullptr);
    ~SettingsStore() override;

    void classBegin() override { }
    void componentComplete() override;

    // Writes the changed keys now rather than after the short pause that gathers them.
    Q_INVOKABLE void flush();

signals:
    // A write failed; reason: 1 the file is read-only, 2 its folder is, 3 the disk is full,
    // 4 anything else. Sent once until a write succeeds again.
    void notSaved(int reason, const QString &path);

private slots:
    void changed();

private:
    void load();
    // A store Qt cannot read is renamed out of the way; false when it could not be.
    static bool setAside(const QString &path);
    static int reasonOf(const QString &path, QString *where);

    QVariantMap ranges;
    // Each key's value as last loaded or written.
    QHash<QByteArray, QVariant> kept;
    QTimer pause;
    bool loaded = false;
    // Nothing is written over a store that could not be set aside.
    bool frozen = false;
    bool failing = false;
};
