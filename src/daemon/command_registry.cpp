#include "daemon/command_registry.hpp"

namespace orv {
namespace {

bool ValidName(std::string_view name) {
  if (name.empty()) return false;
  for (const char c : name)
    if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '-')) return false;
  return true;
}

bool ValidArgs(const std::vector<ArgDef>& args) {
  bool optional_seen = false;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i].kind == ArgKind::kText && i + 1 != args.size()) return false;
    if (optional_seen && !args[i].optional) return false;
    optional_seen = optional_seen || args[i].optional;
  }
  return true;
}

}  // namespace

CommandRegistry::CommandRegistry() {
  Add({"help", {Optional(WordArg("COMMAND"))}, "lists the commands, or shows one",
       [this](const CommandArgs& args) { return Help(args); }});
}

bool CommandRegistry::Add(CommandDef def) {
  if (!ValidName(def.name) || !def.handler || !ValidArgs(def.args) || commands_.count(def.name) != 0)
    return false;
  std::string name = def.name;
  commands_.emplace(std::move(name), std::move(def));
  return true;
}

std::optional<Reply> CommandRegistry::Execute(std::string_view line, const CommandContext& context) const {
  if (IsBlankOrComment(line)) return std::nullopt;
  WordReader reader(line);
  std::string name;
  if (!reader.Next(name)) return Reply::Error(reader.error());
  const auto it = commands_.find(name);
  if (it == commands_.end()) return Reply::Error("unknown command: " + name + " (help lists the commands)");
  const CommandDef& def = it->second;
  CommandArgs args;
  args.context = context;
  std::string error;
  if (!ParseArguments(def.args, reader, context.base_dir, args, error))
    return Reply::Error(error + "; usage: " + UsageText(def.name, def.args));
  return def.handler(args);
}

std::string CommandRegistry::Usage(std::string_view name) const {
  const auto it = commands_.find(name);
  return it == commands_.end() ? std::string() : UsageText(it->second.name, it->second.args);
}

std::vector<std::string> CommandRegistry::Names() const {
  std::vector<std::string> names;
  for (const auto& entry : commands_) names.push_back(entry.first);
  return names;
}

Reply CommandRegistry::Help(const CommandArgs& args) const {
  Reply reply;
  for (const auto& [name, def] : commands_) {
    if (args.Has(0) && args.Text(0) != name) continue;
    reply.items.push_back(Fields().Text("command", name).Text("usage", UsageText(name, def.args))
                              .Text("summary", def.summary));
  }
  if (args.Has(0) && reply.items.empty()) return Reply::Error("unknown command: " + args.Text(0));
  reply.fields.Number("count", static_cast<int64_t>(reply.items.size()));
  return reply;
}

}  // namespace orv
