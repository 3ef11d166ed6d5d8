#include "PatternSet.h"

#include <deque>

namespace zk {

PatternSet::PatternSet(const QStringList &patterns) : m_nodes(1), m_root(0x10000, 0)
{
    for (const QString &p : patterns) {
        if (p.isEmpty())
            continue;
        int node = 0;
        for (QChar qc : p) {
            const char16_t c = qc.unicode();
            int next = child(node, c);
            if (next < 0) {
                next = static_cast<int>(m_nodes.size());
                m_nodes.emplace_back();
                auto &edges = m_nodes[node].next;
                edges.insert(std::lower_bound(edges.begin(), edges.end(), std::make_pair(c, 0)), {c, next});
            }
            node = next;
        }
        m_nodes[node].terminal = true;
    }
    link();
}

int PatternSet::child(int node, char16_t c) const
{
    const auto &edges = m_nodes[node].next;
    const auto it = std::lower_bound(edges.begin(), edges.end(), std::make_pair(c, 0));
    return it != edges.end() && it->first == c ? it->second : -1;
}

void PatternSet::link()
{
    std::deque<int> queue;
    for (const auto &[c, n] : m_nodes[0].next) {
        m_root[c] = n;
        queue.push_back(n);
    }
    while (!queue.empty()) {
        const int node = queue.front();
        queue.pop_front();
        for (const auto &[c, n] : m_nodes[node].next) {
            m_nodes[n].fail = step(m_nodes[node].fail, c);
            m_nodes[n].terminal = m_nodes[n].terminal || m_nodes[m_nodes[n].fail].terminal;
            queue.push_back(n);
        }
    }
}

int PatternSet::step(int node, char16_t c) const
{
    while (node != 0) {
        const int next = child(node, c);
        if (next >= 0)
            return next;
        node = m_nodes[node].fail;
    }
    return m_root[c];
}

bool PatternSet::foundIn(QStringView text) const
{
    if (m_nodes.size() == 1)
        return false;
    int node = 0;
    for (QChar c : text) {
        node = step(node, c.unicode());
        if (m_nodes[node].terminal)
            return true;
    }
    return false;
}

} // namespace zk
