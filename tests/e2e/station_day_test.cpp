// A factory station's day, played against the real program over its remote
// port: sixteen radios on the USB stand-in and two on COM1 and COM2 are
// flashed round after round, as a station script does it. After every round
// the station polls STATUS until the work is no longer BUSY and compares
// every radio's flash with the image. The answer and the radios must agree:
// DONE only when every radio holds the image, ERROR naming a radio that
// does not while any radio of the round failed. A STATUS RESET clears only
// what came before it, also when the next round's lines share its write.

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>

#include "program_fixture.h"

namespace e2e {
namespace {

constexpr std::uint32_t kImageAddress = 0x10000;  // CODE sectors 1 and 2
constexpr std::uint32_t kImageSize = 2 * kSectorSize;
constexpr std::uint32_t kOlderFirmwareSize = 13 * kSectorSize;
constexpr int kUsbRadioCount = 16;
// A round takes a few seconds here; the deadline leaves room for a loaded
// machine and the sanitizer builds.
constexpr auto kRoundDeadline = std::chrono::seconds(60);
// How often the station asks STATUS while a round runs.
constexpr auto kStatusInterval = std::chrono::milliseconds(100);

constexpr char kDone[] = "DONE \"Processing Complete\"\n";
constexpr char kResetToIdle[] = "IDLE \"Status reset to idle\"\n";

// An answer as a message shows it: without its line feed.
std::string Shown(std::string status) {
  if (!status.empty() && status.back() == '\n') status.pop_back();
  return status;
}

std::string Names(const std::set<std::string>& names) {
  if (names.empty()) return "none";
  std::string text;
  for (const auto& name : names) text += (text.empty() ? "" : ", ") + name;
  return text;
}

// The device an ERROR answer names: the text between `ERROR "` and the
// first "> ", or empty when the answer is not of that form.
std::string NamedDevice(const std::string& status) {
  const std::string start = "ERROR \"";
  if (status.rfind(start, 0) != 0) return {};
  const auto end = status.find("> ", start.size());
  if (end == std::string::npos) return {};
  return status.substr(start.size(), end - start.size());
}

// One image of the day: its file in the program's folder and its bytes.
struct Image {
  std::string file;
  std::vector<std::uint8_t> bytes;
};

class E2eStationDay : public ::testing::Test {
 protected:
  // The bench: the COM radios served before the program starts, the
  // program in its USB mode, sixteen USB radios attached, the station
  // connected. Every radio holds an older firmware. The radios write their
  // smart-flash buffers at different speeds, the top row's radio at once,
  // so the round's radios end one after the other.
  void OpenStation() {
    for (int port : {1, 2}) {
      radiosim::RadioConfig config = ProductRadio();
      config.smartWriteRate = 150000 * port;
      Add("COM" + std::to_string(port), program.ServeRadioOnCom(port, config));
    }
    ProgramOptions options;
    options.commProtocol = 1;
    ASSERT_TRUE(program.Start(options));
    ASSERT_TRUE(program.WaitLog("USB> Driver successfully intialized on Windows XP"));
    for (int id = 1; id <= kUsbRadioCount; ++id) {
      radiosim::RadioConfig config = ProductRadio(radiosim::LinkKind::Usb);
      config.smartWriteRate = id == 1 ? 0 : 100000 + 25000 * (id % 4);
      const std::string name = "USB" + std::to_string(id);
      Add(name, program.AttachUsbRadio(id, config));
      ASSERT_TRUE(program.WaitLog(name + "> Device Attached"));
    }
    client = program.Connect();
    ASSERT_TRUE(client.Valid());
    ASSERT_TRUE(client.Send("SET enable_smart_flashing TRUE"));
  }

  void Add(const std::string& name, radiosim::RadioSimulator& radio) {
    ASSERT_TRUE(radio.SetFlash(0, PatternBytes(kOlderFirmwareSize, 0x55)));
    radios_.emplace(name, &radio);
  }

  radiosim::RadioSimulator& Radio(const std::string& name) { return *radios_.at(name); }

  // The radio refuses its next program request once; the round after
  // that one finds it sound again.
  void RefuseOneProgramRequest(const std::string& name) {
    Radio(name).AddFault(radiosim::Fault{radiosim::FaultKind::ProgramFailure, 1, 0x0100});
    ++refusals_[name];
  }

  // Writes the image of CODE sectors 1 and 2 as an S-record file.
  Image WriteImage(const std::string& file, std::uint8_t seed) {
    Image image{file, PatternBytes(kImageSize, seed)};
    test_support::WriteSRecordFile(program.File(file), {{kImageAddress, image.bytes}}, kImageAddress);
    return image;
  }

  // A round's lines: the image to every USB radio, then to the radios on
  // COM1 and COM2 one after the other. `first` goes in the same write as
  // the round's lines.
  void SendRound(const Image& image, const std::string& first = {}) {
    const std::string flash = "FLASH " + image.file + "\r\n";
    std::string write = first.empty() ? "" : first + "\r\n";
    write += "SET comm_protocol USB\r\n" + flash;
    write += "SET comm_protocol RS232\r\nSET serial_port COM1\r\n" + flash;
    write += "SET serial_port COM2\r\n" + flash;
    ASSERT_TRUE(client.SendRaw(write));
  }

  // Polls STATUS until the answer is not BUSY; that answer, or empty
  // (with a test failure) when the work was still BUSY at the deadline.
  std::string Settled() {
    std::string status;
    const bool settled = PollUntil(
        [&] {
          status = client.Ask("STATUS").value_or("");
          return status.rfind("BUSY", 0) != 0;
        },
        kRoundDeadline, kStatusInterval);
    if (!settled) {
      ADD_FAILURE() << "STATUS still answered " << Shown(status) << " after " << kRoundDeadline.count() << " s";
      return {};
    }
    return status;
  }

  // The radios whose flash does not hold the image.
  std::set<std::string> RadiosWithout(const Image& image) {
    std::set<std::string> without;
    for (auto& [name, radio] : radios_) {
      if (radio->GetFlash(kImageAddress, kImageSize) != image.bytes) without.insert(name);
    }
    return without;
  }

  // A round that ended well: DONE, and at that moment every radio holds
  // the image.
  void ExpectDoneOnEveryRadio(const std::string& status, const Image& image) {
    SCOPED_TRACE("round of " + image.file);
    const auto without = RadiosWithout(image);
    EXPECT_EQ(status, kDone) << "STATUS says " << Shown(status) << " after a round that every radio should take";
    EXPECT_TRUE(without.empty()) << "STATUS says " << Shown(status) << " while " << Names(without) << " do not hold "
                                 << image.file;
  }

  // A round in which the failing radios refused a program request: the
  // answer is ERROR naming one of them, with a reason, and it stays so
  // while the other radios end their work and take the image.
  void ExpectErrorNamingAFailedRadio(const std::string& status, const Image& image,
                                     const std::set<std::string>& failing) {
    SCOPED_TRACE("round of " + image.file + " with " + Names(failing) + " failing");
    ExpectErrorNames(status, failing, image);
    const bool healthyDone = PollUntil(
        [&] {
          const auto without = RadiosWithout(image);
          return std::includes(failing.begin(), failing.end(), without.begin(), without.end());
        },
        kRoundDeadline, kStatusInterval);
    const auto without = RadiosWithout(image);
    EXPECT_TRUE(healthyDone) << "radios still without " << image.file << " after " << kRoundDeadline.count()
                             << " s: " << Names(without);
    EXPECT_EQ(without, failing) << "radios without " << image.file;
    // The failing radios' work has ended too: each refusal is logged. (A
    // failure that came only after the next reset would be of this round's
    // work and hold ERROR into the next round, as it should.)
    for (const std::string& name : failing) {
      EXPECT_TRUE(PollUntil([&] { return FailuresLogged(name) >= refusals_[name]; }, kRoundDeadline))
          << name << " never reported its failure";
    }
    ExpectErrorNames(client.Ask("STATUS").value_or("no answer"), failing, image);
  }

  // How many failures of the radio's own work the log has (not the lines
  // of work that waits behind one).
  int FailuresLogged(const std::string& name) const {
    const std::string prefix = name + "> ERROR: ";
    const std::string waiting = " - waiting for Retry or Cancel";
    int count = 0;
    for (const std::string& line : program.LogLines()) {
      const bool waits = line.size() >= waiting.size() &&
                         line.compare(line.size() - waiting.size(), waiting.size(), waiting) == 0;
      if (line.rfind(prefix, 0) == 0 && !waits) ++count;
    }
    return count;
  }

  // The answer is ERROR "<device>> <reason>" for one of the failing
  // radios, and that radio does not hold the image.
  void ExpectErrorNames(const std::string& status, const std::set<std::string>& failing, const Image& image) {
    const auto without = RadiosWithout(image);
    if (status.rfind("ERROR", 0) != 0) {
      ADD_FAILURE() << "STATUS says " << Shown(status) << " while " << Names(without) << " do not hold " << image.file;
      return;
    }
    const std::string device = NamedDevice(status);
    EXPECT_EQ(failing.count(device), 1u) << "STATUS says " << Shown(status)
                                         << ", which names none of the failing radios " << Names(failing)
                                         << " as ERROR \"<device>> <reason>\"";
    EXPECT_EQ(without.count(device), 1u) << "STATUS says " << Shown(status) << " but " << device << " holds "
                                         << image.file;
    EXPECT_GT(status.size(), std::string("ERROR \"" + device + "> \"\n").size()) << "no reason in " << Shown(status);
  }

  Program program;
  LineClient client;
  std::map<std::string, radiosim::RadioSimulator*> radios_;
  std::map<std::string, int> refusals_;  // program requests each radio was made to refuse
};

TEST_F(E2eStationDay, EveryAnswerAgreesWithEveryRadiosFlash) {
  ASSERT_NO_FATAL_FAILURE(OpenStation());

  // Morning: USB5 and USB12 refuse one program request each. The round
  // ends ERROR, naming one of them; every other radio takes the image.
  RefuseOneProgramRequest("USB5");
  RefuseOneProgramRequest("USB12");
  const Image morning = WriteImage("morning.s19", 1);
  ASSERT_NO_FATAL_FAILURE(SendRound(morning));
  std::string status = Settled();
  ASSERT_FALSE(status.empty());
  ExpectErrorNamingAFailedRadio(status, morning, {"USB5", "USB12"});

  // The station resets the status, reads the answer and flashes again:
  // the two radios take the image this time, and the round ends DONE.
  const auto reset = client.Ask("STATUS RESET").value_or("no answer");
  EXPECT_TRUE(reset == kResetToIdle || reset.rfind("BUSY", 0) == 0) << "STATUS RESET answered " << Shown(reset);
  const Image noon = WriteImage("noon.s19", 2);
  ASSERT_NO_FATAL_FAILURE(SendRound(noon));
  status = Settled();
  ASSERT_FALSE(status.empty());
  ExpectDoneOnEveryRadio(status, noon);

  // Afternoon: USB5 refuses again, and so does the radio on COM2, a port
  // other than the one selected at start.
  RefuseOneProgramRequest("USB5");
  RefuseOneProgramRequest("COM2");
  const Image afternoon = WriteImage("afternoon.s19", 3);
  ASSERT_NO_FATAL_FAILURE(SendRound(afternoon));
  status = Settled();
  ASSERT_FALSE(status.empty());
  ExpectErrorNamingAFailedRadio(status, afternoon, {"USB5", "COM2"});

  // Evening: the reset goes in the same write as the round's lines. It
  // clears only what came before it: the round after it runs on every
  // radio, USB5 included, and ends DONE.
  const Image evening = WriteImage("evening.s19", 4);
  ASSERT_NO_FATAL_FAILURE(SendRound(evening, "STATUS RESET"));
  const auto sameWriteReset = client.ReadLine().value_or("no answer");
  EXPECT_TRUE(sameWriteReset == kResetToIdle || sameWriteReset.rfind("BUSY", 0) == 0)
      << "STATUS RESET answered " << Shown(sameWriteReset);
  status = Settled();
  ASSERT_FALSE(status.empty());
  ExpectDoneOnEveryRadio(status, evening);

  // The day ends: the program closes on the station's word.
  ASSERT_TRUE(client.Send("TERMINATE_APP"));
  EXPECT_EQ(program.WaitForExit(kRoundDeadline), 0);
}

}  // namespace
}  // namespace e2e
