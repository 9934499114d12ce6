#pragma once

#include <QFile>
#include <QRegularExpression>

#include <unistd.h>

// A process's figures from /proc: CPU seconds used so far and resident memory, -1 and 0 once it
// has ended.
inline double cpuSeconds(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    // The command name may hold spaces; the fields after it are fixed.
    const QByteArray line = stat.readAll();
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13)
        return -1;
    return (fields[11].toDouble() + fields[12].toDouble()) / double(sysconf(_SC_CLK_TCK));
}

inline qint64 rssKiB(qint64 pid) // VmRSS
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    static const QRegularExpression rss(QStringLiteral("VmRSS:\\s*(\\d+)"));
    return status.open(QIODevice::ReadOnly)
        ? rss.match(QString::fromLatin1(status.readAll())).captured(1).toLongLong()
        : 0;
}
