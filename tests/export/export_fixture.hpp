// Shared helpers for the exporter tests: small diagrams built through Swimboard and an index of
// a written document's ids.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <pugixml.hpp>
#include <set>
#include <string>
#include <vector>

#include "orvane/coordinate.hpp"
#include "orvane/helper.hpp"
#include "orvane/swimboard.hpp"

namespace orvane::test {

inline Lane& add_lane(Pool& pool, const std::string& name) {
  return pool.add_lane(name, "", 0, "", "", "centre", "");
}

inline pugi::xml_document parse(const std::string& text) {
  pugi::xml_document doc;
  const pugi::xml_parse_result result = doc.load_string(text.c_str());
  EXPECT_TRUE(result) << result.description() << " at " << result.offset;
  return doc;
}

/// Every element with an id, by id; records ids that occur twice.
struct IdIndex {
  std::map<std::string, pugi::xml_node> by_id;
  std::set<std::string> duplicates;

  explicit IdIndex(const pugi::xml_node& root) {
    for (const pugi::xpath_node& found : root.select_nodes("//*[@id]")) {
      const pugi::xml_node node = found.node();
      const std::string id = node.attribute("id").value();
      if (!by_id.emplace(id, node).second) duplicates.insert(id);
    }
  }
  bool has(const std::string& id) const { return by_id.count(id) != 0; }
};

/// Documents keep two decimals of a coordinate.
inline void expect_near(const Box& got, const Box& want, const std::string& what = "") {
  EXPECT_NEAR(got.x, want.x, 0.005) << what;
  EXPECT_NEAR(got.y, want.y, 0.005) << what;
  EXPECT_NEAR(got.width, want.width, 0.005) << what;
  EXPECT_NEAR(got.height, want.height, 0.005) << what;
}

inline void expect_near(const std::vector<Point>& got, const std::vector<Point>& want) {
  ASSERT_EQ(got.size(), want.size());
  for (std::size_t i = 0; i < got.size(); ++i) {
    EXPECT_NEAR(got[i].x, want[i].x, 0.005) << "point " << i;
    EXPECT_NEAR(got[i].y, want[i].y, 0.005) << "point " << i;
  }
}

/// Names in user text that must survive export unchanged.
inline const std::string TRICKY_NAME = "R&D <check> \"quoted\" it's\nline two\ttab 発送 🚚";

/// Gives every pool, lane, shape and connection an id of its own choosing ("P1", "L1_2", "S3",
/// "C4"), as a description does, so that tests can find them in a document by the model's ids.
inline void choose_ids(Swimboard& board) {
  // Built by appending: GCC 12 at -O3 warns falsely about "x" + std::to_string(...).
  auto id = [](char prefix, int number, int second = 0) {
    std::string out(1, prefix);
    out += std::to_string(number);
    if (second > 0) out.append("_").append(std::to_string(second));
    return out;
  };
  int pools = 0;
  int shapes = 0;
  int connections = 0;
  for (const auto& pool : board._pools) {
    pool->bpmn_id = id('P', ++pools);
    int lanes = 0;
    for (const auto& lane : pool->lanes) {
      lane->id = id('L', pools, ++lanes);
      for (Shape* shape : lane->every_shape()) {
        shape->lane_id = lane->id;
        shape->bpmn_id = id('S', ++shapes);
      }
    }
  }
  for (const auto& pool : board._pools) {
    for (const auto& lane : pool->lanes) {
      for (Shape* shape : lane->every_shape()) {
        for (Connection& c : *shape->connection_to) c.bpmn_id = id('C', ++connections);
      }
    }
  }
}

class ExportTest : public ::testing::Test {
 protected:
  void SetUp() override { Helper::reset_uuid(); }
};

}  // namespace orvane::test
