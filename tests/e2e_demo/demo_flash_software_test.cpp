// The demo's window road, headless: the demo folder that `./setup.sh run`
// prepares, the demo radio (older firmware) on COM1 with its line timed at
// the working rate, and the program itself (its application object, main
// window and threads) on Qt's offscreen platform. Flash Software is pressed
// on the window's toolbar as a user would; the program reads the radio
// back, finds the newer firmware in the scrambled update files, flashes its
// three images, and the radio ends holding them.

#include <QAction>
#include <QPushButton>
#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "engine/core/device_number.h"
#include "platform/file_io.h"
#include "platform/temp_folder.h"
#include "radio_on_pty.h"
#include "radiosim/flash_memory.h"
#include "shell/prompt/scripted_prompt_service.h"
#include "shell/prompt/prompt_call.h"
#include "shell/grid/main_commands.h"
#include "shell/ui/app/flash_app.h"
#include "shell/ui/grid/device_grid_view.h"
#include "shell/ui/main/flash_dlg.h"
#include "shell/ui/main/flash_main_dialog.h"
#include "shell/ui/progress/text_progress_ctrl.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

constexpr DeviceNumber kDemoRadio = DEVICE_FIRST_COM;  // COM1
constexpr std::uint8_t kScrambleKey = 0xA7;
constexpr qint64 kDeadlineMs = 240000;  // generous: a loaded machine

// The update files and their last job's closing log line (the read-back is
// job 0, then cp, lp and su).
const char* const kUpdateTexts[] = {"su.txt", "p5E00cp0_VAD3_Vexa20.txt", "french_spanish.txt"};
constexpr const char kLastJobFinished[] = "COM1> Item finished with sequence number 3";

// How the road begins: Flash Software on a ready radio; on a radio that does
// not answer, whose read-back fails until the radio is back and the row's
// Retry is pressed; or while the user's own Reverse Flash reads the radio.
enum class RoadStart { Ready, SilentRadioThenRetry, DuringReverseFlash };

// What the window road saw, filled on the GUI thread by the presses below.
// A second press (when asked for) comes once the update has finished, on the
// radio that now holds the newer firmware: it must end in the refusal line.
struct RoadReport {
  RoadStart start = RoadStart::Ready;
  radiosim::RadioSimulator* radio = nullptr;  // for the silent radio's return
  std::string userReadBack;                   // where the user's Reverse Flash saves
  std::string finishedLine = kLastJobFinished;  // the log line that ends the update
  bool reverseFlashPressed = false;
  bool retried = false;
  std::size_t errorsFrom = 0;  // errors before this log offset were the road's own
  int pressesWanted = 1;
  std::string secondEnd;  // the log line that ends the second road
  std::string secondBox;  // and the text of the box it shows
  std::string shownFile;  // where the boxes are recorded
  int presses = 0;
  bool finished = false;
  std::string why;  // set when the road did not finish
};
RoadReport road;

CFlashDlg* MainWindow() {
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    if (auto* window = qobject_cast<CFlashDlg*>(widget); window && window->isVisible()) return window;
  }
  return nullptr;
}

std::string RowText(CFlashDlg& window) {
  const int row = window.Grid().FindGridRow(kDemoRadio);
  CTextProgressCtrl* bar = row < 0 ? nullptr : window.GridView()->Progress(row);
  return bar ? bar->Text().toStdString() : std::string();
}

std::string ProgramLog() {
  std::string log;
  platform::ReadWholeFile("Demo.log", log);
  return log;
}

bool UpdateFinished(CFlashDlg* window, const std::string& log) {
  return log.find(road.finishedLine) != std::string::npos && window && RowText(*window) == "Complete";
}

bool SecondRoadEnded(const std::string& log) {
  std::string shown;
  platform::ReadWholeFile(road.shownFile, shown);
  return log.find(road.secondEnd) != std::string::npos && shown.find(road.secondBox) != std::string::npos;
}

// Presses Flash Software on the toolbar as a user would, when it is enabled.
bool PressFlashSoftware(CFlashDlg& window) {
  QAction* flash = window.findChild<QAction*>(QString("command%1").arg(ID_TOOL_FLASH_SOFTWARE));
  if (!window.FlashEnabled() || !flash || !flash->isEnabled()) return false;
  ++road.presses;
  flash->trigger();
  return true;
}

// The shell's error lines and the engine's failed operations, but for the
// line that is the expected end of the second road (and the failures the
// road brought about itself).
bool LoggedAnError(std::string log) {
  if (road.start == RoadStart::SilentRadioThenRetry && !road.retried) return false;
  log.erase(0, std::min(road.errorsFrom, log.size()));
  if (!road.secondEnd.empty()) {
    for (std::size_t at; (at = log.find(road.secondEnd)) != std::string::npos;) log.erase(at, road.secondEnd.size());
  }
  return log.find("Error>") != std::string::npos || log.find("> ERROR") != std::string::npos;
}

// Presses Reverse Flash... as a user would; the answers and the filler of
// the test choose what to read and where to save it.
void PressReverseFlash(CFlashDlg& window) {
  QAction* reverse = window.CommandAction(ID_REVERSE_FLASH);  // Radio -> Reverse Flash...
  if (!reverse || !reverse->isEnabled()) return;
  road.reverseFlashPressed = true;
  reverse->trigger();
}

// The user's choices in the Reverse Flash dialogs: two sectors of 64K or
// more (a read-back long enough to press Flash Software meanwhile), saved
// where the road says.
void ChooseTheUsersReadBack(PromptCall& call) {
  if (auto* sectors = std::get_if<ReverseFlashDialogData>(&call.dialog)) {
    int chosen = 0;
    for (SectorEntry& sector : sectors->chosen.sectors) {
      if (sector.size >= 0x10000 && chosen < 2) {
        sector.selected = 1;
        ++chosen;
      }
    }
  } else if (auto* file = std::get_if<FileOpenDialogData>(&call.dialog)) {
    file->chosenPath = road.userReadBack;
  }
}

// The steps before Flash Software's update runs as on a ready radio.
void BeginRoad(CFlashDlg& window) {
  const std::string text = RowText(window);
  switch (road.start) {
    case RoadStart::Ready:
    case RoadStart::SilentRadioThenRetry:
      if (road.presses == 0 && text == "Ready") PressFlashSoftware(window);
      break;
    case RoadStart::DuringReverseFlash:
      if (!road.reverseFlashPressed && text == "Ready") PressReverseFlash(window);
      // Flash Software while the user's own read-back runs.
      if (road.reverseFlashPressed && road.presses == 0 && text.rfind("Rev Flashing", 0) == 0)
        PressFlashSoftware(window);
      break;
  }
  if (road.start != RoadStart::SilentRadioThenRetry || road.retried || road.presses == 0 || text != "Error") return;
  // The read-back failed on the silent radio: the radio is back (switched
  // on again), and the user presses the row's Retry.
  road.radio->ClearFaults();
  road.radio->PowerCycle();
  road.errorsFrom = ProgramLog().size();
  const int row = window.Grid().FindGridRow(kDemoRadio);
  QPushButton* retry = row < 0 ? nullptr : window.GridView()->RetryButton(row);
  if (!retry || !retry->isEnabled() || !retry->isVisible()) return;
  road.retried = true;
  retry->click();
}

// Once the window shows the demo radio's row, ready, presses Flash Software;
// when the last update job has finished and the row shows it complete,
// presses it again or closes the window. Gives up (and closes it) on an
// error line in the log or at the deadline.
void PressFlashSoftwareWhenReady() {
  static QElapsedTimer clock;
  clock.start();
  auto* timer = new QTimer(qApp);
  QObject::connect(timer, &QTimer::timeout, [timer] {
    CFlashDlg* window = MainWindow();
    if (window && road.start == RoadStart::DuringReverseFlash && !road.reverseFlashPressed) {
      if (auto scripted = std::dynamic_pointer_cast<CScriptedShellPromptService>(GetShellPromptService()))
        scripted->SetDialogFiller(ChooseTheUsersReadBack);
    }
    const std::string log = road.presses > 0 ? ProgramLog() : std::string();
    if (window) BeginRoad(*window);
    if (window && road.presses == 1 && road.pressesWanted == 2 && UpdateFinished(window, log))
      PressFlashSoftware(*window);
    const bool done = road.presses == road.pressesWanted &&
                      (road.pressesWanted == 1 ? UpdateFinished(window, log)
                                               : SecondRoadEnded(log));
    const bool failed = LoggedAnError(log);
    const bool late = clock.elapsed() > kDeadlineMs;
    if (!done && !failed && !late) return;
    road.finished = done && !failed;
    if (failed) road.why = "the program logged an error";
    else if (!done) road.why = road.presses > 0 ? "the road did not finish after " + std::to_string(road.presses) +
                                                      " presses; the row shows '" +
                                                      (window ? RowText(*window) : std::string()) + "'"
                                                : "the window never showed the demo radio's row ready";
    timer->stop();
    if (window) window->close();
    else QCoreApplication::quit();
  });
  timer->start(50);
}

}  // namespace

// Every QApplication of this program (the one the application object makes)
// gets the press.
Q_COREAPP_STARTUP_FUNCTION(PressFlashSoftwareWhenReady)

namespace {

std::string ReadText(const fs::path& path) {
  std::string text;
  platform::ReadWholeFile(path.string(), text);
  return text;
}

// The S3 records of an S-record text as address -> bytes.
std::map<std::uint32_t, Bytes> DataRecords(const std::string& text) {
  std::map<std::uint32_t, Bytes> records;
  std::size_t at = 0;
  while (at < text.size()) {
    std::size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(at, end - at);
    at = end + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.size() < 14 || line.compare(0, 2, "S3") != 0) continue;
    Bytes body;
    for (std::size_t i = 2; i + 1 < line.size(); i += 2) {
      body.push_back(static_cast<std::uint8_t>(std::stoul(line.substr(i, 2), nullptr, 16)));
    }
    const std::uint32_t address = (std::uint32_t{body[1]} << 24) | (body[2] << 16) | (body[3] << 8) | body[4];
    records[address] = Bytes(body.begin() + 5, body.end() - 1);
  }
  return records;
}

std::string Unscrambled(std::string text) {
  for (char& c : text) c = static_cast<char>(static_cast<std::uint8_t>(c) ^ kScrambleKey);
  return text;
}

// The demo radio as radiosim.args describes it.
std::optional<radiosim::RadioConfig> DemoRadioConfig(const fs::path& argsFile, std::string& flashImage) {
  std::ifstream in(argsFile);
  std::vector<std::string> args;
  for (std::string arg; std::getline(in, arg);) args.push_back(arg);
  radiosim::RadioConfig config;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    const std::string value = i + 1 < args.size() ? args[i + 1] : std::string();
    if (arg == "--line-timing") {
      config.lineTiming = true;
      continue;
    }
    ++i;
    if (arg == "--boot") {
      auto type = radiosim::ParseBootLoaderType(value);
      if (!type) return std::nullopt;
      config.bootLoader = *type;
    } else if (arg == "--flash-base") {
      config.flashBase = static_cast<std::uint32_t>(std::stoul(value, nullptr, 0));
    } else if (arg == "--sectors") {
      auto layout = radiosim::ParseSectorLayout(value);
      if (!layout) return std::nullopt;
      config.sectorLayout = *layout;
    } else if (arg == "--flash-image") {
      flashImage = value;
    } else {
      return std::nullopt;  // a radio this test does not know how to build
    }
  }
  return config;
}

// The converted images go when the last job holding them has left.
bool PollGone(const fs::path& file) {
  for (int i = 0; i < 1000 && fs::exists(file); ++i) ::usleep(10000);
  return !fs::exists(file);
}

class DemoWindowRoad : public ::testing::Test {
 protected:
  void SetUp() override {
    top_ = platform::MakeTemporaryFolder("quillon-demo-window-");
    ASSERT_FALSE(top_.empty());
    demo_ = fs::path(top_) / "demo";
    fs::create_directories(demo_);
    const std::string command = "python3 " + std::string(QUILLON_SOURCE_DIR) + "/scripts/demo_files.py " +
                                demo_.string() + " >" + (fs::path(top_) / "files.out").string() + " 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0) << ReadText(fs::path(top_) / "files.out");
    shown_ = (fs::path(top_) / "shown.txt").string();
    road = RoadReport{};  // each test's program gets its own road
  }
  void TearDown() override {
    radio_.reset();
    if (!home_.empty() && ::chdir(home_.c_str()) != 0) ADD_FAILURE() << "cannot return to " << home_;
    std::error_code ignored;
    fs::remove_all(top_, ignored);
  }

  // The demo radio (older firmware) on COM1 and the program as the demo
  // starts it in its folder, "vexaload -id Demo", until its window closes.
  void RunDemoProgram() {
    std::string flashImage;
    auto config = DemoRadioConfig(demo_ / "radiosim.args", flashImage);
    ASSERT_TRUE(config) << ReadText(demo_ / "radiosim.args");
    radio_ = std::make_unique<test_support::RadioOnPty>(*config, 1);
    ASSERT_TRUE(radio_->started());
    const std::string image = ReadText(flashImage);
    ASSERT_TRUE(radio_->radio().SetFlash(config->flashBase, Bytes(image.begin(), image.end())));
    road.radio = &radio_->radio();
    if (road.start == RoadStart::SilentRadioThenRetry) radio_->radio().AddFault({radiosim::FaultKind::Silence, -1});

    ASSERT_EQ(::chdir(demo_.c_str()), 0);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    // The window keeps its place in the user's Qt settings: here a home of the test's own.
    ::setenv("HOME", top_.c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (fs::path(top_) / ".config").c_str(), 1);
    const std::string prompts = (fs::path(top_) / "prompts.txt").string();
    // No answers but the test's own: any other box would be recorded.
    std::ofstream answers(prompts);
    for (const std::string& answer : answers_) answers << answer << "\n";
    answers.close();
    ::setenv("QUILLON_PROMPTS", prompts.c_str(), 1);
    ::setenv("QUILLON_PROMPTS_RECORD", shown_.c_str(), 1);
    RegisterFlashMainDialog();
    std::string name = "vexaload", id = "-id", title = "Demo";
    char* argv[] = {name.data(), id.data(), title.data(), nullptr};
    CFlashApp app;
    EXPECT_EQ(app.Run(3, argv), 0);
  }

  void SetSmartFlashing(bool on) {
    std::ofstream(demo_ / "Demo.cfg", std::ios::app) << "enable_smart_flashing=" << (on ? 1 : 0) << "\n";
  }

  // Every image of the update is on the radio.
  void ExpectRadioHoldsTheUpdate() {
    for (const char* text : kUpdateTexts) {
      const auto records = DataRecords(Unscrambled(ReadText(demo_ / text)));
      ASSERT_FALSE(records.empty()) << text;
      for (const auto& [address, bytes] : records) {
        ASSERT_EQ(radio_->radio().GetFlash(address, bytes.size()), bytes) << text << " at " << std::hex << address;
      }
    }
  }

  std::vector<std::string> answers_;
  std::string top_;
  fs::path demo_;
  std::string shown_;
  std::string home_ = fs::current_path().string();
  std::unique_ptr<test_support::RadioOnPty> radio_;
};

TEST_F(DemoWindowRoad, FlashSoftwareReadsTheRadioBackAndUpdatesItToTheNewerFirmware) {
  RunDemoProgram();

  ASSERT_TRUE(road.finished) << road.why << "\n" << ReadText(demo_ / "Demo.log");
  const std::string log = ReadText(demo_ / "Demo.log");
  EXPECT_EQ(log.find("Error>"), std::string::npos) << log;
  EXPECT_EQ(log.find("> ERROR"), std::string::npos) << log;
  EXPECT_EQ(ReadText(shown_), "") << "boxes were shown";
  ExpectRadioHoldsTheUpdate();
  // The log tells what was compared and that the radio was updated.
  EXPECT_NE(log.find("COM1> Radio model "), std::string::npos) << log;
  EXPECT_NE(log.find("COM1> Update model "), std::string::npos) << log;
  EXPECT_NE(log.find("COM1> Flash Software complete: the radio was updated from firmware version "),
            std::string::npos)
      << log;
  // The read-back and the converted images are gone.
  for (const char* file : {"rev_flash.s19", "su.s19", "cp.s19", "lp.s19"}) {
    EXPECT_TRUE(PollGone(demo_ / file)) << file;
  }
}

// The radio does not answer when Flash Software starts: its read-back fails
// and the row waits in "Error". The radio is switched on again and the row's
// Retry runs the same read-back, which goes on to the update: the radio ends
// holding the newer firmware, and the log says so.
TEST_F(DemoWindowRoad, ARetriedReadBackOfASilentRadioGoesOnToTheUpdate) {
  road.start = RoadStart::SilentRadioThenRetry;
  road.finishedLine = "COM1> Flash Software complete: the radio was updated";
  RunDemoProgram();

  const std::string log = ReadText(demo_ / "Demo.log");
  ASSERT_TRUE(road.finished) << road.why << "\n" << log;
  EXPECT_TRUE(road.retried);
  EXPECT_NE(log.find("COM1> User-initiated Retry"), std::string::npos) << log;
  ExpectRadioHoldsTheUpdate();
  const std::size_t retry = log.find("COM1> User-initiated Retry");
  EXPECT_EQ(log.find("Error>", retry), std::string::npos) << log;
  EXPECT_EQ(log.find("> ERROR", retry), std::string::npos) << log;
  EXPECT_NE(log.find("COM1> Updating the radio from firmware version ", retry), std::string::npos) << log;
  for (const char* file : {"rev_flash.s19", "su.s19", "cp.s19", "lp.s19"}) {
    EXPECT_TRUE(PollGone(demo_ / file)) << file;
  }
}

// Flash Software pressed while the user's own Reverse Flash reads the radio:
// the user's file is saved where the user chose and starts nothing; Flash
// Software's own read-back follows and goes on to the update.
TEST_F(DemoWindowRoad, FlashSoftwareDuringTheUsersReverseFlashUpdatesFromItsOwnReadBack) {
  road.start = RoadStart::DuringReverseFlash;
  road.finishedLine = "COM1> Flash Software complete: the radio was updated";
  road.userReadBack = (demo_ / "users_read.s19").string();
  answers_ = {"No", "OK", "OK"};  // not the whole flash; these sectors; this file
  RunDemoProgram();

  const std::string log = ReadText(demo_ / "Demo.log");
  ASSERT_TRUE(road.finished) << road.why << "\n" << log << "\nshown:\n" << ReadText(shown_);
  ExpectRadioHoldsTheUpdate();
  EXPECT_EQ(log.find("unable to get radio information"), std::string::npos) << log;
  EXPECT_EQ(log.find("Error>"), std::string::npos) << log;
  // The user's read-back is saved, before Flash Software's own one starts.
  EXPECT_TRUE(fs::exists(road.userReadBack));
  const std::size_t users = log.find("COM1> Starting file save " + road.userReadBack);
  const std::size_t own = log.find("COM1> Starting file save rev_flash.s19");
  ASSERT_NE(users, std::string::npos) << log;
  ASSERT_NE(own, std::string::npos) << log;
  EXPECT_LT(users, own);
  EXPECT_LT(own, log.find("COM1> Updating the radio from firmware version ")) << log;
  // Only the three answered dialogs were shown.
  const std::string shown = ReadText(shown_);
  EXPECT_EQ(std::count(shown.begin(), shown.end(), '\n'), 3) << shown;
}

// The second Flash Software on the radio that the first one updated reads it
// back, finds the newer firmware already there and stops with the refusal
// box, whether the radio is read and written with smart flashing or not.
class SecondFlashSoftware : public DemoWindowRoad {
 protected:
  void RunTwice(bool smartFlashing) {
    SetSmartFlashing(smartFlashing);
    road.pressesWanted = 2;
    road.secondEnd = "Error> The radio has the latest firmware. The flash operation stops.";
    road.secondBox = "The radio has the latest firmware";  // the box shows its two sentences on two lines
    road.shownFile = shown_;
    RunDemoProgram();

    const std::string log = ReadText(demo_ / "Demo.log");
    ASSERT_TRUE(road.finished) << road.why << "\n" << log;
    const char* readBack = smartFlashing ? "COM1> Starting FDI-Enhanced Reverse Flash" : "COM1> Starting Reverse Flash";
    std::size_t count = 0;
    for (std::size_t at = log.find(readBack); at != std::string::npos; at = log.find(readBack, at + 1)) ++count;
    EXPECT_EQ(count, 2u) << log;
    EXPECT_EQ(log.find("unable to get radio information"), std::string::npos) << log;
    // The one box of the run is the refusal.
    const std::string shown = ReadText(shown_);
    EXPECT_EQ(std::count(shown.begin(), shown.end(), '\n'), 1) << shown;
    for (const char* file : {"rev_flash.s19", "su.s19", "cp.s19", "lp.s19"}) {
      EXPECT_TRUE(PollGone(demo_ / file)) << file;
    }
  }
};

TEST_F(SecondFlashSoftware, WithSmartFlashingStopsWithTheLatestFirmwareBox) { RunTwice(true); }

TEST_F(SecondFlashSoftware, WithoutSmartFlashingStopsWithTheLatestFirmwareBox) { RunTwice(false); }

}  // namespace
