#pragma once

#include <QtGlobal>

// The head of a context model file; the sections follow it in the order ContextModelWriter
// writes them, each aligned, all numbers little-endian.
struct ContextModelHeader
{
    char magic[8] = { 'K', 'e', 'l', 'o', 'C', 't', 'x', '\0' };
    quint32 version = 1;
    quint32 words = 0;
    quint32 bigrams = 0;
    quint32 trigramHistories = 0;
    quint32 trigrams = 0;
    quint32 textBytes = 0;
    quint32 foldBytes = 0;
    quint32 reserved = 0;
};
static_assert(sizeof(ContextModelHeader) == 40);
