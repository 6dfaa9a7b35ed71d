#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "ui/controls/Geometry.h"

namespace quarvo {
namespace {

constexpr int kSpacing = 2;
const Insets kGroupBox{22, 2, 2, 2};

// The main window's layout: a 50-high panel along the top, a panel filling the rest, and a list
// filling that panel.
TEST(DockedLayout, MainWindowNumbersForAnyClientSize) {
  struct Case {
    int w, h;
  };
  for (const Case c :
       {Case{434, 342}, Case{1024, 700}, Case{8, 100}, Case{3, 40}, Case{100, 20}, Case{0, 0}}) {
    SCOPED_TRACE(testing::Message() << c.w << "x" << c.h);
    std::vector<DockedChild> form{{Dock::Top, {4, 24, 104, 74}}, {Dock::Client, {4, 24, 104, 124}}};
    LayOutDocked({0, 0, c.w, c.h}, Insets{}, kSpacing, form);
    const Bounds range = form[0].bounds;
    const Bounds list = form[1].bounds;
    EXPECT_EQ(range.left, 2);
    EXPECT_EQ(range.top, 2);
    EXPECT_EQ(range.Width(), std::max(c.w - 4, 0));
    EXPECT_EQ(range.Height(), 50);
    EXPECT_EQ(list.left, 2);
    EXPECT_EQ(list.top, 54);
    EXPECT_EQ(list.Width(), std::max(c.w - 4, 0));
    EXPECT_EQ(list.Height(), std::max(c.h - 56, 0));

    std::vector<DockedChild> panel{{Dock::Client, {4, 24, 204, 174}}};
    LayOutDocked({0, 0, list.Width(), list.Height()}, kGroupBox, kSpacing, panel);
    EXPECT_EQ(panel[0].bounds.left, 4);
    EXPECT_EQ(panel[0].bounds.top, 24);
    EXPECT_EQ(panel[0].bounds.Width(), std::max(list.Width() - 8, 0));
    EXPECT_EQ(panel[0].bounds.Height(), std::max(list.Height() - 28, 0));
  }
}

TEST(DockedLayout, TopChildrenStackInCreationOrderAndUndockedOnesStay) {
  std::vector<DockedChild> children{{Dock::Client, {0, 0, 10, 10}},
                                    {Dock::Top, {0, 0, 10, 30}},
                                    {Dock::None, {7, 8, 9, 10}},
                                    {Dock::Top, {0, 0, 10, 20}}};
  LayOutDocked({0, 0, 200, 300}, kGroupBox, kSpacing, children);
  EXPECT_EQ(children[1].bounds, (Bounds{4, 24, 196, 54}));
  EXPECT_EQ(children[3].bounds, (Bounds{4, 56, 196, 76}));
  EXPECT_EQ(children[0].bounds, (Bounds{4, 78, 196, 296}));
  EXPECT_EQ(children[2].bounds, (Bounds{7, 8, 9, 10}));
}

TEST(Geometry, ResizingKeepsWhatIsZeroAndMovingKeepsTheSize) {
  const Bounds b{10, 20, 74, 42};
  EXPECT_EQ(Resized(b, 0, 40), (Bounds{10, 20, 74, 60}));
  EXPECT_EQ(Resized(b, 30, 0), (Bounds{10, 20, 40, 42}));
  EXPECT_EQ(Resized(b, 0, 0), b);
  EXPECT_EQ(Moved(b, 105, 22), (Bounds{105, 22, 169, 44}));
  EXPECT_EQ(Moved(b, -5, -6), (Bounds{-5, -6, 59, 16}));
}

TEST(Geometry, CentringHalvesTowardsMinusInfinity) {
  struct Case {
    int screen, size, origin;
  };
  for (const Case c : {Case{1024, 450, 287}, Case{768, 380, 194}, Case{1025, 450, 287}, Case{450, 450, 0},
                       Case{100, 451, -176}, Case{100, 450, -175}, Case{100, 101, -1}}) {
    EXPECT_EQ(CentredOrigin(c.screen, c.size), c.origin) << c.screen << " " << c.size;
  }
}

}  // namespace
}  // namespace quarvo
