#pragma once

// Turns the signals that ask a program to end (SIGTERM, SIGINT, SIGHUP) into bytes on a pipe,
// so that the event loop can quit in order: settings written, nothing left pressed.
class QuitSignals
{
public:
    // Installs the handlers once, leaving alone a signal that was ignored at start (nohup).
    // The descriptor becomes readable when one arrives; -1 where there is none.
    static int install();
    // Empties the pipe.
    static void drain();
};
