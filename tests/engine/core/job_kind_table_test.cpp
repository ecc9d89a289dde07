#include "engine/core/job_kind_table.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "engine/core/job_payload.h"
#include "engine/core/messages.h"

namespace {

TEST(JobKindTable, JobCodesKeepTheirMessageNames) {
  struct Case {
    std::uint32_t code;
    const char* name;
  } cases[] = {
      {WM_FLASH, "WM_FLASH"},
      {WM_ORVIX_REVERSE_FLASH, "WM_ORVIX_REVERSE_FLASH"},
      {WM_SHUTDOWN, "WM_SHUTDOWN"},
      {WM_RAM_DUMP, "WM_RAM_DUMP"},
      {WM_FLASHPACK_EXTRACT_ADD_FLASH, "WM_FLASHPACK_EXTRACT_ADD_FLASH"},
      {WM_DELETE_FILE, "WM_DELETE_FILE"},
      {WM_RALIX_FLASH_FILE, "WM_RALIX_FLASH_FILE"},
  };
  for (const auto& c : cases) EXPECT_STREQ(GetMessageName(c.code), c.name) << std::hex << c.code;
  // Every row's name is its message's name and no two rows share one.
  std::set<std::string> names;
  for (const auto& kind : kJobKinds) {
    EXPECT_STREQ(GetMessageName(kind.code), kind.name);
    EXPECT_TRUE(IsJobCode(kind.code)) << kind.name;
    EXPECT_TRUE(names.insert(kind.name).second) << kind.name;
  }
  EXPECT_EQ(names.size(), 21u);
}

TEST(JobKindTable, ScriptWordsAreUniqueAndMissOnlyTheWindowsOwnJobs) {
  std::set<std::string> words;
  for (const auto& kind : kJobKinds) {
    const bool windowOnly = kind.code == WM_CUSTOM_COMMAND || kind.code == WM_FLASHPACK_EXTRACT_ADD_FLASH ||
                            kind.code == WM_RALIX_FORMAT || kind.code == WM_RALIX_FLASH_FILE;
    EXPECT_EQ(kind.scriptWord == nullptr, windowOnly) << kind.name;
    if (kind.scriptWord) {
      EXPECT_TRUE(words.insert(kind.scriptWord).second) << kind.scriptWord;
    }
  }
  EXPECT_STREQ(ScriptWordOf(WM_SHUTDOWN), "TERMINATE_APP");
  EXPECT_STREQ(ScriptWordOf(WM_FLASHPACK_REMOVE), "FLASHPACK_DELETE");
  EXPECT_STREQ(ScriptWordOf(WM_RAM_DUMP), "DUMP_RAM");
}

TEST(JobKindTable, OnlyFlashAndFlashpackAddLoadAnImageFirst) {
  for (const auto& kind : kJobKinds) {
    const bool expected = kind.code == WM_FLASH || kind.code == WM_FLASHPACK_ADD;
    EXPECT_EQ(JobNeedsImageFile(kind.code), expected) << kind.name;
  }
  EXPECT_FALSE(JobNeedsImageFile(WM_QUEUE_JOB));
}

TEST(JobKindTable, ReadBacksAndRamDumpsEndInAFileSave) {
  for (const auto& kind : kJobKinds) {
    const bool expected =
        kind.code == WM_REVERSE_FLASH || kind.code == WM_ORVIX_REVERSE_FLASH || kind.code == WM_RAM_DUMP;
    EXPECT_EQ(JobSavesReadFile(kind.code), expected) << kind.name;
  }
  EXPECT_FALSE(JobSavesReadFile(WM_SAVE_READ_FILE));
}

TEST(JobKindTable, FailedEventOfEachJob) {
  struct Case {
    std::uint32_t code;
    std::int32_t event;
  } cases[] = {
      {WM_FLASH, EVENT_FLASH_FAILED},
      {WM_ERASE, EVENT_FLASH_FAILED},
      {WM_REVERSE_FLASH, EVENT_REVERSE_FLASH_FAILED},
      {WM_RAM_DUMP, EVENT_RAM_DUMP_FAILED},
      {WM_COMM_CHECK, EVENT_COMM_CHECK_FAILED},
      {WM_PROGRAM_MAGIC_KEY, EVENT_MAGIC_KEY_FAILED},
      {WM_CUSTOM_COMMAND, EVENT_CUSTOM_COMMAND_FAILED},
      {WM_RESET_TARGET, EVENT_RESET_TARGET_FAILED},
      {WM_ORVIX_REVERSE_FLASH, EVENT_ORVIX_READ_FAILED},
      {WM_ORVIX_ERASE, EVENT_ORVIX_ERASE_FAILED},
      {WM_ORVIX_FLASH, EVENT_ORVIX_PROGRAM_FAILED},
      {WM_FLASHPACK_EXTRACT, EVENT_FLASHPACK_EXTRACT_FAILED},
      {WM_FLASHPACK_ADD, EVENT_STATUS_FLASHPACK_ADD_FAILED},
      {WM_FLASHPACK_REMOVE, EVENT_STATUS_FLASHPACK_REMOVE_FAILED},
      {WM_FLASHPACK_UPDATE_FLASH, EVENT_FLASH_FAILED},
      {WM_FLASHPACK_EXTRACT_ADD_FLASH, EVENT_FLASH_FAILED},
      {WM_RALIX_FORMAT, EVENT_PHONE_SEND_FAILED},
      {WM_RALIX_FLASH_FILE, EVENT_PHONE_SEND_FAILED},
      {WM_SHUTDOWN, kGenericJobFailedEvent},
      {WM_REMOTE_FILE_TRANSFER, kGenericJobFailedEvent},
      {WM_DELETE_FILE, kGenericJobFailedEvent},
  };
  for (const auto& c : cases) {
    const JobKind* kind = FindJobKind(c.code);
    ASSERT_NE(kind, nullptr) << std::hex << c.code;
    EXPECT_EQ(kind->failedEvent, c.event) << kind->name;
  }
  EXPECT_EQ(FindJobKind(WM_LOG_LINE), nullptr);
}

}  // namespace
