#include "daemon/conversation_commands.hpp"

#include "chat/call_control.hpp"
#include "identity/utf16.hpp"

namespace orv {
namespace {

// The conversation with the peer that `args` names: the open one with that
// UserId, else a new one (the peer table or the DHT gives the address).
std::shared_ptr<Conversation> OpenWith(Conversations& conversations, const PeerRef& peer) {
  if (!IsZeroUserId(peer.user_id))
    if (auto open = conversations.FindByUserId(peer.user_id)) return open;
  const ConversationId id = conversations.Open(peer);
  return id ? conversations.Get(id) : nullptr;
}

Fields ConversationFields(const ConversationSummary& c) {
  return Fields()
      .Number("conversation", c.id)
      .UserId("user", c.peer.user_id)
      .Address("address", c.peer.ipv4, c.peer.port)
      .Number("state", c.call_state)
      .Text("name", CallStateName(c.call_state))
      .Number("pending", static_cast<int64_t>(c.pending));
}

// Runs `action` on the open conversation with the UserId in argument 0.
template <typename Action>
Reply WithOpen(Application& node, const CommandArgs& args, Action action) {
  Conversations* conversations = node.conversations();
  if (!conversations) return Reply::Error("the node has no conversations");
  std::shared_ptr<Conversation> c = conversations->FindByUserId(args.UserId(0));
  if (!c) return Reply::Error("no conversation with that user");
  return action(*c);
}

Reply Chat(Application& node, const CommandArgs& args) {
  Conversations* conversations = node.conversations();
  if (!conversations) return Reply::Error("the node has no conversations");
  std::shared_ptr<Conversation> c = OpenWith(*conversations, args.Peer(0));
  if (!c) return Reply::Error("no address known for that user");
  c->SendChatInput(Utf8ToUtf16(args.Text(1)));
  return Reply::Ok(Fields().Number("conversation", c->id()));
}

Reply Call(Application& node, const CommandArgs& args) {
  Conversations* conversations = node.conversations();
  if (!conversations) return Reply::Error("the node has no conversations");
  std::shared_ptr<Conversation> c = OpenWith(*conversations, args.Peer(0));
  if (!c) return Reply::Error("no address known for that user");
  if (c->call_state() > kCallConnected) return Reply::Error("a call with that user is going on");
  c->PressCallButton();
  return Reply::Ok(Fields().Number("conversation", c->id()));
}

Reply ListConversations(Application& node) {
  Conversations* conversations = node.conversations();
  if (!conversations) return Reply::Error("the node has no conversations");
  Reply reply;
  for (const ConversationSummary& c : conversations->List()) reply.items.push_back(ConversationFields(c));
  reply.fields.Number("count", static_cast<int64_t>(reply.items.size()));
  return reply;
}

}  // namespace

void AddConversationCommands(CommandRegistry& registry, Application& node) {
  registry.Add({"chat", {PeerArg(), TextArg()}, "sends a chat message (opens the conversation when needed)",
                [&node](const CommandArgs& args) { return Chat(node, args); }});
  registry.Add({"call", {PeerArg()}, "calls the user", [&node](const CommandArgs& args) { return Call(node, args); }});
  registry.Add({"answer", {UserIdArg()}, "answers the user's incoming call", [&node](const CommandArgs& args) {
                  return WithOpen(node, args, [](Conversation& c) {
                    if (!c.ring_open() || c.call_state() >= kCallDialing) return Reply::Error("no incoming call");
                    c.AnswerRing();
                    return Reply::Ok(Fields().Number("conversation", c.id()));
                  });
                }});
  registry.Add({"refuse", {UserIdArg()}, "refuses the user's incoming call", [&node](const CommandArgs& args) {
                  return WithOpen(node, args, [](Conversation& c) {
                    if (!c.ring_open() || c.call_state() >= kCallDialing) return Reply::Error("no incoming call");
                    c.RefuseRing();
                    return Reply::Ok(Fields().Number("conversation", c.id()));
                  });
                }});
  registry.Add({"hangup", {UserIdArg()}, "ends the call with the user", [&node](const CommandArgs& args) {
                  return WithOpen(node, args, [](Conversation& c) {
                    if (c.call_state() < kCallDialing) return Reply::Error("no call with that user");
                    c.PressCallButton();
                    return Reply::Ok(Fields().Number("conversation", c.id()));
                  });
                }});
  registry.Add({"conversations", {}, "the open conversations and their call states",
                [&node](const CommandArgs&) { return ListConversations(node); }});
}

}  // namespace orv
