#include "fakewrapper.h"

QStringList FakeWrapper::t9(const QString &prefix)
{
    note("t9", prefix);
    return predictions;
}
