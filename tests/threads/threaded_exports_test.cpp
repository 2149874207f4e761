// The command makes the drawio document on a thread of its own while the BPMN one is made: both
// only read the drawn diagram, and must come out as when made one after the other.
#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "orvane/read.hpp"

namespace orvane {
namespace {

TEST(ThreadedExports, DocumentsMadeAtOnceAreThoseMadeOneAfterTheOther) {
  for (const char* example : {"collaboration", "all-elements"}) {
    auto board = load(std::string(ORVANE_SOURCE_DIR) + "/examples/" + example + ".yaml");
    board->draw();
    const std::string bpmn = board->bpmn_document();
    const std::string drawio = board->drawio_document();
    std::string drawio_there;
    std::thread other([&] { drawio_there = board->drawio_document(); });
    const std::string bpmn_here = board->bpmn_document();
    other.join();
    EXPECT_EQ(bpmn_here, bpmn) << example;
    EXPECT_EQ(drawio_there, drawio) << example;
    EXPECT_NE(bpmn.find("bpmndi:BPMNDiagram"), std::string::npos) << example;
  }
}

}  // namespace
}  // namespace orvane
