#include "templates/n_queue.h"

#include <gtest/gtest.h>
#include <vector>

namespace
{
struct Block
{
    int id = 0;
    Block* next = nullptr;
};
} // namespace

TEST(NQueue, FirstInFirstOutWithCountHeadAndTail)
{
    std::vector<Block> blocks(5);
    n_queue<Block> q;
    EXPECT_TRUE(q.IsEmpty());
    EXPECT_EQ(q.Get(), nullptr);
    for (int i = 0; i < 5; ++i)
    {
        blocks[i].id = i;
        q.Put(&blocks[i]);
        EXPECT_EQ(q.Count(), i + 1);
        EXPECT_EQ(q.Head(), &blocks[0]);
        EXPECT_EQ(q.Tail(), &blocks[i]);
    }
    for (int i = 0; i < 3; ++i)
    {
        Block* b = q.Get();
        ASSERT_NE(b, nullptr);
        EXPECT_EQ(b->id, i);
        EXPECT_EQ(b->next, nullptr);
    }
    q.Put(&blocks[0]); // a taken block can come back
    std::vector<int> order;
    while (Block* b = q.Get())
        order.push_back(b->id);
    EXPECT_EQ(order, (std::vector<int>{3, 4, 0}));
    EXPECT_EQ(q.Count(), 0);
    EXPECT_EQ(q.Head(), nullptr);
    EXPECT_EQ(q.Tail(), nullptr);
    q.Put(&blocks[1]); // the queue is usable again after running dry
    EXPECT_EQ(q.Get(), &blocks[1]);
}

TEST(NQueue, QueuingAQueuedBlockIsALogicErrorAndChangesNothing)
{
    Block a, b, c;
    n_queue<Block> q;
    q.Put(&a);
    q.Put(&b);
    EXPECT_THROW(q.Put(&a), LOGIC_ERROR); // next pointer set
    EXPECT_THROW(q.Put(&b), LOGIC_ERROR); // the tail: its next pointer is still null
    c.next = &a;                          // a stray link from elsewhere
    EXPECT_THROW(q.Put(&c), LOGIC_ERROR);
    EXPECT_THROW(q.Put(nullptr), INVALID_ARGUMENT);
    EXPECT_EQ(q.Count(), 2);
    EXPECT_EQ(q.Get(), &a);
    EXPECT_EQ(q.Get(), &b);
    EXPECT_EQ(q.Get(), nullptr);
}
