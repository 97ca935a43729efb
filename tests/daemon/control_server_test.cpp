// The control socket with real clients on a socket in a temporary folder:
// permissions, several clients, bad and overlong lines, order of replies,
// events, refusals and shutdown.
#include "daemon/control_server.hpp"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "app/event_loop_dispatcher.hpp"
#include "daemon/command_runner.hpp"
#include "daemon/control_ctl.hpp"
#include "daemon/control_socket.hpp"
#include "support/temp_dir.hpp"

namespace orv {
namespace {

using std::chrono::milliseconds;
constexpr milliseconds kWait{5000};

// One client connection, read line by line with a bounded wait.
class Client {
 public:
  explicit Client(const std::string& path) : fd_(ConnectControlSocket(path, error_)), reader_(fd_.get()) {}
  bool connected() const { return fd_.valid(); }
  bool Send(const std::string& text) { return WriteAll(fd_.get(), text); }
  std::string Line() {
    std::string line;
    return reader_.Next(line, kWait) == LineReader::Result::kLine ? line : "<none>";
  }
  // The next line that is not an event.
  std::string Reply() {
    for (std::string line = Line();; line = Line())
      if (line.rfind("event ", 0) != 0) return line;
  }
  std::string Ask(const std::string& command) {
    Send(command + "\n");
    return Reply();
  }
  bool Closed() {
    std::string line;
    return reader_.Next(line, kWait) == LineReader::Result::kClosed;
  }

 private:
  std::string error_;
  UniqueFd fd_;
  LineReader reader_;
};

// A control server with `say TEXT` and `where PATH` on a real interface thread.
struct ServerFixture {
  test::TempDir dir;
  std::string path = dir / "orvd.sock";
  CommandRegistry registry;
  EventBus bus;
  EventLoopDispatcher dispatcher;
  CommandRunner runner{registry, dispatcher};
  std::unique_ptr<ControlServer> server;

  explicit ServerFixture(ControlServerLimits limits = {}) {
    registry.Add({"say", {TextArg()}, "", [this](const CommandArgs& args) {
                    EXPECT_TRUE(dispatcher.OnLoopThread());
                    return Reply::Ok(Fields().Text("said", args.Text(0)));
                  }});
    registry.Add({"where", {PathArg()}, "",
                  [](const CommandArgs& args) { return Reply::Ok(Fields().Text("path", args.Text(0))); }});
    server = std::make_unique<ControlServer>(runner, bus, limits);
    std::string error;
    EXPECT_TRUE(server->Open(path, error)) << error;
  }

  // Waits (bounded) until the server holds `count` clients.
  bool WaitForClients(size_t count) {
    const auto deadline = std::chrono::steady_clock::now() + kWait;
    while (server->ClientCount() != count) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      std::this_thread::sleep_for(milliseconds(5));
    }
    return true;
  }
};

TEST(ControlServer, SocketIsTheOwnersAloneAndAnswers) {
  ServerFixture f;
  struct stat info {};
  ASSERT_EQ(::stat(f.path.c_str(), &info), 0);
  EXPECT_TRUE(S_ISSOCK(info.st_mode));
  EXPECT_EQ(info.st_mode & 0777, 0600u);
  Client client(f.path);
  ASSERT_TRUE(client.connected());
  EXPECT_EQ(client.Ask("say hello world"), R"(ok said="hello world")");
  EXPECT_EQ(client.Ask("shout hello").rfind("error unknown command: shout", 0), 0u);
  EXPECT_EQ(client.Ask("say \"open").rfind("error unterminated quote", 0), 0u);
  EXPECT_EQ(client.Ask("say still here"), R"(ok said="still here")");
}

TEST(ControlServer, SeveralClientsGetTheirOwnRepliesAndEveryEvent) {
  ServerFixture f;
  std::vector<std::unique_ptr<Client>> clients;
  for (int i = 0; i < 3; ++i) clients.push_back(std::make_unique<Client>(f.path));
  ASSERT_TRUE(f.WaitForClients(3));
  for (int i = 0; i < 3; ++i) clients[static_cast<size_t>(i)]->Send("say " + std::to_string(i) + "\n");
  for (int i = 0; i < 3; ++i) EXPECT_EQ(clients[static_cast<size_t>(i)]->Reply(), "ok said=" + std::to_string(i));
  f.bus.Emit("ping", Fields().Text("text", "to all"));
  for (auto& client : clients) EXPECT_EQ(client->Line(), R"(event ping text="to all")");
  clients.pop_back();
  EXPECT_TRUE(f.WaitForClients(2));
}

TEST(ControlServer, PipelinedCommandsAreAnsweredInOrder) {
  ServerFixture f;
  Client client(f.path);
  client.Send("say a\r\n\n# comment\nbogus\nsay b\n");
  EXPECT_EQ(client.Line(), "ok said=a");
  EXPECT_EQ(client.Line().rfind("error unknown command: bogus", 0), 0u);
  EXPECT_EQ(client.Line(), "ok said=b");
}

TEST(ControlServer, OverlongLineIsRefusedAndTheConnectionGoesOn) {
  ControlServerLimits limits;
  limits.max_line = 100;
  ServerFixture f(limits);
  Client client(f.path);
  client.Send("say " + std::string(5000, 'x'));
  EXPECT_EQ(client.Line(), "error line too long (at most 100 bytes)");
  client.Send(std::string(5000, 'y') + "\nsay " + std::string(200, 'z') + "\nsay fine\n");
  EXPECT_EQ(client.Line(), "error line too long (at most 100 bytes)");
  EXPECT_EQ(client.Line(), "ok said=fine");
}

TEST(ControlServer, RelativePathsAreTheClientsWorkingDirectory) {
  ServerFixture f;
  Client client(f.path);
  const std::string cwd = std::filesystem::current_path().string();
  EXPECT_EQ(client.Ask("where sub/../file.txt"), "ok path=" + QuoteWord(cwd + "/file.txt"));
}

TEST(ControlServer, OtherUsersAreRefused) {
  ControlServerLimits limits;
  limits.allowed_uid = ::geteuid() + 1;
  ServerFixture f(limits);
  Client client(f.path);
  EXPECT_EQ(client.Line(), "error permission denied");
  EXPECT_TRUE(client.Closed());
  EXPECT_EQ(f.server->ClientCount(), 0u);
}

TEST(ControlServer, TooManyClientsAreRefused) {
  ControlServerLimits limits;
  limits.max_clients = 1;
  ServerFixture f(limits);
  Client first(f.path);
  ASSERT_TRUE(f.WaitForClients(1));
  Client second(f.path);
  EXPECT_EQ(second.Line(), "error too many control clients");
  EXPECT_EQ(first.Ask("say ok"), "ok said=ok");
}

TEST(ControlServer, AClientThatDoesNotReadIsDropped) {
  ControlServerLimits limits;
  limits.max_output = 4096;
  ServerFixture f(limits);
  Client client(f.path);
  ASSERT_TRUE(f.WaitForClients(1));
  // Far more than the socket buffers and the output limit hold.
  for (int i = 0; i < 20000; ++i) f.bus.Emit("flood", Fields().Text("text", std::string(100, 'f')));
  EXPECT_TRUE(f.WaitForClients(0));
}

TEST(ControlServer, StaleSocketIsReplacedButALiveOneOrAFileIsNot) {
  test::TempDir dir;
  const std::string path = dir / "orvd.sock";
  {  // a socket file whose node is gone
    UniqueFd stale(::socket(AF_UNIX, SOCK_STREAM, 0));
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strcpy(address.sun_path, path.c_str());
    ASSERT_EQ(::bind(stale.get(), reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  }
  std::string error;
  UniqueFd live = ListenControlSocket(path, error);
  ASSERT_TRUE(live.valid()) << error;
  EXPECT_FALSE(ListenControlSocket(path, error).valid());
  EXPECT_NE(error.find("another orvd"), std::string::npos);

  const std::string file = dir / "plain";
  test::WriteWholeFile(file, "keep me");
  EXPECT_FALSE(ListenControlSocket(file, error).valid());
  EXPECT_EQ(test::ReadWholeFile(file), "keep me");
  EXPECT_FALSE(ListenControlSocket(dir / std::string(200, 'x'), error).valid());
}

TEST(ControlServer, ShutdownAnswersStoppingFlushesAndRemovesTheSocket) {
  ServerFixture f;
  Client client(f.path);
  ASSERT_TRUE(f.WaitForClients(1));
  f.server->StopCommands();
  EXPECT_EQ(client.Ask("say late"), kStoppingReply);
  f.bus.Emit("bye");  // events of the shutdown still go out
  f.server->Close();
  EXPECT_EQ(client.Line(), "event bye");
  EXPECT_TRUE(client.Closed());
  EXPECT_FALSE(std::filesystem::exists(f.path));
}

// A clock the test moves.
struct TestClock {
  std::mutex lock;
  std::chrono::steady_clock::time_point now{};
  void Advance(std::chrono::milliseconds by) {
    std::lock_guard<std::mutex> g(lock);
    now += by;
  }
  ControlServerLimits::Clock Reader() {
    return [this] {
      std::lock_guard<std::mutex> g(lock);
      return now;
    };
  }
};

// Connections without a command for the idle limit are told why and
// closed, so they cannot keep the places of the clients; one that is
// listening to the events, or that sent a command since, stays.
TEST(ControlServer, IdleClientsAreClosedAndTheirPlacesFreed) {
  TestClock clock;
  ControlServerLimits limits;
  limits.max_clients = 3;
  limits.clock = clock.Reader();
  ServerFixture f(limits);
  Client idle(f.path), listener(f.path), busy(f.path);
  ASSERT_TRUE(f.WaitForClients(3));
  EXPECT_EQ(listener.Ask(kListenLine), "ok");
  Client refused(f.path);
  EXPECT_EQ(refused.Line(), "error too many control clients");

  clock.Advance(milliseconds(29000));
  EXPECT_EQ(busy.Ask("say still here"), "ok said=\"still here\"");
  clock.Advance(milliseconds(1000));
  f.server->Tick();
  EXPECT_EQ(idle.Line(), "error no command for 30 s: connection closed");
  EXPECT_TRUE(idle.Closed());
  ASSERT_TRUE(f.WaitForClients(2));

  Client next(f.path);
  EXPECT_EQ(next.Ask("say in"), "ok said=in");
  f.bus.Emit("ping");
  EXPECT_EQ(listener.Line(), "event ping");
  EXPECT_EQ(busy.Ask("say on"), "ok said=on");
}

// `orvd ctl` names the node's reason when the node closed the connection.
TEST(ControlServer, TheClientNamesTheNodesReasonForClosing) {
  const struct {
    const char* written;
    const char* text;
  } cases[] = {
      {"error too many control clients\n", "the node closed the connection: too many control clients"},
      {"event ping\nerror no command for 30 s: connection closed\n",
       "the node closed the connection: no command for 30 s: connection closed"},
      {"", "the node closed the connection"},
  };
  for (const auto& c : cases) {
    int ends[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, ends), 0);
    UniqueFd ours(ends[0]);
    {
      UniqueFd node(ends[1]);
      ASSERT_TRUE(WriteAll(node.get(), c.written));
    }
    LineReader reader(ours.get());
    EXPECT_EQ(ClosedConnectionText(reader), c.text);
  }
}

// A refusal is told from an error reply: the node closes right after it.
TEST(ControlServer, TheClientSeesWhenTheNodeClosedRightAfterALine) {
  int ends[2];
  ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, ends), 0);
  UniqueFd ours(ends[0]);
  UniqueFd node(ends[1]);
  LineReader reader(ours.get());
  std::string line;
  ASSERT_TRUE(WriteAll(node.get(), "error a reply\nerror too many control clients\n"));
  ASSERT_EQ(reader.Next(line, kWait), LineReader::Result::kLine);
  EXPECT_FALSE(reader.ClosedNow());  // another line waits
  ASSERT_EQ(reader.Next(line, kWait), LineReader::Result::kLine);
  EXPECT_FALSE(reader.ClosedNow());  // still open
  node.Reset();
  EXPECT_TRUE(reader.ClosedNow());
}

}  // namespace
}  // namespace orv
