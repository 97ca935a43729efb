// The command registry: declarations, dispatch, errors and help; the runner
// that carries commands to the interface thread; the event bus.
#include "daemon/command_registry.hpp"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/manual_dispatcher.hpp"
#include "daemon/command_runner.hpp"
#include "daemon/event_bus.hpp"

namespace orv {
namespace {

// A registry with one `say N TEXT` command that records its calls.
struct SayFixture {
  CommandRegistry registry;
  std::vector<std::string> said;
  SayFixture() {
    EXPECT_TRUE(registry.Add({"say", {IntegerArg("N", 1, 3), TextArg()}, "says TEXT N times",
                              [this](const CommandArgs& args) {
                                said.push_back(std::to_string(args.Integer(0)) + ":" + args.Text(1));
                                return Reply::Ok(Fields().Text("said", args.Text(1)));
                              }}));
  }
  std::vector<std::string> Run(std::string_view line) {
    const auto reply = registry.Execute(line, CommandContext{"test", "/"});
    return reply ? ReplyLines(*reply) : std::vector<std::string>{};
  }
};

Reply Nothing(const CommandArgs&) { return Reply::Ok(); }

TEST(CommandRegistry, RefusesBadDeclarations) {
  CommandRegistry registry;
  EXPECT_FALSE(registry.Add({"help", {}, "", Nothing}));                  // taken
  EXPECT_FALSE(registry.Add({"Bad", {}, "", Nothing}));                   // not lower case
  EXPECT_FALSE(registry.Add({"two words", {}, "", Nothing}));
  EXPECT_FALSE(registry.Add({"", {}, "", Nothing}));
  EXPECT_FALSE(registry.Add({"nohandler", {}, "", nullptr}));
  EXPECT_FALSE(registry.Add({"textfirst", {TextArg(), PathArg()}, "", Nothing}));
  EXPECT_FALSE(registry.Add({"optfirst", {Optional(PathArg()), PathArg()}, "", Nothing}));
  EXPECT_TRUE(registry.Add({"send", {PeerArg(), PathArg()}, "", Nothing}));
  EXPECT_FALSE(registry.Add({"send", {}, "", Nothing}));
  EXPECT_EQ(registry.Names(), (std::vector<std::string>{"help", "send"}));
}

TEST(CommandRegistry, RunsTheHandlerWithParsedArguments) {
  SayFixture f;
  EXPECT_EQ(f.Run("say 2 hello world"), std::vector<std::string>{"ok said=\"hello world\""});
  EXPECT_EQ(f.said, std::vector<std::string>{"2:hello world"});
}

TEST(CommandRegistry, BadLinesGetOneErrorLineAndRunNothing) {
  SayFixture f;
  for (const char* line : {"shout 1 hi", "say", "say 4 hi", "say x hi", "say 1", "\"say 1 hi", "say 1 \"a\" b"}) {
    const std::vector<std::string> reply = f.Run(line);
    ASSERT_EQ(reply.size(), 1u) << line;
    EXPECT_EQ(reply[0].rfind("error ", 0), 0u) << line << " -> " << reply[0];
  }
  EXPECT_TRUE(f.said.empty());
  EXPECT_NE(f.Run("say 9 hi")[0].find("usage: say N TEXT"), std::string::npos);
  EXPECT_TRUE(f.Run("   ").empty());
  EXPECT_TRUE(f.Run("# say 1 hi").empty());
}

TEST(CommandRegistry, HelpListsEveryCommandWithItsUsage) {
  SayFixture f;
  EXPECT_EQ(f.Run("help"), (std::vector<std::string>{
                               R"(item command=help usage="help [COMMAND]" summary="lists the commands, or shows one")",
                               R"(item command=say usage="say N TEXT" summary="says TEXT N times")", "ok count=2"}));
  EXPECT_EQ(f.Run("help say").size(), 2u);
  EXPECT_EQ(f.Run("help shout")[0].rfind("error ", 0), 0u);
}

TEST(CommandRunner, RunsOnTheDispatcherAndAnswersOnce) {
  SayFixture f;
  std::vector<std::vector<std::string>> replies;
  {
    ManualDispatcher dispatcher;
    CommandRunner runner(f.registry, dispatcher);
    runner.Submit("say 1 a", {}, [&](std::vector<std::string> lines) { replies.push_back(lines); });
    runner.Submit("# nothing", {}, [&](std::vector<std::string> lines) { replies.push_back(lines); });
    EXPECT_TRUE(replies.empty());  // nothing runs before the interface thread does
    dispatcher.RunPending();
    ASSERT_EQ(replies.size(), 2u);
    EXPECT_EQ(replies[0], std::vector<std::string>{"ok said=a"});
    EXPECT_TRUE(replies[1].empty());
    // Still queued when the dispatcher goes: answered, not lost.
    runner.Submit("say 1 b", {}, [&](std::vector<std::string> lines) { replies.push_back(lines); });
  }
  ASSERT_EQ(replies.size(), 3u);
  EXPECT_EQ(replies[2], std::vector<std::string>{kStoppingReply});
  EXPECT_EQ(f.said, std::vector<std::string>{"1:a"});
}

TEST(EventBus, EveryListenerGetsEveryEventUntilItUnsubscribes) {
  EventBus bus;
  std::vector<std::string> first, second;
  auto a = bus.Subscribe([&](const ControlEvent&, const std::string& line) { first.push_back(line); });
  auto b = bus.Subscribe([&](const ControlEvent& event, const std::string&) { second.push_back(event.name); });
  bus.Emit("one", Fields().Number("n", 1));
  b.Reset();
  bus.Emit("two");
  EXPECT_EQ(first, (std::vector<std::string>{"event one n=1", "event two"}));
  EXPECT_EQ(second, std::vector<std::string>{"one"});
}

}  // namespace
}  // namespace orv
