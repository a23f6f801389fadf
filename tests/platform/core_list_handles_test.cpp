#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/platform.h"

namespace {

// Orders like the score records: newest (largest stamp) first, through the
// low 32 bits of the stamp difference.
struct Rec {
  int64_t stamp;
  std::string tag;
  int Compare(const Rec& other) const {
    return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(other.stamp - stamp)));
  }
};

TList<Rec> Make(const std::vector<std::pair<int64_t, const char*>>& items) {
  TList<Rec> list;
  for (const auto& [stamp, tag] : items) list.AddLast(std::make_shared<Rec>(Rec{stamp, tag}));
  return list;
}

std::string Tags(const TList<Rec>& list) {
  std::string out;
  for (const auto& r : list) out += r->tag;
  return out;
}

TEST(CoreList, SortIsStableNewestFirst) {
  // Sizes 0..9 cover lone last runs at every pass.
  for (int n = 0; n < 10; ++n) {
    TList<Rec> list;
    for (int i = 0; i < n; ++i) {
      list.AddLast(std::make_shared<Rec>(Rec{(i * 7) % 4, std::string(1, static_cast<char>('a' + i))}));
    }
    SortList(list);
    ASSERT_EQ(list.Count(), static_cast<size_t>(n));
    std::shared_ptr<Rec> previous;
    for (const auto& r : list) {
      if (previous) {
        ASSERT_GE(previous->stamp, r->stamp) << "n=" << n;
        if (previous->stamp == r->stamp) {
          ASSERT_LT(previous->tag, r->tag) << "stability, n=" << n;
        }
      }
      previous = r;
    }
  }
  TList<Rec> list = Make({{5, "a"}, {9, "b"}, {5, "c"}, {1, "d"}, {9, "e"}});
  SortList(list);
  EXPECT_EQ(Tags(list), "beacd");
}

TEST(CoreList, RemoveTakesFirstEqualFromTheFront) {
  TList<Rec> list = Make({{9, "a"}, {5, "b"}, {5, "c"}});
  const std::shared_ptr<Rec> c = *std::next(list.begin(), 2);
  ListRemove(list, *c);  // same stamp as b, which is nearer the front
  EXPECT_EQ(Tags(list), "ac");
  ListRemove(list, Rec{7, "x"});  // no equal element: nothing happens
  EXPECT_EQ(Tags(list), "ac");
  ClearList(list);
  EXPECT_TRUE(list.IsEmpty());
  ListRemove(list, Rec{7, "x"});
}

TEST(CoreList, WalkSurvivesRemovingVisitedOrEarlierElements) {
  TList<Rec> list = Make({{6, "a"}, {5, "b"}, {4, "c"}, {3, "d"}, {2, "e"}});
  std::string visited;
  list.ForEach([&](const std::shared_ptr<Rec>& r) {
    visited += r->tag;
    if (r->tag == "b") ListRemove(list, *r);              // the visited one
    if (r->tag == "d") ListRemove(list, Rec{6, "?"});     // one before it
  });
  EXPECT_EQ(visited, "abcde");
  EXPECT_EQ(Tags(list), "cde");

  visited.clear();
  list.ForEach([&](const std::shared_ptr<Rec>& r) {
    visited += r->tag;
    return r->tag != "d";  // stops the walk
  });
  EXPECT_EQ(visited, "cd");
}

TEST(CoreList, WalkSurvivesRemovingLaterElementsClearsAndNestedWalks) {
  // The element after the visited one, and one further on, go during the
  // walk: neither is visited, and the walk goes on with what is left.
  TList<Rec> list = Make({{6, "a"}, {5, "b"}, {4, "c"}, {3, "d"}, {2, "e"}});
  const auto c = *std::next(list.begin(), 2);
  const auto e = *std::next(list.begin(), 4);
  std::string visited;
  list.ForEach([&](const std::shared_ptr<Rec>& r) {
    visited += r->tag;
    if (r->tag == "b") {
      list.RemoveLink(c);
      list.RemoveLink(e);
      EXPECT_EQ(list.Count(), 3u);
      EXPECT_EQ(Tags(list), "abd");  // reading inside the walk sees the live ones
    }
    if (r->tag == "d") list.AddLast(std::make_shared<Rec>(Rec{1, "f"}));  // visited too
  });
  EXPECT_EQ(visited, "abdf");
  EXPECT_EQ(Tags(list), "abdf");

  // A nested walk that removes, a sort asked for inside a walk (made when
  // it ends), and a clear inside a walk.
  visited.clear();
  list.ForEach([&](const std::shared_ptr<Rec>& r) {
    visited += r->tag;
    if (r->tag == "a") {
      list.ForEach([&](const std::shared_ptr<Rec>& inner) {
        if (inner->tag == "d") list.RemoveLink(inner);
      });
      list.AddLast(std::make_shared<Rec>(Rec{9, "z"}));
      SortList(list);
    }
  });
  EXPECT_EQ(visited, "abfz");
  EXPECT_EQ(Tags(list), "zabf");
  list.ForEach([&](const std::shared_ptr<Rec>& r) {
    if (r->tag == "a") ClearList(list);
    EXPECT_NE(r->tag, "b");
  });
  EXPECT_TRUE(list.IsEmpty());
  EXPECT_EQ(list.First(), nullptr);
}

struct Alpha {
  int v = 1;
};
struct Beta {
  int v = 2;
};

TEST(CoreHandles, NumbersTypesAndNull) {
  auto a = std::make_shared<Alpha>();
  auto b = std::make_shared<Beta>();
  const int ha = HandleFromObject(a);
  const int hb = HandleFromObject(b);
  EXPECT_GT(ha, 0);
  EXPECT_NE(ha, hb);
  EXPECT_EQ(HandleFromObject(a), ha);  // the same object keeps its number
  EXPECT_EQ(HandleFromObject(std::shared_ptr<Alpha>()), 0);
  EXPECT_EQ(HandleFromObject(nullptr), 0);

  EXPECT_EQ(HandleToObject<Alpha>(ha), a);
  EXPECT_EQ(HandleToObject<Beta>(ha), nullptr);  // another type
  EXPECT_EQ(HandleToObject<Alpha>(0), nullptr);
  EXPECT_EQ(HandleToObject<Alpha>(hb + 1000), nullptr);  // never handed out
  EXPECT_EQ(HandleToObject<Alpha>(-1), nullptr);
  EXPECT_EQ(HandleToObjectRaw(hb), b);

  // The table keeps the object alive on its own.
  std::weak_ptr<Alpha> weak = a;
  a.reset();
  ASSERT_NE(HandleToObject<Alpha>(ha), nullptr);
  EXPECT_EQ(HandleToObject<Alpha>(ha)->v, 1);
  ReleaseHandle(ha);
  EXPECT_TRUE(weak.expired());
  EXPECT_EQ(HandleToObject<Alpha>(ha), nullptr);
  // A released number is not reused.
  EXPECT_NE(HandleFromObject(std::make_shared<Alpha>()), ha);
}

}  // namespace
