#include "jobfile/job_interpreter.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#endif

#include "base/errors.h"

namespace tindrel {
namespace {

class RecordingUi final : public IJobUi {
 public:
  void ShowJobLine(const std::string& text) override { shown.push_back(text); }
  std::vector<std::string> shown;
};

struct Job {
  Tindrel2CustomerData2 customer;
  Tindrel2InspectionData2 inspection;
  RecordingUi ui;
};

class TempFile {
 public:
  explicit TempFile(const std::string& bytes) {
    static std::atomic<int> counter{0};
    path_ = std::filesystem::temp_directory_path() /
            ("tindrel_job_" + std::to_string(counter++) + ".orv");
    std::ofstream(path_, std::ios::binary) << bytes;
  }
  ~TempFile() { std::filesystem::remove(path_); }
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// "¤" between fields and in front of the first.
std::u16string CommandLine(std::initializer_list<const char16_t*> fields) {
  std::u16string s;
  for (const char16_t* f : fields) (s += kCommandLineSeparator) += f;
  return s;
}

TEST(CommandLineJob, WorkedExample) {
  Job j;
  EXPECT_TRUE(InterpretCommandLineJob(CommandLine({u"00123", u"Aaa", u"", u"Bbb", u"Street 1",
                                                   u"0150", u"Town", u"AB12345", u"VIN0001", u"",
                                                   u"4711"}),
                                      j.customer, j.inspection));
  EXPECT_EQ(j.customer.CustomerNo(), "123");
  EXPECT_EQ(j.customer.FirstName(), "Aaa");
  EXPECT_EQ(j.customer.MiddleName(), " ");
  EXPECT_EQ(j.customer.Name(), "Bbb");
  EXPECT_EQ(j.customer.Address1(), "Street 1");
  EXPECT_EQ(j.customer.ZipCode(), "0150");
  EXPECT_FALSE(j.customer.HasIsCompany());
  EXPECT_FALSE(j.customer.HasCity());
  EXPECT_EQ(j.inspection.RegNo(), "AB12345");
  EXPECT_EQ(j.inspection.VIN(), "VIN0001");
  EXPECT_EQ(j.inspection.PreviousInspectionNo(), "0000000000");
  EXPECT_EQ(j.inspection.OrderNo(), "4711");
  EXPECT_EQ(j.inspection.CustomerNo(), "123");
}

TEST(CommandLineJob, QuotesCustomerNumberAndOrderNumber) {
  Job j;
  InterpretCommandLineJob(CommandLine({u"12a", u"\"Aaa\"tail", u"M", u"Bbb", u"S", u"Z", u"T",
                                       u"\"AB 1\"", u"V", u"1234567890", u" 77 "}),
                          j.customer, j.inspection);
  EXPECT_EQ(j.customer.FirstName(), "Aaa");  // text after the closing quote is lost
  EXPECT_EQ(j.customer.CustomerNo(), "0");
  EXPECT_EQ(j.inspection.CustomerNo(), "0");
  EXPECT_EQ(j.inspection.RegNo(), "AB 1");
  EXPECT_EQ(j.inspection.PreviousInspectionNo(), "1234567890");
  EXPECT_EQ(j.inspection.OrderNo(), "77");

  // An empty eleventh field is stored trimmed, as empty text; a missing one
  // leaves OrderNo unset. Position 11 keeps its quotes.
  Job k;
  InterpretCommandLineJob(CommandLine({u"1", u"a", u"b", u"c", u"d", u"e", u"f", u"g", u"h",
                                       u"i", u""}) + kCommandLineSeparator,
                          k.customer, k.inspection);
  EXPECT_TRUE(k.inspection.HasOrderNo());
  EXPECT_EQ(k.inspection.OrderNo(), "");
  Job m;
  InterpretCommandLineJob(CommandLine({u"1", u"a", u"b", u"c", u"d", u"e", u"f", u"g", u"h", u"i"}),
                          m.customer, m.inspection);
  EXPECT_FALSE(m.inspection.HasOrderNo());
  Job q;
  InterpretCommandLineJob(CommandLine({u"1", u"a", u"b", u"c", u"d", u"e", u"f", u"g", u"h",
                                       u"i", u"\"9\""}),
                          q.customer, q.inspection);
  EXPECT_EQ(q.inspection.OrderNo(), "\"9\"");
}

TEST(CommandLineJob, ShortJobIsPaddedWithEmptyFields) {
  Job j;
  InterpretCommandLineJob(CommandLine({u"5", u"Aaa", u"Bbb"}), j.customer, j.inspection);
  EXPECT_EQ(j.customer.CustomerNo(), "5");
  EXPECT_EQ(j.customer.MiddleName(), "Bbb");
  EXPECT_TRUE(j.customer.HasName());
  EXPECT_EQ(j.customer.Name(), "");
  EXPECT_TRUE(j.inspection.HasRegNo());
  EXPECT_EQ(j.inspection.PreviousInspectionNo(), "0000000000");
  Job e;
  InterpretCommandLineJob(std::u16string(1, kCommandLineSeparator), e.customer, e.inspection);
  EXPECT_EQ(e.customer.CustomerNo(), "0");
  EXPECT_EQ(e.inspection.PreviousInspectionNo(), "0000000000");
}

TEST(CommandLineJob, IsCutAt1023CharactersAfterTheSpaceInsertion) {
  // Ten short fields, then a long order number: the buffer ends at 1023.
  std::u16string text = CommandLine({u"1", u"a", u"b", u"c", u"d", u"e", u"f", u"g", u"h", u"i",
                                     u""});
  const size_t head = text.size() - 1;  // the last separator stays
  text.resize(head + 1);
  text += std::u16string(5000, u'7');
  Job j;
  InterpretCommandLineJob(text, j.customer, j.inspection);
  EXPECT_EQ(j.inspection.OrderNo().size(), kCommandLineJobMax - head - 1);

  // Separators only: every inserted space counts against the limit.
  Job s;
  InterpretCommandLineJob(std::u16string(4000, kCommandLineSeparator), s.customer, s.inspection);
  EXPECT_EQ(s.customer.FirstName(), " ");
  EXPECT_EQ(s.inspection.OrderNo(), "");
}

TEST(CommandLineJob, NonAsciiTextSurvives) {
  Job j;
  InterpretCommandLineJob(CommandLine({u"1", u"Bjørn", u"", u"Ås", u"Storgata 1", u"0150",
                                       u"Oslo", u"AB12345", u"VIN", u"", u""}),
                          j.customer, j.inspection);
  EXPECT_EQ(j.customer.FirstName(), "Bjørn");
  EXPECT_EQ(j.customer.Name(), "Ås");
}

TEST(JobLine, TenFieldsKeepAPreviousNumberOfTenCharacters) {
  Job j;
  InterpretJobLine("123,Aaa,Ccc,Bbb,Street 1,0150,Town,AB12345,VIN0001,1234567890", j.customer,
                   j.inspection);
  EXPECT_EQ(j.customer.CustomerNo(), "123");
  EXPECT_EQ(j.customer.MiddleName(), "Ccc");
  EXPECT_EQ(j.inspection.PreviousInspectionNo(), "1234567890");
  EXPECT_FALSE(j.inspection.HasOrderNo());
  EXPECT_EQ(j.inspection.CustomerNo(), "123");
}

TEST(JobLine, EmptyFieldsVanishAndLaterFieldsMoveUp) {
  Job j;
  InterpretJobLine(",123,Aaa,,Bbb,Street 1,0150,Town,AB12345,VIN0001,123456789,", j.customer,
                   j.inspection);
  EXPECT_EQ(j.customer.MiddleName(), "Bbb");
  EXPECT_EQ(j.customer.Name(), "Street 1");
  EXPECT_EQ(j.inspection.RegNo(), "VIN0001");
  EXPECT_EQ(j.inspection.VIN(), "123456789");
  EXPECT_EQ(j.inspection.PreviousInspectionNo(), "0000000000");  // padded, then too short
  EXPECT_EQ(j.customer.FirstName(), "Aaa");
}

TEST(JobLine, Latin1LettersBecomeText) {
  Job j;
  InterpretJobLine(DecodeJobFileText("1,Bj\xF8rn,,\xC5s,\"Gate 1, 2\",0150,x,AB1,V,0"), j.customer,
                   j.inspection);
  EXPECT_EQ(j.customer.FirstName(), "Bjørn");
  EXPECT_EQ(j.customer.MiddleName(), "Ås");
  // Quotes do not protect the separator.
  EXPECT_EQ(j.customer.Name(), "Gate 1");
}

TEST(KeyValueJob, KeysAreCaseInsensitiveValuesKeepTheirCase) {
  Job j;
  EXPECT_TRUE(InterpretJobKeyValues({"kundenr=00123", "NAVN = Bbb", "kjmerke=ab12345"}, j.customer,
                                    j.inspection, j.ui));
  EXPECT_EQ(j.customer.CustomerNo(), "00123");  // not normalised
  EXPECT_EQ(j.inspection.CustomerNo(), "00123");
  EXPECT_EQ(j.customer.Name(), "Bbb");
  EXPECT_EQ(j.inspection.RegNo(), "ab12345");
  EXPECT_TRUE(j.customer.HasIsCompany());
  EXPECT_FALSE(j.customer.IsCompany());
  EXPECT_FALSE(j.inspection.HasPreviousInspectionNo());  // no ten-zeros rule here
  EXPECT_EQ(j.ui.shown, (std::vector<std::string>{"Key: KUNDENR ,Value: 00123",
                                                  "Key: NAVN ,Value: Bbb",
                                                  "Key: KJMERKE ,Value: ab12345"}));
}

TEST(KeyValueJob, EveryKeyReachesItsField) {
  Job j;
  EXPECT_TRUE(InterpretJobKeyValues(
      {"ORG=Yes", "KJMERKE=AB1", "CHASSISNR=VIN9", "TAKSTNR=77", "TIDLKONTNR=P1", "FORNAVN=F",
       "MELLOMNAVN=M", "NAVN=N", "ADRESSE=A=B", "POSTNR=0150", "ORDRENO=O1", "UKJENT=x",
       "NAVN=Last wins", "TYPE=Periodisk"},
      j.customer, j.inspection, j.ui));
  EXPECT_TRUE(j.customer.IsCompany());
  EXPECT_EQ(j.inspection.RegNo(), "AB1");
  EXPECT_EQ(j.inspection.VIN(), "VIN9");
  EXPECT_EQ(j.inspection.PreviousInspectionNo(), "P1");
  EXPECT_EQ(j.customer.FirstName(), "F");
  EXPECT_EQ(j.customer.MiddleName(), "M");
  EXPECT_EQ(j.customer.Name(), "Last wins");
  EXPECT_EQ(j.customer.Address1(), "A=B");
  EXPECT_EQ(j.customer.ZipCode(), "0150");
  EXPECT_EQ(j.inspection.OrderNo(), "O1");
  EXPECT_EQ(j.ui.shown.size(), 14u);
  Job k;
  InterpretJobKeyValues({"ORG=yes", "x=1"}, k.customer, k.inspection, k.ui);
  EXPECT_FALSE(k.customer.IsCompany());
}

TEST(KeyValueJob, LinesWithoutKeyOrValueAreSkippedSilently) {
  // Skipped silently, and so nothing recognised: the job is refused.
  Job j;
  EXPECT_FALSE(InterpretJobKeyValues({"no separator", "=value", "NAVN=", "NAVN= \t", " = "},
                                    j.customer, j.inspection, j.ui));
  EXPECT_TRUE(j.ui.shown.empty());
  EXPECT_FALSE(j.customer.HasName());
}

TEST(KeyValueJob, ValuationJobIsRefusedAfterItsMessage) {
  Job j;
  EXPECT_FALSE(InterpretJobKeyValues({"KJMERKE=AB12345", "TYPE=Takst", "NAVN=Never"}, j.customer,
                                     j.inspection, j.ui));
  EXPECT_EQ(j.inspection.RegNo(), "AB12345");
  EXPECT_FALSE(j.customer.HasName());
  EXPECT_EQ(j.ui.shown.size(), 2u);
  EXPECT_EQ(j.ui.shown.back(), "Key: TYPE ,Value: Takst");
}

TEST(JobFileText, PiecesLineEndsCtrlZAndBlankLines) {
  EXPECT_EQ(SplitJobFileText("a=1\r\n\r\n  \t\nb=2\n"), (std::vector<std::string>{"a=1", "b=2"}));
  // Ctrl-Z ends the file; a lone CR ends its line.
  EXPECT_EQ(SplitJobFileText("a=1\nb=2\x1A" "c=3\n"), (std::vector<std::string>{"a=1", "b=2"}));
  EXPECT_EQ(SplitJobFileText("a=1\rjunk\nb=2"), (std::vector<std::string>{"a=1", "junk", "b=2"}));
  // Lines are stored untrimmed.
  EXPECT_EQ(SplitJobFileText("  a=1  \n"), (std::vector<std::string>{"  a=1  "}));
  // Long lines are split every 1023 characters.
  const auto lines = SplitJobFileText(std::string(2500, 'x') + "\n");
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0].size(), 1023u);
  EXPECT_EQ(lines[2].size(), 2500u - 2046u);
  EXPECT_EQ(SplitJobFileText(std::string(1023, 'y') + "\n" + "z").size(), 2u);
  // Counted in characters, not bytes.
  std::string name = "NAVN=";
  for (int i = 0; i < 2000; ++i) name += "\u00f8";
  const auto pieces = SplitJobFileText(name);
  ASSERT_EQ(pieces.size(), 2u);
  EXPECT_EQ(pieces[0].size(), 5 + 2 * (1023u - 5));
}

TEST(JobFile, OneLineIsPositionalEvenInKeyValueForm) {
  Job j;
  TempFile f("\r\nKJMERKE=AB12345\r\n\r\n");
  // As a positional job it has neither plate number nor VIN.
  EXPECT_EQ(ReadJobFile(f.path(), j.customer, j.inspection, j.ui).outcome,
            JobFileOutcome::kRefused);
  EXPECT_EQ(j.customer.CustomerNo(), "0");
  EXPECT_FALSE(j.inspection.HasOrderNo());
  EXPECT_EQ(j.inspection.RegNo(), "");
  EXPECT_TRUE(j.ui.shown.empty());
}

TEST(JobFile, PositionalFileWithLatin1) {
  Job j;
  TempFile f("00042,Bj\xF8rn,,Dahl,Storgata 1,0150,Oslo,AB12345,VIN0001,1234567890\r\n\x1A");
  EXPECT_TRUE(ReadJobFile(f.path(), j.customer, j.inspection, j.ui));
  EXPECT_EQ(j.customer.CustomerNo(), "42");
  EXPECT_EQ(j.customer.FirstName(), "Bjørn");
  EXPECT_EQ(j.customer.MiddleName(), "Dahl");
}

TEST(JobFile, KeyValueFileAndItsRefusal) {
  Job ok;
  TempFile good("KJMERKE=AB12345\nNAVN=\xC6rlig\n");
  EXPECT_TRUE(ReadJobFile(good.path(), ok.customer, ok.inspection, ok.ui));
  EXPECT_EQ(ok.customer.Name(), "Ærlig");
  EXPECT_EQ(ok.ui.shown.back(), "Key: NAVN ,Value: Ærlig");

  // A refused job is dropped by the caller rather than saved half-filled.
  Job refused;
  TempFile bad("KJMERKE=AB12345\nTYPE=Takst\n");
  EXPECT_FALSE(ReadJobFile(bad.path(), refused.customer, refused.inspection, refused.ui));
}

TEST(JobFile, BlankOrMissingFiles) {
  Job j;
  TempFile blank("\n  \r\n\t\n");
  try {
    ReadJobFile(blank.path(), j.customer, j.inspection, j.ui);
    FAIL() << "no error";
  } catch (const Error& e) {
    EXPECT_STREQ(e.what(), "Fant ikke data i datafilen");
  }
  TempFile empty("");
  EXPECT_THROW(ReadJobFile(empty.path(), j.customer, j.inspection, j.ui), Error);
  EXPECT_FALSE(ReadJobFile(std::filesystem::temp_directory_path() / "tindrel_no_such_job.orv",
                           j.customer, j.inspection, j.ui));
}

std::string PathText(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

// A UTF-16 file with its byte-order mark, each unit written in the given order.
std::string Utf16File(std::u16string_view text, bool littleEndian) {
  std::string bytes = littleEndian ? "\xFF\xFE" : "\xFE\xFF";
  for (const char16_t u : text) {
    const char low = static_cast<char>(u & 0xFF), high = static_cast<char>(u >> 8);
    bytes += littleEndian ? std::string{low, high} : std::string{high, low};
  }
  return bytes;
}

TEST(JobFileEncoding, EachEncodingGivesTheLettersAsWritten) {
  constexpr std::u16string_view kLine =
      u"42,Bj\u00f8rn,M,L\u00f8v\u00e5s,Gate 1,0150,Oslo,AB12345,VIN1,1234567890\r\n";
  const struct {
    const char* what;
    std::string bytes;
    const char* name;
  } cases[] = {
      {"UTF-8 with mark, key=value",
       "\xEF\xBB\xBFKUNDENR=42\r\nFORNAVN=Bj\xC3\xB8rn\r\nNAVN=L\xC3\xB8v\xC3\xA5s\r\n"
       "KJMERKE=AB12345\r\n",
       "L\u00f8v\u00e5s"},
      {"UTF-16 LE with mark, one line", Utf16File(kLine, true), "L\u00f8v\u00e5s"},
      {"UTF-16 BE with mark, one line", Utf16File(kLine, false), "L\u00f8v\u00e5s"},
      {"UTF-8 without mark, one line",
       "42,Bj\xC3\xB8rn,M,L\xC3\xB8v\xC3\xA5s,Gate 1,0150,Oslo,AB12345,VIN1,1234567890\n",
       "L\u00f8v\u00e5s"},
      {"ISO 8859-1, one line",
       "42,Bj\xF8rn,M,L\xF8v\xE5s,Gate 1,0150,Oslo,AB12345,VIN1,1234567890\r\n",
       "L\u00f8v\u00e5s"},
      {"Windows-1252 in 0x80-0x9F, an undefined byte kept",
       "42,Bj\xF8rn,M,L\xF8v\xE5s \x96 \x80\x92\x81,Gate 1,0150,Oslo,AB12345,VIN1,1234567890\r\n",
       "L\u00f8v\u00e5s \u2013 \u20ac\u2019\u0081"},
      {"CR only, key=value",
       "KUNDENR=42\rFORNAVN=Bj\xF8rn\rNAVN=L\xF8v\xE5s\rKJMERKE=AB12345\r", "L\u00f8v\u00e5s"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Job j;
    TempFile f(c.bytes);
    const JobFileResult r = ReadJobFile(f.path(), j.customer, j.inspection, j.ui);
    EXPECT_EQ(r.outcome, JobFileOutcome::kRead) << r.message;
    EXPECT_EQ(j.customer.CustomerNo(), "42");
    EXPECT_EQ(j.inspection.CustomerNo(), "42");
    EXPECT_EQ(j.customer.FirstName(), "Bj\u00f8rn");
    EXPECT_EQ(j.customer.Name(), c.name);
    EXPECT_EQ(j.inspection.RegNo(), "AB12345");
  }
  // Keys are upper-cased beyond ASCII too.
  Job k;
  TempFile f("KJMERKE=AB1\n\xC3\xA6\xC3\xB8\xC3\xA5=x\n");
  ReadJobFile(f.path(), k.customer, k.inspection, k.ui);
  EXPECT_EQ(k.ui.shown.back(), "Key: \u00c6\u00d8\u00c5 ,Value: x");
}

TEST(JobFile, JunkIsRefusedNamingTheFile) {
  const struct {
    const char* bytes;
    JobFileOutcome outcome;
    const char* says;
  } cases[] = {
      {"hello there\r\nhow are you\r\nUKJENT=1\r\n", JobFileOutcome::kRefused, "kjent n\u00f8kkelord"},
      {"42,Ola,M,Dahl,Gate 1,0150,Oslo,\"\", ,1234567890\r\n", JobFileOutcome::kRefused,
       "kjennemerke og understellsnummer mangler"},
      {"42,Ola\r\n", JobFileOutcome::kRefused, "kjennemerke og understellsnummer mangler"},
      {"KJMERKE=AB12345\nTYPE=Takst\n", JobFileOutcome::kAborted, "Takst er ikke st\u00f8ttet"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.bytes);
    Job j;
    TempFile f(c.bytes);
    const JobFileResult r = ReadJobFile(f.path(), j.customer, j.inspection, j.ui);
    EXPECT_EQ(r.outcome, c.outcome);
    EXPECT_NE(r.message.find(PathText(f.path())), std::string::npos) << r.message;
    EXPECT_NE(r.message.find(c.says), std::string::npos) << r.message;
  }
}

TEST(JobLine, BlanksAroundTheCustomerNumberAreIgnored) {
  for (const char* number : {"123 ", "  123   ", "\"123 \""}) {
    Job j;
    InterpretJobLine(std::string(number) + ",a,b,c,d,e,f,AB1,V,0", j.customer, j.inspection);
    EXPECT_EQ(j.customer.CustomerNo(), "123") << number;
  }
  Job inside;
  InterpretJobLine("12 3,a,b,c,d,e,f,AB1,V,0", inside.customer, inside.inspection);
  EXPECT_EQ(inside.customer.CustomerNo(), "0");
  Job cmd;
  InterpretCommandLineJob(CommandLine({u"123  ", u"a", u"b", u"c", u"d", u"e", u"f", u"AB1",
                                       u"V", u"0"}),
                          cmd.customer, cmd.inspection);
  EXPECT_EQ(cmd.inspection.CustomerNo(), "123");
}

// Plays back its reads, the last one for ever; its clock moves only when the
// reader waits.
class ScriptedFiles final : public IJobFileAccess {
 public:
  explicit ScriptedFiles(std::vector<JobFileBytes> script) : script_(std::move(script)) {}
  JobFileBytes Read(const std::filesystem::path&) override {
    return script_[std::min(reads++, script_.size() - 1)];
  }
  std::chrono::steady_clock::time_point Now() override { return now; }
  void Wait(std::chrono::milliseconds interval) override { now += interval; }
  size_t reads = 0;
  std::chrono::steady_clock::time_point now{};

 private:
  std::vector<JobFileBytes> script_;
};

TEST(JobFileLock, AHeldFileIsTriedAgainForAFewSeconds) {
  using Status = JobFileBytes::Status;
  const JobFileBytes locked{Status::kLocked, "", ""};
  const std::filesystem::path path = "C:\\jobs\\a.orv";
  const std::string named = "\u00ab" + PathText(path) + "\u00bb";

  ScriptedFiles released({locked, locked, {Status::kRead, "KJMERKE=AB1\nNAVN=x\n", ""}});
  Job j;
  EXPECT_EQ(ReadJobFile(path, j.customer, j.inspection, j.ui, released).outcome,
            JobFileOutcome::kRead);
  EXPECT_EQ(released.reads, 3u);
  EXPECT_EQ(j.inspection.RegNo(), "AB1");

  ScriptedFiles held({locked});
  const JobFileResult r = ReadJobFile(path, j.customer, j.inspection, j.ui, held);
  EXPECT_EQ(r.outcome, JobFileOutcome::kLocked);
  EXPECT_NE(r.message.find(named), std::string::npos) << r.message;
  const auto waited = held.now - std::chrono::steady_clock::time_point{};
  EXPECT_GE(waited, kLockedJobFilePatience - kLockedJobFileRetry);
  EXPECT_LE(waited, kLockedJobFilePatience);

  // Other failures are not retried.
  ScriptedFiles missing({{Status::kMissing, "", ""}});
  EXPECT_EQ(ReadJobFile(path, j.customer, j.inspection, j.ui, missing).message,
            "Fant ikke jobbfilen " + named + ".");
  EXPECT_EQ(missing.reads, 1u);
  ScriptedFiles denied({{Status::kFailed, "", "ingen tilgang"}});
  const JobFileResult d = ReadJobFile(path, j.customer, j.inspection, j.ui, denied);
  EXPECT_EQ(d.outcome, JobFileOutcome::kUnreadable);
  EXPECT_EQ(d.message, "Kunne ikke lese jobbfilen " + named + ": ingen tilgang.");
}

// The platform's own reading: a folder is no job file; under Windows a file
// still held for writing is read once its writer lets go.
TEST(JobFileLock, PlatformReading) {
  Job j;
  EXPECT_EQ(ReadJobFile(std::filesystem::temp_directory_path(), j.customer, j.inspection, j.ui)
                .outcome,
            JobFileOutcome::kUnreadable);
#ifdef _WIN32
  class CountingFiles final : public IJobFileAccess {
   public:
    JobFileBytes Read(const std::filesystem::path& p) override {
      ++reads;
      return real.Read(p);
    }
    std::chrono::steady_clock::time_point Now() override { return real.Now(); }
    void Wait(std::chrono::milliseconds interval) override { real.Wait(interval); }
    IJobFileAccess& real = PlatformJobFileAccess();
    size_t reads = 0;
  } files;
  TempFile f("KJMERKE=AB1\nNAVN=x\n");
  const HANDLE writer = CreateFileW(f.path().c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(writer, INVALID_HANDLE_VALUE);
  std::thread release([writer] {
    Sleep(500);
    CloseHandle(writer);
  });
  const JobFileResult r = ReadJobFile(f.path(), j.customer, j.inspection, j.ui, files);
  release.join();
  EXPECT_EQ(r.outcome, JobFileOutcome::kRead) << r.message;
  EXPECT_GT(files.reads, 1u);
  EXPECT_EQ(j.inspection.RegNo(), "AB1");
#endif
}

TEST(StripQuotes, Rules) {
  EXPECT_EQ(StripQuotes("\"Aaa\""), "Aaa");
  EXPECT_EQ(StripQuotes("\"Aaa\" Bbb"), "Aaa");
  EXPECT_EQ(StripQuotes("Aaa\"Bbb"), "Aaa");
  EXPECT_EQ(StripQuotes("\"\"Aaa"), "");
  EXPECT_EQ(StripQuotes("\"Aaa"), "Aaa");
  EXPECT_EQ(StripQuotes(""), "");
}

}  // namespace
}  // namespace tindrel
