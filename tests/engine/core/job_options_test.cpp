#include "engine/core/job_options.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "engine/core/app_settings.h"

namespace {

TEST(JobOptions, DataRateSetsTheBaudRateAndCopiesRecomputeIt) {
  CJobOptions options;
  EXPECT_EQ(options.GetIntParam(OPTION_BAUD_RATE), 115200);
  ASSERT_TRUE(options.SetIntParam(OPTION_DATA_RATE, 2));
  EXPECT_EQ(options.GetIntParam(OPTION_BAUD_RATE), 460800);
  options.SetIntParam(OPTION_BAUD_RATE, 57600);
  EXPECT_EQ(options.GetIntParam(OPTION_BAUD_RATE), 57600);
  EXPECT_EQ(options.GetIntParam(OPTION_DATA_RATE), 2);

  CJobOptions copy(options);
  EXPECT_EQ(copy.GetIntParam(OPTION_BAUD_RATE), 460800);
  CJobOptions assigned;
  assigned = options;
  EXPECT_EQ(assigned.GetIntParam(OPTION_BAUD_RATE), 460800);
}

// Indices from the configuration file never index a table unchecked.
TEST(JobOptions, OutOfRangeIndicesKeepTheDefault) {
  for (int bad : {-1, 3, 4, 1000, -2147483647 - 1, 2147483647}) {
    CJobOptions options;
    options.SetIntParam(OPTION_DATA_RATE, 1);
    options.SetIntParam(OPTION_DATA_RATE_DIVISOR, 2);
    EXPECT_FALSE(options.SetIntParam(OPTION_DATA_RATE, bad)) << bad;
    EXPECT_FALSE(options.SetIntParam(OPTION_DATA_RATE_DIVISOR, bad)) << bad;
    EXPECT_EQ(options.GetIntParam(OPTION_DATA_RATE), kDefaultDataRateIndex);
    EXPECT_EQ(options.GetIntParam(OPTION_BAUD_RATE), 115200);
    EXPECT_EQ(options.GetIntParam(OPTION_DATA_RATE_DIVISOR), kDefaultDivisorIndex);
    EXPECT_EQ(options.GetIntParam(OPTION_DIVISOR_VALUE), 1);

    JobOptionValues values = DefaultJobOptionValues();
    values.dataRate = bad;
    values.dataRateDivisor = bad;
    options.SetAllParams(values);
    EXPECT_EQ(options.GetIntParam(OPTION_DATA_RATE), 0);
    EXPECT_EQ(options.GetIntParam(OPTION_BAUD_RATE), 115200);
    EXPECT_EQ(options.GetIntParam(OPTION_DIVISOR_VALUE), 1);
  }
}

TEST(JobOptions, TablesByIndex) {
  CJobOptions options;
  const int bauds[] = {115200, 230400, 460800};
  const int divisors[] = {1, 2, 4};
  for (int i = 0; i < 3; ++i) {
    EXPECT_TRUE(options.SetIntParam(OPTION_DATA_RATE, i));
    EXPECT_EQ(options.GetIntParam(OPTION_BAUD_RATE), bauds[i]);
    EXPECT_TRUE(options.SetIntParam(OPTION_DATA_RATE_DIVISOR, i));
    EXPECT_EQ(options.GetIntParam(OPTION_DIVISOR_VALUE), divisors[i]);
  }
}

TEST(JobOptions, SerialPortNameAndDevicePath) {
  CJobOptions options;
  options.SetIntParam(OPTION_SERIAL_PORT, 0);
  EXPECT_EQ(options.GetStringParam(OPTION_SERIAL_DEVICE_PATH), "\\\\.\\COM1");
  options.SetIntParam(OPTION_SERIAL_PORT, 18);
  EXPECT_EQ(options.GetStringParam(OPTION_SERIAL_DEVICE_PATH), "\\\\.\\COM19");
  EXPECT_EQ(options.GetIntParam(OPTION_SERIAL_PORT), 18);
  options.SetIntParam(OPTION_SERIAL_PORT, 2147483647);  // no overflow
  EXPECT_EQ(options.GetStringParam(OPTION_SERIAL_DEVICE_PATH), "\\\\.\\COM2147483648");
}

TEST(JobOptions, ReadOnlyAndUnknownIds) {
  CJobOptions options;
  for (int id : std::initializer_list<int>{OPTION_SERIAL_DEVICE_PATH, OPTION_DIVISOR_VALUE, OPTION_PRODUCT_FILE,
                                          OPTION_PRODUCT_TAG, OPTION_SERVER, 22, -1}) {
    EXPECT_FALSE(options.SetIntParam(id, 9)) << id;
  }
  EXPECT_EQ(options.GetIntParam(22), 0);
  EXPECT_EQ(options.GetIntParam(OPTION_PRODUCT_FILE), 0);
  std::string out = "x";
  EXPECT_FALSE(options.GetStringParam(0, out));
  EXPECT_TRUE(out.empty());
  EXPECT_FALSE(options.SetStringParam(OPTION_SERIAL_DEVICE_PATH, "/dev/x"));
  EXPECT_FALSE(options.SetStringParam(11, "x"));
}

TEST(JobOptions, EveryIntegerOptionByIdRoundTrips) {
  CJobOptions options;
  const int ids[] = {0, 1, 5, 8, 9, 10, 11, 15, 16, 17, 18, 19, 20, 21};
  for (int id : ids) ASSERT_TRUE(options.SetIntParam(id, 100 + id)) << id;
  for (int id : ids) EXPECT_EQ(options.GetIntParam(id), 100 + id) << id;
  for (int id : {12, 13, 14}) ASSERT_TRUE(options.SetStringParam(id, "s" + std::to_string(id)));
  for (int id : {12, 13, 14}) EXPECT_EQ(options.GetStringParam(id), "s" + std::to_string(id));

  JobOptionValues values = options.CopyParams();
  EXPECT_EQ(values.productFilter, 121);
  EXPECT_EQ(values.enableSmartFlashing, 120);
  EXPECT_EQ(values.server, "s14");
  CJobOptions other;
  other.SetAllParams(values);
  EXPECT_EQ(other.CopyParams(), values);
  EXPECT_EQ(other.GetStringParam(OPTION_SERIAL_DEVICE_PATH), "\\\\.\\COM102");
}

TEST(JobOptions, CopyCarriesSectorListAndNames) {
  CJobOptions options;
  SectorList sectors;
  sectors.sectors = {{0x10000, 0x8000, "CODE", 1}, {0x18000, 0x8000, "DATA", 0}};
  sectors.magicKeyPartition = "ALWAYS";
  sectors.processorName = "CALDER";
  options.SetSectorList(sectors);
  options.SetStringParam(OPTION_PRODUCT_TAG, "Vexa_Series");
  CJobOptions copy(options);
  EXPECT_EQ(copy.GetSectorList(), sectors);
  EXPECT_EQ(copy.GetStringParam(OPTION_PRODUCT_TAG), "Vexa_Series");
  EXPECT_EQ(copy.ChipFamilyFromName(), CHIP_FAMILY_CALDER);
  // The copy is independent.
  options.SetSectorList({});
  EXPECT_EQ(copy.GetSectorList(), sectors);
  CJobOptions& same = copy;
  copy = same;  // self-assignment keeps everything (and takes the lock once)
  EXPECT_EQ(copy.GetSectorList(), sectors);
}

TEST(JobOptions, ChipFamilies) {
  EXPECT_EQ(ChipFamilyFromName("CALDER"), 3);
  EXPECT_EQ(ChipFamilyFromName("HARROW"), 1);
  EXPECT_EQ(ChipFamilyFromName("BISEL"), 2);
  EXPECT_EQ(ChipFamilyFromName(""), 0);
  EXPECT_EQ(ChipFamilyFromName("calder"), 0);
  EXPECT_EQ(ChipFamilyFromName("CALDER "), 0);
  EXPECT_EQ(CJobOptions().ChipFamilyFromName(), 0);
}

TEST(JobOptions, Defaults) {
  const JobOptionValues d = DefaultJobOptionValues();
  EXPECT_EQ(d.commProtocol, 1);
  EXPECT_EQ(d.remotePort, 4000);
  EXPECT_EQ(d.autoEraseFlash, 1);
  EXPECT_EQ(d.alwaysOnTop, 1);
  EXPECT_EQ(d.enableSmartFlashing, 1);
  EXPECT_EQ(d.productFile, "Quor_Plover.qlp");
  EXPECT_EQ(d.productTag, "Vexa_Series");
}

// Copies taken while another thread writes are never torn: the data-rate
// index and the baud rate of a copy always belong together.
TEST(JobOptions, CopyWhileWritingIsConsistent) {
  CAppSettings shared;
  std::atomic<bool> stop{false};
  std::thread writer([&] {
    for (int i = 0; !stop.load(); ++i) {
      shared.SetIntParam(OPTION_DATA_RATE, i % 3);
      SectorList list;
      list.sectors.assign(static_cast<std::size_t>(i % 7), SectorEntry{1, 2, "CODE", 1});
      shared.SetSectorList(list);
    }
  });
  for (int i = 0; i < 2000; ++i) {
    CJobOptions copy(shared);
    const int index = copy.GetIntParam(OPTION_DATA_RATE);
    EXPECT_EQ(static_cast<std::uint32_t>(copy.GetIntParam(OPTION_BAUD_RATE)), kDataRateTable[index]);
  }
  stop = true;
  writer.join();
}

}  // namespace
