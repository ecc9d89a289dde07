// Sector arguments: their kinds and parts, and the selections they make
// on a list of five sectors and on an empty list.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/quillon_exception.h"
#include "log_capture.h"
#include "shell/script/sector_ranges.h"

namespace {

struct ClassifyCase {
  std::string spec;
  int kind;                        // -1: the script error
  std::vector<std::string> parts;  // or the error line
};

class ClassifySectorTokenTable : public ::testing::TestWithParam<ClassifyCase> {};

TEST_P(ClassifySectorTokenTable, GivesKindAndPartsOrTheErrorLine) {
  script_test::LogCapture log;
  const auto& c = GetParam();
  std::vector<std::string> parts{"stale"};
  int kind = 99;
  if (c.kind < 0) {
    EXPECT_THROW(ClassifySectorToken(c.spec, parts, kind), QUILLON_EXCEPTION);
    EXPECT_EQ(log.Drain(), c.parts);
    return;
  }
  ClassifySectorToken(c.spec, parts, kind);
  EXPECT_EQ(kind, c.kind);
  EXPECT_EQ(parts, c.parts);
  EXPECT_TRUE(log.Drain().empty());
}

const std::string kRange = "Error> error in sector range specification";

INSTANTIATE_TEST_SUITE_P(
    Specs, ClassifySectorTokenTable,
    ::testing::Values(ClassifyCase{"", 0, {""}}, ClassifyCase{"12", 1, {"12"}},
                      ClassifyCase{"007", 1, {"007"}}, ClassifyCase{"3-7", 2, {"3", "7"}},
                      ClassifyCase{"5-", 2, {"5", ""}}, ClassifyCase{"CODE", 3, {"CODE"}},
                      ClassifyCase{"1A", 3, {"1A"}}, ClassifyCase{"A1", 3, {"A1"}},
                      ClassifyCase{"Code Plug", 3, {"Code Plug"}},
                      ClassifyCase{"-3", -1, {kRange}}, ClassifyCase{"3-7-9", -1, {kRange}},
                      ClassifyCase{"CODE-1", -1, {kRange}}, ClassifyCase{"3-X", -1, {kRange}},
                      ClassifyCase{"-", -1, {kRange}},
                      ClassifyCase{"CO\tDE", -1, {"Error> non-printable character found in token CO\tDE"}},
                      ClassifyCase{"3\x7f", -1, {"Error> non-printable character found in token 3\x7f"}},
                      ClassifyCase{"caf\xc3\xa9", -1,
                                   {"Error> non-printable character found in token caf\xc3\xa9"}}));

std::vector<SectorEntry> FiveSectors() {
  return {{0x00000, 0x10000, "CODE", 0},
          {0x10000, 0x10000, "CODE", 0},
          {0x20000, 0x08000, "PARAM", 0},
          {0x28000, 0x08000, "PARAM", 0},
          {0x30000, 0x10000, "CODEPLUG", 0}};
}

struct SelectCase {
  std::vector<std::string> specs;
  std::vector<std::uint32_t> selected;  // flags after the call, or empty on error
  std::string error;                    // the error line, or empty
};

class ParseSectorRangesTable : public ::testing::TestWithParam<SelectCase> {};

TEST_P(ParseSectorRangesTable, SelectsOrFails) {
  script_test::LogCapture log;
  const auto& c = GetParam();
  auto sectors = FiveSectors();
  sectors[4].selected = 1;  // stale flags are cleared first
  if (!c.error.empty()) {
    EXPECT_THROW(ParseSectorRanges(c.specs, sectors), QUILLON_EXCEPTION);
    EXPECT_EQ(log.Drain(), std::vector<std::string>{c.error});
    return;
  }
  ParseSectorRanges(c.specs, sectors);
  std::vector<std::uint32_t> flags;
  for (const auto& s : sectors) flags.push_back(s.selected);
  EXPECT_EQ(flags, c.selected);
  EXPECT_TRUE(log.Drain().empty());
}

INSTANTIATE_TEST_SUITE_P(
    FiveSectorList, ParseSectorRangesTable,
    ::testing::Values(
        SelectCase{{"0", "2-3", "code"}, {1, 1, 1, 1, 0}, ""},
        SelectCase{{"ALL"}, {1, 1, 1, 1, 1}, ""}, SelectCase{{"all"}, {1, 1, 1, 1, 1}, ""},
        SelectCase{{"codeplug"}, {0, 0, 0, 0, 1}, ""},
        SelectCase{{"NOSUCHNAME"}, {0, 0, 0, 0, 0}, ""}, SelectCase{{}, {0, 0, 0, 0, 0}, ""},
        SelectCase{{""}, {0, 0, 0, 0, 0}, ""}, SelectCase{{"4"}, {0, 0, 0, 0, 1}, ""},
        SelectCase{{"0-4"}, {1, 1, 1, 1, 1}, ""}, SelectCase{{"2-2"}, {0, 0, 1, 0, 0}, ""},
        SelectCase{{"1", "1", "0-1"}, {1, 1, 0, 0, 0}, ""},
        SelectCase{{"4-2"}, {}, "Error> sector range must be in ascending order"},
        SelectCase{{"9"}, {}, "Error> sector 9 is outside range of flash memory map"},
        SelectCase{{"5"}, {}, "Error> sector 5 is outside range of flash memory map"},
        SelectCase{{"5-"}, {}, "Error> sector 5 is outside range of flash memory map"},
        SelectCase{{"2-"}, {}, "Error> error in sector range specification"},
        SelectCase{{"1-7"}, {}, "Error> sector 7 is outside range of flash memory map"},
        SelectCase{{"4294967296"}, {}, "Error> sector 4294967296 is outside range of flash memory map"},
        SelectCase{{"000099999999999999999999999"},
                   {},
                   "Error> sector 99999999999999999999999 is outside range of flash memory map"},
        SelectCase{{"0", "CODE-1"}, {}, "Error> error in sector range specification"}));

// With no product loaded the list is empty: every number and range end is
// outside it, and names select nothing.
struct EmptyCase {
  std::string spec;
  std::string error;
};

class EmptySectorListTable : public ::testing::TestWithParam<EmptyCase> {};

TEST_P(EmptySectorListTable, EveryNumberIsOutside) {
  script_test::LogCapture log;
  std::vector<SectorEntry> none;
  if (GetParam().error.empty()) {
    ParseSectorRanges({GetParam().spec}, none);
    EXPECT_TRUE(log.Drain().empty());
    return;
  }
  EXPECT_THROW(ParseSectorRanges({GetParam().spec}, none), QUILLON_EXCEPTION);
  EXPECT_EQ(log.Drain(), std::vector<std::string>{GetParam().error});
}

INSTANTIATE_TEST_SUITE_P(
    EmptyList, EmptySectorListTable,
    ::testing::Values(EmptyCase{"0", "Error> sector 0 is outside range of flash memory map"},
                      EmptyCase{"0-0", "Error> sector 0 is outside range of flash memory map"},
                      EmptyCase{"4294967295", "Error> sector 4294967295 is outside range of flash memory map"},
                      EmptyCase{"ALL", ""}, EmptyCase{"CODE", ""}, EmptyCase{"", ""}));

}  // namespace
