// Tests of Llist: growth, shrinking, the cursor, the placeholder and failed allocations.
#include "base/Llist.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/AnsiString.h"

namespace {

using Texts = Llist<AnsiString>;
using Lines = std::vector<AnsiString>;

Texts listOf(const Lines& values, bool keepOrder = true) {
    Texts list(0, 1, keepOrder);
    for (const AnsiString& v : values)
        list.add(v);
    return list;
}

Lines contents(const Texts& list) {
    return Lines(list.items, list.items + list.top + 1);
}

// An element whose default constructor fails on demand, standing for memory running out.
struct Fragile {
    static int constructionsLeft;  // -1: never fail
    int value = 0;
    Fragile() {
        if (constructionsLeft == 0) throw std::bad_alloc();
        if (constructionsLeft > 0) constructionsLeft--;
    }
    explicit Fragile(int v) : value(v) {}
};
int Fragile::constructionsLeft = -1;

// An element that counts the copies the list makes of it.
struct Counted {
    static long assignments;
    int value = 0;
    Counted() = default;
    explicit Counted(int v) : value(v) {}
    Counted(const Counted& other) = default;
    Counted& operator=(const Counted& other) {
        assignments++;
        value = other.value;
        return *this;
    }
};
long Counted::assignments = 0;

class FragileList : public ::testing::Test {
  protected:
    Llist<Fragile> list{0, 1, true};
    void SetUp() override {
        for (int i = 0; i < 4; i++)
            list.add(Fragile(i));
    }
    void TearDown() override { Fragile::constructionsLeft = -1; }
};

}  // namespace

TEST(Llist, NewListHasNoBlockAndAnswersWithPlaceholder) {
    Texts list(0, 0, true);
    EXPECT_EQ(list.step, 1);
    EXPECT_EQ(list.top, -1);
    EXPECT_EQ(list.capacity, 0);
    EXPECT_EQ(list.current, -1);
    EXPECT_EQ(&list.get(0), &list.outside);
    Llist<unsigned char> bytes(0, 1, true);
    EXPECT_EQ(bytes.get(3), 0);
}

TEST(Llist, AddsGrowByHalfTheBlockAtLeastByTheStepAndMoveTheCursor) {
    Texts list = listOf({"a", "b", "c"});
    EXPECT_EQ(list.capacity, 3);
    EXPECT_EQ(list.current, 2);
    list.add("d").add("e");
    EXPECT_EQ(list.capacity, 6);
    Texts stepped(0, 4, true);
    for (int i = 0; i < 5; i++)
        stepped.add("x");
    EXPECT_EQ(stepped.capacity, 8);
}

// Growing and shrinking one element at a time copies each element a bounded number of times,
// however long the list: adding and then removing n elements stays linear in n.
TEST(Llist, AddingAndRemovingOneByOneCopiesLinearly) {
    const int n = 20000;
    Llist<Counted> list(0, 1, true);
    for (int i = 0; i < n; i++)
        list.add(Counted(i));
    EXPECT_LE(Counted::assignments, 4 * n);
    Counted::assignments = 0;
    while (list.top >= 0)
        list.remove(list.top);
    EXPECT_LE(Counted::assignments, 2 * n);
    EXPECT_EQ(list.capacity, 0);
}

TEST(Llist, AddAndInsertOfOwnElementSurviveGrowth) {
    const AnsiString longText = "a text too long for the small string buffer of std::string";
    Texts list = listOf({longText});
    list.add(list.get(0));
    list.insert(list.get(1), 0);
    EXPECT_EQ(contents(list), (Lines{longText, longText, longText}));
}

// A block shrinks once more slots stand empty than a growth of it would add, so that a list
// that just grew does not shrink again on the next removal.
TEST(Llist, RemoveShrinksToExactCountOnlyOnceAGrowthsWorthStandsEmpty) {
    Texts list(0, 1, true);
    for (int i = 0; i < 10; i++)
        list.add(std::to_string(i));
    list.setCapacity(10, true);
    for (int i = 0; i < 5; i++)
        list.remove(0);
    EXPECT_EQ(list.capacity, 10);
    list.remove(0);
    EXPECT_EQ(list.capacity, 4);
    EXPECT_EQ(contents(list), (Lines{"6", "7", "8", "9"}));
    Texts stepped(0, 1000, true);
    for (int i = 0; i < 10; i++)
        stepped.add("x");
    stepped.remove(0);
    EXPECT_EQ(stepped.capacity, 1000);
    Texts single = listOf({"a"});
    single.remove(0);
    EXPECT_EQ(single.capacity, 0);
    EXPECT_EQ(single.items, nullptr);
}

TEST(Llist, RemoveKeepsOrderOrMovesLastIntoGap) {
    Texts ordered = listOf({"a", "b", "c"}, true);
    ordered.remove(0);
    EXPECT_EQ(contents(ordered), (Lines{"b", "c"}));
    Texts unordered = listOf({"a", "b", "c"}, false);
    unordered.remove(0);
    EXPECT_EQ(contents(unordered), (Lines{"c", "b"}));
    unordered.remove(1).remove(5).remove(-2);
    EXPECT_EQ(contents(unordered), (Lines{"c"}));
}

TEST(Llist, MinusOneMeansTheCursor) {
    Texts list = listOf({"a", "b", "c"});
    list.get(1);
    list.remove(-1);
    EXPECT_EQ(contents(list), (Lines{"a", "c"}));
    EXPECT_EQ(list.current, 1);
    list.insert("x", -1).insert("y", -7);
    EXPECT_EQ(contents(list), (Lines{"a", "x", "c"}));
}

TEST(Llist, InsertPlacesAtIndexOrAppendsBeyondTop) {
    Texts front = listOf({"a", "b"});
    front.insert("x", 0);
    EXPECT_EQ(contents(front), (Lines{"x", "a", "b"}));
    EXPECT_EQ(front.current, 0);
    Texts beyond = listOf({"a", "b"});
    beyond.insert("x", 5);
    EXPECT_EQ(contents(beyond), (Lines{"a", "b", "x"}));
    EXPECT_EQ(beyond.current, 2);
    Texts empty(0, 1, true);
    empty.insert("x", 0);
    EXPECT_EQ(contents(empty), (Lines{"x"}));
}

TEST(Llist, OutOfRangeReadsGivePlaceholderOrClampAndLeaveCursor) {
    Texts list = listOf({"a", "b", "c"});
    list.get(1);
    EXPECT_EQ(&list.get(-3), &list.outside);
    EXPECT_EQ(&list.get(7), &list.outside);
    list.rangeMode = 1;
    EXPECT_EQ(list.get(-3), "a");
    EXPECT_EQ(list.get(7), "c");
    EXPECT_EQ(list.current, 1);
}

TEST(Llist, IterationVisitsEachElementOnceAndRestsOnLast) {
    Texts list = listOf({"a", "b", "c"});
    Lines seen;
    list.current = -1;
    while (list.next())
        seen.push_back(list.get(list.current));
    EXPECT_EQ(seen, contents(list));
    EXPECT_EQ(list.current, 2);
}

TEST(Llist, SetCapacityKeepsOrDropsElements) {
    Texts list = listOf({"a", "b", "c", "d"});
    list.setCapacity(2, true);
    EXPECT_EQ(contents(list), (Lines{"a", "b"}));
    list.setCapacity(6, false);
    EXPECT_EQ(contents(list), (Lines{"", ""}));
    EXPECT_EQ(list.capacity, 6);
}

TEST(Llist, CopyTakesEverythingButTheCursor) {
    Texts source(0, 3, false);
    source.add("a").add("b");
    source.outside = "none";
    source.rangeMode = 1;
    source.get(0);
    Texts copy(source);
    Texts assigned = listOf({"x", "y", "z"});
    assigned = source;
    for (const Texts* list : {&copy, &assigned}) {
        EXPECT_EQ(contents(*list), contents(source));
        EXPECT_EQ(list->step, 3);
        EXPECT_EQ(list->outside, "none");
        EXPECT_EQ(list->rangeMode, 1);
        EXPECT_FALSE(list->keepOrder);
        EXPECT_NE(list->items, source.items);
    }
    EXPECT_EQ(copy.current, -1);
    EXPECT_EQ(assigned.current, 2);
}

TEST_F(FragileList, FailedGrowthLeavesListEmptyAndCountsNothing) {
    Fragile::constructionsLeft = 0;
    list.add(Fragile(9));
    EXPECT_EQ(list.top, -1);
    EXPECT_EQ(list.capacity, 0);
    list.insert(Fragile(9), 0);
    EXPECT_EQ(list.top, -1);
    Fragile::constructionsLeft = -1;
    list.add(Fragile(5));
    Fragile::constructionsLeft = 1;  // enough for the placeholder of the copy only
    Llist<Fragile> copy(list);
    EXPECT_EQ(copy.top, -1);
    EXPECT_EQ(list.get(0).value, 5);
}

TEST_F(FragileList, FailedShrinkKeepsTheElements) {
    list.remove(0).remove(0);
    Fragile::constructionsLeft = 0;
    list.remove(0);  // would shrink from 4 slots to 1
    EXPECT_EQ(list.capacity, 4);
    ASSERT_EQ(list.top, 0);
    EXPECT_EQ(list.get(0).value, 3);
}
