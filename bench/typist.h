#pragma once

#include "windowview.h"

#include <QString>
#include <QStringList>

// A person with one phrase in mind: from what the window shows and the text typed so far, which
// item to wait for next. Items are found by the texts the window shows, never by their places,
// so the same person types on a keyboard whose entries have moved.
class Typist
{
public:
    // What to do now: wait, press whatever is lit, press when an item is lit (entry -1: the
    // outer position group; else entry of the list open at group), or give the phrase up.
    struct Choice
    {
        enum Kind { Wait, Any, Press, GiveUp } kind = Wait;
        int group = 0;
        int entry = -1;
    };

    // The names of the entries the person looks for (English labels).
    struct Names
    {
        QString space = QStringLiteral("Space"), erase = QStringLiteral("Erase"),
                eraseAll = QStringLiteral("Er.All"), keyboard = QStringLiteral("Keyboard");
        QStringList undo { QStringLiteral("Undo") },
            back { QStringLiteral("« back"), QStringLiteral("back") },
            shift { QStringLiteral("SHIFT"), QStringLiteral("Shift") },
            caps { QStringLiteral("CAPS") }, ctrl { QStringLiteral("CTRL") },
            alt { QStringLiteral("ALT"), QStringLiteral("OPTION") };
        // The entries that switch to layers 1 to 4 (digits also for one sign).
        QList<QStringList> layers { { QStringLiteral("letters") },
                                    { QStringLiteral("numbers"), QStringLiteral("0-9") },
                                    { QStringLiteral("special") },
                                    { QStringLiteral("é à F1") } };
    };

    // The phrase to type, from position base of the document on.
    void begin(const QString &phrase, qsizetype base);
    const QString &phrase() const { return target; }
    bool done(const QString &document) const { return document.mid(base) == target; }
    // Characters to change to make the document's phrase right (edit distance).
    int errors(const QString &document) const;
    Choice decide(const WindowView &view, const QString &document);

    Names names;

private:
    struct Option
    {
        QStringList texts; // any of these entries
        int tier = 0; // lower tiers are wanted first; within a tier the nearest
        bool character = false; // texts are characters, typed as the armed modifier has them
        int group = 0, entry = -1; // a prediction: only there
    };
    QList<Option> options(const WindowView &view, const QString &typed);
    Choice choose(const WindowView &view, QList<Option> wanted) const;
    bool right(const QString &typed) const { return target.startsWith(typed); }

    QString target, seen, joinFrom;
    qsizetype base = 0;
    bool brokeLast = false; // the last change made right text wrong
    int signJoin = -1; // whether a sign after a chosen prediction takes its space back (-1 unknown)
};
