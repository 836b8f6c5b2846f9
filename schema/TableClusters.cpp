#include "TableClusters.h"

#include <algorithm>
#include <map>

namespace {

constexpr double kEpsilon = 1e-12;
constexpr int kMaxPasses = 32;

// An undirected weighted graph; nodes stand for groups of original nodes.
struct Graph {
    std::vector<std::vector<std::pair<int, double>>> adjacent; // no self-links here
    std::vector<double> self;                                 // weight of links inside the node
    std::vector<size_t> weight;                               // original nodes it stands for

    size_t Size() const { return adjacent.size(); }
    double Degree(size_t i) const
    {
        double k = 2 * self[i];
        for (const auto& [j, w] : adjacent[i])
            k += w;
        return k;
    }
};

// One round of moves; returns each node's community and whether any moved.
std::pair<std::vector<int>, bool> MoveNodes(const Graph& g, size_t maxSize)
{
    const size_t n = g.Size();
    std::vector<int> community(n);
    std::vector<double> total(n), degree(n);
    std::vector<size_t> members(n);
    double twiceWeight = 0;
    for (size_t i = 0; i < n; ++i) {
        community[i] = int(i);
        degree[i] = total[i] = g.Degree(i);
        members[i] = g.weight[i];
        twiceWeight += degree[i];
    }
    if (twiceWeight <= 0)
        return {community, false};

    std::vector<double> toCommunity(n, 0.0);
    std::vector<int> touched;
    bool anyMoved = false;
    for (int pass = 0; pass < kMaxPasses; ++pass) {
        bool moved = false;
        for (size_t i = 0; i < n; ++i) {
            const int own = community[i];
            touched.clear();
            for (const auto& [j, w] : g.adjacent[i]) {
                const int c = community[size_t(j)];
                if (toCommunity[size_t(c)] == 0.0)
                    touched.push_back(c);
                toCommunity[size_t(c)] += w;
            }
            total[size_t(own)] -= degree[i];
            members[size_t(own)] -= g.weight[i];
            const double scale = degree[i] / twiceWeight;
            int best = own;
            double bestGain = toCommunity[size_t(own)] - total[size_t(own)] * scale;
            for (int c : touched) {
                if (c == own || members[size_t(c)] + g.weight[i] > maxSize)
                    continue;
                const double gain = toCommunity[size_t(c)] - total[size_t(c)] * scale;
                if (gain > bestGain + kEpsilon || (best != own && gain > bestGain - kEpsilon && c < best)) {
                    best = c;
                    bestGain = std::max(gain, bestGain);
                }
            }
            total[size_t(best)] += degree[i];
            members[size_t(best)] += g.weight[i];
            community[i] = best;
            if (best != own)
                moved = true;
            for (int c : touched)
                toCommunity[size_t(c)] = 0.0;
        }
        if (!moved)
            break;
        anyMoved = true;
    }
    return {community, anyMoved};
}

// Numbers communities 0.. in the order of their first node.
std::vector<int> Renumber(const std::vector<int>& community, size_t& count)
{
    std::vector<int> number(community.size(), -1);
    std::vector<int> result(community.size());
    count = 0;
    for (size_t i = 0; i < community.size(); ++i) {
        int& n = number[size_t(community[i])];
        if (n < 0)
            n = int(count++);
        result[i] = n;
    }
    return result;
}

Graph Merge(const Graph& g, const std::vector<int>& group, size_t groups)
{
    Graph merged;
    merged.adjacent.resize(groups);
    merged.self.assign(groups, 0.0);
    merged.weight.assign(groups, 0);
    std::vector<std::map<int, double>> between(groups);
    for (size_t i = 0; i < g.Size(); ++i) {
        const size_t a = size_t(group[i]);
        merged.self[a] += g.self[i];
        merged.weight[a] += g.weight[i];
        for (const auto& [j, w] : g.adjacent[i]) {
            const size_t b = size_t(group[size_t(j)]);
            if (a == b)
                merged.self[a] += w / 2; // each inner link is seen from both ends
            else
                between[a][int(b)] += w;
        }
    }
    for (size_t a = 0; a < groups; ++a)
        merged.adjacent[a].assign(between[a].begin(), between[a].end());
    return merged;
}

} // namespace

std::vector<int> ClusterNodes(size_t nodeCount, const std::vector<std::pair<int, int>>& links, size_t maxSize)
{
    Graph g;
    g.adjacent.resize(nodeCount);
    g.self.assign(nodeCount, 0.0);
    g.weight.assign(nodeCount, 1);
    std::vector<std::map<int, double>> weights(nodeCount);
    for (const auto& [a, b] : links) {
        if (a == b || a < 0 || b < 0 || size_t(a) >= nodeCount || size_t(b) >= nodeCount)
            continue;
        weights[size_t(a)][b] += 1.0;
        weights[size_t(b)][a] += 1.0;
    }
    for (size_t i = 0; i < nodeCount; ++i)
        g.adjacent[i].assign(weights[i].begin(), weights[i].end());

    std::vector<int> groupOf(nodeCount);
    for (size_t i = 0; i < nodeCount; ++i)
        groupOf[i] = int(i);
    maxSize = std::max<size_t>(maxSize, 1);
    for (;;) {
        const auto [community, moved] = MoveNodes(g, maxSize);
        if (!moved)
            break;
        size_t count = 0;
        const std::vector<int> numbered = Renumber(community, count);
        for (int& group : groupOf)
            group = numbered[size_t(group)];
        if (count == g.Size())
            break;
        g = Merge(g, numbered, count);
    }
    size_t count = 0;
    return Renumber(groupOf, count);
}
