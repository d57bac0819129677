#pragma once
// The built-in part of the category tree and the builder that adds the operator's stored
// categories below it. The built-in identifiers (0 to -42) are stored as parents of user
// categories and never change.
#include <cstdint>

namespace kelvar {

class TCategoryTree;

namespace BuiltInCategoryID {
constexpr int32_t Playlist = 0;
constexpr int32_t Content = -1;
constexpr int32_t Music = -2;
constexpr int32_t Special = -20;
constexpr int32_t WeightedRotation = -21;
constexpr int32_t Groups = -28;
constexpr int32_t RecycleBin = -36;
constexpr int32_t PlayLimit = -37;
constexpr int32_t PlayLimitOther = -42;
}  // namespace BuiltInCategoryID

// Clears the tree, makes the built-in categories, then the stored ones. A stored row whose
// parent is unknown or cannot hold categories is left out with its subtree, and logged.
void BuildCategoryTree(TCategoryTree& tree);

}  // namespace kelvar
