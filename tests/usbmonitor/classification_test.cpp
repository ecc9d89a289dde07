// Classification of a port by its device's description, and the records
// that tell subscribers of a change.
#include <gtest/gtest.h>

#include <cstring>

#include "change_records.h"
#include "port_classification.h"

namespace kovrin_test {
namespace {

TEST(PortClassification, FirstMatchingTextDecides) {
  struct Row {
    const char* description;
    bool composite;
    bool maker;
    int kind;
    bool counted;
  };
  const Row rows[] = {
      {"Corvane Quor USB Modem", false, true, 1, true},
      {"Corvane Q9t Modem", false, true, 1, true},  // the modem rule comes first
      {"Corvane Q9t USB Device", false, true, 2, true},
      {"Corvane Quor Interface", false, true, 2, false},
      {"Corvane Flash Interface", false, true, 2, true},
      {"Corvane Smartphone", false, true, 3, true},
      {"USB Composite Device", false, true, 4, true},
      {"Corvane Composite USB Device", false, true, 4, true},
      {"Acme Camera", true, true, 4, true},
      {"Corvane Widget", false, false, 0, false},
      {"Modem by Someone", false, false, 0, false},
      {"Quor Interface", false, false, 0, false},
      {"USB Device", false, false, 0, false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.description);
    const auto c = kovrin::ClassifyDescription(row.description, row.composite);
    EXPECT_EQ(c.maker, row.maker);
    EXPECT_EQ(c.kind, row.kind);
    EXPECT_EQ(c.counted, row.counted);
  }
}

TEST(ChangeRecords, NameIsCutSoTheRecordKeepsItsNul) {
  const std::string name(300, 'n');
  const auto notice = kovrin::MakeNotice(5, 0, 3, true, name);
  EXPECT_EQ(notice.length, 10u + 245u + 1u);
  EXPECT_LE(notice.length, sizeof(kovrin::UsbChangeRecord));
  EXPECT_EQ(std::strlen(notice.record.name), 245u);
  EXPECT_EQ(std::memcmp(notice.record.tag, "QuorUSB", 7), 0);
  EXPECT_EQ(notice.record.port, 5);
  EXPECT_EQ(notice.record.kind, 3);
  EXPECT_EQ(notice.record.present, 1);
}

TEST(ChangeRecords, ArrivalNoticesFollowTheDispatchersOwnSnapshot) {
  kovrin::PortTable table;
  kovrin::DispatchSnapshot snapshot;
  snapshot.Take(table);
  table.entries[1] = kovrin::MakeEntry(1, 7, true, 1);
  table.devices[1].deviceName = "modem";
  table.entries[4] = kovrin::OtherDeviceEntry(4);  // another maker's device, no name
  auto notices = kovrin::TakeArrivalNotices(snapshot, table);
  ASSERT_EQ(notices.size(), 2u);
  EXPECT_EQ(notices[0].port, 1);
  EXPECT_EQ(notices[0].length, 10u + 6u);
  EXPECT_STREQ(notices[0].record.name, "modem");
  EXPECT_EQ(notices[1].port, 4);
  EXPECT_EQ(notices[1].record.kind, 0);
  EXPECT_EQ(notices[1].length, 10u) << "a device without a name text";

  EXPECT_TRUE(kovrin::TakeArrivalNotices(snapshot, table).empty()) << "told once";

  table.entries[1] = kovrin::EmptyEntry(1);
  notices = kovrin::TakeArrivalNotices(snapshot, table);
  ASSERT_EQ(notices.size(), 1u);
  EXPECT_EQ(notices[0].record.kind, 1) << "an emptied port goes with the kind it had";
  EXPECT_EQ(notices[0].record.present, 0);
  EXPECT_EQ(notices[0].length, 10u);
}

}  // namespace
}  // namespace kovrin_test
