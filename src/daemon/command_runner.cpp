#include "daemon/command_runner.hpp"

#include <memory>

namespace orv {
namespace {

// A submitted command; answers kStoppingReply when it goes unanswered, which
// happens when the dispatcher refuses or drops the task that holds it.
class PendingCommand {
 public:
  explicit PendingCommand(ReplyDone done) : done_(std::move(done)) {}
  ~PendingCommand() {
    if (done_) done_({kStoppingReply});
  }
  PendingCommand(const PendingCommand&) = delete;
  PendingCommand& operator=(const PendingCommand&) = delete;

  void Answer(std::vector<std::string> lines) {
    ReplyDone done = std::move(done_);
    done_ = nullptr;
    done(std::move(lines));
  }

 private:
  ReplyDone done_;
};

}  // namespace

void CommandRunner::Submit(std::string line, CommandContext context, ReplyDone done) {
  auto pending = std::make_shared<PendingCommand>(std::move(done));
  dispatcher_.Post([this, pending, line = std::move(line), context = std::move(context)] {
    const std::optional<Reply> reply = registry_.Execute(line, context);
    pending->Answer(reply ? ReplyLines(*reply) : std::vector<std::string>{});
  });
}

}  // namespace orv
