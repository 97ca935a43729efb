// A password typed here as UTF-8 text, as the bytes a key made on the
// original platform took: Windows-1252, where it has every character.
#include "identity/legacy_password.hpp"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace orv {
namespace {

std::optional<std::string> Legacy(const std::string& utf8) {
  const std::optional<PasswordBytes> bytes = Windows1252Password(PasswordBytes(utf8));
  if (!bytes) return std::nullopt;
  return std::string(reinterpret_cast<const char*>(bytes->data()), bytes->size());
}

TEST(Windows1252Password, MapsWhatTheCodePageHasAndNothingElse) {
  const struct {
    const char* what;
    std::string utf8;
    std::optional<std::string> bytes;
  } cases[] = {
      {"plain ASCII is the same", "secret", std::nullopt},
      {"Latin-1 letters", "p\u00e4ss\u00fcw\u00f6rt", std::string("p\xE4ss\xFCw\xF6rt")},
      {"the euro sign and quotes", "\u20ac \u201cx\u201d", std::string("\x80 \x93x\x94")},
      {"a letter the code page lacks", "\u0142\u00f3d\u017a", std::nullopt},
      {"a character beyond three bytes", "pw \xF0\x9F\x94\x91", std::nullopt},
      {"a sequence cut short", "pw \xC3", std::nullopt},
      {"an overlong encoding", "pw \xC0\xAF", std::nullopt},
      {"a stray continuation byte", "pw \x80", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(Legacy(c.utf8), c.bytes) << c.what;
}

}  // namespace
}  // namespace orv
