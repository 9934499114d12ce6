#pragma once

// The entry that starts Kelo# when the user signs in.
class SignInLaunch
{
public:
    static void add();
    static void remove();
    static bool exists();
};
