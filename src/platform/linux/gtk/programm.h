#pragma once

namespace tw {

struct Programm {
  // The whole life of the menu app; returns only after the main loop ended.
  static int main(int argc, char** argv);
};

}  // namespace tw
