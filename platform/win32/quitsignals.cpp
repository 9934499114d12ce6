#include "../quitsignals.h"

// A windowed program has no console, so no console control event reaches it; the end of a
// Windows session comes as a window message, which Qt turns into aboutToQuit.
int QuitSignals::install()
{
    return -1;
}

void QuitSignals::drain() { }
