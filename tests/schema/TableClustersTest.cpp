#include "TableClusters.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

namespace {

std::vector<std::pair<int, int>> Clique(int first, int size)
{
    std::vector<std::pair<int, int>> links;
    for (int a = first; a < first + size; ++a)
        for (int b = first; b < a; ++b)
            links.emplace_back(a, b);
    return links;
}

TEST(ClusterNodes, FindsDenseModules)
{
    // Four modules of ten, each densely linked inside, joined in a ring by single links.
    std::vector<std::pair<int, int>> links;
    for (int m = 0; m < 4; ++m) {
        const auto clique = Clique(m * 10, 10);
        links.insert(links.end(), clique.begin(), clique.end());
        links.emplace_back(m * 10, ((m + 1) % 4) * 10 + 5);
    }
    const std::vector<int> group = ClusterNodes(40, links, 60);
    for (int i = 0; i < 40; ++i)
        EXPECT_EQ(group[size_t(i)], i / 10) << "node " << i;
}

TEST(ClusterNodes, KeepsGroupsWithinTheCap)
{
    const std::vector<int> group = ClusterNodes(100, Clique(0, 100), 30);
    std::map<int, int> sizes;
    for (int g : group)
        ++sizes[g];
    for (const auto& [g, size] : sizes)
        EXPECT_LE(size, 30) << "group " << g;
    EXPECT_GE(sizes.size(), 4u);
}

TEST(ClusterNodes, NumbersGroupsInOrderAndLeavesLoneNodesAlone)
{
    std::vector<std::pair<int, int>> links = Clique(3, 4);
    links.emplace_back(1, 1);  // a link to itself
    links.emplace_back(0, 99); // out of range
    const std::vector<int> group = ClusterNodes(8, links, 10);
    EXPECT_EQ(group, (std::vector<int>{0, 1, 2, 3, 3, 3, 3, 4}));
    EXPECT_EQ(ClusterNodes(8, links, 10), group) << "the same graph gives the same groups";
    EXPECT_TRUE(ClusterNodes(0, {}, 10).empty());
}

} // namespace
