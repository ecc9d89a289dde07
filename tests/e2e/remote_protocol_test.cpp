// The remote-control protocol as a client sees it: every command of the
// protocol against the running program, with its exact reply bytes and the
// log lines it writes; the sticky ERROR state; one client at a time; remote
// control switched off; a client that vanishes; a very long reply.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "program_fixture.h"

namespace e2e {
namespace {

// A command line, the reply line the client must receive (empty: no reply
// at all), and the log lines it must write after "Remote command: <line>".
struct CommandCase {
  std::string line;
  std::string reply;
  std::vector<std::string> log;
};

// Expects the lines in this order (others may come between).
void ExpectInOrder(const std::vector<std::string>& log, const std::vector<std::string>& expected) {
  std::size_t at = 0;
  for (const auto& line : expected) {
    while (at < log.size() && log[at] != line) ++at;
    ASSERT_LT(at, log.size()) << "missing or out of order: " << line;
    ++at;
  }
}

class E2eRemoteProtocol : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(program.Start());
    client = program.Connect();
    ASSERT_TRUE(client.Valid());
    ASSERT_TRUE(program.WaitLog("Remote connection established with 127.0.0.1 on port " +
                                std::to_string(client.LocalPort())));
    // The run status as the start-up left it does not matter here.
    ASSERT_EQ(client.Ask("STATUS RESET"), "IDLE \"Status reset to idle\"\n");
  }

  // Sends the line; a command without a reply is followed by STATUS, whose
  // reply must then be the next line, so nothing came in between.
  void Run(const CommandCase& c, const std::string& statusAfter) {
    SCOPED_TRACE(c.line);
    ASSERT_TRUE(client.Send(c.line));
    if (!c.reply.empty()) {
      EXPECT_EQ(client.ReadLine(), c.reply);
    }
    EXPECT_EQ(client.Ask("STATUS"), statusAfter);
  }

  Program program;
  LineClient client;
};

TEST_F(E2eRemoteProtocol, CommandsThatAnswerSendExactlyTheirLine) {
  program.Write("script.qls", "# a script run from a remote line\n  status   \n");
  program.Write("gone.txt", "x");
  std::filesystem::create_directory(program.File("sub"));
  const std::string dir = program.Dir().substr(0, program.Dir().size() - 1);
  const std::string idle = "IDLE \"Status reset to idle\"\n";
  const std::vector<CommandCase> table = {
      {"DIRECTORY", "\"" + dir + "\"\n", {}},
      {"LIST_FILES *.qlp", " \"vexa20.qlp\" \n", {}},
      {"list_files *krnl*.s19",
       " \"biselkrnl.s19\"  \"calderkrnl.s19\"  \"harrowkrnl.s19\"  \"harrowkrnlu.s19\" \n",
       {}},
      {"LIST_FILES su*", " \"sub/\" \n", {}},
      {"LIST_FILES nothing*", "\n", {}},
      {"LIST_PRODUCT_TAGS", " \"VEXA20\" \n", {}},
      {"GET_FLASH_DETAILS",
       " \"address=0x0, sector_size=0x10000, num_sectors=12, type=CODE\" "
       " \"address=0xc0000, sector_size=0x10000, num_sectors=2, type=CODEPLUG\" "
       " \"address=0xe0000, sector_size=0x10000, num_sectors=2, type=FLASHPACK\" \n",
       {}},
      {"STATUS", idle, {}},
      {"status reset", idle, {}},
      {"SET data_rate 230400 auto_erase_flash TRUE", "", {}},
      {"SAVE_OPTIONS", "", {}},
      {"RESTORE_OPTIONS", "", {}},
      {"DIRECTORY sub", "", {"Changing the Windows current working directory to sub"}},
      {"DIRECTORY", "\"" + dir + "/sub\"\n", {}},
      {"DIRECTORY DEFAULT", "", {"Changing the Windows current working directory to " + program.Dir()}},
      // The script is work of its line: BUSY while it runs, DONE at its end.
      {"RUN_SCRIPT script.qls", "BUSY \"Running script\"\n",
       {"Processing script script.qls", "Script command: status"}},
      {"TRANSFER_FILE none.bin " + std::to_string(FreePort()) + " DOWNLOAD NOW", "OK\n", {}},
  };
  bool scriptRan = false;
  for (const auto& c : table) {
    scriptRan = scriptRan || c.line.rfind("RUN_SCRIPT", 0) == 0;
    Run(c, scriptRan ? "DONE \"Processing Complete\"\n" : idle);
  }
  // DELETE queues its job: the file goes, and the queue running empty
  // reports DONE.
  ASSERT_TRUE(client.Send("DELETE gone.txt"));
  EXPECT_TRUE(PollUntil([&] { return !program.Exists("gone.txt"); }));
  EXPECT_TRUE(PollUntil([&] { return client.Ask("STATUS") == "DONE \"Processing Complete\"\n"; }));
  std::vector<std::string> expected;
  for (const auto& c : table) {
    expected.push_back("Remote command: " + c.line);
    expected.insert(expected.end(), c.log.begin(), c.log.end());
  }
  expected.push_back("Remote command: DELETE gone.txt");
  ExpectInOrder(program.LogLines(), expected);
  // SET changed the options and the configuration file followed.
  EXPECT_NE(program.Read("E2E.cfg").find("data_rate=1\n"), std::string::npos);
}

// Lines that fail: the log line, no reply (but for the two flashpack
// queries, which answer the error in double quotes), and ERROR with the
// log line until STATUS RESET.
TEST_F(E2eRemoteProtocol, AFailingLineSetsErrorUntilStatusReset) {
  struct FailingCase {
    std::string line;
    std::string reply;
    std::string error;
  };
  const std::vector<FailingCase> table = {
      {"", "", "Error> command string empty"},
      {"BOGUS 1 2", "", "Error> BOGUS command not supported"},
      {"\"\"", "", "Error>  command not supported"},
      {"FLASH", "", "Error> FLASH command missing filename"},
      {"ERASE", "", "Error> ERASE command missing sector info"},
      {"ERASE 4-2", "", "Error> sector range must be in ascending order"},
      {"ERASE 16", "", "Error> sector 16 is outside range of flash memory map"},
      {"ERASE 5-", "", "Error> error in sector range specification"},
      {"ERASE CODE-1", "", "Error> error in sector range specification"},
      {"REVERSE_FLASH out.s19 DEFAULT DEFAULT", "", "Error> REVERSE_FLASH command incomplete"},
      {"REVERSE_FLASH out.s19 DEFAULT 21 NOSUCHNAME", "", "Error> no sectors selected for reverse flashing"},
      {"REVERSE_FLASH out.s19 0 5 1", "", "Error> record length 5 is invalid"},
      {"ORVIX_REVERSE_FLASH out.s19 0x100 0x180", "", "Error> ORVIX_REVERSE_FLASH command incomplete"},
      {"ORVIX_REVERSE_FLASH out.s19 0x100 0x80 DEFAULT", "",
       "Error> ORVIX_REVERSE_FLASH end address is below its begin address"},
      {"ORVIX_REVERSE_FLASH out.s19 0x100 0x180 5", "", "Error> record length 5 is invalid"},
      {"DUMP_RAM", "", "Error> Ram dumps must be done using RS232 at 115200bps"},
      {"DELETE", "", "Error> DELETE command missing filename"},
      {"RUN_SCRIPT", "", "Error> RUN_SCRIPT command missing filename"},
      {"RUN_SCRIPT missing.qls", "", "Error> Unable to read script file missing.qls"},
      {"TRANSFER_FILE a 1 UPLOAD", "", "Error> TRANSFER_FILE command incomplete"},
      {"FLASHPACK_ADD", "", "Error> FLASHPACK_ADD command missing filename"},
      {"FLASHPACK_DELETE", "", "Error> FLASHPACK_DELETE command missing flashpack number"},
      {"FLASHPACK_GET_DETAILS", "\"Error> Flashpacks not extracted\"\n", "Error> Flashpacks not extracted"},
      {"FLASHPACK_GET_STATS", "\"Error> Flashpacks not extracted\"\n", "Error> Flashpacks not extracted"},
      {"FLASH \"unclosed.s19", "", "Error> missing double quote in script file"},
      {"SET no_such_option 1", "", "Error> no_such_option option not supported"},
      {"SET data_rate 9600", "", "Error> choice 9600 not supported for option data_rate"},
      {"RUN_SCRIPT self.qls", "", "Error> RUN_SCRIPT nesting too deep"},
      {"SET auto_erase_flash FALSE", "", ""},
      {"FLASHPACK_EXTRACT", "", "Error> Auto erase must be enabled to perform this operation"},
      {"SET comm_protocol USB auto_erase_flash TRUE", "", ""},
      {"ORVIX_FLASH image.s19", "", "Error> Orvix Flash is only available in RS232 mode"},
      {"ORVIX_ERASE", "", "Error> Orvix Erase is only available in RS232 mode"},
      {"ORVIX_REVERSE_FLASH out.s19 0 0x100 DEFAULT", "", "Error> Orvix Reverse Flash is only available in RS232 mode"},
      {"DUMP_RAM dump.ram", "", "Error> Ram dumps must be done using RS232 at 115200bps"},
  };
  program.Write("self.qls", "RUN_SCRIPT self.qls\n");
  for (const auto& c : table) {
    SCOPED_TRACE(c.line);
    ASSERT_TRUE(client.Send(c.line));
    if (!c.reply.empty()) {
      EXPECT_EQ(client.ReadLine(), c.reply);
    }
    if (c.error.empty()) {  // a line that sets up the next ones
      EXPECT_EQ(client.Ask("STATUS"), "IDLE \"Status reset to idle\"\n");
      continue;
    }
    const std::string error = "ERROR \"" + c.error + "\"\n";
    EXPECT_EQ(client.Ask("STATUS"), error);
    // Sticky: a line that succeeds, and the queue running empty, leave it.
    EXPECT_EQ(client.Ask("LIST_PRODUCT_TAGS"), " \"VEXA20\" \n");
    EXPECT_EQ(client.Ask("STATUS"), error);
    EXPECT_EQ(client.Ask("STATUS RESET"), "IDLE \"Status reset to idle\"\n");
    EXPECT_EQ(client.Ask("STATUS"), "IDLE \"Status reset to idle\"\n");
  }
  std::vector<std::string> expected;
  for (const auto& c : table) {
    expected.push_back("Remote command: " + c.line);
    if (!c.error.empty()) expected.push_back(c.error);
  }
  ExpectInOrder(program.LogLines(), expected);
  EXPECT_TRUE(program.Prompts().empty()) << "a remote line showed a box";
}

// The job commands answer nothing; their jobs run on the radio on COM1 and
// report through the log and STATUS. A job that fails sets ERROR with the
// device's error text.
TEST(E2eJobCommands, QueueTheirJobsWithoutAReply) {
  Program program;
  program.ServeRadioOnCom1(ProductRadio());
  ASSERT_TRUE(program.Start());
  LineClient client = program.Connect();
  ASSERT_TRUE(client.Valid());
  struct JobCase {
    std::string line;
    std::vector<std::string> log;  // after its "Remote command:" line
    std::string statusAfter;
  };
  const std::string done = "DONE \"Processing Complete\"\n";
  // A failed job keeps its device in error until STATUS RESET cancels it
  // (with whatever was queued for the device meanwhile), so each line waits
  // for that end. ERROR names the device.
  const std::string kCancelled = "COM1> Cancelled by STATUS RESET";
  const std::vector<JobCase> table = {
      {"COMM_CHECK", {"COM1> Queueing item with sequence number 0", "COM1> Starting Comm Check",
                      "COM1> Item finished with sequence number 0"}, done},
      {"PROGRAM_MAGIC_KEY", {"COM1> Queueing item with sequence number 1", "COM1> Starting Program Magic Key",
                             "COM1> Item finished with sequence number 1"}, done},
      {"RESET_TARGET", {"COM1> Queueing item with sequence number 2", "COM1> Starting Reset Target",
                        "COM1> Item finished with sequence number 2"}, done},
      {"FLASHPACK_UPDATE_FLASH", {"COM1> Queueing item with sequence number 3",
                                  "COM1> ERROR: Flashpacks have not been extracted", kCancelled},
       "ERROR \"COM1> Flashpacks have not been extracted\"\n"},
      {"FLASHPACK_DELETE 1 2", {"COM1> Queueing item with sequence number 4",
                                "COM1> ERROR: Flashpacks have not been extracted", kCancelled},
       "ERROR \"COM1> Flashpacks have not been extracted\"\n"},
      {"FLASHPACK_ADD pack.bin", {"COM1> Queueing item with sequence number 5", "Starting read of file pack.bin",
                                  "Error Opening File pack.bin", "COM1> ERROR: Error opening file: pack.bin",
                                  kCancelled},
       "ERROR \"COM1> Error opening file\"\n"},
  };
  std::vector<std::string> expected;
  for (const auto& c : table) {
    SCOPED_TRACE(c.line);
    ASSERT_TRUE(client.Send(c.line));
    expected.push_back("Remote command: " + c.line);
    expected.insert(expected.end(), c.log.begin(), c.log.end());
    const bool fails = c.log.back() == kCancelled;
    const std::string& last = c.log[c.log.size() - (fails ? 2 : 1)];
    ASSERT_TRUE(program.WaitLogCount(last, std::count(expected.begin(), expected.end(), last)));
    EXPECT_TRUE(PollUntil([&] { return client.Ask("STATUS") == c.statusAfter; })) << c.statusAfter;
    EXPECT_EQ(client.Ask("STATUS RESET"), "IDLE \"Status reset to idle\"\n");
    if (fails) {
      ASSERT_TRUE(program.WaitLogCount(kCancelled, std::count(expected.begin(), expected.end(), kCancelled)));
    }
  }
  ExpectInOrder(program.LogLines(), expected);
  EXPECT_TRUE(program.Prompts().empty()) << "a remote job showed a box";

  // The product-file download from a server that does not answer: the
  // error line's two sentences stay on the one reply line, and the next
  // reply is the next command's.
  ASSERT_TRUE(client.Send("DOWNLOAD_LATEST_QLPS"));
  ASSERT_TRUE(program.WaitLog("Error> Unable to download the latest QLPs from server. http://127.0.0.1:1/"));
  EXPECT_EQ(client.Ask("STATUS"), "ERROR \"Error> Unable to download the latest QLPs from server. http://127.0.0.1:1/\"\n");
  EXPECT_EQ(client.Ask("LIST_FILES *.qlp"), " \"vexa20.qlp\" \n");
}

TEST_F(E2eRemoteProtocol, LinesAreCutAtLineFeedsHoweverTheyArrive) {
  // Two lines in one piece, a line in three pieces, a bare line feed end,
  // and a NUL byte that is dropped alone.
  ASSERT_TRUE(client.SendRaw("LIST_PRODUCT_TAGS\nSTATUS\n"));
  EXPECT_EQ(client.ReadLine(), " \"VEXA20\" \n");
  EXPECT_EQ(client.ReadLine(), "IDLE \"Status reset to idle\"\n");
  ASSERT_TRUE(client.SendRaw("LIST_FI"));
  ASSERT_TRUE(client.SendRaw("LES *.q"));
  static constexpr char kEnd[] = "lp\r\nSTA\0TUS\n";
  ASSERT_TRUE(client.SendRaw(std::string(kEnd, sizeof kEnd - 1)));
  EXPECT_EQ(client.ReadLine(), " \"vexa20.qlp\" \n");
  EXPECT_EQ(client.ReadLine(), "IDLE \"Status reset to idle\"\n");
}

// A remote RUN_SCRIPT runs its lines in order; a failing line in a nested
// script ends both scripts there, and the jobs queued before it still run.
TEST_F(E2eRemoteProtocol, AFailingLineInANestedScriptEndsEveryLevel) {
  for (const char* name : {"a.txt", "b.txt", "c.txt", "d.txt", "e.txt"}) program.Write(name, "x");
  program.Write("outer.qls", "DELETE a.txt\nRUN_SCRIPT inner.qls\nDELETE c.txt\n");
  program.Write("inner.qls", "# inner\nDELETE b.txt\nbogus line\nDELETE d.txt\n");
  ASSERT_TRUE(client.Send("RUN_SCRIPT outer.qls"));
  EXPECT_EQ(client.Ask("STATUS"), "ERROR \"Error> BOGUS command not supported\"\n");
  // The queue is first in, first out: once e.txt has gone, every job queued
  // before it has run.
  ASSERT_TRUE(client.Send("DELETE e.txt"));
  EXPECT_TRUE(PollUntil([&] { return !program.Exists("e.txt"); }));
  EXPECT_FALSE(program.Exists("a.txt"));
  EXPECT_FALSE(program.Exists("b.txt"));
  EXPECT_TRUE(program.Exists("c.txt"));
  EXPECT_TRUE(program.Exists("d.txt"));
  ExpectInOrder(program.LogLines(), {"Remote command: RUN_SCRIPT outer.qls", "Processing script outer.qls",
                                     "Script command: DELETE a.txt", "Script command: RUN_SCRIPT inner.qls",
                                     "Processing script inner.qls", "Script command: DELETE b.txt",
                                     "Script command: bogus line", "Error> BOGUS command not supported",
                                     "Remote command: DELETE e.txt"});
  for (const auto& line : program.LogLines()) EXPECT_NE(line, "Script command: DELETE c.txt");
  EXPECT_TRUE(program.Prompts().empty()) << "a remote script showed a box";
}

// A partial line does not outlive its client, and a line that passes
// 64 KiB is dropped whole.
TEST_F(E2eRemoteProtocol, UnfinishedLinesAreDroppedNotPassedOn) {
  ASSERT_TRUE(client.SendRaw("LIST_PROD"));
  client.Close();
  ASSERT_TRUE(program.WaitLog("Connection closed with 127.0.0.1"));
  LineClient next = program.Connect();
  ASSERT_TRUE(next.Valid());
  EXPECT_EQ(next.Ask("STATUS"), "IDLE \"Status reset to idle\"\n");

  // The over-long line goes up to its line feed; the next line runs.
  ASSERT_TRUE(next.SendRaw(std::string(70 * 1024, 'A')));
  EXPECT_TRUE(program.WaitLog("Warning> socket read error"));
  ASSERT_TRUE(next.SendRaw("STATUS\r\n"));
  EXPECT_EQ(next.Ask("LIST_PRODUCT_TAGS"), " \"VEXA20\" \n");
  EXPECT_EQ(next.Ask("STATUS"), "IDLE \"Status reset to idle\"\n");
  for (const auto& line : program.LogLines()) {
    EXPECT_EQ(line.find("command not supported"), std::string::npos) << line.substr(0, 80);
  }
}

TEST_F(E2eRemoteProtocol, ASecondClientIsRefusedWhileTheFirstKeepsWorking) {
  LineClient second = program.Connect();
  ASSERT_TRUE(second.Valid());
  EXPECT_TRUE(second.ClosedByPeer());
  EXPECT_TRUE(program.WaitLog("Remote connection established with 127.0.0.1 on port " +
                              std::to_string(second.LocalPort())));
  EXPECT_TRUE(
      program.WaitLog("Warning> Multiple connections attempted. Remote connection with 127.0.0.1 terminated"));
  EXPECT_EQ(client.Ask("LIST_PRODUCT_TAGS"), " \"VEXA20\" \n");
  // Once the first has gone, the next client is served.
  client.Close();
  EXPECT_TRUE(program.WaitLog("Connection closed with 127.0.0.1"));
  LineClient third = program.Connect();
  EXPECT_EQ(third.Ask("STATUS"), "IDLE \"Status reset to idle\"\n");
}

TEST_F(E2eRemoteProtocol, AClientThatVanishesMidCommandLeavesTheProgramServingTheNext) {
  // Many files make the reply long enough to be on its way when the client
  // is gone.
  std::filesystem::create_directory(program.File("many"));
  for (int i = 0; i < 200; ++i) program.Write("many/file" + std::to_string(i), "");
  ASSERT_TRUE(client.Send("DIRECTORY many"));
  ASSERT_TRUE(client.Send("LIST_FILES"));
  ASSERT_TRUE(client.Send("LIST_FILES"));
  client.Vanish();
  EXPECT_TRUE(program.WaitLog("Connection closed with 127.0.0.1"));
  LineClient next = program.Connect();
  ASSERT_TRUE(next.Valid());
  EXPECT_EQ(next.Ask("LIST_FILES file199"), " \"file199\" \n");
  EXPECT_EQ(next.Ask("STATUS"), "IDLE \"Status reset to idle\"\n");
  EXPECT_TRUE(program.Running());
  EXPECT_TRUE(program.Prompts().empty()) << "the vanished client brought up a box";
}

TEST_F(E2eRemoteProtocol, AReplyOfMoreThan200KilobytesArrivesWhole) {
  std::filesystem::create_directory(program.File("many"));
  std::string expected;
  for (int i = 0; i < 4200; ++i) {
    char name[64];
    std::snprintf(name, sizeof name, "a_file_with_a_rather_long_name_number_%05d.bin", i);
    program.Write(std::string("many/") + name, "");
    expected += std::string(" \"") + name + "\" ";
  }
  expected += "\n";
  ASSERT_GT(expected.size(), 200u * 1024);
  ASSERT_TRUE(client.Send("DIRECTORY many"));
  EXPECT_EQ(client.Ask("LIST_FILES"), expected);
  EXPECT_EQ(client.Ask("STATUS"), "IDLE \"Status reset to idle\"\n");
}

class E2eRemoteControlOff : public ::testing::Test {
 protected:
  Program program;
};

TEST_F(E2eRemoteControlOff, EveryClientIsLoggedAndClosedWithoutData) {
  ProgramOptions options;
  options.remoteControl = 0;
  ASSERT_TRUE(program.Start(options));
  for (int i = 0; i < 2; ++i) {
    LineClient client = program.Connect();
    ASSERT_TRUE(client.Valid());
    EXPECT_TRUE(client.ClosedByPeer());
    EXPECT_TRUE(program.WaitLog("Remote connection established with 127.0.0.1 on port " +
                                std::to_string(client.LocalPort())));
  }
  EXPECT_TRUE(program.WaitLogCount("Error> Remote control is disabled. Remote connection with 127.0.0.1 terminated", 2));
}

// A remote port that another program holds: the failure is logged with its
// socket error text and the program runs on.
TEST(E2eRemotePortTaken, TheListenFailureIsLoggedAndTheProgramRunsOn) {
  int error = 0;
  auto holder = platform::TcpListener::Listen(0, 1, &error);
  ASSERT_TRUE(holder.Valid()) << error;
  Program program;
  ProgramOptions options;
  options.remotePort = holder.Port();
  ASSERT_TRUE(program.Start(options));
  EXPECT_TRUE(program.WaitLog("Error> socket: specified address is already in use"));
  EXPECT_TRUE(program.Running());
}

}  // namespace
}  // namespace e2e
