#pragma once

#include <QStringList>

#include <array>
#include <vector>

namespace zk {

// Tells in one pass over a text whether any of a set of strings occurs in
// it (Aho-Corasick), so that the main text's lines need not be searched
// once per asset path.
class PatternSet {
public:
    explicit PatternSet(const QStringList &patterns);
    bool foundIn(QStringView text) const;

private:
    struct Node {
        std::vector<std::pair<char16_t, int>> next; // sorted by character
        int fail = 0;
        bool terminal = false;
    };
    int child(int node, char16_t c) const;
    int step(int node, char16_t c) const;
    void link();

    std::vector<Node> m_nodes;
    std::vector<int> m_root; // dense transitions out of the root
};

} // namespace zk
