// The entry point of every test executable: GoogleTest with a main-thread dispatcher running,
// so code under test can post closures to the main thread.
#include <gtest/gtest.h>

#include <windows.h>

#include "base/dispatch.h"

int wmain(int argc, wchar_t** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  base::StartMainDispatcher();
  int result = RUN_ALL_TESTS();
  base::StopMainDispatcher();
  return result;
}
