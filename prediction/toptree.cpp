#include "toptree.h"

#include <algorithm>

TopTree::TopTree(const std::vector<quint64> &keys)
    : n(qsizetype(keys.size()))
    , tree(2 * keys.size(), 0)
{
    std::copy(keys.begin(), keys.end(), tree.begin() + n);
    for (qsizetype i = n - 1; i > 0; --i)
        tree[i] = std::max(tree[2 * i], tree[2 * i + 1]);
}

TopTree::Positions TopTree::top(qsizetype from, qsizetype to, qsizetype want) const
{
    Positions result;
    from = std::max<qsizetype>(from, 0);
    to = std::min(to, n);
    // The nodes that cover the range exactly; every node below them is inside it too.
    QVarLengthArray<qsizetype, 256> heap;
    for (qsizetype l = from + n, r = to + n; l < r; l >>= 1, r >>= 1) {
        if (l & 1)
            heap.append(l++);
        if (r & 1)
            heap.append(--r);
    }
    const auto lower = [&](qsizetype a, qsizetype b) {
        return tree[a] < tree[b];
    };
    std::make_heap(heap.begin(), heap.end(), lower);
    while (!heap.isEmpty() && result.size() < want) {
        std::pop_heap(heap.begin(), heap.end(), lower);
        const qsizetype node = heap.back();
        heap.removeLast();
        if (node >= n) {
            result.append(node - n);
            continue;
        }
        for (const qsizetype child : { 2 * node, 2 * node + 1 }) {
            heap.append(child);
            std::push_heap(heap.begin(), heap.end(), lower);
        }
    }
    return result;
}
