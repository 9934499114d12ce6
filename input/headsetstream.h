#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

#include <optional>

// Cuts the headset service's byte stream into JSON objects and reads the two values the switch
// needs. The service ends each object with CR (LF and CR LF do too), but an object is taken as
// soon as it closes, so one that arrives alone needs no terminator. Bytes that are not JSON (the
// service's binary packets, noise) are skipped; a line end or a byte that cannot belong to JSON
// gives up on an object, and the search goes on from just after its opening brace, so a stray
// brace in binary data cannot swallow the objects behind it.
class HeadsetStream
{
public:
    // Set when the object holds the key with a value other than null; a value that is not an
    // integer an int can hold counts as 0.
    struct Reading
    {
        std::optional<int> poorSignalLevel;
        std::optional<int> blinkStrength;
    };

    // An unfinished object longer than this is dropped and reading resumes after the next line
    // end, so a stream without terminators cannot make the buffer grow.
    static constexpr qsizetype maxPending = 64 * 1024;

    // Every object completed by these bytes that holds one of the two keys, in stream order.
    QList<Reading> feed(QByteArrayView data);
    // Forgets any partial object, as after a new connection.
    void reset();
    // Bytes held for an object that is not complete yet.
    qsizetype pending() const { return buffer.size(); }

private:
    void process(QList<Reading> &taken);

    QByteArray buffer;
    // Where scanning resumes in buffer.
    qsizetype scan = 0;
    // The open object starts at buffer[0]; its lexical state at scan.
    bool inObject = false;
    int depth = 0;
    bool inString = false;
    bool escaped = false;
    // Dropping bytes until the next line end, after an object grew too long.
    bool skipLine = false;
    // Bytes scanned by objects given up on since scanning passed the furthest point one of them
    // reached; bounds the cost of searching again inside pathological noise.
    qsizetype wasted = 0;
    qsizetype frontier = 0;
};
