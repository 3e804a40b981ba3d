#include "app/command_line.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace tindrel {
namespace {

TEST(CommandLineArguments, DropTheProgramPathQuotedOrNot) {
  EXPECT_EQ(u"-Embedding", CommandLineArguments(u"\"C:\\Program Files\\T\\Tindrel2.exe\" -Embedding"));
  EXPECT_EQ(u"/REGSERVER", CommandLineArguments(u"Tindrel2.exe   /REGSERVER"));
  EXPECT_EQ(u"", CommandLineArguments(u"\"C:\\T\\Tindrel2.exe\""));
  EXPECT_EQ(u"", CommandLineArguments(u"Tindrel2.exe \t "));
  EXPECT_EQ(u"", CommandLineArguments(u""));
  // The rest is kept as it came, quotes and inner blanks included.
  EXPECT_EQ(u"\"C:\\a b\\job.orv\"  x ", CommandLineArguments(u"T.exe \"C:\\a b\\job.orv\"  x "));
  EXPECT_EQ(u"\u00A41\u00A4Ola", CommandLineArguments(u"\"T.exe\"\u00A41\u00A4Ola"));
}

TEST(CleanPath, RemovesTheQuotesAroundThePath) {
  EXPECT_EQ(u"C:\\a b\\job.orv", CleanPath(u"\"C:\\a b\\job.orv\""));
  EXPECT_EQ(u"C:\\a b\\job.orv", CleanPath(u"C:\\a b\\job.orv"));
  EXPECT_EQ(u"C:\\a b\\job.orv", CleanPath(u"\"C:\\a b\\job.orv\" \"second\""));
  EXPECT_EQ(u"C:\\job.orv", CleanPath(u"\"\"\"C:\\job.orv\""));
  EXPECT_EQ(u"C:\\job.orv ", CleanPath(u"C:\\job.orv \"x\""));
  EXPECT_EQ(u"", CleanPath(u"\"\""));
  EXPECT_EQ(u"", CleanPath(u""));
}

// Files that "exist" for the dispatch, and the paths it asked about.
struct Files {
  std::set<std::u16string> existing;
  mutable std::set<std::u16string> asked;
  std::function<bool(const std::u16string&)> Exists() const {
    return [this](const std::u16string& p) {
      asked.insert(p);
      return existing.count(p) > 0;
    };
  }
};

StartupDispatch Dispatch(std::u16string_view args, const Files& files, std::string ansi = {}) {
  if (ansi.empty()) ansi.assign(args.begin(), args.end());  // ASCII in these tests
  return DispatchCommandLine(args, ansi, files.Exists());
}

TEST(DispatchCommandLine, TakesTheCasesInTheirOrder) {
  Files files;
  files.existing = {u"C:\\a b\\job.orv", u"C:\\Embedding.orv"};

  EXPECT_EQ(StartupCase::kInteractive, Dispatch(u"", files).kind);
  EXPECT_EQ(StartupCase::kAutomation, Dispatch(u"-Embedding", files).kind);
  EXPECT_EQ(StartupCase::kAutomation, Dispatch(u"/Embedding", files).kind);
  // The search is case-sensitive: the framework still serves, but this is
  // not the automation case; the word is then taken as a path.
  EXPECT_EQ(StartupCase::kInteractive, Dispatch(u"-embedding", files).kind);
  EXPECT_EQ(StartupCase::kInteractive, Dispatch(u"/EMBEDDING", files).kind);
  // Anywhere in the line, even inside a path.
  EXPECT_EQ(StartupCase::kAutomation, Dispatch(u"C:\\Embedding.orv", files).kind);

  const StartupDispatch quoted = Dispatch(u"\"C:\\a b\\job.orv\"", files);
  EXPECT_EQ(StartupCase::kJobFile, quoted.kind);
  EXPECT_EQ(u"C:\\a b\\job.orv", quoted.jobFile);
  const StartupDispatch unquoted = Dispatch(u"C:\\a b\\job.orv", files);
  EXPECT_EQ(StartupCase::kJobFile, unquoted.kind);
  EXPECT_EQ(u"C:\\a b\\job.orv", unquoted.jobFile);
  EXPECT_EQ(u"C:\\a b\\job.orv", Dispatch(u"\"C:\\a b\\job.orv\" \"x\"", files).jobFile);

  // Not a file: interactive, without a word about the argument.
  EXPECT_EQ(StartupCase::kInteractive, Dispatch(u"C:\\finnes ikke.orv", files).kind);
  EXPECT_EQ(StartupCase::kInteractive, Dispatch(u"/REGSERVER", files).kind);
}

TEST(DispatchCommandLine, JobDataNeedsTheCurrencySignFirst) {
  Files files;
  EXPECT_EQ(StartupCase::kCommandLineJob,
            Dispatch(u"\u00A41001\u00A4Ola", files, "\xA4" "1001\xA4Ola").kind);
  // Job data is not looked for as a file.
  EXPECT_TRUE(files.asked.empty());
  // "Embedding" wins over job data.
  EXPECT_EQ(StartupCase::kAutomation,
            Dispatch(u"\u00A41001\u00A4Ola -Embedding", files, "\xA4" "1001\xA4Ola -Embedding")
                .kind);
  // Not first: a path like any other.
  EXPECT_EQ(StartupCase::kInteractive, Dispatch(u" \u00A41001", files, " \xA4" "1001").kind);
  EXPECT_EQ(StartupCase::kInteractive, Dispatch(u"\"\u00A41001\"", files, "\"\xA4" "1001\"").kind);
}

TEST(DispatchCommandLine, LooksForEmbeddingInTheAnsiForm) {
  Files files;
  // What the platform's conversion made of the line decides, not the
  // UTF-16 text.
  EXPECT_EQ(StartupCase::kAutomation, Dispatch(u"\uFF25mbedding", files, "Embedding").kind);
}

TEST(ParseServerSwitches, AnyLetterCaseWithDashOrSlash) {
  EXPECT_EQ(ServerMode::kRegister, ParseServerSwitches(u"/REGSERVER").mode);
  EXPECT_EQ(ServerMode::kRegister, ParseServerSwitches(u"-regserver").mode);
  EXPECT_EQ(ServerMode::kUnregister, ParseServerSwitches(u"/UnRegServer").mode);
  EXPECT_EQ(ServerMode::kAutomation, ParseServerSwitches(u"-Embedding").mode);
  EXPECT_EQ(ServerMode::kAutomation, ParseServerSwitches(u"/embedding").mode);
  EXPECT_EQ(ServerMode::kAutomation, ParseServerSwitches(u"/AUTOMATION").mode);
  const ServerSwitches perUser = ParseServerSwitches(u"/RegServerPerUser");
  EXPECT_EQ(ServerMode::kRegister, perUser.mode);
  EXPECT_TRUE(perUser.perUser);
  EXPECT_FALSE(ParseServerSwitches(u"/regserver").perUser);
  EXPECT_EQ(ServerMode::kUnregister, ParseServerSwitches(u"-unregserverperuser").mode);
  EXPECT_TRUE(ParseServerSwitches(u"-unregserverperuser").perUser);
}

TEST(ParseServerSwitches, OnlyWholeArgumentsCount) {
  EXPECT_EQ(ServerMode::kNone, ParseServerSwitches(u"").mode);
  EXPECT_EQ(ServerMode::kNone, ParseServerSwitches(u"REGSERVER").mode);
  EXPECT_EQ(ServerMode::kNone, ParseServerSwitches(u"/REGSERVERX").mode);
  EXPECT_EQ(ServerMode::kNone, ParseServerSwitches(u"\\REGSERVER").mode);
  EXPECT_EQ(ServerMode::kNone, ParseServerSwitches(u"\"C:\\x\\-Embedding.orv\"").mode);
  // In quotes, or after other arguments, still a switch.
  EXPECT_EQ(ServerMode::kRegister, ParseServerSwitches(u"\"/REGSERVER\"").mode);
  EXPECT_EQ(ServerMode::kUnregister, ParseServerSwitches(u"\"C:\\a b\" /unregserver").mode);
  // Automation before registration when both are given.
  EXPECT_EQ(ServerMode::kAutomation, ParseServerSwitches(u"/REGSERVER -Embedding").mode);
}

TEST(SplitArguments, BlanksSeparateQuotesGroup) {
  EXPECT_EQ((std::vector<std::u16string>{u"a", u"b c", u"d"}),
            SplitArguments(u"  a \"b c\"\td  "));
  EXPECT_EQ((std::vector<std::u16string>{u"xy z"}), SplitArguments(u"x\"y z\""));
  EXPECT_TRUE(SplitArguments(u"   ").empty());
}

}  // namespace
}  // namespace tindrel
