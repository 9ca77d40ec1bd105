// Inputs that the fuzz targets once failed on, kept under fuzz/regressions/
// with one folder per target, run through the same functions and checks.
#include <gtest/gtest.h>


#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "app/command_line.h"
#include "fuzz/fuzz_rules.h"
#include "output/minimap_convert.h"
#include "parsers/environment.h"
#include "parsers/map_info.h"
#include "parsers/script_scan.h"
#include "parsers/trigger_strings.h"
#include "test_support.h"

namespace korvanel::test {
namespace {

const fs::path kRegressions = fs::path(KORVANEL_SOURCE_DIR) / "fuzz/regressions";

class CheckedLines : public LineWriter {
 public:
  void WriteInfoText(std::string_view text) override {
    EXPECT_EQ(fuzz::RecordLineFault(text, fuzz::kDateLinePrefix), "") << text;
  }
};

constexpr MapFormats kBothFormats[] = {MapFormats::kFirstRelease, MapFormats::kLater};

// One runner per target folder, doing what that fuzz target does.
const std::map<std::string, std::function<void(const std::string&)>>& Runners() {
  static const std::map<std::string, std::function<void(const std::string&)>> runners = {
      {"trigger_strings",
       [](const std::string& in) {
         for (MapFormats f : kBothFormats) {
           TriggerStringTable table;
           EXPECT_TRUE(ParseTriggerStrings(Bytes(in), table, f));
           for (int n = 0; n < 1000; ++n) {
             const std::string text = ResolveTriggerString(table, "TRIGSTR_" + std::to_string(1000 + n).substr(1), f);
             EXPECT_NE(in.find(text), std::string::npos) << n;
           }
         }
       }},
      {"map_info",
       [](const std::string& in) {
         CheckedLines out;
         MapInfo info;
         for (MapFormats f : kBothFormats) ParseMapInfo(Bytes(in), TriggerStringTable(), info, out, f);
       }},
      {"environment",
       [](const std::string& in) {
         CheckedLines out;
         EnvironmentFacts facts;
         for (MapFormats f : kBothFormats) ParseEnvironment(Bytes(in), facts, out, f);
       }},
      {"doodads",
       [](const std::string& in) {
         CheckedLines out;
         DoodadFacts facts;
         for (MapFormats f : kBothFormats) {
           ParseTreeDoodads(Bytes(in), facts, out, f);
           ParseUnitDoodads(Bytes(in), facts, out, f);
         }
       }},
      {"script_scan",
       [](const std::string& in) {
         CheckedLines out;
         ScriptFacts facts;
         for (MapFormats f : kBothFormats) EXPECT_TRUE(ScanScript(Bytes(in), facts, out, f));
       }},
      {"minimap_convert",
       [](const std::string& in) {
         const ConvertedMinimap converted = MinimapConverter().Convert(Bytes(in), 85);
         EXPECT_EQ(converted.stage == MinimapStage::kDone, !converted.jpeg.empty());
       }},
      {"command_line",
       [](const std::string& in) {
         const std::vector<std::string> arguments = fuzz::SplitArguments(in);
         EXPECT_EQ(fuzz::ArgumentsCommandLineFault(arguments, ParseCommandLine(arguments)), "");
       }},
  };
  return runners;
}

TEST(FuzzRegressions, CommittedInputsRunClean) {
  if (!fs::is_directory(kRegressions)) GTEST_SKIP() << kRegressions << " not found; skipped";
  int inputs = 0;
  for (const auto& folder : fs::directory_iterator(kRegressions)) {
    const std::string target = folder.path().filename();
    const auto runner = Runners().find(target);
    ASSERT_NE(runner, Runners().end()) << "no runner for " << folder.path();
    for (const auto& input : fs::directory_iterator(folder.path())) {
      SCOPED_TRACE(input.path().string());
      runner->second(ReadFile(input.path()));
      ++inputs;
    }
  }
  EXPECT_GT(inputs, 0);
}

// Both pictures are under a kilobyte and claim 16384 x 16384 in the BLP
// header and in the JPEG stream alike, one baseline and one progressive.
// They were decoded: a gigabyte of pixels, as much again of buffered
// coefficients for the progressive one, and half a minute under the
// sanitizers, only to fail on the missing data.
TEST(FuzzRegressions, HugePictureClaimFailsFast) {
  for (const char* name : {"huge_claim_baseline.blp", "huge_claim_progressive.blp"}) {
    SCOPED_TRACE(name);
    const std::string blp = ReadFile(kRegressions / "minimap_convert" / name);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(MinimapConverter().Convert(Bytes(blp), 85).stage, MinimapStage::kDecode);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
  }
}

}  // namespace
}  // namespace korvanel::test
