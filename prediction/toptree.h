#pragma once

#include <QVarLengthArray>
#include <QtGlobal>

#include <vector>

// The largest keys in a range of positions, largest first, without looking at every position:
// a max segment tree walked best first. A node's maximum is at least every key below it, so
// taking nodes from a heap by their maximum yields leaves in key order; k keys cost about
// k times the tree's depth steps. Memory: two keys per position.
class TopTree
{
public:
    using Positions = QVarLengthArray<qsizetype, 8>;

    TopTree() = default;
    explicit TopTree(const std::vector<quint64> &keys);

    // Positions in [from, to) of the `want` largest keys, largest first; among equal keys the
    // order is unspecified, so keys should differ.
    Positions top(qsizetype from, qsizetype to, qsizetype want) const;

    qsizetype size() const { return n; }
    std::size_t memoryBytes() const { return tree.capacity() * sizeof(quint64); }

private:
    qsizetype n = 0;
    // Node i holds the largest key below it; leaf p is node n + p.
    std::vector<quint64> tree;
};
