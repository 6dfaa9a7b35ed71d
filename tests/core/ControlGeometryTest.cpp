#include <gtest/gtest.h>

#include <tuple>
#include <vector>

#include "app/Geometry.h"

namespace quarvo {
namespace {

// Top children stack in creation order at full width, Client ones fill what is left, None ones stay;
// a width or height that would be negative becomes 0.
TEST(DockedLayout, TopChildrenStackAndClientChildrenFillTheRest) {
  std::vector<DockedChild> children{{Dock::Client, {}},
                                    {Dock::Top, {0, 0, 10, 50}},
                                    {Dock::None, {7, 8, 9, 10}},
                                    {Dock::Top, {0, 0, 10, 20}}};
  using Case = std::tuple<Bounds, Insets, Bounds, Bounds, Bounds>;
  for (const auto& [client, insets, top50, top20, fill] : {
           Case{{0, 0, 434, 342}, {}, {2, 2, 432, 52}, {2, 54, 432, 74}, {2, 76, 432, 340}},
           {{0, 0, 200, 300}, {22, 2, 2, 2}, {4, 24, 196, 74}, {4, 76, 196, 96}, {4, 98, 196, 296}},
           {{0, 0, 3, 40}, {}, {2, 2, 2, 52}, {2, 54, 2, 74}, {2, 76, 2, 76}},
       }) {
    LayOutDocked(client, insets, 2, children);
    EXPECT_EQ(children[1].bounds, top50);
    EXPECT_EQ(children[3].bounds, top20);
    EXPECT_EQ(children[0].bounds, fill);
    EXPECT_EQ(children[2].bounds, (Bounds{7, 8, 9, 10}));
  }
}

TEST(Geometry, CentringHalvesTowardsMinusInfinity) {
  EXPECT_EQ(CentredOrigin(1025, 450), 287);
  EXPECT_EQ(CentredOrigin(100, 451), -176);
  EXPECT_EQ(CentredOrigin(100, 101), -1);
}

}  // namespace
}  // namespace quarvo
