// The user's settings of the main window: the recent files kept per
// program title and put back under those the configuration gave.
#include <gtest/gtest.h>

#include "engine/core/app_settings.h"
#include "shell/ui/main/user_window_settings.h"

namespace {

std::vector<std::string> RecentOf(const CAppSettings& settings) {
  std::vector<std::string> paths;
  for (int i = 0; i < kMaxRecentFilesLimit; ++i) {
    const std::string path = settings.GetAppString(APP_STRING_RECENT_FILE, i);
    if (path.empty()) break;
    paths.push_back(path);
  }
  return paths;
}

TEST(UserWindowSettings, RecentFilesGoBackInTheirOrderUnderThoseAlreadyListed) {
  CUserWindowSettings stored("Recent order");
  stored.SetRecentFiles({"/img/c.s19", "/img/b.s19", "/img/a.s19"});
  CAppSettings settings;
  settings.SetAppString(APP_STRING_RECENT_FILE, "/img/b.s19");
  settings.SetAppString(APP_STRING_RECENT_FILE, "/img/new.s19");
  stored.LoadRecentFilesInto(settings);
  EXPECT_EQ(RecentOf(settings), (std::vector<std::string>{"/img/new.s19", "/img/b.s19", "/img/c.s19", "/img/a.s19"}));
}

TEST(UserWindowSettings, EachTitleKeepsItsOwnListAndOnlyAsManyAsTheMenuOffers) {
  CAppSettings settings;
  settings.SetAppInt(APP_INT_MAX_RECENT_FILES, 2);
  for (const char* path : {"/1.s19", "/2.s19", "/3.s19"}) settings.SetAppString(APP_STRING_RECENT_FILE, path);
  CUserWindowSettings("Station A").SaveRecentFilesFrom(settings);
  CUserWindowSettings("Station B").SetRecentFiles({"/b.s19"});
  EXPECT_EQ(CUserWindowSettings("Station A").RecentFiles(), (std::vector<std::string>{"/3.s19", "/2.s19"}));
  EXPECT_EQ(CUserWindowSettings("Station B").RecentFiles(), (std::vector<std::string>{"/b.s19"}));
  EXPECT_TRUE(CUserWindowSettings("Station C").RecentFiles().empty());
}

}  // namespace
