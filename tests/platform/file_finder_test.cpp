// The folder search with wildcard patterns.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/file_finder.h"
#include "platform/temp_folder.h"

namespace {

struct MatchCase {
  const char* pattern;
  const char* name;
  bool matches;
};

const MatchCase kMatchCases[] = {
    {"*.xml", "menu.xml", true},  {"*.xml", "MENU.XML", true}, {"*.xml", "menu.xml.bak", false},
    {"*.XmL", "a.xMl", true},     {"m?nu.*", "menu.txt", true}, {"m?nu.*", "mnu.txt", false},
    {"*a*b*", "xxaxxbxx", true},  {"*a*b", "ab_a", false},     {"abc", "abcd", false},
};

TEST(MatchesWildcard, Table) {
  for (const auto& c : kMatchCases) {
    EXPECT_EQ(platform::MatchesWildcard(c.name, c.pattern), c.matches) << c.pattern << " / " << c.name;
  }
}

TEST(FindFiles, MatchesWithoutCaseSortsByNameAndMarksFolders) {
  const std::string folder = platform::MakeTemporaryFolder("finder-");
  ASSERT_FALSE(folder.empty());
  for (const char* name : {"b.XML", "a.xml", "c.xml", "d.txt"}) std::ofstream(folder + "/" + name) << "x";
  std::filesystem::create_directory(folder + "/e.xml");
  std::vector<std::string> names;
  std::vector<bool> folders;
  for (const auto& found : platform::FindFiles(folder + "/*.xml")) {
    names.push_back(found.name);
    folders.push_back(found.isDirectory);
  }
  EXPECT_EQ(names, (std::vector<std::string>{"a.xml", "b.XML", "c.xml", "e.xml"}));
  EXPECT_EQ(folders, (std::vector<bool>{false, false, false, true}));
  EXPECT_EQ(platform::FindFiles(folder + "/").size(), 5u);
  EXPECT_TRUE(platform::FindFiles(folder + "/none/*").empty());
  std::filesystem::remove_all(folder);
}

}  // namespace
