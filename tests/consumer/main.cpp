// Builds a two-lane diagram against the installed orvane and writes a PNG and a BPMN file.
#include <orvane/swimboard.hpp>

#include <iostream>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: consumer OUT_FOLDER\n";
    return 2;
  }
  const std::string out = argv[1];
  orvane::Swimboard board("Installed package");
  orvane::Pool& pool = board.add_pool("Shop");
  orvane::Lane& sales = pool.add_lane("Sales", "", 0, "", "", "centre", "");
  orvane::Lane& store = pool.add_lane("Store", "", 0, "", "", "centre", "");
  orvane::Shape& start = sales.add_element("Order received", orvane::ElementType::START);
  orvane::Shape& pick = store.add_element("Pick items", orvane::ElementType::TASK);
  orvane::Shape& end = store.add_element("Shipped", orvane::ElementType::END);
  start.connect(pick);
  pick.connect(end, "done");
  board.draw();
  board.save(out + "/consumer.png");
  board.export_to_bpmn(out + "/consumer.bpmn");
  std::cout << board.width << "x" << board.height << "\n";
  return 0;
}
