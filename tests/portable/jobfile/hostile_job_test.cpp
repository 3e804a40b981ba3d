// Damaged jobs: NUL bytes, lines far longer than the format's pieces,
// nothing but separators, quotes that never close, broken UTF-16. A job is
// read into the records or refused; it never reads past its data, and what
// it reads still makes a well-formed request.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <string>

#include "base/errors.h"
#include "contract/soap_binding.h"
#include "base/text.h"
#include "contract/xml_reader.h"
#include "jobfile/job_interpreter.h"

namespace tindrel {
namespace {

using namespace std::string_literals;

class CountingUi final : public IJobUi {
 public:
  void ShowJobLine(const std::string&) override { ++shown; }
  size_t shown = 0;
};

struct Job {
  Tindrel2CustomerData2 customer;
  Tindrel2InspectionData2 inspection;
  CountingUi ui;
};

class TempJobFile {
 public:
  explicit TempJobFile(const std::string& bytes) {
    static std::atomic<int> counter{0};
    path_ = std::filesystem::temp_directory_path() /
            ("tindrel_hostile_" + std::to_string(counter++) + ".orv");
    std::ofstream(path_, std::ios::binary) << bytes;
  }
  ~TempJobFile() { std::filesystem::remove(path_); }
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

bool Read(Job& j, const std::string& bytes) {
  TempJobFile f(bytes);
  return ReadJobFile(f.path(), j.customer, j.inspection, j.ui).outcome == JobFileOutcome::kRead;
}

// Every character of `utf8` decodes without U+FFFD.
bool CleanUtf8(std::string_view utf8) {
  bool clean = true;
  ForEachCodePoint(utf8, [&](char32_t cp) { clean &= cp != 0xFFFD; });
  return clean;
}

// What the customer save would send, read back through the XML reader.
std::string SentFirstName(const Tindrel2CustomerData2& customer) {
  soap::RequestWriter w(soap::kSaveCustomer);
  w.Record("customerData", &customer);
  const std::string envelope = w.Finish();
  struct FirstName final : IXmlContentHandler {
    bool inside = false;
    std::string text;
    void StartElement(const XmlElement& e) override { inside = e.local == "FirstName"; }
    void Characters(std::string_view s) override {
      if (inside) text += s;
    }
    void EndElement() override { inside = false; }
  } handler;
  ParseXml(envelope, handler);
  return handler.text;
}

TEST(HostileJob, NulBytesAreBlanksAtTheEndsAndTextInside) {
  Job blank;
  EXPECT_THROW(Read(blank, std::string(1000, '\0')), Error);

  Job line;
  EXPECT_TRUE(Read(line, "12\0" "34,Ola\0Nordmann,M,Dahl,Gate,0150,Oslo,AB\0" "1,VIN,\0\r\n"s));
  EXPECT_EQ(line.customer.CustomerNo(), "0");  // not a number with a NUL inside
  EXPECT_EQ(line.customer.FirstName(), "Ola\0Nordmann"s);
  EXPECT_EQ(line.inspection.RegNo(), "AB\0" "1"s);
  EXPECT_EQ(line.inspection.PreviousInspectionNo(), "0000000000");
  // The request drops what XML cannot carry and stays well-formed.
  EXPECT_EQ(SentFirstName(line.customer), "OlaNordmann");

  Job keys;
  EXPECT_TRUE(Read(keys, "\0KJMERKE\0=\0AB12345\0\nNAVN=x\0y\n"s));
  EXPECT_EQ(keys.inspection.RegNo(), "AB12345");
  EXPECT_EQ(keys.customer.Name(), "x\0y"s);
  EXPECT_EQ(keys.ui.shown, 2u);
}

TEST(HostileJob, LongLinesAreCutIntoPiecesNeverOverrun) {
  Job j;
  EXPECT_TRUE(Read(j, "NAVN=" + std::string(100000, 'x') + "\nKJMERKE=AB1\n"));
  EXPECT_EQ(j.customer.Name(), std::string(kJobFilePieceMax - 5, 'x'));
  EXPECT_EQ(j.inspection.RegNo(), "AB1");
  EXPECT_EQ(j.ui.shown, 2u);  // the rest of the long line holds no '='

  // A megabyte without a line end (refused: no key in it), and twenty
  // thousand short lines.
  Job one;
  EXPECT_FALSE(Read(one, std::string(1 << 20, 'k')));
  EXPECT_EQ(one.ui.shown, 0u);
  EXPECT_FALSE(one.inspection.HasRegNo());
  std::string many;
  for (int i = 0; i < 20000; ++i) many += "ORDRENO=" + std::to_string(i) + "\r\n";
  Job lots;
  EXPECT_TRUE(Read(lots, many));
  EXPECT_EQ(lots.inspection.OrderNo(), "19999");
  EXPECT_EQ(lots.ui.shown, 20000u);
}

TEST(HostileJob, OnlySeparatorsGiveEmptyFields) {
  // Read, and refused for want of a plate number and a VIN.
  Job commas;
  EXPECT_FALSE(Read(commas, std::string(kJobFilePieceMax, ',')));
  EXPECT_EQ(commas.customer.CustomerNo(), "0");
  EXPECT_TRUE(commas.customer.HasFirstName());
  EXPECT_EQ(commas.customer.FirstName(), "");
  EXPECT_EQ(commas.inspection.RegNo(), "");
  EXPECT_EQ(commas.inspection.PreviousInspectionNo(), "0000000000");
  EXPECT_FALSE(commas.inspection.HasOrderNo());

  Job equals;
  EXPECT_FALSE(Read(equals, "=\n==\n = \n=\t=\n"));
  EXPECT_EQ(equals.ui.shown, 0u);
  EXPECT_FALSE(equals.customer.HasName());
  EXPECT_FALSE(equals.inspection.HasRegNo());

  Job quotes;
  EXPECT_TRUE(InterpretCommandLineJob(std::u16string(1, kCommandLineSeparator) + u"\"\"\"\"",
                                      quotes.customer, quotes.inspection));
  EXPECT_EQ(quotes.customer.CustomerNo(), "0");
}

TEST(HostileJob, AnUnclosedQuoteEndsItsFieldOnly) {
  const char* const line = "\"1234,\"Ola,No\"rd\"mann,\"Gate 1,\"0150\",x,\"AB123\"45,\"VIN,\"";
  Job file;
  EXPECT_TRUE(Read(file, line));
  std::u16string text;
  for (const char* c = line; *c; ++c)
    text += *c == ',' ? kCommandLineSeparator : static_cast<char16_t>(*c);
  Job cmd;
  EXPECT_TRUE(InterpretCommandLineJob(std::u16string(1, kCommandLineSeparator) + text,
                                      cmd.customer, cmd.inspection));
  for (const Job* j : {&file, &cmd}) {
    EXPECT_EQ(j->customer.CustomerNo(), "1234");
    EXPECT_EQ(j->customer.FirstName(), "Ola");
    EXPECT_EQ(j->customer.MiddleName(), "No");
    EXPECT_EQ(j->customer.Name(), "Gate 1");
    EXPECT_EQ(j->customer.Address1(), "0150");
    EXPECT_EQ(j->inspection.RegNo(), "VIN");
    EXPECT_EQ(j->inspection.VIN(), "");
    EXPECT_EQ(j->inspection.PreviousInspectionNo(), "0000000000");
  }
}

TEST(HostileJob, BrokenUtf16OnTheCommandLineBecomesReplacementCharacters) {
  // Lone surrogates of either half.
  Job lone;
  InterpretCommandLineJob(u"\u00A41\u00A4a\xD800" u"b\u00A4\xDC00", lone.customer, lone.inspection);
  EXPECT_EQ(lone.customer.FirstName(), "a\xEF\xBF\xBD" "b");
  EXPECT_EQ(lone.customer.MiddleName(), "\xEF\xBF\xBD");

  // The cut at 1023 characters falls inside a surrogate pair: the half is
  // dropped, not turned into U+FFFD.
  std::u16string text = u"\u00A412\u00A4";
  for (int i = 0; i < 1000; ++i) text += u"\U0001F600";
  Job cut;
  InterpretCommandLineJob(text, cut.customer, cut.inspection);
  EXPECT_TRUE(CleanUtf8(cut.customer.FirstName()));
  EXPECT_EQ(cut.customer.FirstName().size(), 4u * ((kCommandLineJobMax - 4) / 2));
}

TEST(HostileJob, BrokenEncodingsBecomeReplacementCharacters) {
  // UTF-16 with a lone surrogate and an odd last byte; a mark alone.
  std::string bytes = "\xFF\xFE";
  for (const char16_t u : u"1,O\xD800la,M,N,A,Z,x,AB1,V\n"s)
    bytes += std::string{static_cast<char>(u & 0xFF), static_cast<char>(u >> 8)};
  Job utf16;
  EXPECT_TRUE(Read(utf16, bytes + "\x41"));
  EXPECT_EQ(utf16.customer.FirstName(), "O\xEF\xBF\xBDla");
  EXPECT_EQ(utf16.inspection.VIN(), "V");
  Job mark;
  EXPECT_THROW(Read(mark, "\xFE\xFF"), Error);
  // A UTF-8 mark before bytes that are not UTF-8: still one clean request.
  Job bad;
  EXPECT_TRUE(Read(bad, "\xEF\xBB\xBF" "1,\xC3Ola\xF8,M,N,A,Z,x,AB1,V,0"));
  EXPECT_EQ(bad.customer.FirstName(), "\xEF\xBF\xBDOla\xEF\xBF\xBD");
  EXPECT_EQ(SentFirstName(bad.customer), bad.customer.FirstName());
}

}  // namespace
}  // namespace tindrel
