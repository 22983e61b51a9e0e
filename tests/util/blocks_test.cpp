#include "util/blocks.h"

#include <gtest/gtest.h>

#include <stdlib.h>

#include <vector>

namespace {

struct Item {
    ListNode link;
    int value;
};

Item* newItem(int value) {
    Item* item = static_cast<Item*>(calloc(1, sizeof(Item)));
    item->value = value;
    return item;
}

std::vector<int> forward(ListNode* head) {
    std::vector<int> values;
    for (ListNode* node = head; node; node = node->next) values.push_back(((Item*)node)->value);
    return values;
}

std::vector<int> backward(ListNode* tail) {
    std::vector<int> values;
    for (ListNode* node = tail; node; node = node->previous) values.insert(values.begin(), ((Item*)node)->value);
    return values;
}

TEST(List, AppendKeepsOrderAndBothDirectionsAgree) {
    ListNode* head = nullptr;
    ListNode* tail = nullptr;
    for (int i = 1; i <= 4; ++i) ASSERT_EQ(listAppend(&head, &tail, &newItem(i)->link), 1);
    EXPECT_EQ(forward(head), (std::vector<int>{1, 2, 3, 4}));
    EXPECT_EQ(backward(tail), (std::vector<int>{1, 2, 3, 4}));
    EXPECT_EQ(head->previous, nullptr);
    EXPECT_EQ(tail->next, nullptr);

    // Middle, first, last, then the only node.
    ASSERT_EQ(listRemove(&head, &tail, head->next), 1);
    EXPECT_EQ(forward(head), (std::vector<int>{1, 3, 4}));
    ASSERT_EQ(listRemove(&head, &tail, head), 1);
    EXPECT_EQ(head->previous, nullptr);
    ASSERT_EQ(listRemove(&head, &tail, tail), 1);
    EXPECT_EQ(forward(head), (std::vector<int>{3}));
    EXPECT_EQ(backward(tail), (std::vector<int>{3}));
    ASSERT_EQ(listRemove(&head, &tail, head), 1);
    EXPECT_EQ(head, nullptr);
    EXPECT_EQ(tail, nullptr);
}

TEST(List, MissingArgumentsChangeNothing) {
    ListNode* head = nullptr;
    ListNode* tail = nullptr;
    Item item{};
    EXPECT_EQ(listAppend(nullptr, &tail, &item.link), 0);
    EXPECT_EQ(listAppend(&head, nullptr, &item.link), 0);
    EXPECT_EQ(listAppend(&head, &tail, nullptr), 0);
    EXPECT_EQ(listRemove(&head, &tail, nullptr), 0);
    EXPECT_EQ(head, nullptr);
    EXPECT_EQ(tail, nullptr);
}

TEST(Blocks, AllocFillAndFree) {
    void* block = nullptr;
    EXPECT_EQ(allocBlock(nullptr, 8, 0, 0), 0);
    EXPECT_EQ(allocBlock(&block, 0, 0, 0), 0);
    EXPECT_EQ(allocBlock(&block, -3, 0, 0), 0);
    EXPECT_EQ(block, nullptr);
    ASSERT_EQ(allocBlock(&block, 5, 1, 0xAB), 1);
    ASSERT_NE(block, nullptr);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(static_cast<unsigned char*>(block)[i], 0xAB);
    EXPECT_EQ(freeBlock(&block), 1);
    EXPECT_EQ(block, nullptr);
    EXPECT_EQ(freeBlock(&block), 0);
}

TEST(Text, CopyAndAppendNeverPassTheBuffer) {
    char buffer[6] = "xxxxx";
    EXPECT_EQ(copyText(buffer, sizeof buffer, "abcde"), 1);
    EXPECT_STREQ(buffer, "abcde");
    EXPECT_EQ(copyText(buffer, sizeof buffer, "abcdef"), 0);
    EXPECT_STREQ(buffer, "");
    EXPECT_EQ(copyText(buffer, sizeof buffer, "ab"), 1);
    EXPECT_EQ(appendText(buffer, sizeof buffer, "cde"), 1);
    EXPECT_STREQ(buffer, "abcde");
    EXPECT_EQ(appendText(buffer, sizeof buffer, "f"), 0);
    EXPECT_STREQ(buffer, "abcde");
}

}  // namespace
