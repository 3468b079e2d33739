#include <gtest/gtest.h>

#include "platform/host.h"

int main(int argc, char** argv) {
  platform::install_default_host();
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
