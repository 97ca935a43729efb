// Speed of the identity files: loading the key file, taking the password
// from the cache, signing and checking the contacts file, and the encrypted
// downloads record.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "alloc_counter.hpp"
#include "app/app_context.hpp"
#include "app/password_service.hpp"
#include "app/scripted_ui_port.hpp"
#include "crypto/prime_table.hpp"
#include "crypto/public_key.hpp"
#include "identity/key_file.hpp"
#include "identity/secret_file.hpp"
#include "identity/signed_file.hpp"

namespace orv {
namespace {

const std::string kPassword = "benchmark password";
const uint8_t* Pw() { return reinterpret_cast<const uint8_t*>(kPassword.data()); }

struct Fixture {
  Fixture() {
    dir = std::filesystem::temp_directory_path() / ("orv-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    uint32_t p[kNumWords], x[kNumWords];
    for (size_t i = 0; i < kPrimeTableEntries; ++i)
      if (PrimeTableEntry(i, p)) break;
    SignatureContext ctx;
    GenerateUserKey(ctx, record.certificate, x, p, nullptr, 0);
    ProtectPrivateKey(record, x, Pw(), kPassword.size());
    record.loaded = true;
    key_file = (dir / "orv.key").string();
    WriteKeyFile(key_file, record);
  }
  ~Fixture() { std::filesystem::remove_all(dir); }
  std::filesystem::path dir;
  KeyRecord record;
  std::string key_file;
};

Fixture& Shared() {
  static Fixture fixture;
  return fixture;
}

void BM_LoadKeyFile(benchmark::State& state) {
  Fixture& f = Shared();
  KeyRecord record;
  for (auto _ : state) benchmark::DoNotOptimize(LoadKeyFile(f.key_file, record));
}
BENCHMARK(BM_LoadKeyFile)->Unit(benchmark::kMicrosecond);

void BM_GetPasswordFromCache(benchmark::State& state) {
  ScriptedUiPort ui;
  auto ctx = AppContext::Create(ui);
  ctx->key() = Shared().record;
  PasswordService passwords(*ctx, ui, [] {});
  passwords.Cache(PasswordBytes(kPassword));
  PasswordBytes out;
  AllocationReport report(state);
  for (auto _ : state) benchmark::DoNotOptimize(passwords.GetPassword(out));
}
BENCHMARK(BM_GetPasswordFromCache);

// A contacts file of 100 users, as the contact store writes it.
std::string ContactsFile(const Fixture& f) {
  const std::string path = (f.dir / "likes.xml").string();
  pugi::xml_document doc;
  auto root = doc.append_child("likes");
  for (int i = 0; i < 100; ++i) {
    auto user = root.append_child("user");
    user.append_attribute("id") = "0123ABCD 4567EF01 89ABCDEF 01234567 89ABCDEF 01234567 89ABCDEF 01234567";
    user.append_attribute("name") = ("Contact number " + std::to_string(i)).c_str();
    user.append_attribute("ip") = "192.168.1.20";
    user.append_attribute("port") = 31265;
    user.append_attribute("auth") = i % 2;
    user.append_attribute("time") = "26/12/10 05:09:00";
  }
  doc.save_file(path.c_str());
  return path;
}

void BM_SignFile100Contacts(benchmark::State& state) {
  Fixture& f = Shared();
  const std::string path = ContactsFile(f);
  for (auto _ : state) benchmark::DoNotOptimize(SignFile(path, f.record, Pw(), kPassword.size()));
}
BENCHMARK(BM_SignFile100Contacts)->Unit(benchmark::kMillisecond);

void BM_VerifyFileSignature100Contacts(benchmark::State& state) {
  Fixture& f = Shared();
  const std::string path = ContactsFile(f);
  SignFile(path, f.record, Pw(), kPassword.size());
  for (auto _ : state) benchmark::DoNotOptimize(VerifyFileSignature(path, f.record.certificate));
}
BENCHMARK(BM_VerifyFileSignature100Contacts)->Unit(benchmark::kMillisecond);

pugi::xml_document Downloads1000() {
  pugi::xml_document doc;
  auto root = doc.append_child("downloads");
  for (int i = 0; i < 1000; ++i) {
    auto item = root.append_child("file");
    item.append_attribute("name") = ("/home/user/Downloads/received file " + std::to_string(i) + ".dat").c_str();
    item.append_attribute("from") = "0123ABCD 4567EF01 89ABCDEF 01234567 89ABCDEF 01234567 89ABCDEF 01234567";
    item.append_attribute("size") = 1048576 + i;
    item.append_attribute("time") = "26/12/10 05:09:00";
  }
  return doc;
}

void BM_SaveEncryptedDownloads1000(benchmark::State& state) {
  Fixture& f = Shared();
  const std::string path = (f.dir / "downloads.xml").string();
  const pugi::xml_document doc = Downloads1000();
  for (auto _ : state) benchmark::DoNotOptimize(SaveEncryptedXml(path, doc, f.record, Pw(), kPassword.size()));
}
BENCHMARK(BM_SaveEncryptedDownloads1000)->Unit(benchmark::kMillisecond);

void BM_LoadEncryptedDownloads1000(benchmark::State& state) {
  Fixture& f = Shared();
  const std::string path = (f.dir / "downloads.xml").string();
  SaveEncryptedXml(path, Downloads1000(), f.record, Pw(), kPassword.size());
  for (auto _ : state) {
    pugi::xml_document doc;
    benchmark::DoNotOptimize(LoadEncryptedXml(path, doc, f.record, Pw(), kPassword.size()));
  }
}
BENCHMARK(BM_LoadEncryptedDownloads1000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace orv
