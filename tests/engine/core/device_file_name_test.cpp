#include "engine/core/device_file_name.h"

#include <gtest/gtest.h>

namespace {

struct FileNameCase {
  const char* given;
  DeviceNumber device;
  const char* written;
};

TEST(DeviceFileName, TheDevicesNameGoesBeforeTheExtension) {
  const FileNameCase cases[] = {
      {"rb.s19", 3, "rb_USB3.s19"},
      {"rb", 3, "rb_USB3"},
      {"read.back.s19", 0, "read.back_USB0.s19"},
      {"out/rb.s19", 126, "out/rb_USB126.s19"},
      {"/tmp/station.d/rb", 5, "/tmp/station.d/rb_USB5"},
      {"C:\\reads\\rb.S19", 7, "C:\\reads\\rb_USB7.S19"},
      {".s19", 1, ".s19_USB1"},
      {"dir/.hidden", 1, "dir/.hidden_USB1"},
      {"dump.ram", 128, "dump_COM2.ram"},
      {"", 2, "_USB2"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(DeviceFileName(c.given, c.device), c.written) << c.given;
  }
}

}  // namespace
