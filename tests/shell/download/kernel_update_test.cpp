// Kernel version codes, the version inside a kernel file, and the kernel
// check against the loopback server.

#include <gtest/gtest.h>

#include <sys/stat.h>

#include "download_fixture.h"
#include "engine/images/srecord_file.h"
#include "shell/download/kernel_update.h"
#include "shell/download/kernel_version.h"

namespace {

using Lines = std::vector<std::string>;

struct VersionCase {
  const char* code;
  char kind;
  const char* family;
  int major;
  int minor;
};

TEST(ParseKernelVersion, Table) {
  const VersionCase cases[] = {
      {"d.B1.02.07", 'd', "b1", 2, 7},  {"DB10207", 'd', "b1", 2, 7},  {"r.68.10.00", 'r', "68", 10, 0},
      {"i.49.01.99", 'i', "49", 1, 99}, {"x.B1.02.07", '0', "00", 0, -1}, {"d.B1.2.7", '0', "00", 0, -1},
      {"d.B1.02.0a", '0', "00", 0, -1}, {"Unknown", '0', "00", 0, -1},   {"", '0', "00", 0, -1},
      {"d.B1.02.070", '0', "00", 0, -1},
  };
  for (const auto& c : cases) {
    const KernelVersion v = ParseKernelVersion(c.code);
    EXPECT_EQ(v.kind, c.kind) << c.code;
    EXPECT_EQ(v.family, c.family) << c.code;
    EXPECT_EQ(v.major, c.major) << c.code;
    EXPECT_EQ(v.minor, c.minor) << c.code;
  }
}

TEST(KernelFileForFamily, Table) {
  EXPECT_EQ(KernelFileForFamily("B1"), "calderkrnl.s19");
  EXPECT_EQ(KernelFileForFamily("b1"), "calderkrnl.s19");
  EXPECT_EQ(KernelFileForFamily("68"), "harrowkrnlu.s19");
  EXPECT_EQ(KernelFileForFamily("49"), "harrowkrnl.s19");
  EXPECT_EQ(KernelFileForFamily("69"), "biselkrnl.s19");
  EXPECT_EQ(KernelFileForFamily("00"), "");
}

class KernelUpdateTest : public DownloadTest {
 protected:
  // A kernel image of two data blocks; the second holds the version text.
  void WriteKernel(const std::string& name, const std::string& version) {
    CSRecordFile file;
    file.OpenSRecordFile(folder_ + "/" + name, CSRecordFile::kModeWrite);
    std::uint32_t written = 0;
    const std::string header = "kernel";
    file.WriteSRecordBlock(reinterpret_cast<const std::uint8_t*>(header.data()), header.size(), 0, 0, written);
    const std::vector<std::uint8_t> code(300, 0xA5);
    file.WriteSRecordBlock(code.data(), code.size(), 0x1000, 2, written);
    std::string second = "id block ";
    if (!version.empty()) second += "uKV Kernel Version " + version + std::string(1, '\0') + "tail";
    file.WriteSRecordBlock(reinterpret_cast<const std::uint8_t*>(second.data()), second.size(), 0x8000, 2, written);
    file.WriteSRecordBlock(nullptr, 0, 0x1000, 8, written);
    file.CloseSRecordFile();
  }

  KernelUpdateBox Box(int answer) {
    return [this, answer](const std::string& text, std::uint32_t style) {
      boxes_.push_back(text + " / " + std::to_string(style));
      return style == kKernelBoxOk ? 1 : answer;
    };
  }

  void ServeKernelList(const Lines& paths) {
    std::string list;
    for (const auto& path : paths) list += server_.Url(path) + "\r\n";
    server_.Serve("/kernel/kernel_list.txt", {200, list});
  }

  const std::string kAsk = "A kernel update is available.  Would you like to upgrade now? / 68";
  const std::string kDone = "The kernels were updated successfully. / 0";
  Lines boxes_;
};

TEST_F(KernelUpdateTest, ReadsTheVersionFromTheSecondBlock) {
  WriteKernel("calderkrnl.s19", "d.B1.02.03");
  WriteKernel("plain.s19", "");
  EXPECT_EQ(ReadKernelFileVersion(settings_, "calderkrnl.s19"), "d.B1.02.03");
  EXPECT_EQ(ReadKernelFileVersion(settings_, "plain.s19"), "Unknown");
  EXPECT_TRUE(log_.empty());
}

TEST_F(KernelUpdateTest, UnreadableKernelIsLoggedAndUnknown) {
  EXPECT_EQ(ReadKernelFileVersion(settings_, "absent.s19"), "Unknown");
  WriteLocal("broken.s19", "S0030000FC\nS1ZZ\n");
  EXPECT_EQ(ReadKernelFileVersion(settings_, "broken.s19"), "Unknown");
  ASSERT_EQ(log_.size(), 2u);
  EXPECT_EQ(log_[0], std::string("Error> ") + SRecordErrorText(SREC_OPEN_ERROR) + ". absent.s19");
  EXPECT_EQ(log_[1].rfind("Error> ", 0), 0u);
  EXPECT_NE(log_[1].find(". broken.s19"), std::string::npos);
}

TEST_F(KernelUpdateTest, NewerKernelsAreOfferedOnceAndFetchedWithYes) {
  WriteKernel("calderkrnl.s19", "d.B1.02.03");
  WriteKernel("harrowkrnlu.s19", "");  // no marker: Unknown, minor -1
  WriteKernel("biselkrnl.s19", "i.69.01.00");  // kind i is never replaced
  WriteKernel("harrowkrnl.s19", "d.49.01.00");  // as new as the listed one
  ServeKernelList({"/k/db10205.s19", "/k/r680100.s19", "/k/d690199.s19", "/k/d490100.s19"});
  server_.Serve("/k/db10205.s19", {200, "new calder\r\n"});
  server_.Serve("/k/r680100.s19", {200, "new harrow u\r\n"});

  EXPECT_TRUE(CheckKernelUpdates(settings_, Box(6)));
  EXPECT_EQ(boxes_, (Lines{kAsk, kDone}));
  EXPECT_EQ(ReadLocal("calderkrnl.s19"), "new calder\n");
  EXPECT_EQ(ReadLocal("harrowkrnlu.s19"), "new harrow u\n");
  EXPECT_EQ(log_, (Lines{"Checking for kernel updates",
                         "Saving remote file " + server_.Url("/k/db10205.s19") + " as calderkrnl.s19",
                         "Saving remote file " + server_.Url("/k/r680100.s19") + " as harrowkrnlu.s19"}));
  EXPECT_EQ(RequestedPaths(), (Lines{"/kernel/kernel_list.txt", "/k/db10205.s19", "/k/r680100.s19"}));
}

TEST_F(KernelUpdateTest, NoKeepsEveryKernel) {
  WriteKernel("calderkrnl.s19", "d.B1.02.03");
  ServeKernelList({"/k/db10205.s19", "/k/db10206.s19"});
  EXPECT_TRUE(CheckKernelUpdates(settings_, Box(7)));
  EXPECT_EQ(boxes_, Lines{kAsk});
  EXPECT_EQ(RequestedPaths(), Lines{"/kernel/kernel_list.txt"});
}

TEST_F(KernelUpdateTest, UnknownFamilyUsesTheListedName) {
  ServeKernelList({"/k/d770001.s19"});
  server_.Serve("/k/d770001.s19", {200, "other\n"});
  EXPECT_TRUE(CheckKernelUpdates(settings_, Box(6)));
  EXPECT_EQ(ReadLocal("d770001.s19"), "other\n");
}

TEST_F(KernelUpdateTest, ListThatCannotBeReadEndsNormally) {
  EXPECT_TRUE(CheckKernelUpdates(settings_, Box(6)));
  EXPECT_EQ(log_, Lines{"Error> Unable to check for kernel updates"});
  EXPECT_TRUE(boxes_.empty());
}

TEST_F(KernelUpdateTest, TransferFailureAfterYesFails) {
  WriteKernel("calderkrnl.s19", "d.B1.02.03");
  ServeKernelList({"/k/db10205.s19"});
  server_.Serve("/k/db10205.s19", {500, ""});
  EXPECT_FALSE(CheckKernelUpdates(settings_, Box(6)));
  EXPECT_EQ(log_.back(), "Error> The kernels could not be updated");
  EXPECT_EQ(boxes_, Lines{kAsk});
  EXPECT_EQ(ReadKernelFileVersion(settings_, "calderkrnl.s19"), "d.B1.02.03");
}

TEST_F(KernelUpdateTest, ReadOnlyKernelIsReported) {
  WriteKernel("calderkrnl.s19", "d.B1.02.03");
  ASSERT_EQ(::chmod((folder_ + "/calderkrnl.s19").c_str(), 0444), 0);
  ServeKernelList({"/k/db10205.s19"});
  server_.Serve("/k/db10205.s19", {200, "new\n"});
  EXPECT_FALSE(CheckKernelUpdates(settings_, Box(6)));
  EXPECT_EQ(log_.back(), "Error> The file calderkrnl.s19 is read-only and could not be updated.");
}

}  // namespace
