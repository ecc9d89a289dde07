// Listing, selecting and releasing devices; interface handles and endpoint sizes.

#include "pellwick_fixture.h"

namespace usbtest {
namespace {

using DevicesTest = PellwickTest;

TEST_F(DevicesTest, ListingGivesTheDevicesWithTheNamedInterface) {
  int16_t app = OpenLibrary();
  PlugDevice(3, kFlash);
  PlugDevice(5, kFlash | kBoot);
  PlugDevice(8, kBoot);
  std::vector<uint16_t> ids;
  EXPECT_EQ(ListFlash(app, &ids), PWL_RC_SUCCESS);
  EXPECT_EQ(ids, (std::vector<uint16_t>{3, 5}));
}

TEST_F(DevicesTest, DevicesWithoutTheNamedInterfaceListNothing) {
  int16_t app = OpenLibrary();
  PlugDevice(4, kBoot);
  std::vector<uint16_t> ids;
  EXPECT_EQ(ListFlash(app, &ids), PWL_RC_NO_DEVICE);
  EXPECT_TRUE(ids.empty());
  // The device is known all the same, from the arrival of its boot interface.
  EXPECT_EQ(PWLSelectDevice(static_cast<uint16_t>(app), 4), PWL_RC_SUCCESS);
}

TEST_F(DevicesTest, ListingFailuresHaveTheirCodes) {
  int16_t app = OpenLibrary();
  uint16_t ids[PWL_MAX_DEVICES];
  int count = -1;
  EXPECT_EQ(PWLGetDevicesEx(static_cast<uint16_t>(app), PWL_INTERFACE_FLASH, &count, ids), PWL_RC_NO_DEVICE);
  EXPECT_EQ(count, 0);
  EXPECT_EQ(PWLGetDevicesEx(6, PWL_INTERFACE_FLASH, &count, ids), PWL_RC_APP_NOT_REGISTERED);
  EXPECT_EQ(PWLGetDevicesEx(PWL_MAX_APPS, PWL_INTERFACE_FLASH, &count, ids), PWL_RC_BAD_APP_INDEX);
  PlugDevice(1);
  QuorSim_ForceStatus("Quor_PSTGetDeviceList", 59, 1);
  EXPECT_EQ(PWLGetDevicesEx(static_cast<uint16_t>(app), PWL_INTERFACE_FLASH, &count, ids), PWL_RC_READ_TIMEOUT);
}

TEST_F(DevicesTest, IdsAbove126AreSkipped) {
  int16_t app = OpenLibrary();
  PlugDevice(200);
  PlugDevice(127);
  PlugDevice(126);
  std::vector<uint16_t> ids;
  EXPECT_EQ(ListFlash(app, &ids), PWL_RC_SUCCESS);
  EXPECT_EQ(ids, (std::vector<uint16_t>{126}));
}

TEST_F(DevicesTest, MoreThan127DevicesAreRefused) {
  int16_t app = OpenLibrary();
  for (uint16_t id = 0; id < 128; ++id) PlugDevice(id);
  EXPECT_EQ(ListFlash(app), PWL_RC_TOO_MANY_DEVICES);
}

TEST_F(DevicesTest, FlashAndBootListingsBothKeepTheirDevicesSelectable) {
  int16_t app = OpenLibrary();
  PlugDevice(1, kFlash);
  PlugDevice(2, kBoot);
  uint16_t ids[2 * PWL_MAX_DEVICES] = {};
  int flashCount = 0, bootCount = 0;
  ASSERT_EQ(PWLGetDevicesEx(static_cast<uint16_t>(app), PWL_INTERFACE_FLASH, &flashCount, ids), PWL_RC_SUCCESS);
  ASSERT_EQ(PWLGetDevicesEx(static_cast<uint16_t>(app), PWL_INTERFACE_BOOT, &bootCount, ids + flashCount),
            PWL_RC_SUCCESS);
  ASSERT_EQ(flashCount + bootCount, 2);
  int16_t flashUser = OpenChannel(1, PWL_INTERFACE_FLASH);
  int16_t bootUser = OpenChannel(2, PWL_INTERFACE_BOOT);
  EXPECT_NE(flashUser, bootUser);
}

TEST_F(DevicesTest, ASecondApplicationCannotSelectASelectedDevice) {
  int16_t app = OpenLibrary();
  PlugDevice(6);
  ASSERT_EQ(ListFlash(app), PWL_RC_SUCCESS);
  OpenChannel(6);
  int16_t other = -1;
  ASSERT_EQ(PWLRegisterApp(&other), PWL_RC_SUCCESS);
  EXPECT_EQ(PWLSelectDevice(static_cast<uint16_t>(other), 6), PWL_RC_DEVICE_BUSY);
  // A new listing does not demote the selected device.
  ASSERT_EQ(ListFlash(app), PWL_RC_SUCCESS);
  EXPECT_EQ(PWLSelectDevice(static_cast<uint16_t>(other), 6), PWL_RC_DEVICE_BUSY);
}

TEST_F(DevicesTest, DeselectingMakesTheDeviceSelectableAgain) {
  int16_t app = OpenLibrary();
  PlugDevice(6);
  ASSERT_EQ(ListFlash(app), PWL_RC_SUCCESS);
  int16_t user = OpenChannel(6);
  EXPECT_EQ(PWLDeselectDevice(static_cast<uint16_t>(user)), PWL_RC_SUCCESS);
  EXPECT_EQ(PWLDeselectDevice(static_cast<uint16_t>(user)), PWL_RC_NO_SELECTED_DEVICE);
  int16_t size = -1;
  EXPECT_EQ(PWLGetBulkWriteEpSize(static_cast<uint16_t>(user), &size), PWL_RC_NO_DEVICE);
  int16_t other = -1;
  ASSERT_EQ(PWLRegisterApp(&other), PWL_RC_SUCCESS);
  EXPECT_EQ(PWLSelectDevice(static_cast<uint16_t>(other), 6), PWL_RC_SUCCESS);
}

TEST_F(DevicesTest, DeregisteringTheSelectingApplicationReleasesTheDevice) {
  int16_t app = OpenLibrary();
  PlugDevice(6);
  ASSERT_EQ(ListFlash(app), PWL_RC_SUCCESS);
  int16_t user = OpenChannel(6);
  ASSERT_EQ(PWLDeregisterApp(static_cast<uint16_t>(user)), PWL_RC_SUCCESS);
  int16_t other = -1;
  ASSERT_EQ(PWLRegisterApp(&other), PWL_RC_SUCCESS);
  EXPECT_EQ(PWLSelectDevice(static_cast<uint16_t>(other), 6), PWL_RC_SUCCESS);
}

TEST_F(DevicesTest, SelectRefusesUnknownAndOutOfRangeIds) {
  int16_t app = OpenLibrary();
  PlugDevice(6);
  ASSERT_EQ(ListFlash(app), PWL_RC_SUCCESS);
  EXPECT_EQ(PWLSelectDevice(static_cast<uint16_t>(app), 9), PWL_RC_DEVICE_ABSENT);
  EXPECT_EQ(PWLSelectDevice(static_cast<uint16_t>(app), 127), PWL_RC_BAD_DEVICE_ID);
  EXPECT_EQ(PWLSelectDevice(4, 6), PWL_RC_APP_NOT_REGISTERED);
  EXPECT_EQ(PWLSelectDevice(PWL_MAX_APPS, 6), PWL_RC_BAD_APP_INDEX);
  // A freed id is absent until it is listed again.
  EXPECT_EQ(PWLFreeDeviceID(0, 6), PWL_RC_SUCCESS);
  EXPECT_EQ(PWLSelectDevice(static_cast<uint16_t>(app), 6), PWL_RC_DEVICE_ABSENT);
}

TEST_F(DevicesTest, EndpointSizesAreTheSelectedDevicesAndNoneBeforeSelection) {
  int16_t app = OpenLibrary();
  PlugDevice(2, kFlash, 512, 64);
  int16_t size = -1;
  EXPECT_EQ(PWLGetBulkWriteEpSize(static_cast<uint16_t>(app), &size), PWL_RC_NO_DEVICE);
  EXPECT_EQ(size, 0);
  EXPECT_EQ(PWLGetBulkWriteEpSize(PWL_MAX_APPS, &size), PWL_RC_BAD_APP_INDEX);
  ASSERT_EQ(ListFlash(app), PWL_RC_SUCCESS);
  int16_t user = OpenChannel(2);
  EXPECT_EQ(PWLGetBulkWriteEpSize(static_cast<uint16_t>(user), &size), PWL_RC_SUCCESS);
  EXPECT_EQ(size, 512);
  EXPECT_EQ(PWLGetBulkReadEpSize(static_cast<uint16_t>(user), &size), PWL_RC_SUCCESS);
  EXPECT_EQ(size, 64);
}

TEST_F(DevicesTest, QueryDevInterfaceReportsAMissingInterface) {
  int16_t app = OpenLibrary();
  PlugDevice(2, kFlash);
  EXPECT_EQ(PWLQueryDevInterface(static_cast<uint16_t>(app), 2, PWL_INTERFACE_BOOT), PWL_RC_FAILURE);
  EXPECT_EQ(PWLQueryDevInterface(static_cast<uint16_t>(app), 3, PWL_INTERFACE_FLASH), PWL_RC_NO_DEVICE);
  EXPECT_EQ(PWLQueryDevInterface(static_cast<uint16_t>(app), 127, PWL_INTERFACE_FLASH), PWL_RC_BAD_DEVICE_ID);
  EXPECT_EQ(PWLQueryDevInterface(static_cast<uint16_t>(app), 2, PWL_INTERFACE_FLASH), PWL_RC_SUCCESS);
}

TEST_F(DevicesTest, GetDevicesBindsTheFirstDevice) {
  int16_t app = OpenLibrary();
  EXPECT_EQ(PWLGetDevices(static_cast<uint16_t>(app), PWL_INTERFACE_FLASH), PWL_RC_NO_DEVICE);
  PlugDevice(4, kFlash, 128, 32);
  EXPECT_EQ(PWLGetDevices(static_cast<uint16_t>(app), PWL_INTERFACE_BOOT), PWL_RC_NO_DEVICE);
  EXPECT_EQ(PWLGetDevices(static_cast<uint16_t>(app), PWL_INTERFACE_FLASH), PWL_RC_SUCCESS);
  int16_t size = 0;
  EXPECT_EQ(PWLGetBulkWriteEpSize(static_cast<uint16_t>(app), &size), PWL_RC_SUCCESS);
  EXPECT_EQ(size, 128);
  EXPECT_EQ(PWLGetDevices(5, PWL_INTERFACE_FLASH), PWL_RC_NO_INTERFACE_HANDLE);
}

TEST_F(DevicesTest, InterfaceHandleExportsGiveTheHandleOrZeroOnFailure) {
  int16_t app = OpenLibrary();
  int handle = 99;
  EXPECT_EQ(PWLGetDeviceInterfaceHandle(static_cast<uint16_t>(app), PWL_INTERFACE_FLASH, &handle), PWL_RC_FAILURE);
  EXPECT_EQ(handle, -1);
  PlugDevice(7, kFlash);
  EXPECT_EQ(PWLGetDeviceInterfaceHandle(static_cast<uint16_t>(app), PWL_INTERFACE_FLASH, &handle), PWL_RC_SUCCESS);
  EXPECT_GT(handle, 0);
  int handleEx = 99;
  EXPECT_EQ(PWLGetDeviceInterfaceHandleEx(static_cast<uint16_t>(app), 7, PWL_INTERFACE_BOOT, &handleEx),
            PWL_RC_FAILURE);
  EXPECT_EQ(handleEx, 0);
  EXPECT_EQ(PWLGetDeviceInterfaceHandleEx(static_cast<uint16_t>(app), 7, PWL_INTERFACE_FLASH, &handleEx),
            PWL_RC_SUCCESS);
  EXPECT_EQ(handleEx, handle);
  EXPECT_EQ(PWLSelectDeviceInterface(static_cast<uint16_t>(app), 7, PWL_INTERFACE_FLASH), PWL_RC_SUCCESS);
  EXPECT_EQ(PWLSelectDeviceInterface(static_cast<uint16_t>(app), 127, PWL_INTERFACE_FLASH), PWL_RC_BAD_DEVICE_ID);
  // The record these filled is the device's own: it can be selected.
  int16_t user = OpenChannel(7);
  EXPECT_GE(user, 0);
}

TEST_F(DevicesTest, SmallExportsOfTheDeviceModel) {
  int16_t app = OpenLibrary();
  EXPECT_EQ(PWLRefreshConnection(), PWL_RC_SUCCESS);
  QuorSim_ForceStatus("Quor_PSTRefreshConnections", 6, 1);
  EXPECT_EQ(PWLRefreshConnection(), PWL_RC_NO_DEVICE);
  EXPECT_EQ(PWLSetCommunicationProtocol(static_cast<uint16_t>(app), 5), PWL_RC_SUCCESS);
  EXPECT_EQ(PWLSetCommunicationProtocol(PWL_MAX_APPS, 5), PWL_RC_BAD_APP_INDEX);
  // No device mutex is ever taken, so there is none to release.
  EXPECT_EQ(PWLReleaseDevices(static_cast<uint16_t>(app), PWL_INTERFACE_FLASH), PWL_RC_FAILURE);
}

}  // namespace
}  // namespace usbtest
