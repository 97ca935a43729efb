// Commands typed at orvd's terminal (or, with --stdin-commands, piped into
// its standard input). A thread reads standard input line by line and hands
// each line to the command runner; replies and events are printed to
// standard output. Prompts (the password, a yes/no question) read the same
// terminal: they take their turn with BeginPrompt, and the reader keeps its
// hands off standard input until the prompt is done.
#pragma once

#include <functional>
#include <mutex>
#include <condition_variable>
#include <string>
#include <thread>

#include "platform/unique_fd.hpp"

namespace orv {

class TerminalInput {
 public:
  using LineHandler = std::function<void(std::string line)>;

  TerminalInput();
  ~TerminalInput();  // Stop()
  TerminalInput(const TerminalInput&) = delete;
  TerminalInput& operator=(const TerminalInput&) = delete;

  // Starts reading `fd` (standard input); every complete line goes to
  // `on_line` on the reader thread. Reading ends at the end of input.
  bool Start(int fd, LineHandler on_line);
  void Stop();

  // A prompt's turn at the terminal; the reader reads nothing meanwhile.
  class PromptTurn {
   public:
    explicit PromptTurn(TerminalInput* input);
    ~PromptTurn();
    PromptTurn(const PromptTurn&) = delete;
    PromptTurn& operator=(const PromptTurn&) = delete;

   private:
    TerminalInput* input_;
  };

 private:
  void Run(int fd);
  bool WaitForTurn();
  void Deliver(std::string& pending, const char* data, size_t size);

  LineHandler on_line_;
  UniqueFd stop_fd_;
  std::mutex mutex_;  // held while the reader reads, and to change `prompting_`
  std::condition_variable turn_;
  bool prompting_ = false;
  bool stop_ = false;
  std::thread thread_;
};

// Reads one line from standard input byte by byte (no buffering that could
// take the next command's bytes); false at the end of input.
bool ReadInputLine(std::string& line);

}  // namespace orv
