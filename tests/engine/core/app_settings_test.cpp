#include "engine/core/app_settings.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

TEST(AppSettings, InitialValues) {
  CAppSettings settings;
  EXPECT_EQ(settings.GetAppString(APP_STRING_WINDOW_TITLE), "Vexa20 Flash");
  EXPECT_EQ(settings.GetAppInt(APP_INT_REVERSE_FLASH_RECORD_LENGTH), 21);
  EXPECT_EQ(settings.GetAppInt(APP_INT_ORVIX_RECORD_LENGTH), 21);
  EXPECT_EQ(settings.GetAppInt(APP_INT_MAX_RECENT_FILES), 6);
  EXPECT_EQ(settings.GetAppInt(APP_INT_USB_AVAILABLE), 0);
  EXPECT_EQ(settings.GetAppInt(0), 0);
  EXPECT_EQ(settings.GetAppInt(6), 0);
}

TEST(AppSettings, IntegersByIdKeepTheirWidths) {
  CAppSettings settings;
  settings.SetAppInt(APP_INT_MAX_RECENT_FILES, 25);
  EXPECT_EQ(settings.GetAppInt(APP_INT_MAX_RECENT_FILES), 10);
  settings.SetAppInt(APP_INT_MAX_RECENT_FILES, 4);
  EXPECT_EQ(settings.GetAppInt(APP_INT_MAX_RECENT_FILES), 4);
  settings.SetAppInt(APP_INT_USB_APP_HANDLE, 0x12345);
  EXPECT_EQ(settings.GetAppInt(APP_INT_USB_APP_HANDLE), 0x2345);
  settings.SetAppInt(APP_INT_REVERSE_FLASH_RECORD_LENGTH, 37);
  EXPECT_EQ(settings.GetAppInt(APP_INT_REVERSE_FLASH_RECORD_LENGTH), 37);
  settings.SetAppInt(APP_INT_REMOTE_PEER_CONNECTED, 1);
  EXPECT_EQ(settings.GetAppInt(APP_INT_REMOTE_PEER_CONNECTED), 1);
}

TEST(AppSettings, RecentFiles) {
  CAppSettings settings;
  for (const char* f : {"d.s19", "c.s19", "b.s19", "a.s19"}) {
    settings.SetAppString(APP_STRING_RECENT_FILE, f);
  }
  // a b c d: putting b (second) moves it to the head without a duplicate.
  settings.SetAppString(APP_STRING_RECENT_FILE, "b.s19");
  const char* expected[] = {"b.s19", "a.s19", "c.s19", "d.s19"};
  for (int i = 0; i < 4; ++i) EXPECT_EQ(settings.GetAppString(APP_STRING_RECENT_FILE, i), expected[i]);
  EXPECT_EQ(settings.GetAppString(APP_STRING_RECENT_FILE, 4), "");
  EXPECT_EQ(settings.GetAppString(APP_STRING_RECENT_FILE, -1), "");
  // Positions at or beyond the maximum are not given.
  settings.SetAppInt(APP_INT_MAX_RECENT_FILES, 2);
  EXPECT_EQ(settings.GetAppString(APP_STRING_RECENT_FILE, 1), "a.s19");
  EXPECT_EQ(settings.GetAppString(APP_STRING_RECENT_FILE, 2), "");
  settings.SetAppInt(APP_INT_MAX_RECENT_FILES, 10);
  EXPECT_EQ(settings.GetAppString(APP_STRING_RECENT_FILE, 3), "d.s19");  // never shortened
}

TEST(AppSettings, Strings) {
  CAppSettings settings;
  settings.SetAppString(APP_STRING_WORKING_DIRECTORY, "/tmp/w");
  settings.SetAppString(APP_STRING_WINDOW_TITLE, "Bench 3");
  EXPECT_EQ(settings.GetAppString(APP_STRING_WORKING_DIRECTORY), "/tmp/w");
  EXPECT_EQ(settings.GetAppString(APP_STRING_WINDOW_TITLE), "Bench 3");
  EXPECT_EQ(settings.GetAppString(3), "");
}

TEST(AppSettings, SnapshotRestoresTheOptionsAndDerivesTheRest) {
  CAppSettings settings;
  EXPECT_FALSE(settings.RestoreOptionsSnapshot());  // nothing saved: nothing changes
  settings.SetAllParams(DefaultJobOptionValues());
  EXPECT_EQ(settings.GetIntParam(OPTION_COMM_PROTOCOL), 1);

  settings.SetIntParam(OPTION_DATA_RATE, 1);
  settings.SetIntParam(OPTION_SERIAL_PORT, 4);
  settings.SetIntParam(OPTION_ORVIX_CHIP_OFFSET, 77);
  settings.SetIntParam(OPTION_PRODUCT_FILTER, 3);
  settings.SetStringParam(OPTION_PRODUCT_FILE, "Other.qlp");
  settings.SaveOptionsSnapshot();

  settings.SetIntParam(OPTION_DATA_RATE, 2);
  settings.SetIntParam(OPTION_SERIAL_PORT, 0);
  settings.SetIntParam(OPTION_ORVIX_CHIP_OFFSET, 0);
  settings.SetIntParam(OPTION_PRODUCT_FILTER, 0);
  settings.SetStringParam(OPTION_PRODUCT_FILE, "Third.qlp");
  settings.SetIntParam(OPTION_BAUD_RATE, 9600);

  EXPECT_TRUE(settings.RestoreOptionsSnapshot());
  EXPECT_EQ(settings.GetIntParam(OPTION_DATA_RATE), 1);
  EXPECT_EQ(settings.GetIntParam(OPTION_BAUD_RATE), 230400);
  EXPECT_EQ(settings.GetStringParam(OPTION_SERIAL_DEVICE_PATH), "\\\\.\\COM5");
  EXPECT_EQ(settings.GetIntParam(OPTION_ORVIX_CHIP_OFFSET), 77);
  EXPECT_EQ(settings.GetIntParam(OPTION_PRODUCT_FILTER), 3);
  EXPECT_EQ(settings.GetStringParam(OPTION_PRODUCT_FILE), "Other.qlp");
}

// The snapshot takes the lock: saving while another thread writes never
// saves a torn string (the sanitizer build reports the race otherwise).
TEST(AppSettings, SnapshotWhileWriting) {
  CAppSettings settings;
  std::atomic<bool> stop{false};
  const std::string a(64, 'a'), b(64, 'b');
  settings.SetStringParam(OPTION_SERVER, a);
  std::thread writer([&] {
    for (int i = 0; !stop.load(); ++i) settings.SetStringParam(OPTION_SERVER, i % 2 ? a : b);
  });
  for (int i = 0; i < 500; ++i) {
    settings.SaveOptionsSnapshot();
    settings.RestoreOptionsSnapshot();
    const std::string server = settings.GetStringParam(OPTION_SERVER);
    EXPECT_TRUE(server == a || server == b);
  }
  stop = true;
  writer.join();
}

TEST(AppSettings, SharedInstanceIsOne) { EXPECT_EQ(&GetAppSettings(), &GetAppSettings()); }

}  // namespace
