#include "records/RecordList.h"

#include "AllocationFailure.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

PersonRecord Numbered(int number) {
    PersonRecord record{};
    std::snprintf(record.name, sizeof record.name, "Person %d", number);
    for (int i = 0; i < PersonRecord::LevelCount; ++i) {
        record.left[i] = number * 100 + i;
        record.right[i] = -(number * 100 + i);
    }
    return record;
}

} // namespace

TEST(RecordList, CapacitiesFollowTheGrowthRuleAndKeepOneSlotFree) {
    RecordList list;
    std::vector<std::uint32_t> capacities;
    std::uint32_t last = 0;
    for (int i = 0; i < 400; ++i) {
        ASSERT_TRUE(list.Add(Numbered(i)));
        ASSERT_LT(list.count, list.capacity) << "no free slot after " << list.count << " records";
        if (list.capacity != last) {
            capacities.push_back(list.capacity);
            last = list.capacity;
        }
    }
    std::vector<std::uint32_t> expected{8, 16, 24, 32, 40, 48, 56, 64, 96, 144, 216, 324, 486};
    EXPECT_EQ(capacities, expected);
}

TEST(RecordList, GrowingKeepsEveryRecordByteForByte) {
    RecordList list;
    std::vector<PersonRecord> added;
    for (int i = 0; i < 100; ++i) {
        PersonRecord record = Numbered(i);
        // Bytes behind the terminator belong to the record and must survive the moves.
        std::memset(record.name + std::strlen(record.name) + 1, 0x5A, 4);
        added.push_back(record);
        list.Add(record);
    }
    ASSERT_EQ(list.count, 100u);
    for (int i = 0; i < 100; ++i) {
        ASSERT_NE(list.At(i), nullptr);
        EXPECT_TRUE(SameBytes(*list.At(i), added[i])) << "record " << i;
    }
}

TEST(RecordList, AtRejectsNegativeAndPastTheEndIndices) {
    RecordList list;
    list.Add(Numbered(1));
    list.Add(Numbered(2));
    EXPECT_EQ(list.At(-1), nullptr);
    EXPECT_EQ(list.At(INT32_MIN), nullptr);
    EXPECT_EQ(list.At(2), nullptr);
    // Slot 2 exists in the array but holds no record.
    EXPECT_GT(list.capacity, 2u);
    ASSERT_NE(list.At(1), nullptr);
    EXPECT_STREQ(list.At(1)->name, "Person 2");
    const RecordList& constList = list;
    EXPECT_EQ(constList.At(-1), nullptr);
    EXPECT_EQ(constList.At(1), list.At(1));
}

TEST(RecordList, GrowToRefusesToDropRecordsInUse) {
    RecordList list;
    for (int i = 0; i < 5; ++i) {
        list.Add(Numbered(i));
    }
    PersonRecord* before = list.items;
    EXPECT_FALSE(list.GrowTo(5));
    EXPECT_FALSE(list.GrowTo(3));
    EXPECT_EQ(list.items, before);
    EXPECT_EQ(list.capacity, 8u);
    EXPECT_EQ(list.count, 5u);

    EXPECT_TRUE(list.GrowTo(40));
    EXPECT_EQ(list.capacity, 40u);
    EXPECT_EQ(list.count, 5u);
    EXPECT_STREQ(list.At(4)->name, "Person 4");
}

TEST(RecordList, ClearReleasesEverythingAndTheListCanBeFilledAgain) {
    RecordList list;
    for (int i = 0; i < 10; ++i) {
        list.Add(Numbered(i));
    }
    list.Clear();
    EXPECT_EQ(list.count, 0u);
    EXPECT_EQ(list.capacity, 0u);
    EXPECT_EQ(list.items, nullptr);
    EXPECT_EQ(list.At(0), nullptr);
    list.Add(Numbered(42));
    EXPECT_EQ(list.capacity, 8u);
    EXPECT_STREQ(list.At(0)->name, "Person 42");
}

TEST(RecordList, AFailedAllocationAddsNothingAndKeepsTheRecords) {
    RecordList list;
    for (int i = 0; i < 7; ++i) {
        list.Add(Numbered(i));
    }
    PersonRecord* before = list.items;
    {
        AllocationFailure noMemory;
        EXPECT_FALSE(list.Add(Numbered(7)));
        EXPECT_FALSE(list.GrowTo(100));
        EXPECT_EQ(AllocationFailure::Refused(), 2);
    }
    EXPECT_EQ(list.count, 7u);
    EXPECT_EQ(list.capacity, 8u);
    EXPECT_EQ(list.items, before);
    EXPECT_STREQ(list.At(6)->name, "Person 6");
    EXPECT_TRUE(list.Add(Numbered(7)));
    EXPECT_EQ(list.capacity, 16u);
}
