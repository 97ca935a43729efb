#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "crypto/data_file_key.hpp"
#include "crypto/key_protection.hpp"
#include "crypto/password_kdf.hpp"

namespace orv {
namespace {

const uint8_t* Bytes(const std::string& s) { return reinterpret_cast<const uint8_t*>(s.data()); }

std::vector<uint32_t> SampleExponent() {
  std::vector<uint32_t> x(kNumWords);
  for (size_t i = 0; i < x.size(); ++i) x[i] = static_cast<uint32_t>(i * 0x9e3779b9u + 17);
  return x;
}

bool SameRecord(const KeyRecord& a, const KeyRecord& b) {
  return std::memcmp(a.encrypted_x, b.encrypted_x, sizeof a.encrypted_x) == 0 && a.check == b.check &&
         std::memcmp(a.salt, b.salt, sizeof a.salt) == 0;
}

TEST(KeyBlockCipher, DecryptionInvertsEncryption) {
  uint8_t key[kPasswordKeyBytes];
  for (size_t i = 0; i < sizeof key; ++i) key[i] = static_cast<uint8_t>(i * 11);
  key[32] = key[33] = key[34] = key[35] = 0xff;  // the counter's low word wraps into the high word
  auto x = SampleExponent();
  const auto plain = x;
  KeyBlockCipher(x.data(), key, false);
  EXPECT_NE(x, plain);
  KeyBlockCipher(x.data(), key, true);
  EXPECT_EQ(x, plain);
}

TEST(KeyProtection, ProtectUnprotectChangeAndCheck) {
  const auto x = SampleExponent();
  const std::string pw = "first password", other = "second password";
  KeyRecord a, b;
  ProtectPrivateKey(a, x.data(), Bytes(pw), pw.size());
  ProtectPrivateKey(b, x.data(), Bytes(pw), pw.size());
  EXPECT_FALSE(SameRecord(a, b));  // a new salt every time

  std::vector<uint32_t> out(kNumWords);
  EXPECT_EQ(UnprotectPrivateKey(out.data(), b, Bytes(pw), pw.size()), 1);
  EXPECT_EQ(out, x);
  EXPECT_EQ(UnprotectPrivateKey(out.data(), a, Bytes(other), other.size()), 0);

  const KeyRecord before = a;
  EXPECT_EQ(ChangePassword(a, Bytes(other), other.size(), Bytes(pw), pw.size()), 0);
  EXPECT_TRUE(SameRecord(a, before));  // a wrong old password changes nothing

  EXPECT_EQ(ChangePassword(a, Bytes(pw), pw.size(), Bytes(other), other.size()), 1);
  EXPECT_EQ(CheckPassword(a, Bytes(other), other.size()), 1);
  EXPECT_EQ(CheckPassword(a, Bytes(pw), pw.size()), 0);
}

TEST(KeyProtection, WipeKeyRecordOverwritesTheSecretPart) {
  const auto x = SampleExponent();
  KeyRecord record;
  ProtectPrivateKey(record, x.data(), Bytes("pw"), 2);
  const KeyRecord before = record;
  WipeKeyRecord(record);
  EXPECT_NE(std::memcmp(record.encrypted_x, before.encrypted_x, sizeof record.encrypted_x), 0);
  EXPECT_EQ(CheckPassword(record, Bytes("pw"), 2), 0);
}

class DataFileKeys : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    record_ = new KeyRecord;
    ProtectPrivateKey(*record_, SampleExponent().data(), Bytes("pw"), 2);
  }
  static void TearDownTestSuite() {
    delete record_;
    record_ = nullptr;
  }
  static DataFileKey Derive(uint8_t value_seed) {
    uint8_t value[32];
    for (size_t i = 0; i < sizeof value; ++i) value[i] = static_cast<uint8_t>(value_seed + i);
    DataFileKey key;
    EXPECT_EQ(DeriveDataFileKey(key, value, *record_, Bytes("pw"), 2), 1);
    return key;
  }
  static KeyRecord* record_;
};
KeyRecord* DataFileKeys::record_ = nullptr;

TEST_F(DataFileKeys, BlocksDecryptAloneFromTheirIndex) {
  const DataFileKey key = Derive(1);
  std::vector<uint8_t> plain(80);
  for (size_t i = 0; i < plain.size(); ++i) plain[i] = static_cast<uint8_t>(i);
  std::vector<uint8_t> cipher = plain;
  DataBlocksEncrypt(key, cipher.data(), 1000, 10);
  EXPECT_NE(cipher, plain);

  std::vector<uint8_t> tail(cipher.begin() + 40, cipher.end());
  DataBlocksDecrypt(key, tail.data(), 1005, 5);
  EXPECT_TRUE(std::equal(tail.begin(), tail.end(), plain.begin() + 40));

  std::vector<uint8_t> one(cipher.begin() + 24, cipher.begin() + 32);
  DataBlockDecryptOne(key, one.data(), 1003);
  EXPECT_TRUE(std::equal(one.begin(), one.end(), plain.begin() + 24));

  std::vector<uint8_t> same_blocks(16, 0);
  DataBlocksEncrypt(key, same_blocks.data(), 0, 2);
  EXPECT_FALSE(std::equal(same_blocks.begin(), same_blocks.begin() + 8, same_blocks.begin() + 8));
}

TEST_F(DataFileKeys, FileValueAndPasswordDecide) {
  const DataFileKey a = Derive(1), b = Derive(2), a_again = Derive(1);
  EXPECT_TRUE(a.Valid());
  EXPECT_EQ(std::memcmp(a.words, a_again.words, sizeof a.words), 0);
  EXPECT_NE(std::memcmp(a.words, b.words, sizeof a.words), 0);

  DataFileKey wrong = a;
  uint8_t value[32] = {};
  EXPECT_EQ(DeriveDataFileKey(wrong, value, *record_, Bytes("nope"), 4), 0);
  EXPECT_FALSE(wrong.Valid());
  EXPECT_NE(std::memcmp(wrong.words + 1, a.words + 1, 10 * sizeof(uint32_t)), 0);
}

}  // namespace
}  // namespace orv
