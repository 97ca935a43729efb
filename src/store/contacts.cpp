#include "store/contacts.hpp"

#include <algorithm>

#include "identity/key_file.hpp"
#include "identity/signed_file.hpp"
#include "store/field_text.hpp"
#include "store/xml_file.hpp"

namespace orv {
namespace {

std::optional<std::string> OptionalText(const pugi::xml_node& node, const char* name) {
  const pugi::xml_attribute a = node.attribute(name);
  if (!a) return std::nullopt;
  return std::string(a.value());
}

ContactRecord ReadContact(const pugi::xml_node& node) {
  ContactRecord c;
  c.peer.ipv4 = ReadDottedIpv4(node.attribute("ip").value());
  c.peer.port = ReadPort(node.attribute("port").value());
  ReadUserIdText(node.attribute("id").value(), c.peer.user_id);
  c.name = OptionalText(node, "name");
  c.original_name = OptionalText(node, "name_original");
  // true for a value that begins with 1, t, T, y or Y.
  c.authorized = node.attribute("trust").as_bool(false);
  return c;
}

void WriteContact(pugi::xml_node& root, const ContactRecord& c) {
  pugi::xml_node node = root.append_child("node");
  node.append_attribute("ip") = DottedIpv4Text(c.peer.ipv4).c_str();
  node.append_attribute("port") = static_cast<unsigned>(c.peer.port);
  node.append_attribute("id") = UserIdText(c.peer.user_id).c_str();
  if (c.name) node.append_attribute("name") = c.name->c_str();
  if (c.original_name) node.append_attribute("name_original") = c.original_name->c_str();
  node.append_attribute("trust") = c.authorized ? "true" : "false";
}

// Must hold store.lock.
ContactRecord* Find(ContactStore& store, const uint32_t* user_id) {
  auto it = std::find_if(store.contacts.begin(), store.contacts.end(),
                         [&](const ContactRecord& c) { return SameUserId(c.peer.user_id, user_id); });
  return it == store.contacts.end() ? nullptr : &*it;
}

void SetFileState(ContactStore& store, ContactsFileState state) {
  std::lock_guard guard(store.lock);
  store.contacts_file = state;
}

}  // namespace

bool LoadContacts(ContactStore& store, const std::string& path) {
  pugi::xml_document doc;
  std::string reason;
  const XmlLoad result = LoadXmlFile(path, doc, &reason);
  const pugi::xml_node root = doc.child("likes");
  if (result == XmlLoad::kLoaded && !root) reason = "no \"likes\" element";
  if (result == XmlLoad::kUnreadable || (result == XmlLoad::kLoaded && !root)) {
    NoteUnreadableFile(store, path, reason);
    SetFileState(store, ContactsFileState::kRejected);
  }
  if (result != XmlLoad::kLoaded || !root) return false;
  std::vector<ContactRecord> read;
  for (const pugi::xml_node& node : root.children("node")) read.push_back(ReadContact(node));
  std::lock_guard guard(store.lock);
  for (ContactRecord& c : read)
    if (!Find(store, c.peer.user_id)) store.contacts.push_back(std::move(c));
  return true;
}

SaveOutcome SaveContacts(ContactStore& store, const std::string& path) {
  pugi::xml_document doc;
  pugi::xml_node root = doc.append_child("likes");
  {
    std::lock_guard guard(store.lock);
    for (const ContactRecord& c : store.contacts) WriteContact(root, c);
  }
  SaveOutcome outcome = ReplaceStoreFile(store, path, XmlDocumentText(doc, "\t"));
  if (outcome) SetFileState(store, ContactsFileState::kTrusted);
  return outcome;
}

ContactsStartup LoadContactsAtStartup(ContactStore& store, const std::string& path, const Certificate& own) {
  ContactsStartup result;
  result.loaded = LoadContacts(store, path);
  if (!result.loaded) return result;
  result.signature_valid = VerifyFileSignature(path, own);
  SetFileState(store, result.signature_valid ? ContactsFileState::kTrusted : ContactsFileState::kRejected);
  if (!result.signature_valid) {
    ClearAuthorizations(store);
    result.warning = kWrongSignatureWarning;
    if (store.log) store.log("Main", "The signature of " + path + " does not match: every authorization is ignored");
  }
  return result;
}

bool ContactsFileMayBeSigned(ContactStore& store) {
  std::lock_guard guard(store.lock);
  return store.contacts_file == ContactsFileState::kTrusted;
}

bool ContactsFileRejected(ContactStore& store) {
  std::lock_guard guard(store.lock);
  return store.contacts_file == ContactsFileState::kRejected;
}

void ClearAuthorizations(ContactStore& store) {
  std::lock_guard guard(store.lock);
  for (ContactRecord& c : store.contacts) c.authorized = false;
}

AddContactResult AddContact(ContactStore& store, const PeerRef& peer, const std::optional<std::string>& name) {
  std::lock_guard guard(store.lock);
  if (Find(store, peer.user_id)) return AddContactResult::kPresent;
  ContactRecord c;
  c.peer = peer;
  c.name = name;
  c.original_name = name;
  store.contacts.push_back(std::move(c));
  return AddContactResult::kAdded;
}

bool SetContactAuthorized(ContactStore& store, const uint32_t* user_id, bool authorized) {
  std::lock_guard guard(store.lock);
  ContactRecord* c = Find(store, user_id);
  if (c) c->authorized = authorized;
  return c != nullptr;
}

bool RenameContact(ContactStore& store, const uint32_t* user_id, const std::string& name) {
  std::lock_guard guard(store.lock);
  ContactRecord* c = Find(store, user_id);
  if (c) c->name = name;
  return c != nullptr;
}

bool RemoveContact(ContactStore& store, const uint32_t* user_id) {
  std::lock_guard guard(store.lock);
  ContactRecord* c = Find(store, user_id);
  if (!c) return false;
  store.contacts.erase(store.contacts.begin() + (c - store.contacts.data()));
  return true;
}

bool IsContact(ContactStore& store, const uint32_t* user_id) {
  std::lock_guard guard(store.lock);
  return Find(store, user_id) != nullptr;
}

bool IsAuthorizedContact(ContactStore& store, const uint32_t* user_id) {
  std::lock_guard guard(store.lock);
  const ContactRecord* c = Find(store, user_id);
  return c != nullptr && c->authorized;
}

std::optional<ContactRecord> FindContact(ContactStore& store, const uint32_t* user_id) {
  std::lock_guard guard(store.lock);
  const ContactRecord* c = Find(store, user_id);
  if (!c) return std::nullopt;
  return *c;
}

}  // namespace orv
