// The conformance corpus: small product files in corpus/ and, for each case,
// a file X.expect. Its first line is the command: "list FILE" lists the
// product names of FILE, "load FILE TAG" loads a tag from it. The rest is the
// transcript the parser must produce: the names listed or the record loaded,
// how the call ended, every logged line and every trace line on standard
// output.
//
// QUILLON_UPDATE_CORPUS=1 rewrites the .expect files from what the parser
// does now; review the difference before committing it.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "engine/product/product_file_parser.h"
#include "engine/quillon_exception.h"
#include "log_capture.h"

namespace {

namespace fs = std::filesystem;

const fs::path kCorpus = fs::path(QUILLON_SOURCE_DIR) / "tests/engine/product/corpus";

std::vector<std::string> CorpusCases() {
  std::vector<std::string> names;
  for (const fs::directory_entry& entry : fs::directory_iterator(kCorpus)) {
    if (entry.path().extension() == ".expect") names.push_back(entry.path().stem().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::string ReadText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string Hex(std::uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", value);
  return text;
}

void PrintRecord(std::ostringstream& out, const CProductRecord& record) {
  out << "product " << record.name << " processor " << record.processor << " current "
      << record.currentFlash << "\n";
  for (const CFlashRecord& flash : record.flashes) {
    out << "flash " << flash.name << " size " << flash.size << " type " << flash.type << " vendor "
        << flash.vendor << " erase_unit " << flash.eraseUnit << " write_unit " << flash.writeUnit
        << " sector_size " << flash.sectorSize << " chip_select " << flash.chipSelect << " num_sectors "
        << flash.numSectors << "\n";
    for (const CPartitionRecord& p : flash.partitions) {
      out << "  partition " << p.name << " size " << p.size << " type " << p.type << " chip_select "
          << p.chipSelect << "\n";
    }
    for (const CSectionRecord& s : flash.sections) {
      out << "  section " << Hex(s.address) << " sector_size " << s.sectorSize << " num_sectors "
          << s.numSectors << " type " << s.type << "\n";
    }
  }
}

// A record that a failed load must leave as it was.
CProductRecord PreviousRecord() {
  CProductRecord record;
  record.name = "PREVIOUS";
  record.processor = "BISEL";
  CFlashRecord flash;
  flash.name = "old";
  record.AddFlash(flash);
  record.AddSection({0x100, 0x100, 2, "OLD"});
  return record;
}

void RunList(ProductFileParser& parser, const std::string& path, std::ostringstream& out) {
  std::string name;
  int flag = -1;
  int result = parser.ReadFirstProductName(path, name, flag);
  while (result == 1) {
    out << "name " << name << " " << flag << "\n";
    result = parser.ReadNextProductName(name, flag);
  }
  out << "result " << result << "\n";
  out << "again " << parser.ReadNextProductName(name, flag) << "\n";
}

void RunLoad(ProductFileParser& parser, const std::string& path, const std::string& tag,
             std::ostringstream& out) {
  CProductRecord record = PreviousRecord();
  try {
    const int result = parser.LoadProduct(path, tag, record);
    out << "result " << result << "\n";
    PrintRecord(out, record);
  } catch (QUILLON_EXCEPTION) {
    out << "result fatal\n";
    EXPECT_EQ(record, PreviousRecord()) << "a failed load changed the record";
  }
}

std::string Transcript(const std::string& command) {
  std::ostringstream out;
  out << command << "\n";
  std::istringstream words(command);
  std::string verb, file, tag;
  words >> verb >> file >> tag;
  const std::string path = (kCorpus / file).string();
  LogCapture log;
  ProductFileParser parser;
  testing::internal::CaptureStdout();
  bool threwOutside = false;
  try {
    if (verb == "list") {
      RunList(parser, path, out);
    } else if (verb == "load") {
      RunLoad(parser, path, tag, out);
    } else {
      ADD_FAILURE() << "unknown command " << command;
    }
  } catch (QUILLON_EXCEPTION) {
    threwOutside = true;
  }
  const std::string traced = testing::internal::GetCapturedStdout();
  if (threwOutside) out << "result fatal\n";
  for (const std::string& line : log.Take()) out << "log " << line << "\n";
  std::istringstream traceLines(traced);
  for (std::string line; std::getline(traceLines, line);) out << "out " << line << "\n";
  return out.str();
}

class ProductFileCorpus : public ::testing::TestWithParam<std::string> {};

TEST_P(ProductFileCorpus, MatchesItsTranscript) {
  const fs::path expectFile = kCorpus / (GetParam() + ".expect");
  const std::string expected = ReadText(expectFile);
  const std::string command = expected.substr(0, expected.find('\n'));
  ASSERT_FALSE(command.empty()) << expectFile << " has no command line";

  const std::string actual = Transcript(command);
  if (std::getenv("QUILLON_UPDATE_CORPUS") != nullptr) {
    std::ofstream(expectFile, std::ios::binary) << actual;
    return;
  }
  EXPECT_EQ(actual, expected);
}

INSTANTIATE_TEST_SUITE_P(Corpus, ProductFileCorpus, ::testing::ValuesIn(CorpusCases()),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                           std::string name = info.param;
                           std::replace_if(name.begin(), name.end(),
                                           [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); }, '_');
                           return name;
                         });

}  // namespace
