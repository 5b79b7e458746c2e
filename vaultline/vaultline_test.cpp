#include "vaultline/vaultline.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <cstring>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "vaultline/vaultline_stream.h"

namespace {

using Bytes = std::vector<unsigned char>;

Bytes hex(const char* text) {
  Bytes out;
  for (const char* p = text; *p;) {
    if (*p == ' ') {
      ++p;
      continue;
    }
    out.push_back(static_cast<unsigned char>(std::stoi(std::string(p, 2), nullptr, 16)));
    p += 2;
  }
  return out;
}

Bytes sendStream(int handle, std::size_t n) {
  Bytes data(n, 0);
  VLT_SendEncrypt(handle, static_cast<int>(n), data.data(), data.data());
  return data;
}

Bytes randomBytes(std::size_t n, unsigned seed) {
  std::mt19937 rng(seed);
  Bytes out(n);
  for (auto& b : out) b = static_cast<unsigned char>(rng());
  return out;
}

class KeyFixture : public ::testing::Test {
 protected:
  void TearDown() override {
    for (int h : handles_) VLT_KeyDestroy(h);
  }
  int imported(const unsigned char* material, int peer) {
    const int h = VLT_KeyImport(material, peer);
    handles_.push_back(h);
    return h;
  }
  int created(unsigned char* material) {
    const int h = VLT_KeyCreate(material);
    handles_.push_back(h);
    return h;
  }
  std::vector<int> handles_;
};

TEST(VaultlineStream, MatchesTheSunscreenVectorAtBlockOne) {
  unsigned char key[32];
  for (int i = 0; i < 32; ++i) key[i] = static_cast<unsigned char>(i);
  const unsigned char nonce[12] = {0, 0, 0, 0, 0, 0, 0, 0x4a, 0, 0, 0, 0};
  const std::string plain =
      "Ladies and Gentlemen of the class of '99: If I could offer you only one tip for the future, "
      "sunscreen would be it.";
  const Bytes expected =
      hex("6e2e359a2568f98041ba0728dd0d6981e97e7aec1d4360c20a27afccfd9fae0b"
          "f91b65c5524733ab8f593dabcd62b3571639d624e65152ab8f530c359f0861d8"
          "07ca0dbf500d6a6156a38e088a22b65e52bc514d16ccf806818ce91ab7793736"
          "5af90bbf74a35be6b40b8eedf2785e42874d");
  // Cut into pieces that start and end inside blocks, as the socket layer does.
  VltStream stream;
  vltStreamInit(&stream, key, nonce, 1);
  Bytes out(plain.begin(), plain.end());
  const std::size_t cuts[] = {1, 7, 56, 3, 47};
  std::size_t at = 0;
  for (std::size_t cut : cuts) {
    vltStreamXor(&stream, out.data() + at, out.data() + at, cut);
    at += cut;
  }
  ASSERT_EQ(at, out.size());
  EXPECT_EQ(out, expected);
  vltStreamWipe(&stream);
}

TEST_F(KeyFixture, ZeroKeyGivesTheZeroKeyKeystreamOnBothStreams) {
  const unsigned char material[64] = {0};
  const Bytes expected =
      hex("76b8e0ada0f13d90405d6ae55386bd28bdd219b8a08ded1aa836efcc8b770dc7"
          "da41597c5157488d7724e03fb8d84a376a43b8f41518a11cc387b669b2ee6586"
          "9f07e7be5551387a98ba977c732d080dcb0f29a048e3656912c6533e32ee7aed"
          "29b721769ce64e43d57133b074d839d531ed1f28510afb45ace10a1f4b794d6f");
  EXPECT_EQ(sendStream(imported(material, 0), 128), expected);
  // The unit's receiving stream is the tool's sending stream.
  const int unit = imported(material, 1);
  Bytes data(128, 0);
  VLT_RecvDecrypt(unit, 128, data.data(), data.data());
  EXPECT_EQ(data, expected);
}

TEST_F(KeyFixture, AnyCutOfAStreamGivesTheSameBytes) {
  unsigned char material[64];
  const int whole = created(material);
  const int cut = imported(material, 0);
  const Bytes plain = randomBytes(20000, 7);

  Bytes expectedSend = plain, expectedRecv = plain;
  VLT_SendEncrypt(whole, static_cast<int>(plain.size()), expectedSend.data(), expectedSend.data());
  VLT_RecvDecrypt(whole, static_cast<int>(plain.size()), expectedRecv.data(), expectedRecv.data());

  // Interleave random cuts of both streams: each keeps its own offset.
  std::mt19937 rng(11);
  Bytes send(plain.size()), recv(plain.size());
  std::size_t s = 0, r = 0;
  while (s < plain.size() || r < plain.size()) {
    const std::size_t n = rng() % 200;
    if (rng() % 2 && s < plain.size()) {
      const std::size_t k = std::min(n, plain.size() - s);
      VLT_SendEncrypt(cut, static_cast<int>(k), plain.data() + s, send.data() + s);
      s += k;
    } else if (r < plain.size()) {
      const std::size_t k = std::min(n, plain.size() - r);
      VLT_RecvDecrypt(cut, static_cast<int>(k), plain.data() + r, recv.data() + r);
      r += k;
    }
  }
  EXPECT_EQ(send, expectedSend);
  EXPECT_EQ(recv, expectedRecv);
  EXPECT_NE(expectedSend, expectedRecv);
}

TEST_F(KeyFixture, WorksInPlaceAndOutOfPlaceAlike) {
  unsigned char material[64];
  const int a = created(material);
  const int b = imported(material, 0);
  const Bytes plain = randomBytes(999, 3);
  Bytes separate(plain.size());
  Bytes inPlace = plain;
  VLT_SendEncrypt(a, 999, plain.data(), separate.data());
  VLT_SendEncrypt(b, 999, inPlace.data(), inPlace.data());
  EXPECT_EQ(separate, inPlace);
  EXPECT_NE(separate, plain);
}

TEST_F(KeyFixture, ToolAndUnitDecipherEachOther) {
  unsigned char material[64];
  const int tool = created(material);
  const int unit = imported(material, 1);
  const Bytes request = randomBytes(3000, 1), answer = randomBytes(5000, 2);

  Bytes wire = request;
  VLT_SendEncrypt(tool, 3000, wire.data(), wire.data());
  EXPECT_NE(wire, request);
  VLT_RecvDecrypt(unit, 3000, wire.data(), wire.data());
  EXPECT_EQ(wire, request);

  wire = answer;
  VLT_SendEncrypt(unit, 5000, wire.data(), wire.data());
  VLT_RecvDecrypt(tool, 5000, wire.data(), wire.data());
  EXPECT_EQ(wire, answer);
}

TEST_F(KeyFixture, CreateFillsFreshMaterialAndDistinctHandles) {
  unsigned char m1[64] = {0}, m2[64] = {0};
  const int h1 = created(m1), h2 = created(m2);
  EXPECT_NE(h1, 0);
  EXPECT_NE(h2, 0);
  EXPECT_NE(h1, h2);
  EXPECT_NE(std::memcmp(m1, m2, 64), 0);
  // Keys from different material encipher differently.
  EXPECT_NE(sendStream(h1, 64), sendStream(h2, 64));
}

TEST_F(KeyFixture, RefusesUnknownHandlesAndNegativeCounts) {
  unsigned char material[64];
  const int h = VLT_KeyCreate(material);
  unsigned char byte = 0x55;
  EXPECT_EQ(VLT_SendEncrypt(h, -1, &byte, &byte), -1);
  EXPECT_EQ(byte, 0x55);
  EXPECT_EQ(VLT_KeyDestroy(h), 0);
  EXPECT_EQ(VLT_KeyDestroy(h), -1);
  EXPECT_EQ(VLT_SendEncrypt(h, 1, &byte, &byte), -1);
  EXPECT_EQ(VLT_RecvDecrypt(h, 1, &byte, &byte), -1);
  EXPECT_EQ(byte, 0x55);
  EXPECT_EQ(VLT_KeyDestroy(0), -1);
}

TEST(Vaultline, KeysOnManyThreadsStayIndependent) {
  std::vector<std::thread> threads;
  std::atomic<int> failures{0};
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([t, &failures] {
      for (int round = 0; round < 50; ++round) {
        unsigned char material[64];
        const int tool = VLT_KeyCreate(material);
        const int unit = VLT_KeyImport(material, 1);
        Bytes data = randomBytes(700, static_cast<unsigned>(t * 1000 + round));
        const Bytes plain = data;
        for (std::size_t at = 0; at < data.size(); at += 100) {
          VLT_SendEncrypt(tool, 100, data.data() + at, data.data() + at);
          VLT_RecvDecrypt(unit, 100, data.data() + at, data.data() + at);
        }
        if (data != plain) ++failures;
        VLT_KeyDestroy(tool);
        VLT_KeyDestroy(unit);
      }
    });
  }
  for (auto& th : threads) th.join();
  EXPECT_EQ(failures.load(), 0);
}

}  // namespace
