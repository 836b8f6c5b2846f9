#pragma once

#include <cstddef>
#include <utility>
#include <vector>

// Splits a graph into groups of at most maxSize nodes with many links inside
// a group and few between groups: greedy modularity moves, node by node in
// order, then the groups are merged into single nodes and moved again, until
// nothing improves (the Louvain method, with a cap on group size). Parallel
// links add up. Deterministic: the same graph always gives the same groups.
// Returns each node's group, groups numbered in the order of their first node.
std::vector<int> ClusterNodes(size_t nodeCount, const std::vector<std::pair<int, int>>& links, size_t maxSize);
