#include "signinlaunch.h"

#include "platform.h"

#include <QCoreApplication>

namespace {
const char entryName[] = "Kelo#";
}

void SignInLaunch::add()
{
    Platform::system().addSignInLaunch(entryName,
                                       QCoreApplication::applicationFilePath().toStdString());
}

void SignInLaunch::remove()
{
    Platform::system().removeSignInLaunch(entryName);
}

bool SignInLaunch::exists()
{
    return !Platform::system().signInLaunch(entryName).empty();
}
