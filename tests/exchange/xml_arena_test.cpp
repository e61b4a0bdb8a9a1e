// pugixml's trees in an XmlArena: the same trees as from malloc, whether the arena holds the
// whole tree, only its start (the rest from malloc), or stands inside another arena.
#include "exchange/xml_arena.h"

#include <gtest/gtest.h>

#include <pugixml.hpp>
#include <string>

namespace {

std::string Document(int units) {
  std::string xml = "<body>";
  for (int k = 0; k < units; ++k) {
    xml += "<unit id=\"" + std::to_string(k) + "\" name=\"n\"><source>text " + std::to_string(k) +
           "</source></unit>";
  }
  return xml + "</body>";
}

// The ids and texts of every unit, in order: what a reader takes from the tree.
std::string Walk(const pugi::xml_document& doc) {
  std::string seen;
  for (pugi::xml_node unit : doc.child("body").children("unit")) {
    seen += unit.attribute("id").value();
    seen += '=';
    seen += unit.child("source").text().get();
    seen += ';';
  }
  return seen;
}

std::string ParseAndWalk(const std::string& xml) {
  std::string bytes = xml;
  pugi::xml_document doc;
  EXPECT_TRUE(doc.load_buffer_inplace(bytes.data(), bytes.size()));
  return Walk(doc);
}

TEST(XmlArena, TreesAreTheSameInAnyArenaAndPastItsEnd) {
  const std::string xml = Document(20000);  // some 3 MB of nodes
  const std::string plain = ParseAndWalk(xml);
  ASSERT_NE(plain.find("19999=text 19999;"), std::string::npos);
  {
    exchange::XmlArena arena(size_t{64} << 20);
    EXPECT_EQ(ParseAndWalk(xml), plain);
    EXPECT_EQ(ParseAndWalk(xml), plain);  // a second tree in the same arena
  }
  {
    exchange::XmlArena arena(size_t{100} << 10);  // the first pages only; malloc the rest
    EXPECT_EQ(ParseAndWalk(xml), plain);
  }
  {
    exchange::XmlArena outer(size_t{1} << 20);
    std::string bytes = xml;
    pugi::xml_document kept;  // from the outer arena, freed after the inner one is gone
    ASSERT_TRUE(kept.load_buffer_inplace(bytes.data(), bytes.size()));
    {
      exchange::XmlArena inner(size_t{8} << 20);
      EXPECT_EQ(ParseAndWalk(xml), plain);
    }
    EXPECT_EQ(Walk(kept), plain);
  }
  // With no arena alive, pugixml's memory comes from malloc again.
  EXPECT_EQ(ParseAndWalk(xml), plain);
}

}  // namespace
