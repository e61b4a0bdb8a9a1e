#include "model/qh_list.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "model/speaker_entry.h"
#include "support/debug_capture.h"

namespace {

template <typename T>
std::vector<T> Values(CQHList<T>& list) {
  std::vector<T> out;
  for (auto* pos = list.GetHeadPosition(); pos != nullptr;) out.push_back(list.GetNext(pos));
  return out;
}

// Walks the list backwards through prev links, to catch a broken back chain.
template <typename T>
std::vector<T> ValuesBackwards(CQHList<T>& list) {
  std::vector<T> out;
  for (auto* pos = list.GetTailPosition(); pos != nullptr; pos = pos->prev)
    out.insert(out.begin(), pos->value);
  return out;
}

class AllocationFaultGuard {
 public:
  ~AllocationFaultGuard() { platform::ResetAllocationFaults(); }
};

TEST(QHList, InsertionsKeepBothChainsAndCount) {
  CQHList<int> list;
  auto* two = list.AddTail(2);
  list.InsertBefore(two, 1);
  auto* four = list.AddTail(4);
  list.InsertAfter(two, 3);
  list.InsertAfter(four, 5);
  list.InsertBefore(list.GetHeadPosition(), 0);
  EXPECT_EQ(Values(list), (std::vector<int>{0, 1, 2, 3, 4, 5}));
  EXPECT_EQ(ValuesBackwards(list), Values(list));
  EXPECT_EQ(list.GetCount(), 6);
  EXPECT_EQ(list.GetHeadPosition()->prev, nullptr);
  EXPECT_EQ(list.GetTailPosition()->next, nullptr);
}

TEST(QHList, RemoveAtHeadTailAndOnlyNode) {
  CQHList<int> list;
  auto* only = list.AddTail(7);
  list.RemoveAt(only);
  EXPECT_EQ(list.GetHeadPosition(), nullptr);
  EXPECT_EQ(list.GetTailPosition(), nullptr);
  EXPECT_EQ(list.GetCount(), 0);

  auto* a = list.AddTail(1);
  list.AddTail(2);
  auto* c = list.AddTail(3);
  list.RemoveAt(a);
  EXPECT_EQ(list.GetHeadPosition()->prev, nullptr);
  list.RemoveAt(c);
  EXPECT_EQ(list.GetTailPosition()->next, nullptr);
  EXPECT_EQ(Values(list), (std::vector<int>{2}));
  EXPECT_EQ(list.GetCount(), 1);
}

TEST(QHList, RemoveAllOnEmptyAndFullList) {
  CQHList<std::string> list;
  list.RemoveAll();
  EXPECT_EQ(list.GetCount(), 0);
  EXPECT_EQ(list.GetHeadPosition(), nullptr);
  list.AddTail("a");
  list.AddTail("b");
  list.RemoveAll();
  EXPECT_EQ(list.GetCount(), 0);
  EXPECT_EQ(list.GetHeadPosition(), nullptr);
  EXPECT_EQ(list.GetTailPosition(), nullptr);
}

TEST(QHList, PositionKeptElsewhereSurvivesOtherInsertionsAndRemovals) {
  CQHList<std::string> lines;
  auto* kept = lines.AddTail("kept");
  CQHList<CQHList<std::string>::Node*> refs;
  refs.AddTail(kept);
  for (int i = 0; i < 50; ++i) {
    lines.InsertBefore(kept, "before" + std::to_string(i));
    lines.InsertAfter(kept, "after" + std::to_string(i));
  }
  lines.RemoveAt(lines.GetHeadPosition());
  lines.RemoveAt(lines.GetTailPosition());
  EXPECT_EQ(lines.GetAt(refs.GetAt(refs.GetHeadPosition())), "kept");
  EXPECT_EQ(lines.GetCount(), 99);
}

TEST(QHListAllocationFailure, EveryInsertionReportsFailureAndLinksNothing) {
  AllocationFaultGuard guard;
  DebugCapture capture;
  CQHList<int> list;
  auto* first = list.AddTail(1);

  platform::FailAllocationAfter(1);
  EXPECT_EQ(list.AddTail(2), nullptr);
  platform::FailAllocationAfter(1);
  EXPECT_EQ(list.InsertAfter(first, 3), nullptr);
  platform::FailAllocationAfter(1);
  EXPECT_EQ(list.InsertBefore(first, 4), nullptr);
  platform::FailAllocationAfter(1);
  EXPECT_EQ(list.NewNode(nullptr, nullptr), nullptr);

  EXPECT_EQ(list.GetCount(), 1);
  EXPECT_EQ(Values(list), (std::vector<int>{1}));
  EXPECT_EQ(first->next, nullptr);
  EXPECT_EQ(first->prev, nullptr);
  ASSERT_EQ(capture.lines().size(), 4u);
  for (const auto& line : capture.lines()) {
    EXPECT_EQ(line, "CQHList::NewNode() Error(0) : Not enough memory!");
  }
}

TEST(SpeakerEntry, AssignmentLeavesExactlyTheSourceNames) {
  SpeakerEntry source;
  source.name = "Tom";
  source.expressions.AddTail("smile");
  source.expressions.AddTail("cry");
  SpeakerEntry target;
  target.name = "old";
  target.expressions.AddTail("angry");
  target.expressions.AddTail("sad");
  target.expressions.AddTail("calm");
  target = source;
  EXPECT_EQ(target.name, "Tom");
  EXPECT_EQ(Values(target.expressions), (std::vector<ExpressionName>{"smile", "cry"}));
  EXPECT_EQ(target.expressions.GetCount(), 2);
  SpeakerEntry copy(source);
  EXPECT_EQ(Values(copy.expressions), Values(source.expressions));
}

}  // namespace
