// The token cache's file format, and the write that never leaves a part.
#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <filesystem>
#include <fstream>

#include "fake_service.h"
#include "session/atomic_file.h"
#include "session/token_cache.h"

namespace tindrel::test {
namespace {

std::unique_ptr<ORVSecurityToken2> Decode(FakePlatform& p, const std::string& bytes) {
  return DecodeTokenCache(bytes, "SALT", p).token;
}

std::string Line2(size_t signatureLength) {
  // 5 TABs + "AS" + "1" + "u" + "2" + "31.12.2030" = 20 characters before the signature.
  return "AS\t1\tu\t2\t31.12.2030\t" + std::string(signatureLength, 'S');
}

TEST(TokenCache, SecondLineMustBeLongerThanFiftyCharacters) {
  FakePlatform p;
  ASSERT_EQ(Line2(30).size(), 50u);
  EXPECT_EQ(Decode(p, "a\r\n" + Line2(30)), nullptr);
  auto token = Decode(p, "a\r\n" + Line2(31));
  ASSERT_NE(token, nullptr);
  EXPECT_EQ(token->Signature(), std::string(31, 'S'));
}

TEST(TokenCache, EveryMemberIsReadAndTheSaltComesFromTheMachine) {
  FakePlatform p;
  auto c = DecodeTokenCache(
      "http://h/svc\r\nFirma\t-12\tola\t 34\t05.03.2029\tSIG\twith\ttabs and some more length",
      "MASKIN", p);
  EXPECT_EQ(c.serviceAddress, "http://h/svc");
  ASSERT_NE(c.token, nullptr);
  const ORVSecurityToken2& t = *c.token;
  EXPECT_EQ(t.CustomerName(), "Firma");
  EXPECT_EQ(t.CustomerNo(), -12);
  EXPECT_EQ(t.UserName(), "ola");
  EXPECT_EQ(t.UserID(), 34);
  EXPECT_EQ(t.Signature(), "SIG\twith\ttabs and some more length");
  EXPECT_EQ(t.Salt(), "MASKIN");
  for (size_t f = 0; f < ORVSecurityToken2::kFieldCount; ++f) EXPECT_TRUE(t.Has(f)) << f;
}

TEST(TokenCache, ValidToKeepsItsLocalDateAndComesBackAtNoon) {
  FakePlatform p;  // UTC+1
  auto token = GoodToken("x");
  // 23:30 UTC is already the next day at UTC+1.
  token->SetValidTo(std::make_unique<XsDateTime>(*XsDateTime::Parse("2030-12-31T23:30:00Z")));
  const std::string bytes = EncodeTokenCache("a", *token, p);
  EXPECT_NE(bytes.find("\t01.01.2031\t"), std::string::npos) << bytes;
  auto back = Decode(p, bytes);
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(back->ValidTo()->Text(), "2031-01-01T12:00:00.000+01:00");
}

TEST(TokenCache, TextOutsideLatin1ComesBackAsQuestionMarks) {
  FakePlatform p;
  auto token = GoodToken("x");
  token->SetCustomerName("Bilsenter Ærø Škoda");
  token->SetUserName("Åse ☃");
  const std::string bytes = EncodeTokenCache("http://h/ø", *token, p);
  EXPECT_EQ(bytes.substr(0, 12), "http://h/\xF8\r\n");
  auto c = DecodeTokenCache(bytes, "x", p);
  EXPECT_EQ(c.serviceAddress, "http://h/ø");
  ASSERT_NE(c.token, nullptr);
  EXPECT_EQ(c.token->CustomerName(), "Bilsenter Ærø ?koda");
  EXPECT_EQ(c.token->UserName(), "Åse ?");
}

TEST(TokenCache, TextModeReading) {
  FakePlatform p;
  const std::string line = Line2(40);
  // Ctrl-Z ends the text; a CR LF after line 2 is a line end, not part of it.
  auto c = DecodeTokenCache("addr\r\n" + line + "\r\n\x1Aignored", "x", p);
  ASSERT_NE(c.token, nullptr);
  EXPECT_EQ(c.token->Signature(), std::string(40, 'S'));
  // LF alone ends line 1 as well.
  EXPECT_EQ(DecodeTokenCache("addr\n" + line, "x", p).serviceAddress, "addr");
  // Ctrl-Z inside line 1 leaves no line 2.
  c = DecodeTokenCache("ad\x1A" "dr\r\n" + line, "x", p);
  EXPECT_EQ(c.serviceAddress, "ad");
  EXPECT_EQ(c.token, nullptr);
  // An over-long line is cut and the rest of it dropped.
  c = DecodeTokenCache(std::string(kTokenCacheLineMax + 5, 'a') + "\r\n" + line, "x", p);
  EXPECT_EQ(c.serviceAddress.size(), kTokenCacheLineMax);
  EXPECT_NE(c.token, nullptr);
}

TEST(TokenCache, MalformedSecondLineGivesNoTokenButKeepsTheAddress) {
  FakePlatform p;
  const std::string pad(40, 'S');
  for (const std::string& bad : {
           "AS\t1\tu\t2\t31.12.2030" + pad,    // a TAB missing
           "AS\tx1\tu\t2\t31.12.2030\t" + pad,  // customer number
           "AS\t1\tu\t2 \t31.12.2030\t" + pad,  // user id with a trailing blank
           "AS\t1\tu\t2\t31.02.2030\t" + pad,   // no such date
           "AS\t1\tu\t2\t\t" + pad,             // no date (token saved without ValidTo)
       }) {
    auto c = DecodeTokenCache("addr\r\n" + bad, "x", p);
    EXPECT_EQ(c.token, nullptr) << bad;
    EXPECT_EQ(c.serviceAddress, "addr");
  }
}

TEST(TokenCache, ATokenWithoutValidToIsWrittenWithAnEmptyDate) {
  FakePlatform p;
  ORVSecurityToken2 token;
  token.SetCustomerName("Firma");
  token.SetSignature(std::string(60, 'S'));
  const std::string bytes = EncodeTokenCache("a", token, p);
  EXPECT_EQ(bytes, "a\r\nFirma\t0\t\t0\t\t" + std::string(60, 'S'));
  EXPECT_EQ(Decode(p, bytes), nullptr);
}

class ReplaceFile : public ::testing::Test {
 protected:
  FakePlatform p;
  std::filesystem::path target = p.folder / "Tindrel2.dat";
  std::string Read() {
    std::ifstream in(target, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  }
};

TEST_F(ReplaceFile, ReplacesTheWholeFileAndLeavesNoTemporaryFile) {
  ASSERT_TRUE(ReplaceFileContents(target, "a much longer first version"));
  ASSERT_TRUE(ReplaceFileContents(target, "short"));
  EXPECT_EQ(Read(), "short");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(p.folder),
                          std::filesystem::directory_iterator()),
            1);
#ifndef _WIN32
  // It holds a security token: readable by its owner only.
  struct stat st {};
  ASSERT_EQ(::stat(target.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
#endif
}

TEST_F(ReplaceFile, AFailedWriteLeavesTheOldFileWhole) {
  ASSERT_TRUE(ReplaceFileContents(target, "old cache"));
  // Something in the way of the temporary file: the new version cannot be
  // written, and the old one must not have been opened for writing at all.
  std::filesystem::create_directory(TemporaryPathFor(target));
  EXPECT_FALSE(ReplaceFileContents(target, "new cache"));
  EXPECT_EQ(Read(), "old cache");
  std::filesystem::remove(TemporaryPathFor(target));
  // A leftover temporary file from an interrupted write does no harm.
  std::ofstream(TemporaryPathFor(target)) << "half a cac";
  EXPECT_TRUE(ReplaceFileContents(target, "new cache"));
  EXPECT_EQ(Read(), "new cache");
  EXPECT_FALSE(std::filesystem::exists(TemporaryPathFor(target)));
}

TEST_F(ReplaceFile, AMissingFolderIsAFailureNotACrash) {
  EXPECT_FALSE(ReplaceFileContents(p.folder / "no" / "such" / "file", "x"));
}

}  // namespace
}  // namespace tindrel::test
