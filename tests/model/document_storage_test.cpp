// The storage behind a document: texts in a TextArena, list nodes from a list's own chunks.
#include <gtest/gtest.h>

#include <random>
#include <set>
#include <string>
#include <vector>

#include "model/dlg_file.h"
#include "model/plain_string.h"
#include "model/qh_list.h"
#include "model/text_arena.h"
#include "platform/fault_injection.h"

namespace {

TEST(TextArena, TextsKeepTheirBytesAcrossBlocksAndLeaveWithTheArenaOnly) {
  TextArena arena;
  std::vector<CPlainString> texts(3000);
  std::vector<std::string> expected;
  const std::string longText(TextArena::kBlockSize, 'L');  // a block of its own
  for (size_t k = 0; k < texts.size(); ++k) {
    expected.push_back(k == 1000 ? longText
                                 : "text " + std::to_string(k) + std::string(k % 90, 'x'));
    ASSERT_TRUE(texts[k].AssignIn(arena, expected[k].data(), static_cast<int>(expected[k].size())));
  }
  EXPECT_GT(arena.BytesHeld(), longText.size());
  for (size_t k = 0; k < texts.size(); ++k) EXPECT_EQ(texts[k].c_str(), expected[k]) << k;

  // The copy cuts at the first NUL as Assign does; nothing stored gives the shared empty text.
  CPlainString cut;
  EXPECT_TRUE(cut.AssignIn(arena, "ab\0cd", 5));
  EXPECT_EQ(std::string(cut.c_str()), "ab");
  EXPECT_EQ(cut.GetLength(), 2);
  CPlainString none("was here");
  EXPECT_TRUE(none.AssignIn(arena, "\0x", 2));
  EXPECT_EQ(none.c_str(), CPlainString::SharedEmpty());

  // Swapped into a heap string, copied, reassigned: the heap sides outlive the arena, and
  // destroying a string that still refers into the arena frees nothing of it.
  CPlainString swapped("heap text");
  swapped.Swap(texts[1]);
  CPlainString copy(texts[2]);
  CPlainString reassigned;
  ASSERT_TRUE(reassigned.AssignIn(arena, "arena", 5));
  reassigned.Append(" and more");
  texts[0].Empty();
  { CPlainString dropped; ASSERT_TRUE(dropped.AssignIn(arena, "gone", 4)); }
  EXPECT_EQ(std::string(texts[1].c_str()), "heap text");
  texts.clear();  // the heap text swapped in is freed here, the arena texts are not
  arena.Release();
  EXPECT_EQ(arena.BytesHeld(), 0u);
  EXPECT_EQ(std::string(copy.c_str()), expected[2]);
  EXPECT_EQ(std::string(reassigned.c_str()), "arena and more");
  swapped.Empty();  // refers into the released arena: never freed, never read
}

TEST(TextArena, EachTextIsOneGuardedAllocationAndAFailureEmptiesTheString) {
  TextArena arena;
  CPlainString s;
  const long before = platform::AllocationCount();
  ASSERT_TRUE(s.AssignIn(arena, "one", 3));
  ASSERT_TRUE(s.AssignIn(arena, "two", 3));
  EXPECT_TRUE(s.AssignIn(arena, "", 0));  // nothing to store, no allocation
  EXPECT_EQ(platform::AllocationCount() - before, 2);

  ASSERT_TRUE(s.AssignIn(arena, "kept?", 5));
  platform::FailAllocationAfter(1);
  EXPECT_FALSE(s.AssignIn(arena, "new", 3));
  platform::ResetAllocationFaults();
  EXPECT_EQ(s.c_str(), CPlainString::SharedEmpty());
  ASSERT_TRUE(s.AssignIn(arena, "after", 5));
  EXPECT_EQ(std::string(s.c_str()), "after");
}

TEST(QHListNodes, SlotsAreReusedNodesStayPutAndEveryNodeAsksTheSeam) {
  CQHList<std::string> list;
  std::vector<CQHList<std::string>::Node*> nodes;
  const long before = platform::AllocationCount();
  for (int k = 0; k < 5000; ++k) nodes.push_back(list.AddTail(std::to_string(k)));
  EXPECT_EQ(platform::AllocationCount() - before, 5000);
  for (int k = 0; k < 5000; ++k) ASSERT_EQ(nodes[k]->value, std::to_string(k));
  EXPECT_EQ(std::set<void*>(nodes.begin(), nodes.end()).size(), 5000u);

  // The slot of a removed node is the next one handed out.
  auto* removed = nodes[2500];
  list.RemoveAt(removed);
  auto* added = list.InsertAfter(nodes[0], "again");
  EXPECT_EQ(added, removed);
  EXPECT_EQ(added->value, "again");
  EXPECT_EQ(list.GetCount(), 5000);

  // Emptying the list one node at a time frees its chunks; it then grows again from nothing.
  for (auto* pos = list.GetHeadPosition(); pos != nullptr;) {
    auto* next = pos->next;
    list.RemoveAt(pos);
    pos = next;
  }
  EXPECT_TRUE(list.IsEmpty());
  ASSERT_NE(list.AddTail("fresh"), nullptr);
  EXPECT_EQ(list.GetHeadPosition()->value, "fresh");
}

}  // namespace

namespace {

// The ID index behind FindItem against a scan of the lines from the head, through appends and
// removals of lines that share IDs (the first in document order must answer) and of lines whose
// removal empties a probe run of the index.
TEST(LineIdIndex, FindItemAnswersAsAScanThroughAddsAndDeletesOfRepeatedIds) {
  CDlgFile doc;
  PlotPos plot = doc.AddPlot("p", -1, -1);
  std::mt19937 random(20);
  auto scan = [&](int id) -> LinePos {
    for (LinePos pos = doc.GetLines().GetHeadPosition(); pos != nullptr; pos = pos->next) {
      if (pos->value.GetID() == id) return pos;
    }
    return nullptr;
  };
  for (int step = 0; step < 4000; ++step) {
    if (random() % 3 != 0 || doc.GetLines().IsEmpty()) {
      CDlgItem line;
      line.SetID(static_cast<int>(random() % 400) * 37);
      ASSERT_NE(doc.AddItem(line, plot, nullptr), nullptr);
    } else {
      LinePos victim = doc.GetLines().GetHeadPosition();
      for (int k = static_cast<int>(random() % doc.GetLines().GetCount()); k > 0; --k) {
        victim = victim->next;
      }
      doc.DeleteItem(victim, plot);
    }
    const int probe = static_cast<int>(random() % 400) * 37;
    ASSERT_EQ(doc.FindItem(probe), scan(probe)) << "step " << step << " ID " << probe;
  }
  for (int id = -1; id < 400 * 37; ++id) ASSERT_EQ(doc.FindItem(id), scan(id)) << "ID " << id;
}

}  // namespace
