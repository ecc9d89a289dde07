#include "smartphone_sim/smartphone_session.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace smartphone_sim {
namespace {

std::vector<std::uint8_t> Frame(char type, const std::vector<std::uint8_t>& data) {
  std::vector<std::uint8_t> f{static_cast<std::uint8_t>(type)};
  for (int shift = 24; shift >= 0; shift -= 8) f.push_back(static_cast<std::uint8_t>(data.size() >> shift));
  f.insert(f.end(), data.begin(), data.end());
  return f;
}
std::vector<std::uint8_t> Line(const std::string& s) { return Frame('L', {s.begin(), s.end()}); }
std::vector<std::uint8_t> File(const std::string& name, const std::vector<std::uint8_t>& contents) {
  std::vector<std::uint8_t> d;
  for (int shift = 24; shift >= 0; shift -= 8) d.push_back(static_cast<std::uint8_t>(name.size() >> shift));
  d.insert(d.end(), name.begin(), name.end());
  d.insert(d.end(), contents.begin(), contents.end());
  return Frame('F', d);
}

// What the phone said, split into its text and its progress figures.
struct Answer {
  std::string text;
  std::vector<int> progress;
};
Answer Decode(const std::vector<std::uint8_t>& out) {
  Answer a;
  std::size_t i = 0;
  while (i + 5 <= out.size()) {
    const std::size_t n = std::size_t{out[i + 1]} << 24 | std::size_t{out[i + 2]} << 16 |
                          std::size_t{out[i + 3]} << 8 | out[i + 4];
    if (out[i] == 'T') a.text.append(out.begin() + static_cast<long>(i + 5), out.begin() + static_cast<long>(i + 5 + n));
    if (out[i] == 'P') a.progress.push_back(out[i + 5]);
    i += 5 + n;
  }
  EXPECT_EQ(i, out.size());
  return a;
}

Answer Send(SmartphoneSession& s, const std::vector<std::uint8_t>& bytes) {
  return Decode(s.Feed(bytes.data(), bytes.size()));
}

TEST(SmartphoneSession, StoresALoadedFileAndEndsWithThePrompt) {
  SmartphoneSession s;
  EXPECT_EQ(Send(s, Line("l \"/tmp/x/a.bin\"\r")).text, "");  // waits for the file
  auto a = Send(s, File("/tmp/x/a.bin", {1, 2, 3}));
  EXPECT_EQ(a.text, "Receiving a.bin\r\nTransfer complete\r\n>");
  EXPECT_EQ(a.progress.back(), 100);
  EXPECT_EQ(s.Files().at("a.bin"), (std::vector<std::uint8_t>{1, 2, 3}));
  EXPECT_EQ(s.Transcript(), (std::vector<std::string>{"l \"/tmp/x/a.bin\""}));
}

TEST(SmartphoneSession, FramesSplitAnywhereAreReassembled) {
  SmartphoneSession s;
  auto bytes = Line("l \"b\"\r");
  auto file = File("b", std::vector<std::uint8_t>(1000, 7));
  bytes.insert(bytes.end(), file.begin(), file.end());
  std::string text;
  for (auto b : bytes) text += Decode(s.Feed(&b, 1)).text;
  EXPECT_EQ(text, "Receiving b\r\nTransfer complete\r\n>");
  EXPECT_EQ(s.Files().at("b").size(), 1000u);
}

TEST(SmartphoneSession, FormatEmptiesTheFileSystem) {
  SmartphoneSession s;
  Send(s, Line("l \"a\"\r"));
  Send(s, File("a", {1}));
  auto a = Send(s, Line("format 1\r"));
  EXPECT_EQ(a.text, "Formatting file system\r\nFormat complete\r\n>");
  EXPECT_EQ(a.progress, (std::vector<int>{0, 25, 50, 75, 100}));
  EXPECT_TRUE(s.Files().empty());
}

TEST(SmartphoneSession, FailuresSayErrorOrFailedBeforeThePrompt) {
  struct Case {
    const char* what;
    SessionFaults faults;
    std::vector<std::vector<std::uint8_t>> input;
    std::string ending;
  } cases[] = {
      {"transfer refused", {.failTransfers = true}, {Line("l \"a\"\r"), File("a", {1})}, "Transfer failed\r\n>"},
      {"file system full", {.capacity = 2}, {Line("l \"a\"\r"), File("a", {1, 2, 3})}, "Transfer failed: file system full\r\n>"},
      {"format fails", {.failFormat = true}, {Line("format 1\r")}, "Format error\r\n>"},
      {"file without load line", {}, {File("a", {1})}, "Transfer failed: no load command\r\n>"},
      {"unknown command", {}, {Line("dir\r")}, "Unknown command\r\n>"},
  };
  for (auto& c : cases) {
    SmartphoneSession s(c.faults);
    std::string text;
    for (auto& in : c.input) text += Send(s, in).text;
    EXPECT_TRUE(text.ends_with(c.ending)) << c.what << ": " << text;
    EXPECT_TRUE(s.Files().empty()) << c.what;
  }
}

TEST(SmartphoneSession, ASilentPhoneTakesCommandsAndSaysNothing) {
  SmartphoneSession s({.silent = true});
  EXPECT_EQ(Send(s, Line("format 1\r")).text, "");
  EXPECT_EQ(s.Transcript().size(), 1u);
}

}  // namespace
}  // namespace smartphone_sim
