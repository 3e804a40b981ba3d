// The diagnostic log's line, its two generations, and what it keeps out of
// the texts it is given.

#include "base/diagnostic_log.h"

#include <gtest/gtest.h>

#include "fake_service.h"

namespace tindrel {
namespace {

using test::FakeLogFile;

TEST(DiagnosticLog, OneLinePerEventInAReadableForm) {
  const auto log = FakeLogFile::Install();
  LogEvent("start", {{"version", "2.0.0 (testadresse)"}, {"mode", "job"}, {"args", "job-file"}});
  LogEvent("job", {{"name", "a \"b\"=c\r\nd.orv"}, {"empty", ""}});
  EXPECT_EQ(log.file->current,
            "2026-12-10 03:04:05.067 pid=4242 start        version=\"2.0.0 (testadresse)\" "
            "mode=job args=job-file\r\n"
            "2026-12-10 03:04:05.067 pid=4242 job          name=\"a 'b'=c  d.orv\" empty=\"\"\r\n");
  InstallDiagnosticLog(nullptr);
  LogEvent("start", {});  // no log: nothing, and no failure
}

TEST(DiagnosticLog, ANewGenerationAtTheCapAndABoundWhenTheRenameFails) {
  const auto log = FakeLogFile::Install(200);
  const std::string line = FormatLogLine({2026, 12, 10, 3, 4, 5, 67}, 4242, "start", {});
  ASSERT_EQ(line.size(), 47u);
  for (int i = 0; i < 5; ++i) LogEvent("start", {});
  EXPECT_EQ(log.file->older, line + line + line + line);  // 188 bytes: a fifth passes 200
  EXPECT_EQ(log.file->current, line);
  // A viewer that holds the file without sharing delete: appended up to
  // twice the cap, then lines are dropped rather than the file growing.
  log.file->rotateFails = true;
  for (int i = 0; i < 12; ++i) LogEvent("start", {});
  EXPECT_EQ(log.file->current.size(), 8 * line.size());
  log.file->rotateFails = false;
  LogEvent("start", {});
  EXPECT_EQ(log.file->current, line);
}

TEST(DiagnosticLog, FaultTextsKeepOnlyPlainWordsAndReplyQuotesAreDropped) {
  const struct {
    std::string_view text;
    std::vector<std::string_view> carried;
    std::string_view logged;
  } rows[] = {
      {"Intern feil i tjenesten", {}, "… feil i tjenesten"},
      {"Kjøretøyet AB12345 (VIN WVWZZZ1JZXW000001) til Kari Nordmann, kunde 1003, finnes ikke",
       {}, "… (…) til …, kunde …, finnes ikke"},
      // Lowercase values the request carried: the user name, a name typed
      // without capitals, a token signature.
      {"bruker verksted har passord hemmelig1 og token sig-verksted-1: ola  nordmann",
       {"verksted", "ola nordmann"}, "bruker … har passord … og token …: …"},
      {"ugyldig  \t xs:int\r\n", {}, "ugyldig …"},
      {"Фамилия 株式会社 æøå ÆØÅ", {}, "… æøå …"},
  };
  for (const auto& row : rows) EXPECT_EQ(MaskServiceText(row.text, row.carried), row.logged);
  EXPECT_EQ(DropQuoted("Ugyldig svar fra tjenesten: ugyldig xs:int 'AB12345' i feltet Count0"),
            "Ugyldig svar fra tjenesten: ugyldig xs:int '…' i feltet Count0");
  EXPECT_EQ(DropQuoted("a 'b' c 'd"), "a '…' c '…'");
}

}  // namespace
}  // namespace tindrel
