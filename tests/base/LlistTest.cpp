// Tests of Llist: growth, shrinking, the cursor, the placeholder and failed allocations.
#include "base/Llist.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/AnsiString.h"

namespace {

using Texts = Llist<AnsiString>;

Texts listOf(std::vector<AnsiString> values, bool keepOrder = true) {
    Texts list(0, 1, keepOrder);
    for (const AnsiString& v : values)
        list.add(v);
    return list;
}

std::vector<AnsiString> contents(const Texts& list) {
    std::vector<AnsiString> out;
    for (int i = 0; i <= list.top; i++)
        out.push_back(list.items[i]);
    return out;
}

// An element whose default constructor fails on demand, to stand for memory running out.
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

class FragileTest : public ::testing::Test {
  protected:
    void TearDown() override { Fragile::constructionsLeft = -1; }
};

}  // namespace

TEST(Llist, NewListIsEmptyWithoutBlockAndAnswersWithPlaceholder) {
    Texts list(0, 1, true);
    EXPECT_EQ(list.top, -1);
    EXPECT_EQ(list.capacity, 0);
    EXPECT_EQ(list.items, nullptr);
    EXPECT_EQ(list.current, -1);
    EXPECT_EQ(list.get(0), "");
    EXPECT_EQ(&list.get(0), &list.outside);
}

TEST(Llist, StepBelowOneBecomesOne) {
    Texts list(0, -5, true);
    EXPECT_EQ(list.step, 1);
    Texts raised(0, 0, true);
    EXPECT_EQ(raised.step, 1);
}

TEST(Llist, AddsGrowLinearlyByStepAndMoveTheCursor) {
    Texts list(0, 1, true);
    list.add("a");
    EXPECT_EQ(list.current, 0);
    list.add("b").add("c");
    EXPECT_EQ(list.capacity, 3);
    EXPECT_EQ(list.top, 2);
    EXPECT_EQ(list.current, 2);

    Texts stepped(0, 4, true);
    for (int i = 0; i < 5; i++)
        stepped.add("x");
    EXPECT_EQ(stepped.capacity, 8);
}

TEST(Llist, AddOfOwnElementSurvivesGrowth) {
    Texts list = listOf({"a long text that does not fit in a small string buffer"});
    list.add(list.get(0));
    ASSERT_EQ(list.top, 1);
    EXPECT_EQ(list.items[1], list.items[0]);
}

TEST(Llist, RemoveShrinksOnlyBelowCapacityMinusStepAndThenToExactCount) {
    Texts list(0, 1, true);
    for (int i = 0; i < 10; i++)
        list.add(std::to_string(i));
    ASSERT_EQ(list.capacity, 10);
    list.remove(0);
    EXPECT_EQ(list.top, 8);
    EXPECT_EQ(list.capacity, 10);
    list.remove(0);
    EXPECT_EQ(list.top, 7);
    EXPECT_EQ(list.capacity, 8);
    EXPECT_EQ(contents(list), (std::vector<AnsiString>{"2", "3", "4", "5", "6", "7", "8", "9"}));
}

TEST(Llist, RemovingTheOnlyElementGivesUpTheBlock) {
    Texts list = listOf({"a"});
    list.remove(0);
    EXPECT_EQ(list.top, -1);
    EXPECT_EQ(list.capacity, 0);
    EXPECT_EQ(list.items, nullptr);
}

TEST(Llist, RemoveKeepsOrderOrMovesLastIntoGap) {
    Texts ordered = listOf({"a", "b", "c"}, true);
    ordered.remove(0);
    EXPECT_EQ(contents(ordered), (std::vector<AnsiString>{"b", "c"}));
    Texts unordered = listOf({"a", "b", "c"}, false);
    unordered.remove(0);
    EXPECT_EQ(contents(unordered), (std::vector<AnsiString>{"c", "b"}));
    Texts middle = listOf({"a", "b", "c"}, false);
    middle.remove(1);
    EXPECT_EQ(contents(middle), (std::vector<AnsiString>{"a", "c"}));
}

TEST(Llist, RemoveMinusOneUsesCursorAndOutOfRangeIsIgnored) {
    Texts list = listOf({"a", "b", "c"});
    list.get(1);
    list.remove(-1);
    EXPECT_EQ(contents(list), (std::vector<AnsiString>{"a", "c"}));
    EXPECT_EQ(list.current, 1);  // the cursor stays where it was
    list.remove(2).remove(-2);
    EXPECT_EQ(contents(list), (std::vector<AnsiString>{"a", "c"}));
    Texts fresh(0, 1, true);
    fresh.add("x");
    fresh.current = -1;
    fresh.remove(-1);
    EXPECT_EQ(fresh.top, 0);
}

TEST(Llist, InsertPlacesAtIndexOrAppendsBeyondTop) {
    Texts front = listOf({"a", "b"});
    front.insert("x", 0);
    EXPECT_EQ(contents(front), (std::vector<AnsiString>{"x", "a", "b"}));
    EXPECT_EQ(front.current, 0);

    Texts beyond = listOf({"a", "b"});
    beyond.insert("x", 5);
    EXPECT_EQ(contents(beyond), (std::vector<AnsiString>{"a", "b", "x"}));
    EXPECT_EQ(beyond.current, 2);

    Texts empty(0, 1, true);
    empty.insert("x", 0);
    EXPECT_EQ(contents(empty), (std::vector<AnsiString>{"x"}));

    Texts atCursor = listOf({"a", "b", "c"});
    atCursor.get(1);
    atCursor.insert("x", -1).insert("y", -7);
    EXPECT_EQ(contents(atCursor), (std::vector<AnsiString>{"a", "x", "b", "c"}));
}

TEST(Llist, InsertOfOwnElementSurvivesGrowth) {
    Texts list = listOf({"first element, longer than a small string", "second"});
    list.insert(list.get(1), 0);
    EXPECT_EQ(
        contents(list),
        (std::vector<AnsiString>{"second", "first element, longer than a small string", "second"}));
}

TEST(Llist, OutOfRangeReadsGivePlaceholderOrClampAndLeaveCursor) {
    Texts list = listOf({"a", "b", "c"});
    list.get(1);
    EXPECT_EQ(list.get(-3), "");
    EXPECT_EQ(list.get(7), "");
    list.rangeMode = 1;
    EXPECT_EQ(list.get(-3), "a");
    EXPECT_EQ(list.get(7), "c");
    EXPECT_EQ(list.current, 1);
    Texts empty(0, 1, true);
    empty.rangeMode = 1;
    EXPECT_EQ(&empty.get(0), &empty.outside);
}

TEST(Llist, IterationVisitsEachElementOnceAndRestsOnLast) {
    Texts list = listOf({"a", "b", "c"});
    std::vector<AnsiString> seen;
    list.current = -1;
    while (list.next())
        seen.push_back(list.get(list.current));
    EXPECT_EQ(seen, contents(list));
    EXPECT_EQ(list.current, 2);

    Texts empty(0, 1, true);
    EXPECT_FALSE(empty.next());
    EXPECT_EQ(empty.current, -1);
}

TEST(Llist, SetCapacityKeepsOrDropsElements) {
    Texts list = listOf({"a", "b", "c", "d"});
    list.setCapacity(2, true);
    EXPECT_EQ(contents(list), (std::vector<AnsiString>{"a", "b"}));
    EXPECT_EQ(list.capacity, 2);
    list.setCapacity(6, false);
    EXPECT_EQ(contents(list), (std::vector<AnsiString>{"", ""}));
    EXPECT_EQ(list.capacity, 6);
    list.setCapacity(0, true);
    EXPECT_EQ(list.top, -1);
    EXPECT_EQ(list.items, nullptr);
}

TEST(Llist, PlainElementsAndPlaceholderStartAsZero) {
    Llist<unsigned char> bytes(0, 1, true);
    EXPECT_EQ(bytes.get(3), 0);
    bytes.setCapacity(16, false);
    bytes.top = 15;
    for (int i = 0; i < 16; i++)
        EXPECT_EQ(bytes.items[i], 0);
}

TEST(Llist, CopyTakesEverythingButTheCursor) {
    Texts source(0, 3, false);
    source.add("a").add("b");
    source.outside = "none";
    source.rangeMode = 1;
    source.get(0);

    Texts copy(source);
    EXPECT_EQ(contents(copy), contents(source));
    EXPECT_EQ(copy.step, 3);
    EXPECT_EQ(copy.capacity, source.capacity);
    EXPECT_EQ(copy.outside, "none");
    EXPECT_EQ(copy.rangeMode, 1);
    EXPECT_FALSE(copy.keepOrder);
    EXPECT_EQ(copy.current, -1);
    EXPECT_NE(copy.items, source.items);

    Texts assigned = listOf({"x", "y", "z"});
    assigned.get(2);
    assigned = source;
    EXPECT_EQ(contents(assigned), contents(source));
    EXPECT_EQ(assigned.current, 2);
    assigned = assigned;
    EXPECT_EQ(contents(assigned), contents(source));
}

TEST_F(FragileTest, FailedGrowthLeavesListEmptyAndCountsNothing) {
    Llist<Fragile> list(0, 1, true);
    list.add(Fragile(1)).add(Fragile(2));
    Fragile::constructionsLeft = 0;
    list.add(Fragile(3));
    EXPECT_EQ(list.top, -1);
    EXPECT_EQ(list.capacity, 0);
    EXPECT_EQ(list.items, nullptr);
    list.insert(Fragile(4), 0);
    EXPECT_EQ(list.top, -1);
    Fragile::constructionsLeft = -1;
    list.add(Fragile(5));
    ASSERT_EQ(list.top, 0);
    EXPECT_EQ(list.get(0).value, 5);
}

TEST_F(FragileTest, FailedInsertGrowthLeavesListEmpty) {
    Llist<Fragile> list(0, 1, true);
    list.add(Fragile(1)).add(Fragile(2));
    Fragile::constructionsLeft = 0;
    list.insert(Fragile(9), 0);
    EXPECT_EQ(list.top, -1);
    EXPECT_EQ(list.capacity, 0);
}

TEST_F(FragileTest, FailedCopyLeavesTargetEmpty) {
    Llist<Fragile> source(0, 1, true);
    source.add(Fragile(1)).add(Fragile(2));
    Fragile::constructionsLeft = 1;  // enough for the placeholder, not for the block
    Llist<Fragile> copy(source);
    EXPECT_EQ(copy.top, -1);
    EXPECT_EQ(copy.capacity, 0);
}

TEST_F(FragileTest, FailedShrinkKeepsTheElements) {
    Llist<Fragile> list(0, 1, true);
    for (int i = 0; i < 4; i++)
        list.add(Fragile(i));
    list.remove(0);
    Fragile::constructionsLeft = 0;
    list.remove(0);  // would shrink from 4 slots to 2
    ASSERT_EQ(list.top, 1);
    EXPECT_EQ(list.capacity, 4);
    EXPECT_EQ(list.get(0).value, 2);
    EXPECT_EQ(list.get(1).value, 3);
}
