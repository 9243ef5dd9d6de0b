// Test exes start the framework's units (application object, screen, ...)
// like the program does, run the tests, then shut the units down.
#include <gtest/gtest.h>

#include "framework/Units.h"

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  lumek::InitializeUnits();
  int result = RUN_ALL_TESTS();
  lumek::RunExitProcedures();
  lumek::FinalizeUnits();
  return result;
}
