// The word syntax of control lines: reading words, quoting them, and the
// rest-of-line texts.
#include "daemon/control_words.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "daemon/control_reply.hpp"

namespace orv {
namespace {

std::vector<std::string> Words(std::string_view line, std::string* error = nullptr) {
  WordReader reader(line);
  std::vector<std::string> words;
  for (std::string word; reader.Next(word);) words.push_back(word);
  if (error) *error = reader.error();
  return words;
}

using WordList = std::vector<std::string>;

TEST(ControlWords, ReadsWords) {
  const struct {
    const char* line;
    WordList words;
  } cases[] = {
      {"", {}},
      {"   \t ", {}},
      {"status", {"status"}},
      {"  connect\t 127.0.0.1:5  ", {"connect", "127.0.0.1:5"}},
      {R"(send ID "/tmp/my file")", {"send", "ID", "/tmp/my file"}},
      {R"(name="Alice Smith" x)", {"name=Alice Smith", "x"}},
      {R"("a\"b\\c\n\r\t\x41")", {"a\"b\\c\n\r\tA"}},
      {R"(a\ b "" c)", {"a b", "", "c"}},
      {"caf\xC3\xA9", {"caf\xC3\xA9"}},
  };
  for (const auto& c : cases) {
    std::string error;
    EXPECT_EQ(Words(c.line, &error), c.words) << c.line;
    EXPECT_EQ(error, "") << c.line;
  }
}

TEST(ControlWords, ReportsSyntaxErrors) {
  for (const char* line : {R"(a "open)", R"(a \q)", R"(a \x4)", R"(a \xZZ)", "a b\\"}) {
    std::string error;
    Words(line, &error);
    EXPECT_NE(error, "") << line;
  }
}

TEST(ControlWords, QuotesOnlyWhatMustBeQuotedAndReadsItBack) {
  const struct {
    std::string word;
    std::string written;
  } cases[] = {
      {"plain", "plain"},
      {"127.0.0.1:31265", "127.0.0.1:31265"},
      {"caf\xC3\xA9", "caf\xC3\xA9"},
      {"", R"("")"},
      {"#tag", R"("#tag")"},
      {"two words", R"("two words")"},
      {"say \"hi\"\\", R"("say \"hi\"\\")"},
      {"line\nbreak\r\ttab", R"("line\nbreak\r\ttab")"},
      {std::string("nul\0bell\x07", 9), R"("nul\x00bell\x07")"},
      {"bad \xFF utf8 \xC3", R"("bad \xFF utf8 \xC3")"},
      {"sep\xE2\x80\xA8" "ara\xC2\x85tor", R"("sep\xE2\x80\xA8ara\xC2\x85tor")"},
      {"over\xC0\xAFlong", R"("over\xC0\xAFlong")"},
  };
  for (const auto& c : cases) {
    const std::string written = QuoteWord(c.word);
    EXPECT_EQ(written, c.written);
    EXPECT_EQ(written.find('\n'), std::string::npos);
    EXPECT_EQ(Words(written), WordList{c.word}) << written;
  }
}

TEST(ControlWords, RestTextRoundTrips) {
  const struct {
    std::string text;
    bool plain;  // written as it stands
  } cases[] = {
      {"hello world", true},
      {"it's 5\" long, a\\b", true},
      {"#hashtag", true},
      {"", false},
      {" leading", false},
      {"trailing ", false},
      {"\"starts with a quote", false},
      {"two\nlines", false},
      {"\xFF", false},
  };
  for (const auto& c : cases) {
    const std::string written = EncodeRestText(c.text);
    EXPECT_EQ(written == c.text, c.plain) << written;
    std::string read, error;
    ASSERT_TRUE(DecodeRestText(written, read, error)) << written << ": " << error;
    EXPECT_EQ(read, c.text);
  }
}

TEST(ControlWords, RestStartingWithAQuoteMustBeOneWord) {
  std::string text, error;
  EXPECT_FALSE(DecodeRestText(R"("hello" world)", text, error));
  EXPECT_FALSE(DecodeRestText(R"("open)", text, error));
  EXPECT_TRUE(DecodeRestText(R"(say "hello" world)", text, error));
  EXPECT_EQ(text, R"(say "hello" world)");
}

TEST(ControlWords, BlankLinesAndCommentsAreNoCommands) {
  EXPECT_TRUE(IsBlankOrComment(""));
  EXPECT_TRUE(IsBlankOrComment(" \t\r"));
  EXPECT_TRUE(IsBlankOrComment("  # a comment"));
  EXPECT_FALSE(IsBlankOrComment("status # not a comment"));
}

TEST(ControlLines, RepliesAndEventsReadBack) {
  Reply list;
  list.items.push_back(Fields().Text("name", "Alice Smith").Number("n", -5));
  list.fields.Flag("done", true).Text("empty", "");
  const std::vector<std::string> lines = ReplyLines(list);
  ASSERT_EQ(lines, (std::vector<std::string>{R"(item name="Alice Smith" n=-5)", "ok done=1 empty="}));
  const auto item = ParseControlLine(lines[0]);
  ASSERT_TRUE(item);
  EXPECT_EQ(item->kind, "item");
  EXPECT_EQ(item->Field("name"), "Alice Smith");
  EXPECT_EQ(ParseControlLine(lines[1])->Field("empty"), "");

  const std::vector<std::string> error = ReplyLines(Reply::Error("no such peer\nreally"));
  ASSERT_EQ(error.size(), 1u);
  EXPECT_EQ(error[0], R"(error "no such peer\nreally")");
  EXPECT_EQ(ParseControlLine(error[0])->reason, "no such peer\nreally");

  const uint32_t id[8] = {0x01234567, 0x89ABCDEF, 0, 1, 2, 3, 4, 0xFFFFFFFF};
  const std::string event = EventLine({"chat", Fields().UserId("user", id).Address("from", 0x7F000001, 31265)
                                                   .Text("text", "hi \"you\"")});
  EXPECT_EQ(event, "event chat user=0123456789ABCDEF00000000000000010000000200000003"
                   "00000004FFFFFFFF from=127.0.0.1:31265 text=\"hi \\\"you\\\"\"");
  const auto parsed = ParseControlLine(event);
  ASSERT_TRUE(parsed);
  EXPECT_EQ(parsed->name, "chat");
  EXPECT_EQ(parsed->Field("text"), "hi \"you\"");
  EXPECT_FALSE(ParseControlLine("hello there"));
}

}  // namespace
}  // namespace orv
