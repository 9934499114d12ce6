#pragma once

#include <QLocalServer>
#include <QLockFile>
#include <QObject>

// One Kelo# per user session: the first start holds a lock in the user's runtime folder and
// listens there; a later start asks it to show its window and ends. A lock left by a killed run
// is taken over, however old.
class SingleInstance : public QObject
{
    Q_OBJECT
public:
    explicit SingleInstance(QObject *parent = nullptr);

    // True for the first start, which from now on answers later ones; false, with one line on
    // stderr, for a later one, once the first was asked to show itself.
    bool claim();
    // The user's runtime folder, where the lock is.
    QString runtimeFolder() const { return folder; }

signals:
    // A later start asked for the window.
    void showRequested();

private:
    QString folder;
    QLockFile lock;
    QLocalServer server;
};
