#include "settings/profile_paths.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "support/temp_dir.hpp"

namespace orv {
namespace {

using test::TempDir;
using test::WriteWholeFile;

TEST(ProfilePaths, ProfileDirectoryComesFromArgumentThenXdgThenHome) {
  struct Case {
    ProfileEnvironment env;
    std::string profile_dir;
  } cases[] = {
      {{"/srv/node1/", "/xdg", "/home/a"}, "/srv/node1"},
      {{"", "/xdg/", "/home/a"}, "/xdg/orv"},
      {{"", "", "/home/a"}, "/home/a/.config/orv"},
      {{"", "relative/xdg", "/home/a"}, "/home/a/.config/orv"},  // relative XDG values are ignored
  };
  for (const Case& c : cases) {
    const ProfilePaths paths = ResolveProfilePaths(c.env);
    EXPECT_EQ(paths.profile_dir, c.profile_dir);
    EXPECT_EQ(paths.settings_file, c.profile_dir + "/orv.set");
  }
}

TEST(ProfilePaths, RelativeProfileArgumentBecomesAbsolute) {
  const ProfilePaths paths = ResolveProfilePaths({"some/dir", "", "/home/a"});
  EXPECT_EQ(paths.profile_dir, (std::filesystem::current_path() / "some/dir").string());
}

TEST(ProfilePaths, ProfileArgumentForms) {
  const char* spaced[] = {"orvd", "--verbose", "--profile", "/p", "x"};
  const char* joined[] = {"orvd", "--profile=/q"};
  const char* missing_value[] = {"orvd", "--profile"};
  const char* none[] = {"orvd"};
  EXPECT_EQ(ProfileArgument(spaced), "/p");
  EXPECT_EQ(ProfileArgument(joined), "/q");
  EXPECT_EQ(ProfileArgument(missing_value), "");
  EXPECT_EQ(ProfileArgument(none), "");
}

TEST(ProfilePaths, DownloadFolderFromUserDirsFile) {
  TempDir dir;
  const ProfileEnvironment env{"", dir.path(), "/home/a"};
  struct Case {
    const char* file;  // nullptr: no user-dirs.dirs at all
    std::string download_dir;
  } cases[] = {
      {nullptr, "/home/a/Downloads"},
      {"# comment\nXDG_DESKTOP_DIR=\"$HOME/Desktop\"\nXDG_DOWNLOAD_DIR=\"$HOME/Hent\"\n", "/home/a/Hent"},
      {"XDG_DOWNLOAD_DIR=\"/data/incoming/\"\n", "/data/incoming"},
      {"XDG_DOWNLOAD_DIR=\"$HOME/\"\n", "/home/a"},                // switched off: the home folder
      {"XDG_DOWNLOAD_DIR=relative\n", "/home/a/Downloads"},       // not in the documented form
      {"XDG_DOWNLOAD_DIR=\"$HOMEX/y\"\n", "/home/a/Downloads"},
      {"XDG_DOWNLOAD_DIR=\"$HOME/unterminated\n", "/home/a/Downloads"},
  };
  for (const Case& c : cases) {
    std::filesystem::remove(dir / "user-dirs.dirs");
    if (c.file) WriteWholeFile(dir / "user-dirs.dirs", c.file);
    EXPECT_EQ(DownloadDirectory(env), c.download_dir) << (c.file ? c.file : "(none)");
  }
}

TEST(ProfilePaths, EnsureProfileDirectoryMakesAPrivateFolder) {
  TempDir dir;
  ProfilePaths paths;
  paths.profile_dir = dir / "a/b/orv";
  ASSERT_TRUE(EnsureProfileDirectory(paths));
  struct stat st {};
  ASSERT_EQ(::stat(paths.profile_dir.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  EXPECT_TRUE(EnsureProfileDirectory(paths));  // already there

  WriteWholeFile(dir / "file", "x");
  paths.profile_dir = dir / "file/orv";        // under a plain file: cannot be made
  EXPECT_FALSE(EnsureProfileDirectory(paths));
}

}  // namespace
}  // namespace orv
