// Boxes that no one can see: the program on the offscreen platform, once
// with its boxes answered from a script (as every other test here runs it)
// and once on the road a station takes, with no answer file at all. No
// remote line waits on a box, a SET that fails leaves its reason in STATUS
// and its bad value out of the configuration, and a start that is refused
// ends.
#include <gtest/gtest.h>

#include <QProcess>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "program_fixture.h"

namespace e2e {
namespace {

// A product file whose tag is found but whose body does not parse.
constexpr char kBrokenProductFile[] = "broken.qlp";
constexpr char kBrokenProductText[] = "product VEXA_BROKEN\n{\n    processor Harrow;\n    flash main size =\n";

enum class Road { Scripted, NoAnswerFile };

struct RoadCase {
  const char* name;
  Road road;
};

ProgramOptions OnRoad(Road road) {
  ProgramOptions options;
  // An empty answer file name chooses no scripted service: the program then
  // decides for itself that no one can answer.
  if (road == Road::NoAnswerFile) options.environment = {{"QUILLON_PROMPTS", ""}};
  return options;
}

std::size_t CountOf(const std::vector<std::string>& lines, const std::string& line) {
  return static_cast<std::size_t>(std::count(lines.begin(), lines.end(), line));
}

bool HasErrorLine(const std::vector<std::string>& lines) {
  return std::any_of(lines.begin(), lines.end(),
                     [](const std::string& line) { return line.find("Error>") != std::string::npos; });
}

// An answer of STATUS that is there and holds no error.
::testing::AssertionResult AnsweredWithoutError(const std::optional<std::string>& status) {
  if (!status) return ::testing::AssertionFailure() << "STATUS was not answered";
  if (status->rfind("IDLE ", 0) == 0 || status->rfind("DONE ", 0) == 0) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "STATUS answered " << *status;
}

// Ends the program over its remote port and checks that it ended well.
void Terminate(Program& program, LineClient& client) {
  ASSERT_TRUE(client.Send("TERMINATE_APP"));
  EXPECT_EQ(program.WaitForExit(), 0) << "the program did not end after TERMINATE_APP";
}

class UnseenBoxes : public ::testing::TestWithParam<RoadCase> {};

// The configured product cannot be read (its file is missing, or does not
// parse): the start-up error is logged once and told on standard error, and
// the remote client is answered at once.
struct StartUpProblem {
  const char* name;
  std::optional<std::string> productText;  // nullopt: no product file
};

TEST_P(UnseenBoxes, AProductThatCannotBeReadAtStartBlocksNothing) {
  const std::vector<StartUpProblem> problems{{"missing", std::nullopt},
                                             {"does not parse", std::string(kBrokenProductText)}};
  for (const StartUpProblem& problem : problems) {
    SCOPED_TRACE(problem.name);
    Program program;
    if (problem.productText) {
      program.Write(kProductFile, *problem.productText);
    } else {
      std::filesystem::remove(program.File(kProductFile));
    }
    ASSERT_TRUE(program.Start(OnRoad(GetParam().road)));
    std::string error;
    ASSERT_TRUE(PollUntil([&] {
      for (const std::string& line : program.LogLines()) {
        if (line.rfind("Error> ", 0) == 0) error = line;
      }
      return !error.empty();
    })) << "no start-up error in the log";
    LineClient client = program.Connect();
    ASSERT_TRUE(client.Valid());
    EXPECT_TRUE(AnsweredWithoutError(client.Ask("STATUS")));
    EXPECT_EQ(client.Ask("GET_FLASH_DETAILS"), "\n");
    Terminate(program, client);
    const auto log = program.LogLines();
    EXPECT_EQ(CountOf(log, error), 1u) << error;
    EXPECT_EQ(CountOf(log, "Remote command: TERMINATE_APP"), 1u);
    if (GetParam().road == Road::NoAnswerFile) {
      EXPECT_NE(program.Output().find("vexaload: " + error), std::string::npos) << program.Output();
    }
  }
}

// SET to a product whose file does not parse: ERROR with the parser's
// reason, no box, the working product kept in the running program and in
// the configuration, and the next start comes up with it.
TEST_P(UnseenBoxes, ASetToAProductThatDoesNotParseFailsAndKeepsTheWorkingProduct) {
  Program program;
  program.Write(kBrokenProductFile, std::string(kBrokenProductText));
  ProgramOptions options = OnRoad(GetParam().road);
  ASSERT_TRUE(program.Start(options));
  LineClient client = program.Connect();
  ASSERT_TRUE(client.Valid());
  const auto details = client.Ask("GET_FLASH_DETAILS");
  ASSERT_TRUE(details.has_value());
  ASSERT_NE(details->find("sector_size=0x10000"), std::string::npos) << *details;

  ASSERT_TRUE(client.Send("SET flash_product_map VEXA_BROKEN"));
  const auto status = client.Ask("STATUS");
  ASSERT_TRUE(status.has_value()) << "STATUS was not answered after the SET";
  EXPECT_EQ(status->rfind("ERROR \"Error> ", 0), 0u) << *status;
  EXPECT_EQ(client.Ask("GET_FLASH_DETAILS"), details) << "the working product was replaced";
  EXPECT_TRUE(program.Prompts().empty()) << "a remote SET showed a box";
  const std::string configuration = program.Read(std::string(kTitle) + ".cfg");
  EXPECT_NE(configuration.find("flash_product_file=vexa20.qlp\n"), std::string::npos) << configuration;
  EXPECT_NE(configuration.find("flash_product_tag=VEXA20\n"), std::string::npos) << configuration;

  // A SET that works afterwards, and the end of the program, write the
  // configuration again: still with the working product.
  ASSERT_TRUE(client.Send("SET auto_erase_flash TRUE"));
  EXPECT_EQ(client.Ask("STATUS RESET"), "IDLE \"Status reset to idle\"\n");
  Terminate(program, client);
  const std::string written = program.Read(std::string(kTitle) + ".cfg");
  EXPECT_NE(written.find("flash_product_tag=VEXA20\n"), std::string::npos) << written;

  options.keepConfiguration = true;
  ASSERT_TRUE(program.Start(options));
  LineClient again = program.Connect();
  ASSERT_TRUE(again.Valid());
  EXPECT_TRUE(AnsweredWithoutError(again.Ask("STATUS")));
  EXPECT_EQ(again.Ask("GET_FLASH_DETAILS"), details);
  EXPECT_TRUE(program.WaitLog("Reading product file " + program.File(kProductFile)));
  EXPECT_FALSE(HasErrorLine(program.LogLines()));
  Terminate(program, again);
}

INSTANTIATE_TEST_SUITE_P(Roads, UnseenBoxes,
                         ::testing::Values(RoadCase{"Scripted", Road::Scripted},
                                           RoadCase{"NoAnswerFile", Road::NoAnswerFile}),
                         [](const auto& info) { return std::string(info.param.name); });

// A second program with the same name in the same folder, with no one to
// answer its box: it says why on standard error and exits 1; the first one
// goes on working.
TEST(UnseenBoxesAtStart, ASecondProgramWithTheSameNameExitsOne) {
  Program program;
  ASSERT_TRUE(program.Start(OnRoad(Road::NoAnswerFile)));
  LineClient client = program.Connect();
  ASSERT_TRUE(client.Valid());

  QProcess second;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert("QT_QPA_PLATFORM", "offscreen");
  environment.remove("QUILLON_PROMPTS");
  second.setProcessEnvironment(environment);
  second.setWorkingDirectory(QString::fromStdString(program.Dir()));
  second.start(QUILLON_VEXALOAD, {"-id", kTitle});
  ASSERT_TRUE(second.waitForStarted(30000));
  const bool ended = second.waitForFinished(30000);
  if (!ended) {
    second.kill();
    second.waitForFinished();
  }
  ASSERT_TRUE(ended) << "the refused program never ended";
  EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(second.exitCode(), 1);
  const std::string err = second.readAllStandardError().toStdString();
  EXPECT_NE(err.find("vexaload: The working folder "), std::string::npos) << err;
  EXPECT_NE(err.find(" is in use: another vexaload"), std::string::npos) << err;
  EXPECT_EQ(err.find("vexaload: The working folder "), err.rfind("vexaload: The working folder ")) << "told twice: " << err;

  EXPECT_TRUE(AnsweredWithoutError(client.Ask("STATUS")));
  Terminate(program, client);
}

}  // namespace
}  // namespace e2e
