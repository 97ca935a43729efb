// The argument kinds of control commands and their parsing.
#include "daemon/control_args.hpp"

#include <gtest/gtest.h>

namespace orv {
namespace {

const uint32_t kId[8] = {0x955663FD, 0x2B3E6470, 0x8546A00A, 0x2B67180F,
                         0xB495C2E6, 0x2F435EBB, 0x7E8626B0, 0x6260BEEE};
const char kToken[] = "955663FD2B3E64708546A00A2B67180FB495C2E62F435EBB7E8626B06260BEEE";
const char kSpaced[] = "955663FD 2B3E6470 8546A00A 2B67180F B495C2E6 2F435EBB 7E8626B0 6260BEEE";

// Parses `line` against `defs`; the error, empty on success.
std::string Parse(const std::vector<ArgDef>& defs, std::string_view line, CommandArgs& args,
                  const std::string& base_dir = "/home/me") {
  WordReader reader(line);
  std::string error;
  return ParseArguments(defs, reader, base_dir, args, error) ? std::string() : error;
}

TEST(ControlArgs, UserIdTokenIsSixtyFourHexDigits) {
  EXPECT_EQ(UserIdToken(kId), kToken);
  uint32_t id[8] = {};
  ASSERT_TRUE(ParseUserId(kToken, id));
  EXPECT_TRUE(SameUserId(id, kId));
}

TEST(ControlArgs, UserIdInEveryWrittenForm) {
  const std::string lower = "955663fd-2b3e6470-8546a00a-2b67180f-b495c2e6-2f435ebb-7e8626b0-6260beee";
  for (const std::string& line : {std::string(kToken), std::string(kSpaced), "\"" + std::string(kSpaced) + "\"",
                                  lower}) {
    CommandArgs args;
    ASSERT_EQ(Parse({UserIdArg(), TextArg()}, line + " hello there", args), "") << line;
    EXPECT_TRUE(SameUserId(args.UserId(0), kId)) << line;
    EXPECT_EQ(args.Text(1), "hello there") << line;
  }
}

TEST(ControlArgs, BadUserIdsAreRefused) {
  const std::string token = kToken;
  for (const std::string& line :
       {token.substr(1), token + "0", "X" + token.substr(1), std::string("955663FD 2B3E6470 8546A00A"),
        std::string("127.0.0.1:5")}) {
    CommandArgs args;
    EXPECT_NE(Parse({UserIdArg()}, line, args), "") << line;
  }
}

TEST(ControlArgs, PeerIsUserIdOrAddress) {
  CommandArgs args;
  ASSERT_EQ(Parse({PeerArg()}, "10.0.0.2:31265", args), "");
  EXPECT_TRUE(IsZeroUserId(args.Peer(0).user_id));
  EXPECT_EQ(args.Peer(0).ipv4, 0x0A000002u);
  EXPECT_EQ(args.Peer(0).port, 31265);
  ASSERT_EQ(Parse({PeerArg()}, kSpaced, args), "");
  EXPECT_TRUE(SameUserId(args.Peer(0).user_id, kId));
  EXPECT_EQ(args.Peer(0).port, 0);
}

TEST(ControlArgs, TableOfArgumentsAndErrors) {
  const std::vector<ArgDef> defs = {AddressArg(), IntegerArg("N", 0, 0xFFFFFF), WordArg("MODE", {"fast", "slow"}),
                                      Optional(PathArg())};
  const struct {
    const char* line;
    bool ok;
    int64_t number;
    const char* path;
  } cases[] = {
      {"1.2.3.4:5 7 fast /tmp/x", true, 7, "/tmp/x"},
      {"1.2.3.4:5 0xFFFFFF slow", true, 0xFFFFFF, ""},
      {"1.2.3.4:5 7 fast docs/../file.txt", true, 7, "/home/me/file.txt"},
      {"1.2.3.4:5 7 fast \"with space/x\"", true, 7, "/home/me/with space/x"},
      {"1.2.3.4:0 7 fast", false, 0, ""},          // port 0
      {"1.2.3.4 7 fast", false, 0, ""},            // no port
      {"1.2.3:5 7 fast", false, 0, ""},            // not an address
      {"1.2.3.4:5 16777216 fast", false, 0, ""},   // out of range
      {"1.2.3.4:5 -1 fast", false, 0, ""},         // out of range
      {"1.2.3.4:5 7x fast", false, 0, ""},         // not a number
      {"1.2.3.4:5 7 medium", false, 0, ""},        // not a choice
      {"1.2.3.4:5 7", false, 0, ""},               // missing
      {"1.2.3.4:5 7 fast /a /b", false, 0, ""},    // too many
      {"1.2.3.4:5 7 fast \"\\x00\"", false, 0, ""},  // NUL in a path
      {"1.2.3.4:5 7 fast \"open", false, 0, ""},   // syntax
  };
  for (const auto& c : cases) {
    CommandArgs args;
    const std::string error = Parse(defs, c.line, args);
    EXPECT_EQ(error.empty(), c.ok) << c.line << ": " << error;
    if (!c.ok || !error.empty()) continue;
    EXPECT_EQ(args.Integer(1), c.number) << c.line;
    EXPECT_EQ(args.Has(3), *c.path != 0) << c.line;
    if (args.Has(3)) {
      EXPECT_EQ(args.Text(3), c.path) << c.line;
    }
  }
}

TEST(ControlArgs, RelativePathNeedsAWorkingDirectory) {
  CommandArgs args;
  EXPECT_NE(Parse({PathArg()}, "file.txt", args, ""), "");
  EXPECT_EQ(Parse({PathArg()}, "/srv/file.txt", args, ""), "");
}

TEST(ControlArgs, TextTakesTheRestOfTheLine) {
  const std::vector<ArgDef> defs = {WordArg("ID"), TextArg()};
  const struct {
    const char* line;
    const char* text;  // null: refused
  } cases[] = {
      {"x hello   world  ", "hello   world"},
      {"x   \"  two\\nlines\"", "  two\nlines"},
      {"x it's a \"quote\" \\n", "it's a \"quote\" \\n"},
      {"x \"one\" two", nullptr},
      {"x", nullptr},
  };
  for (const auto& c : cases) {
    CommandArgs args;
    const std::string error = Parse(defs, c.line, args);
    if (!c.text) {
      EXPECT_NE(error, "") << c.line;
      continue;
    }
    ASSERT_EQ(error, "") << c.line;
    EXPECT_EQ(args.Text(1), c.text) << c.line;
  }
}

TEST(ControlArgs, UsageShowsOptionalArguments) {
  EXPECT_EQ(UsageText("accept", {IntegerArg("TRANSFER", 0, 1), Optional(PathArg())}), "accept TRANSFER [PATH]");
}

}  // namespace
}  // namespace orv
