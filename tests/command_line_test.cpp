#include <gtest/gtest.h>

#include <algorithm>

#include "app/command_line.h"
#include "app/extractor_app.h"
#include "platform/process.h"
#include "platform/text.h"
#include "test_support.h"

namespace korvanel::test {

TEST(CommandLine, SwitchesInAnyCaseAndOrder) {
  CommandLine cl = ParseCommandLine({"/S", "/I", "info.txt", "maps", "/A", "/o", "/M", "out"});
  EXPECT_FALSE(cl.usage);
  EXPECT_EQ(cl.source, "maps");
  EXPECT_TRUE(cl.options.includeSubdirectories);
  EXPECT_TRUE(cl.options.writeInfoFile);
  EXPECT_EQ(cl.options.infoFilePath, "info.txt");
  EXPECT_EQ(cl.options.existingInfoFile, ExistingInfoFile::kAppend);  // /a wins over /o
  EXPECT_TRUE(cl.options.writeMinimaps);
  EXPECT_EQ(cl.options.minimapDirectory, "out");
  EXPECT_EQ(ParseCommandLine({"maps"}).options.existingInfoFile, ExistingInfoFile::kLeaveAlone);

  CommandLine dashes = ParseCommandLine({"-s", "-i", "a b.txt", "-m", "-x", "-o", "my maps"});
  EXPECT_FALSE(dashes.usage);
  EXPECT_TRUE(dashes.options.includeSubdirectories);
  EXPECT_EQ(dashes.options.infoFilePath, "a b.txt");
  // A value is taken whatever it looks like, unless it is one of the switches.
  EXPECT_EQ(dashes.options.minimapDirectory, "-x");
  EXPECT_EQ(dashes.options.existingInfoFile, ExistingInfoFile::kStartAnew);
  EXPECT_EQ(dashes.source, "my maps");

  // A later value replaces an earlier one.
  CommandLine later = ParseCommandLine({"maps", "/i", "one", "/i", "two"});
  EXPECT_EQ(later.options.infoFilePath, "two");
}

// Taken as paths, "/m" alone would mean the root folder and "/i /s" a file
// named "/s".
TEST(CommandLine, W3xIsALongOptionAnywhere) {
  EXPECT_FALSE(ParseCommandLine({"maps"}).options.laterFormats);
  CommandLine cl = ParseCommandLine({"--w3x", "maps", "/i", "info.txt"});
  EXPECT_FALSE(cl.usage);
  EXPECT_TRUE(cl.options.laterFormats);
  EXPECT_EQ(cl.source, "maps");
  EXPECT_TRUE(ParseCommandLine({"maps", "/i", "x.txt", "--w3x"}).options.laterFormats);
  // Not a value, and spelt exactly.
  EXPECT_TRUE(ParseCommandLine({"maps", "/m", "--w3x"}).usage);
  EXPECT_EQ(ParseCommandLine({"--W3X"}).source, "--W3X");
  EXPECT_TRUE(ParseCommandLine({"--w3x"}).usage);
}

TEST(CommandLine, AValueSwitchWithoutItsValueIsAUsageError) {
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"m.w3m", "/m"}, {"m.w3m", "/i"}, {"m.w3m", "/i", "/s"}, {"m.w3m", "-m", "-o"}, {"/I", "/M", "m.w3m"},
           {"m.w3m", "/i", ""}, {"m.w3m", "/m", "--help"}, {"/i", "/s", "maps"}, {"maps", "/m", "/i", "x.txt"}}) {
    CommandLine cl = ParseCommandLine(args);
    EXPECT_TRUE(cl.usage && !cl.help) << ::testing::PrintToString(args);
  }
}

TEST(CommandLine, AbsolutePathsAndDashesArePositional) {
  CommandLine abs = ParseCommandLine({"/home/me/maps", "/s"});
  EXPECT_FALSE(abs.usage);
  EXPECT_EQ(abs.source, "/home/me/maps");
  EXPECT_EQ(ParseCommandLine({"-x.w3m"}).source, "-x.w3m");
  EXPECT_EQ(ParseCommandLine({"/unknown"}).source, "/unknown");
}

// --jobs takes a whole number of workers, 1 to 64, as the next argument or
// after "="; anything else is a usage error.
TEST(CommandLine, JobsSetsTheNumberOfArchiveWorkers) {
  EXPECT_EQ(ParseCommandLine({"maps"}).options.jobs, 0u);
  EXPECT_EQ(ParseCommandLine({"maps", "--jobs", "4"}).options.jobs, 4u);
  EXPECT_EQ(ParseCommandLine({"--jobs=64", "maps"}).options.jobs, 64u);
  EXPECT_FALSE(ParseCommandLine({"--jobs", "1", "maps"}).usage);
  // Each says on standard error what --jobs takes.
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"maps", "--jobs"}, {"maps", "--jobs", "0"}, {"maps", "--jobs", "-1"}, {"maps", "--jobs", "65"},
           {"maps", "--jobs", "1e3"}, {"maps", "--jobs", "+4"}, {"maps", "--jobs", "0x4"}, {"maps", "--jobs", " 4"},
           {"maps", "--jobs", "two"}, {"maps", "--jobs", "4x"}, {"maps", "--jobs="}, {"maps", "--jobs=-1"},
           {"maps", "--jobs=65"}, {"maps", "--jobs", ""}, {"maps", "--jobs", "99999999999999999999"}}) {
    CommandLine cl = ParseCommandLine(args);
    EXPECT_TRUE(cl.usage && !cl.help) << ::testing::PrintToString(args);
    EXPECT_EQ(cl.problem, "--jobs takes a whole number from 1 to 64") << ::testing::PrintToString(args);
  }
}

// A long option's mistake gets one line on standard error; standard output
// and the status are those of any usage error.
TEST(CommandLine, LongOptionMistakesAreNamedOnStandardError) {
  const std::string jobs = "korvanel: --jobs takes a whole number from 1 to 64\n";
  const std::string json = "korvanel: --json needs FILE, the catalogue to write (- for standard output)\n";
  const std::string pictures = "korvanel: --pictures needs the folder to write the pictures into\n";
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{"maps", "--jobs", "0"}, jobs},     {{"--jobs=1e3", "maps"}, jobs},  {{"maps", "--jobs"}, jobs},
      {{"maps", "--json"}, json},          {{"maps", "--json", "/s"}, json}, {{"maps", "--json", ""}, json},
      {{"maps", "--pictures"}, pictures},
  };
  for (const auto& [args, err] : cases) {
    ProcessResult r = RunKorvanel(args);
    EXPECT_EQ(r.status, kExitUsage) << ::testing::PrintToString(args);
    EXPECT_EQ(r.out, kUsageText) << ::testing::PrintToString(args);
    EXPECT_EQ(r.err, err) << ::testing::PrintToString(args);
  }
  // A usage error of the first release's switches stays as it was.
  ProcessResult plain = RunKorvanel({"maps", "/i"});
  EXPECT_EQ(plain.status, kExitUsage);
  EXPECT_EQ(plain.err, "");
}

// --gallery DIR is --pictures DIR and a page: one folder for both, and
// another one for the pictures is a mistake.
TEST(CommandLine, GalleryWritesThePicturesBesideThePage) {
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"maps", "--gallery", "g"}, {"--gallery", "g", "maps", "--pictures", "g"}, {"maps", "--pictures", "g", "--gallery", "g"}}) {
    const CommandLine cl = ParseCommandLine(args);
    EXPECT_FALSE(cl.usage) << ::testing::PrintToString(args);
    EXPECT_TRUE(cl.options.gallery);
    EXPECT_EQ(cl.options.picturesDirectory, "g");
  }
  EXPECT_FALSE(ParseCommandLine({"maps", "--pictures", "g"}).options.gallery);
  const std::pair<std::vector<std::string>, std::string_view> wrong[] = {
      {{"maps", "--gallery"}, kGalleryWithoutFolder},
      {{"maps", "--gallery", "/s"}, kGalleryWithoutFolder},
      {{"maps", "--gallery", "g", "--pictures", "p"}, kGalleryAndOtherPictures},
      {{"maps", "--pictures", "p", "--gallery", "g"}, kGalleryAndOtherPictures},
      {{"maps", "--json", "c.jsonl", "--update", "--gallery", "g"}, kUpdateWithOtherOutputs},
  };
  for (const auto& [args, problem] : wrong) {
    const CommandLine cl = ParseCommandLine(args);
    EXPECT_TRUE(cl.usage && !cl.help) << ::testing::PrintToString(args);
    EXPECT_EQ(cl.problem, problem) << ::testing::PrintToString(args);
  }
  EXPECT_NE(kExtensionsHelpText.find("\n --gallery DIR "), std::string_view::npos);
}

TEST(CommandLine, UsageCases) {
  for (auto help : {"/?", "-?", "/help", "-HELP", "--help", "?", "/HELP"}) {
    CommandLine cl = ParseCommandLine({help});
    EXPECT_TRUE(cl.usage && cl.help) << help;
  }
  CommandLine two = ParseCommandLine({"a", "b"});
  EXPECT_TRUE(two.usage);
  EXPECT_FALSE(two.help);
  EXPECT_TRUE(ParseCommandLine({"/i", "info.txt"}).usage);
  EXPECT_TRUE(ParseCommandLine({"/s"}).usage);
  EXPECT_TRUE(IsBlankCommandLine({}));
  EXPECT_TRUE(IsBlankCommandLine({"  ", "\t"}));
  EXPECT_FALSE(IsBlankCommandLine({" x "}));
}

// The text rules the switches, typed paths, the walk's order and the
// parsers share.
TEST(CommandLine, WhiteSpaceAndLetterCaseRules) {
  EXPECT_EQ(TrimWhiteSpace(" \t\n\v\f\rx y\r\n "), "x y");
  EXPECT_EQ(TrimWhiteSpaceEnd(" x \v\f"), " x");
  // No-break space and NEL are not white space.
  EXPECT_EQ(TrimWhiteSpace("\xa0x\x85"), "\xa0x\x85");

  EXPECT_TRUE(EqualsNoCase("/HeLp", "/hElP"));
  EXPECT_FALSE(EqualsNoCase("/hel", "/help"));
  EXPECT_TRUE(EndsWithNoCase("map.W3m", ".w3M"));
  EXPECT_FALSE(EndsWithNoCase("w3m", ".w3m"));
  EXPECT_EQ(CompareNoCase("Ab", "aB"), 0);
  EXPECT_LT(CompareNoCase("a", "B"), 0);
  EXPECT_GT(CompareNoCase("b", "A"), 0);
  EXPECT_LT(CompareNoCase("AB", "ab c"), 0);
  // Only ASCII letters have a case, and other bytes sort after them.
  EXPECT_FALSE(EqualsNoCase("\xc4", "\xe4"));
  EXPECT_LT(CompareNoCase("Z", "\x80"), 0);
  EXPECT_TRUE(IsAsciiLetter('z') && IsAsciiLetter('A') && !IsAsciiLetter('\xdd') && !IsAsciiLetter('_'));
  EXPECT_TRUE(IsAsciiHexDigit('F') && IsAsciiHexDigit('9') && !IsAsciiHexDigit('g') && !IsAsciiHexDigit('\xb9'));
}

TEST(CommandLine, ProgramPrintsUsageAndExitStatus) {
  ProcessResult help = RunKorvanel({"/?"});
  EXPECT_EQ(help.status, kExitOk);
  EXPECT_EQ(help.out, kUsageText);
  EXPECT_TRUE(help.out.starts_with("Korvanel v1.2\n--------------------\n\n\nSyntax:\n"));

  // The Linux spellings of the question list the Linux options too.
  for (auto spelling : {"--help", "-h"}) {
    ProcessResult longHelp = RunKorvanel({spelling});
    EXPECT_EQ(longHelp.status, kExitOk);
    EXPECT_EQ(longHelp.out, std::string(kUsageText) + std::string(kExtensionsHelpText));
  }
  EXPECT_NE(kExtensionsHelpText.find("\n --w3x "), std::string_view::npos);
  EXPECT_EQ(RunKorvanel({"-?"}).out, kUsageText);

  ProcessResult twice = RunKorvanel({"a", "b"});
  EXPECT_EQ(twice.status, kExitUsage);
  EXPECT_EQ(twice.out, kUsageText);
  EXPECT_EQ(RunKorvanel({"/i", "x.txt"}).status, kExitUsage);

  TempDir dir;
  ProcessResult missing = RunKorvanel({(dir / "50%s %n.w3m").string()});
  EXPECT_EQ(missing.status, kExitErrors);
  EXPECT_EQ(missing.out, "ERROR!\nUnable to open the map file :\n" + (dir / "50%s %n.w3m").string() + "\n");

  ProcessResult badMinimaps = RunKorvanel({dir.Path().string(), "/m", (dir / "nowhere").string()});
  EXPECT_EQ(badMinimaps.status, kExitErrors);
  EXPECT_EQ(badMinimaps.out,
            "ERROR!\nYou entered an invalid path for the minimap directory! Please check the spelling and if the "
            "directory really (still?) exists." + (dir / "nowhere").string() + "/\n");

  ProcessResult empty = RunKorvanel({dir.Path().string()});
  EXPECT_EQ(empty.status, kExitOk);
  EXPECT_EQ(empty.out, "");
}

// Standard output stays the messages'; why the dialog did not start is a
// diagnostic. A copy of the program has no dialog module beside it.
TEST(CommandLine, ADialogThatCannotStartIsSaidOnStandardError) {
  TempDir dir;
  fs::copy_file(KORVANEL_BINARY, dir / "korvanel");
  ProcessResult r = RunKorvanel({}, {"DISPLAY=:kvl-none"}, {.program = dir / "korvanel"});
  EXPECT_EQ(r.status, kExitUsage);
  EXPECT_EQ(r.out, "");
  EXPECT_TRUE(r.err.starts_with("korvanel: cannot start the dialog: korvanel-dialog.so is neither beside the program nor in " +
                                dir.Path().string() + "/"))
      << r.err;
  EXPECT_TRUE(r.err.ends_with("\n"));
  EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1);
}

TEST(CommandLine, JsonHelpAndVersion) {
  CommandLine cl = ParseCommandLine({"maps", "--json", "maps.jsonl", "/i", "info.txt"});
  EXPECT_FALSE(cl.usage);
  EXPECT_EQ(cl.options.cataloguePath, "maps.jsonl");
  EXPECT_EQ(ParseCommandLine({"maps", "--json", "-"}).options.cataloguePath, "-");
  EXPECT_TRUE(ParseCommandLine({"maps", "--json"}).usage);
  EXPECT_TRUE(ParseCommandLine({"maps", "--json", "/s"}).usage);
  EXPECT_TRUE(ParseCommandLine({"maps", "-h"}).extensionsHelp);
  EXPECT_FALSE(ParseCommandLine({"maps", "/?"}).extensionsHelp);

  for (const char* help : {"-h", "--help"}) {
    ProcessResult r = RunKorvanel({help});
    EXPECT_EQ(r.status, kExitOk) << help;
    EXPECT_EQ(r.out, std::string(kUsageText) + std::string(kExtensionsHelpText)) << help;
  }
  EXPECT_NE(kExtensionsHelpText.find("--json FILE"), std::string_view::npos);
  EXPECT_NE(kExtensionsHelpText.find("-h, --help"), std::string_view::npos);
  EXPECT_NE(kExtensionsHelpText.find("--version"), std::string_view::npos);
  EXPECT_NE(kExtensionsHelpText.find("--jobs N"), std::string_view::npos);
  EXPECT_EQ(RunKorvanel({"/?"}).out, kUsageText);

  ProcessResult version = RunKorvanel({"--version"});
  EXPECT_EQ(version.status, kExitOk);
  EXPECT_EQ(version.out, kVersionText);
  EXPECT_TRUE(version.out.starts_with("korvanel 1.")) << version.out;
  EXPECT_TRUE(version.out.ends_with("\n"));
}

TEST(CommandLine, FileNamesCannotDriveATerminal) {
  TempDir dir;
  fs::create_directory(dir / "pack");
  const fs::path map = dir / "pack" / "\x1b]0;pwned\x07.w3m";
  WriteFile(map, "not a map");
  const std::string raw = "ERROR!\nUnable to open the map file :\n" + map.string() + "\n";

  ProcessResult shown = RunKorvanelOnTerminal({(dir / "pack").string()});
  if (shown.status == -1) GTEST_SKIP() << "no pseudo-terminal";
  EXPECT_EQ(shown.status, kExitErrors);
  EXPECT_EQ(shown.out, "ERROR!\nUnable to open the map file :\n" + (dir / "pack").string() + "/\\033]0;pwned\\a.w3m\n");
  EXPECT_EQ(shown.out.find_first_of("\x1b\x07"), std::string::npos);

  ProcessResult piped = RunKorvanel({(dir / "pack").string()});
  EXPECT_EQ(piped.status, kExitErrors);
  EXPECT_EQ(piped.out, raw);
}

TEST(CommandLine, MissingArchiveLibrary) {
  TempDir dir;
  ExtractorApp app;
  app.libraryName = "libkvl-absent.so";
  ScopedEnv prefix("WINEPREFIX", (dir / "none").string());
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  int status = app.RunCommandLine({dir.Path().string(), "/i", (dir / "info.txt").string()});
  std::string err = testing::internal::GetCapturedStderr();
  std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(status, kExitErrors);
  EXPECT_EQ(out, kLibraryLoadError);
  // Where it was looked for, and where to get it, on standard error only.
  EXPECT_EQ(err, "korvanel: cannot load libkvl-absent.so (tried " + ProgramDirectory() +
                     "libkvl-absent.so, the system's library path); Debian and Ubuntu ship it in the package libstorm9\n");
  EXPECT_FALSE(fs::exists(dir / "info.txt"));

  EXPECT_EQ(LibraryLoadDiagnostic(kArchiveLibraryName, {"/opt/k/libstorm.so.9", "libstorm.so.9", "/w/c:/W3/libstorm.so.9"}),
            "cannot load libstorm.so.9 (tried /opt/k/libstorm.so.9, the system's library path, "
            "/w/c:/W3/libstorm.so.9); Debian and Ubuntu ship it in the package libstorm9");
}

}  // namespace korvanel::test
