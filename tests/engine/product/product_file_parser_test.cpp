#include "engine/product/product_file_parser.h"

#include <gtest/gtest.h>

#include <string>

#include "engine/quillon_exception.h"
#include "log_capture.h"
#include "temp_file.h"

namespace {

class ProductFileParserTest : public ::testing::Test {
 protected:
  TempFolder folder_;
  LogCapture log_;
  ProductFileParser parser_;
  std::string name_;
  int flag_ = -1;
};

TEST_F(ProductFileParserTest, NextNameWithoutAnOpenFileIsZero) {
  EXPECT_EQ(parser_.ReadNextProductName(name_, flag_), 0);
}

TEST_F(ProductFileParserTest, UnreadableFileFailsAndKeepsTheRecord) {
  CProductRecord record;
  record.name = "KEPT";
  EXPECT_THROW(parser_.LoadProduct(folder_.PathOf("absent.qlp"), "A", record), QUILLON_EXCEPTION);
  EXPECT_EQ(record.name, "KEPT");
  EXPECT_THROW(parser_.ReadFirstProductName(folder_.PathOf("absent.qlp"), name_, flag_), QUILLON_EXCEPTION);
  EXPECT_EQ(parser_.ReadNextProductName(name_, flag_), 0);
}

TEST_F(ProductFileParserTest, AFatalErrorWhileListingEndsTheListing) {
  const std::string path = folder_.Write("bad.qlp", "product A ; product B { }");
  ASSERT_EQ(parser_.ReadFirstProductName(path, name_, flag_), 1);
  EXPECT_THROW(parser_.ReadNextProductName(name_, flag_), QUILLON_EXCEPTION);
  EXPECT_EQ(parser_.ReadNextProductName(name_, flag_), 0);
  EXPECT_EQ(log_.Take().size(), 1u);
}

TEST_F(ProductFileParserTest, ALoadReplacesEverythingOfTheEarlierProduct) {
  const std::string first = folder_.Write(
      "first.qlp", "product A { processor Harrow; flash f type = nor { address = 0 sector_size = 1K num_sectors = 2 type = C; } }");
  const std::string second = folder_.Write("second.qlp", "product B& { }");
  CProductRecord record;
  ASSERT_EQ(parser_.LoadProduct(first, "a", record), 1);
  ASSERT_EQ(record.flashes.size(), 1u);
  ASSERT_EQ(parser_.LoadProduct(second, "B", record), 1);
  CProductRecord expected;
  expected.name = "B";
  EXPECT_EQ(record, expected);
  EXPECT_TRUE(log_.Take().empty());
}

TEST_F(ProductFileParserTest, AFailedLoadAfterAGoodOneKeepsTheGoodProduct) {
  const std::string good = folder_.Write(
      "good.qlp", "product A { flash f type = nor { address = 0 sector_size = 1K num_sectors = 2 type = C; } }");
  // The error comes after a flash part and a section were read.
  const std::string bad = folder_.Write(
      "bad.qlp", "product A { flash g type = nor { address = 0 sector_size = 1K num_sectors = 1 type = C; } ram }");
  CProductRecord record;
  ASSERT_EQ(parser_.LoadProduct(good, "A", record), 1);
  const CProductRecord loaded = record;
  EXPECT_THROW(parser_.LoadProduct(bad, "A", record), QUILLON_EXCEPTION);
  EXPECT_EQ(record, loaded);
}

TEST_F(ProductFileParserTest, MessagesNameTheFileWithoutItsFolders) {
  const std::string path = folder_.Write("named.qlp", "product A { }");
  CProductRecord record;
  EXPECT_THROW(parser_.LoadProduct(path, "Z", record), QUILLON_EXCEPTION);
  EXPECT_EQ(log_.Take(), std::vector<std::string>{
                             "Error> Product file parse error. named.qlp. Product tag 'Z' was not found in this file"});
}

}  // namespace
