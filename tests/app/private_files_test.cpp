// Every file that holds secrets or private data is the user's alone (0600),
// whatever the umask, and a file of the same name left open to others by an
// earlier run is not kept that way.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <functional>
#include <pugixml.hpp>
#include <string>

#include "app/log_file.hpp"
#include "crypto/random_pool.hpp"
#include "identity/key_file.hpp"
#include "identity/secret_file.hpp"
#include "settings/settings_defaults.hpp"
#include "settings/settings_file.hpp"
#include "support/temp_dir.hpp"
#include "support/test_identity.hpp"

namespace orv {
namespace {

using test::TempDir;

unsigned Mode(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? (st.st_mode & 0777) : 0;
}

// Sets the umask for the life of the object.
class Umask {
 public:
  explicit Umask(mode_t mask) : old_(::umask(mask)) {}
  ~Umask() { ::umask(old_); }

 private:
  mode_t old_;
};

struct Writer {
  const char* name;
  std::function<bool(const std::string& path)> write;
};

const Writer kWriters[] = {
    {"seed.bin", [](const std::string& path) {
       SeedFileRefresh(path);
       return true;
     }},
    {"orv.key", [](const std::string& path) { return WriteKeyFile(path, test::Alice().record) == KeyFileWrite::kWritten; }},
    {"downloads.xml",
     [](const std::string& path) {
       pugi::xml_document doc;
       doc.append_child("downloads");
       const auto& id = test::Alice();
       return SaveEncryptedXml(path, doc, id.record, id.pw(), id.password.size());
     }},
    {"chat log",
     [](const std::string& path) {
       const auto& id = test::Alice();
       RecordLog log;
       return log.Open(path, id.record, id.pw(), id.password.size(), [](const std::u16string&) {}) &&
              log.Append(u"hello");
     }},
    {"log.txt",
     [](const std::string& path) {
       LogFile log;
       return log.Open(path);
     }},
};

TEST(PrivateFilesTest, WritersCreateTheirFilesForTheUserAloneWhateverTheUmask) {
  const Umask open_to_all(0);
  for (const Writer& w : kWriters) {
    TempDir dir;
    const std::string path = dir / "file";
    ASSERT_TRUE(w.write(path)) << w.name;
    EXPECT_EQ(Mode(path), 0600u) << w.name;
  }
}

TEST(PrivateFilesTest, AFileLeftOpenToOthersIsNarrowed) {
  const Umask open_to_all(0);
  for (const Writer& w : kWriters) {
    TempDir dir;
    const std::string path = dir / "file";
    ASSERT_TRUE(w.write(path)) << w.name;
    ASSERT_EQ(::chmod(path.c_str(), 0644), 0);
    ASSERT_TRUE(w.write(path)) << w.name;
    EXPECT_EQ(Mode(path), 0600u) << w.name;
  }
}

TEST(PrivateFilesTest, ProfileFolderAndSettingsFileAreTheUsersAlone) {
  const Umask open_to_all(0);
  TempDir dir;
  ProfilePaths paths;
  paths.profile_dir = dir / "config/orv";
  paths.settings_file = paths.profile_dir + "/orv.set";
  paths.download_dir = dir / "Downloads";
  ASSERT_TRUE(SaveSettings(DefaultSettings(paths), paths, nullptr));
  EXPECT_EQ(Mode(paths.profile_dir), 0700u);
  EXPECT_EQ(Mode(paths.settings_file), 0600u);

  // A profile folder an earlier version left open is closed again.
  ASSERT_EQ(::chmod(paths.profile_dir.c_str(), 0755), 0);
  ASSERT_TRUE(EnsureProfileDirectory(paths));
  EXPECT_EQ(Mode(paths.profile_dir), 0700u);
}

}  // namespace
}  // namespace orv
