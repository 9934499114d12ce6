#pragma once

#include <QList>
#include <QStringList>

// What a person sees of the window at one moment, read from the window itself.
struct WindowView
{
    int startup = 2; // 1 settings, 2 keyboard, 3 mouse view
    bool minimised = false;
    int plan = 1;
    int lit = 0; // the outer position lit: tk in the keyboard view, tm in the mouse view
    int ts1 = -1; // the entry lit in the open list
    bool inner = false; // the inner scan runs
    int armed = 0; // the modifier waiting for the next key
    bool capital = false; // a letter chosen now comes out capitalised (a sentence starts)
    QString lword, lastword;
    QList<int> cycle; // the outer positions in scan order
    // The label lists of groups 1 to 6 in each layer 1 to 4 (title first, then the entries):
    // labels[plan - 1][group - 1].
    QList<QList<QStringList>> labels;
    QStringList likely; // the likeliest letters' entries, while that group shows
    QStringList pad; // the five predictions as shown, while the pad shows
    int open = 0; // the group whose list is open (7 the pad), 0 none
    QStringList entries; // the open list's entries
};
