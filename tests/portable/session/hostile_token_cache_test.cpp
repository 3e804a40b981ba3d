// Damaged token caches: TABs missing, lines far past the line limit, dates
// that are no dates, stray control bytes. A damaged line 2 gives no token
// (the user logs in again); it never gives a token with made-up members.
#include <gtest/gtest.h>

#include <string>

#include "date_platform.h"
#include "session/token_cache.h"

namespace tindrel::test {
namespace {

using namespace std::string_literals;

const std::string kSignature(40, 'S');

TokenCacheContents Decode(const std::string& bytes) {
  DateOnlyPlatform platform;
  return DecodeTokenCache(bytes, "SALT", platform);
}

std::string Line2(const std::string& date) { return "AS\t1\tu\t2\t" + date + "\t" + kSignature; }

TEST(HostileTokenCache, TabsMissingOrOnlyTabsGiveNoToken) {
  for (const std::string& line : {
           std::string(200, 'x'),                                   // none at all
           "AS\t1\tu\t2\t31.12.2030" + kSignature,                  // one short
           "AS\t1\tu" + kSignature + "\t31.12.2030",                // two short
           std::string(80, '\t'),                                   // nothing but TABs
           "\t\t\t\t\t" + kSignature + kSignature,                  // every member empty
           "AS\t1\t\t\t31.12.2030\t" + kSignature,                  // user id empty
       }) {
    const TokenCacheContents c = Decode("https://h/svc\r\n" + line);
    EXPECT_EQ(c.token, nullptr) << line;
    EXPECT_EQ(c.serviceAddress, "https://h/svc");
  }
}

TEST(HostileTokenCache, OverlongLinesAreCutAtTheLineLimit) {
  // Line 2 past the limit: the signature ends where the line was cut.
  const std::string head = "AS\t1\tu\t2\t31.12.2030\t";
  auto c = Decode("a\r\n" + head + std::string(1 << 20, 'S') + "\r\nmore");
  ASSERT_NE(c.token, nullptr);
  EXPECT_EQ(c.token->Signature().size(), kTokenCacheLineMax - head.size());

  // Line 1 past the limit, no line end anywhere: an address and no token.
  c = Decode(std::string(1 << 20, 'h'));
  EXPECT_EQ(c.serviceAddress.size(), kTokenCacheLineMax);
  EXPECT_EQ(c.token, nullptr);

  // A member as long as the line: the number does not overflow.
  c = Decode("a\r\nAS\t" + std::string(5000, '9') + "\tu\t2\t31.12.2030\t" + kSignature);
  EXPECT_EQ(c.token, nullptr);
}

TEST(HostileTokenCache, DatesThatAreNoDatesGiveNoToken) {
  for (const std::string& date : {
           "99.99.9999"s, "00.00.0000"s, "31.04.2030"s, "29.02.2100"s, "31.12.99999"s,
           "0000031.12.2030"s, "31.12"s, "garbage"s, "\xD9\xA3\xD9\xA1.12.2030"s,
           "31.12.2030\x01"s + std::string(20, '\x7F'),  // fine: digits come first
       }) {
    const TokenCacheContents c = Decode("a\r\n" + Line2(date));
    if (date.starts_with("31.12.2030")) {
      ASSERT_NE(c.token, nullptr);
      EXPECT_EQ(c.token->ValidTo()->Text(), "2030-12-31T12:00:00.000+01:00");
    } else {
      EXPECT_EQ(c.token, nullptr) << date;
    }
  }
  // Signs and separators are only separators; two-digit years fall in 1950-2049.
  auto c = Decode("a\r\n" + Line2("-1/-1/-49"));
  ASSERT_NE(c.token, nullptr);
  EXPECT_EQ(c.token->ValidTo()->Text(), "2049-01-01T12:00:00.000+01:00");
  c = Decode("a\r\n" + Line2("1.1.1"));
  ASSERT_NE(c.token, nullptr);
  EXPECT_EQ(c.token->ValidTo()->Year(), 2001);
}

TEST(HostileTokenCache, ControlBytesAndEmptyFiles) {
  EXPECT_EQ(Decode("").token, nullptr);
  EXPECT_EQ(Decode("\r\n\r\n\r\n").serviceAddress, "");
  // NUL bytes are text; Ctrl-Z anywhere in line 2 ends it there.
  auto c = Decode("a\0b\r\n"s + Line2("31.12.2030") + "\0tail"s);
  EXPECT_EQ(c.serviceAddress, "a\0b"s);
  ASSERT_NE(c.token, nullptr);
  EXPECT_EQ(c.token->Signature(), kSignature + "\0tail"s);
  EXPECT_EQ(Decode("a\r\nAS\t1\tu\t2\t31.12.2030\t\x1A" + kSignature).token, nullptr);
  // Bytes above 0x7F are ISO 8859-1 letters, never malformed UTF-8.
  c = Decode("a\r\n\xC3\x28\xFF\t1\tu\t2\t31.12.2030\t" + kSignature);
  ASSERT_NE(c.token, nullptr);
  EXPECT_EQ(c.token->CustomerName(), "Ã(ÿ");
}

}  // namespace
}  // namespace tindrel::test
