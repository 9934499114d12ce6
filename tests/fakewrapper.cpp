#include "fakewrapper.h"

FakeWrapper::FakeWrapper(QQuickItem *parent)
    : QQuickItem(parent)
{
}

void FakeWrapper::clearCalls()
{
    m_calls.clear();
    emit callsChanged();
}

QStringList FakeWrapper::callsOf(const QStringList &names) const
{
    QStringList out;
    for (const QString &call : m_calls) {
        if (names.contains(call.section(u'(', 0, 0)))
            out.append(call);
    }
    return out;
}

QStringList FakeWrapper::t9(const QString &prefix)
{
    note("t9", prefix);
    return predictions;
}

void FakeWrapper::note(const QString &name, const QVariant &arg)
{
    m_calls.append(name + u'(' + (arg.isValid() ? arg.toString() : QString()) + u')');
    emit callsChanged();
}

int FakeWrapper::take(int &queue)
{
    if (queue <= 0)
        return 0;
    --queue;
    return 1;
}
